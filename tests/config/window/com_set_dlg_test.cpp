// The configuration dialog driven through its widgets (offscreen) over a
// real INI file in a temporary folder. Message boxes are answered by a
// watcher that finds the modal one, so no step ever waits on the user.
#include "config/com_set_dlg.h"
#include "mainwnd/window/window_fixture.h"

using namespace qelvor;
using qelvor::test::ModalWatcher;
using qelvor::test::ReadAll;

namespace {

// The text of a message box a step opens; the watcher closes it.
QString boxText;
void KeepBoxText(QWidget* box) {
    boxText = qobject_cast<QMessageBox*>(box)->text();
}

}  // namespace

class ComSetDlgTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { SetStringLanguage(UiLanguage::English); }
    void showsTheGroupOfEachPortKind();
    void savesTheWidgetsIntoTheFile();
    void pasteAnAddressThenRefuseANumber();
    void delSeriesRefusesTheDefaultSet();

  private:
    CComSetDlg& Open(const std::string& body, bool portOpen = false) {
        ini = dir.filePath("my.ini");
        std::ofstream(ini.toStdString(), std::ios::binary) << body;
        settings = CComSetting::Loaded(ini.toStdString());
        dialog = std::make_unique<CComSetDlg>(settings, portOpen);
        dialog->show();
        return *dialog;
    }
    template <class T = QWidget>
    T* W(const char* name) {
        T* widget = dialog->findChild<T*>(QLatin1String(name));
        if (widget == nullptr) qFatal("no widget %s", name);
        return widget;
    }
    bool Shown(const char* name) { return W(name)->isVisibleTo(dialog.get()); }

    QTemporaryDir dir;
    QString ini;
    CComSetting settings;
    std::unique_ptr<CComSetDlg> dialog;
};

// Rendered in each kind and language to config-<kind>-<language>.png.
void ComSetDlgTest::showsTheGroupOfEachPortKind() {
    // The kind, its radio, and whether the TCP, serial, UDP and reconnect rows show.
    const std::tuple<QString, const char*, bool, bool, bool, bool> kinds[] = {
        {"tcp-server", "TcpServer", true, false, false, false},
        {"tcp-client", "TcpClient", true, false, false, true},
        {"udp", "Udp", false, false, true, false},
        {"serial", "SerialPort", false, true, false, true}};
    for (const auto& [kind, radio, tcp, serial, udp, reconnect] : kinds) {
        for (UiLanguage language : test::kBothLanguages) {
            test::ScopedUiLanguage scope(language);
            // Another kind first, so that the click has something to change.
            Open(kind == "udp" ? "[ComSet]\r\nWorkMode=0\r\n" : "[ComSet]\r\nWorkMode=2\r\n");
            QTest::mouseClick(W(radio), Qt::LeftButton, {}, QPoint(5, 5));
            for (const char* name : {"IPAddress", "SvrIPAddr", "IPPortLabel", "IPPort"})
                QCOMPARE(Shown(name), tcp);
            for (const char* name :
                 {"ComPortLabel", "ComPort", "BaudRate", "ByteSize", "Parity", "StopBit",
                  "FlowCtrl", "FlowCtrlLabel", "DtrOnOpen", "RtsOnOpen"})
                QCOMPARE(Shown(name), serial);
            QCOMPARE(Shown("AutoReconnect"), reconnect);
            for (const char* name :
                 {"UDPRemotePort", "UDPLocalPort", "RemoteIPAddr", "RemoteIPAddrLabel"})
                QCOMPARE(Shown(name), udp);
            // The port group takes the height of the rows now shown once its
            // layout has run; grabbed before, it keeps the old kind's height.
            QTest::qWait(20);
            dialog->adjustSize();
            QVERIFY(test::SaveScreenshot(*dialog, "config-" + kind + "-" + scope.Suffix()));
        }
    }
}

