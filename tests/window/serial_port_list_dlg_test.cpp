// The serial port list: the "In Used" mark of a held pty, a missing device.
#include <sys/file.h>
#include <unistd.h>

#include "support/pty_pair.h"
#include "support/window_fixture.h"
#include "window/serial_port_list_dlg.h"

// The lines of list that name path, or a note that the list is not sorted.
static QStringList LinesNaming(const QListWidget* list, const std::string& path) {
    QStringList all;
    for (int i = 0; i < list->count(); ++i)
        all << list->item(i)->text();
    QStringList sorted = all;
    sorted.sort();
    const QRegularExpression naming("^" + QRegularExpression::escape(QString::fromStdString(path)));
    return sorted == all ? all.filter(naming) : QStringList{"(not sorted)"};
}

class SerialPortListDlgTest : public QObject {
    Q_OBJECT
  private slots:
    // A pty held by a flock is marked "In Used" (the ports' tests walk every
    // way to hold one) until Refresh after it is let go.
    void heldPortIsMarkedUntilRefreshAfterRelease() {
        QTemporaryDir dir;
        CComSetting settings = CComSetting::Loaded(dir.filePath("my.ini").toStdString());
        testing_support::PtyDevice pty;
        const QString free = QString::fromStdString(pty.path);
        const int holder = open(pty.path.c_str(), O_RDWR | O_NOCTTY);
        QVERIFY(holder >= 0 && flock(holder, LOCK_EX) == 0);
        settings.ComPort = 0;
        settings.ComName = pty.path;
        CSerialPortListDlg ports(settings);
        ports.show();
        auto* list = Child<QListWidget>(&ports, "PortList");
        QCOMPARE(LinesNaming(list, pty.path), QStringList{free + "\t\t In Used"});
        close(holder);
        QCOMPARE(LinesNaming(list, pty.path), QStringList{free + "\t\t In Used"});
        QTest::mouseClick(Child<QPushButton>(&ports, "Refresh"), Qt::LeftButton);
        QCOMPARE(LinesNaming(list, pty.path), QStringList{free});
        // A configured device that is not there is left out.
        settings.ComName = "/dev/ttyNoSuchDevice9";
        CSerialPortListDlg gone(settings);
        QCOMPARE(LinesNaming(Child<QListWidget>(&gone, "PortList"), settings.ComName),
                 QStringList());
    }
};
QELVOR_WINDOW_TEST(SerialPortListDlgTest);
#include "serial_port_list_dlg_test.moc"
