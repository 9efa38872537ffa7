// The serial port list over a pty configured as the port (udev lists no
// ptys): each way another program holds a port marks it "In Used", and
// Refresh drops the mark once the holder lets go.
#include <sys/file.h>
#include <sys/ioctl.h>

#include "mainwnd/window/window_fixture.h"
#include "ports/serial_port_list_dlg.h"
#include "support/pty_pair.h"

using namespace qelvor;

class SerialPortListDlgTest : public QObject {
    Q_OBJECT

  private slots:
    void heldPortIsMarkedUntilRefreshAfterRelease();

  private:
    // The lines that name the pty; all lines sorted as a list box sorts
    // them, or a note that they are not.
    QStringList PtyLines(const QListWidget* list) const {
        QStringList all, lines;
        for (int i = 0; i < list->count(); ++i)
            all << list->item(i)->text();
        for (const QString& line : all)
            if (line.startsWith(QString::fromStdString(pty_.path))) lines << line;
        QStringList sorted = all;
        sorted.sort();
        return sorted == all ? lines : QStringList{"(not sorted)"};
    }

    QTemporaryDir dir_;
    testing_support::PtyDevice pty_;
};

void SerialPortListDlgTest::heldPortIsMarkedUntilRefreshAfterRelease() {
    SetStringLanguage(UiLanguage::English);
    const QString free = QString::fromStdString(pty_.path);
    const QString held = free + "\t\t In Used";
    const int holder = open(pty_.path.c_str(), O_RDWR | O_NOCTTY);
    QVERIFY(holder >= 0);
    // Held by the exclusive mark, then by an flock: taken, then let go.
    const std::pair<std::function<void()>, std::function<void()>> holds[] = {
        {[&] { ioctl(holder, TIOCEXCL); }, [&] { ioctl(holder, TIOCNXCL); }},
        {[&] { flock(holder, LOCK_EX); }, [&] { flock(holder, LOCK_UN); }}};
    CComSetting settings = CComSetting::Loaded(dir_.filePath("t.ini").toStdString());
    settings.ComPort = 0;
    settings.ComName = pty_.path;
    for (const auto& [take, release] : holds) {
        take();
        CSerialPortListDlg dialog(settings);
        dialog.show();
        auto* list = dialog.findChild<QListWidget*>("PortList");
        QCOMPARE(PtyLines(list), QStringList{held});
        release();
        QCOMPARE(PtyLines(list), QStringList{held});  // the list waits for Refresh
        QTest::mouseClick(dialog.findChild<QPushButton*>("Refresh"), Qt::LeftButton);
        QCOMPARE(PtyLines(list), QStringList{free});
    }
    close(holder);
    // A configured device that is not there is left out.
    settings.ComName = "/dev/ttyNoSuchDevice9";
    CSerialPortListDlg dialog(settings);
    auto* list = dialog.findChild<QListWidget*>("PortList");
    QVERIFY(list->findItems("ttyNoSuch", Qt::MatchContains).isEmpty());
}

QTEST_MAIN(SerialPortListDlgTest)
#include "serial_port_list_dlg_test.moc"