// The lines of the file stay in place, new values where they were: the
// unlisted baud rate stays, the COM_Ext device gives way to COM3, the line
// levels and reconnect checks are stored as clicked.
void ComSetDlgTest::savesTheWidgetsIntoTheFile() {
    Open(
        "[Public]\r\nSetList=ComSet\r\n[ComSet]\r\nBaudRate=14400\r\nComPort=0\r\n"
        "ComName=/dev/pts/9\r\nByteSize=7\r\nWorkMode=10\r\nHandShake=0\r\n"
        "DtrOnOpen=0\r\nRtsOnOpen=1\r\nAutoReconnect=1\r\n");
    QCOMPARE(dialog->windowTitle(), QString("System Configure(my.ini)"));
    QCOMPARE(W<QComboBox>("BaudRate")->currentIndex(), -1);
    QCOMPARE(W<QComboBox>("ByteSize")->currentText(), QString("7"));
    QVERIFY(Shown("ComName"));
    QCOMPARE(W<QComboBox>("ComName")->currentText(), QString("/dev/pts/9"));
    QVERIFY(W<QLineEdit>("RespondStrs")->isReadOnly());
    QTest::mouseClick(W("HandShake"), Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(!W<QLineEdit>("RespondStrs")->isReadOnly());
    const std::tuple<const char*, int CComSetting::*, bool> checks[] = {
        {"DtrOnOpen", &CComSetting::DtrOnOpen, false},
        {"RtsOnOpen", &CComSetting::RtsOnOpen, true},
        {"AutoReconnect", &CComSetting::AutoReconnect, true}};
    for (const auto& [name, field, loaded] : checks) {
        QCOMPARE(W<QCheckBox>(name)->isChecked(), loaded);
        QTest::mouseClick(W(name), Qt::LeftButton, {}, QPoint(5, 5));
    }
    auto* port = W<QComboBox>("ComPort");
    port->setFocus();
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(port, Qt::Key_Down);
    QCOMPARE(port->currentText(), QString("COM3 (/dev/ttyS2)"));
    QVERIFY(!Shown("ComName"));
    W<QLineEdit>("Replace_Old")->clear();
    QTest::keyClicks(W("Replace_Old"), "A");
    W<QComboBox>("Series")->setEditText("");
    QTest::mouseClick(W("Save"), Qt::LeftButton);
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    const std::string saved = ReadAll(ini);
    QCOMPARE(
        saved.substr(0, 177),
        std::string("[Public]\r\nSetList=ComSet\r\nCurrentSet=\r\n[ComSet]\r\nBaudRate=14400\r\n"
                    "ComPort=3\r\nComName=/dev/pts/9\r\nByteSize=7\r\nWorkMode=10\r\n"
                    "HandShake=1\r\nDtrOnOpen=1\r\nRtsOnOpen=0\r\nAutoReconnect=0\r\n"));
    QVERIFY(saved.find("\r\nReplace_Old=65\r\n") != std::string::npos);
    QCOMPARE(settings.ComPort + settings.HandShake, 3 + 1);
    for (const auto& [name, field, loaded] : checks)
        QCOMPARE(settings.*field, loaded ? 0 : 1);
}

void ComSetDlgTest::pasteAnAddressThenRefuseANumber() {
    const std::string body = "[ComSet]\r\nWorkMode=1\r\nSvrIPAddr=10.0.0.1\r\n";
    Open(body);
    auto* field = W<QLineEdit>("SvrIPAddr");
    QCOMPARE(field->text(), QString("10.0.0.1"));
    field->setFocus();
    QApplication::clipboard()->setText("192.168.1.20");
    {
        ModalWatcher none(KeepBoxText);
        QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(field->text(), QString("192.168.1.20"));
        QTest::qWait(50);
        QVERIFY(!none.found);
    }

    QApplication::clipboard()->setText(" localhost ");
    ModalWatcher yes([](QWidget* box) {
        KeepBoxText(box);
        qobject_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
    });
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(boxText, QString(LoadStr(kStrHostAddressQueryMayBeSlow)));
    QCOMPARE(field->text(), QString("127.0.0.1"));
    QVERIFY(dialog->isEnabled());

    // A number edit that holds no number is named, and nothing is saved.
    W<QLineEdit>("IPPort")->setText("90x");
    ModalWatcher refused(KeepBoxText);
    QTest::mouseClick(W("Save"), Qt::LeftButton);
    QVERIFY(boxText.contains("IP Port") && boxText.contains("90x"));
    QVERIFY(dialog->isVisible());
    QCOMPARE(ReadAll(ini), body);
    QCOMPARE(settings.IPPort, 9000);
}

void ComSetDlgTest::delSeriesRefusesTheDefaultSet() {
    Open("[Public]\r\nSetList=ComSet,Lab\r\nCurrentSet=Lab\r\n[Lab]\r\nParity=2\r\n", true);
    QVERIFY(!W("BaudRate")->isEnabled() && !W("DtrOnOpen")->isEnabled());
    QVERIFY(W("UDPLocalPort")->isEnabled());
    auto* series = W<QComboBox>("Series");
    QCOMPARE(series->currentText(), QString("Lab"));
    QCOMPARE(W<QComboBox>("Parity")->currentIndex(), 2);
    QTest::mouseClick(W("DelSeries"), Qt::LeftButton);
    QCOMPARE(series->count(), 1);
    QCOMPARE(series->currentText(), QString("ComSet"));
    QCOMPARE(W<QComboBox>("Parity")->currentIndex(), 0);
    ModalWatcher answer(KeepBoxText);
    QTest::mouseClick(W("DelSeries"), Qt::LeftButton);
    QCOMPARE(boxText, QString(LoadStr(kStrDefaultTemplateCannotBeDeleted)));
    QCOMPARE(series->count(), 1);
    QTest::mouseClick(W("Cancle"), Qt::LeftButton);
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(settings.SetNames, (std::set<std::string>{"ComSet"}));
}

QTEST_MAIN(ComSetDlgTest)
#include "com_set_dlg_test.moc"
