// The configuration dialog over a real INI file: each port kind's group, saves, refusals,
// the devices found, the open port's line and the first start.
#include <sys/file.h>

#include "support/pty_pair.h"
#include "support/window_fixture.h"
#include "window/com_set_dlg.h"
#include "window/drovan_app.h"
#include "window/serial_device_list.h"

using qelvor::testing_support::PtyDevice;

class ComSetDlgTest : public QObject {
    Q_OBJECT
  private slots:
    // Rendered to config-<kind>-<language>.png.
    void showsTheGroupOfEachPortKind() {
        // The kind, its radio, whether the TCP, serial, UDP, reconnect and link rows show.
        const std::tuple<QString, const char*, std::array<bool, 5>> kinds[] = {
            {"tcp-server", "TcpServer", {true, false, false, false, false}},
            {"tcp-client", "TcpClient", {true, false, false, true, false}},
            {"udp", "Udp", {false, false, true, false, false}},
            {"serial", "SerialPort", {false, true, false, true, false}},
            {"pty", "VirtualPort", {false, false, false, false, true}}};
        const std::vector<const char*> rows[] = {{"IPAddress", "IPPort"},
                                                 {"ComPortLabel", "BaudRate", "RtsOnOpen"},
                                                 {"UDPLocalPort", "RemoteIPAddrLabel"},
                                                 {"AutoReconnect"},
                                                 {"PtyLinkLabel", "PtyLink"}};
        for (const auto& [kind, radio, shows] : kinds) {
            for (UiLanguage language : {UiLanguage::English, UiLanguage::Chinese}) {
                ScopedUiLanguage scope(language);
                // Another kind first, so that the click changes it.
                Open(kind == "udp" ? "[ComSet]\r\nWorkMode=0\r\n" : "[ComSet]\r\nWorkMode=2\r\n");
                QTest::mouseClick(W(radio), Qt::LeftButton, {}, QPoint(5, 5));
                for (size_t group = 0; group < shows.size(); ++group)
                    for (const char* name : rows[group])
                        QCOMPARE(Shown(name), shows[group]);
                QTest::qWait(20);  // the group takes the new rows' height once its layout ran
                dialog->adjustSize();
                const QString shot = "config-" + kind + "-" + scope.Suffix();
                QVERIFY(SaveScreenshot(dialog->grab().toImage(), shot));
            }
        }
        // An empty link shows the default greyed; a typed one is saved with the mode.
        Open("[ComSet]\r\nWorkMode=20\r\n");
        QVERIFY(W<QLineEdit>("PtyLink")->placeholderText().endsWith("/ttyQelvor0"));
        W<QLineEdit>("PtyLink")->setText("/tmp/ttyBench");
        QTest::mouseClick(W("Save"), Qt::LeftButton);
        QCOMPARE(std::make_pair(settings.WorkMode, settings.PtyLink),
                 std::make_pair(20, std::string("/tmp/ttyBench")));
    }

    // New values where the lines were: the unlisted baud rate stays, COM3 replaces the
    // COM_Ext device, the checks are stored as clicked.
    void savesTheWidgetsIntoTheFile() {
        Open(
            "[Public]\r\nSetList=ComSet\r\n[ComSet]\r\nBaudRate=14400\r\nComPort=0\r\n"
            "ComName=/dev/pts/none\r\nByteSize=7\r\nWorkMode=10\r\nHandShake=0\r\n"
            "DtrOnOpen=0\r\nRtsOnOpen=1\r\nAutoReconnect=1\r\n");
        const auto box = [&](const char* name) { return W<QComboBox>(name); };
        QCOMPARE(std::make_tuple(box("BaudRate")->currentIndex(), box("ByteSize")->currentText(),
                                 Shown("ComName"), W<QLineEdit>("ComName")->text()),
                 std::make_tuple(-1, QString("7"), true, QString("/dev/pts/none")));
        QVERIFY(W<QLineEdit>("RespondStrs")->isReadOnly());
        QTest::mouseClick(W("HandShake"), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!W<QLineEdit>("RespondStrs")->isReadOnly());
        const std::pair<const char*, bool> checks[] = {
            {"DtrOnOpen", false}, {"RtsOnOpen", true}, {"AutoReconnect", true}};
        for (const auto& [name, loaded] : checks) {
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
            saved.substr(0, 180),
            std::string("[Public]\r\nSetList=ComSet\r\nCurrentSet=\r\n[ComSet]\r\n"
                        "BaudRate=14400\r\nComPort=3\r\nComName=/dev/pts/none\r\nByteSize=7\r\n"
                        "WorkMode=10\r\nHandShake=1\r\nDtrOnOpen=1\r\nRtsOnOpen=0\r\n"
                        "AutoReconnect=0\r\n"));
        QVERIFY(saved.find("\r\nReplace_Old=65\r\n") != std::string::npos);
    }

    // A pasted host name asks and is looked up; a number edit without a number is
    // named and nothing is saved.
    void pasteAHostThenRefuseANumber() {
        const std::string body = "[ComSet]\r\nWorkMode=1\r\nSvrIPAddr=10.0.0.1\r\n";
        Open(body);
        auto* field = W<QLineEdit>("SvrIPAddr");
        field->setFocus();
        QApplication::clipboard()->setText(" localhost ");
        QCOMPARE(BoxText([&] { QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier); },
                         QMessageBox::Yes),
                 QString(LoadStr(kStrHostAddressQueryMayBeSlow)));
        QCOMPARE(field->text(), QString("127.0.0.1"));
        QVERIFY(dialog->isEnabled());

        W<QLineEdit>("IPPort")->setText("90x");
        const QString refusal = BoxText([&] { W<QPushButton>("Save")->click(); });
        QVERIFY2(refusal.contains("IP Port") && refusal.contains("90x"), qPrintable(refusal));
        QVERIFY(dialog->isVisible());
        QCOMPARE(ReadAll(ini), body);
        QCOMPARE(settings.IPPort, 9000);
    }

    // The HL7 mode's rows take the ASTM ones' place, those of the other role closed; a size
    // outside its range is refused with the range, the role and a number are saved. The
    // orders table shows for the ASTM host and the HL7 receiver alone; Browse... fills it
    // and it is saved. Rendered to config-hl7-<language>.png and config-orders-<language>.png,
    // which fit a 1280x800 desk.
    void hl7ModeShowsItsRowsAndSavesThem() {
        for (UiLanguage language : {UiLanguage::English, UiLanguage::Chinese}) {
            ScopedUiLanguage scope(language);
            const std::string body = "[ComSet]\r\nProtocolMode=1\r\n";
            Open(body);
            QVERIFY(Shown("AstmRole") && !Shown("Hl7Role") && !Shown("OrdersFile"));
            for (const char* list : {"ProtocolMode", "Hl7Role"}) {
                W(list)->setFocus();
                QTest::keyClick(W(list), Qt::Key_Down);  // HL7 (a receiver), then the sender
                QCOMPARE(Shown("OrdersFile"), std::string(list) == "ProtocolMode");
                QCOMPARE(W("Hl7Retries")->isEnabled(), std::string(list) == "Hl7Role");
                QCOMPARE(W("Hl7AckCode")->isEnabled(), std::string(list) == "ProtocolMode");
            }
            QVERIFY(!Shown("AstmRole") && Shown("Hl7Role") && Shown("Hl7FillTime"));
            QVERIFY(W("Hl7ControlIds")->isEnabled() && !W("Hl7AckCodeLabel")->isEnabled());
            QTest::qWait(20);
            dialog->adjustSize();
            QVERIFY(dialog->width() <= 1280 && dialog->height() <= 740);
            QVERIFY(SaveScreenshot(dialog->grab().toImage(), "config-hl7-" + scope.Suffix()));

            W<QLineEdit>("Hl7MaxMessage")->setText("512");
            const QString refusal = BoxText([&] { W<QPushButton>("Save")->click(); });
            for (const QString& part : {W<QLabel>("Hl7MaxMessageLabel")->text(), QString("512"),
                                        QString("1024"), QString("67108864")})
                QVERIFY2(refusal.contains(part), qPrintable(refusal));
            QCOMPARE(ReadAll(ini), body);
            W<QLineEdit>("Hl7MaxMessage")->setText("2048");
            W<QLineEdit>("Hl7Retries")->clear();
            QTest::keyClicks(W("Hl7Retries"), "7");
            QTest::mouseClick(W("Save"), Qt::LeftButton);
            const std::string saved = ReadAll(ini);
            for (const char* line :
                 {"ProtocolMode=2", "Hl7Role=1", "Hl7Retries=7", "Hl7MaxMessage=2048"})
                QVERIFY2(saved.find(std::string("\n") + line + "\r\n") != std::string::npos, line);

            const QString table = dir.filePath("orders " + scope.Suffix() + ".csv");
            std::ofstream(table.toStdString()) << "specimen,tests\n";
            Open("[ComSet]\r\nProtocolMode=1\r\nAstmRole=1\r\nOrdersFile=/lab/old.csv\r\n");
            QVERIFY(Shown("OrdersFile"));
            QCOMPARE(W<QLineEdit>("OrdersFile")->text(), QString("/lab/old.csv"));
            QVERIFY(Answered([&] { W<QPushButton>("OrdersFileBrowse")->click(); },
                             [&](QWidget* shown) {
                                 auto* files = qobject_cast<QFileDialog*>(shown);
                                 QVERIFY(files != nullptr);
                                 files->findChild<QLineEdit*>("fileNameEdit")->setText(table);
                                 static_cast<QDialog*>(files)->accept();
                             }));
            QCOMPARE(W<QLineEdit>("OrdersFile")->text(), table);
            QTest::qWait(20);
            dialog->adjustSize();
            QVERIFY(dialog->width() <= 1280 && dialog->height() <= 740);
            QVERIFY(SaveScreenshot(dialog->grab().toImage(), "config-orders-" + scope.Suffix()));
            QTest::mouseClick(W("Save"), Qt::LeftButton);
            QCOMPARE(settings.OrdersFile, table.toStdString());
        }
    }

    // A tap's rows take the device rows' place, the line's rows staying; each side is split
    // into its kind and the rest and joined again on Save, a side that names no port is
    // refused with why, and another mode keeps a name of no known kind as it is. Rendered
    // to config-tap-<language>.png.
    void tapRowsJoinEachSideAndRefuseABadOne() {
        for (UiLanguage language : {UiLanguage::English, UiLanguage::Chinese}) {
            ScopedUiLanguage scope(language);
            const std::string body =
                "[ComSet]\r\nWorkMode=30\r\nTapA=serial:/dev/ttyUSB0:9600:8N1\r\nTapB=pty\r\n";
            Open(body);
            for (const char* name : {"TapALabel", "TapBKind", "BaudRate", "AutoReconnect"})
                QVERIFY2(Shown(name), name);
            for (const char* name : {"ComPort", "ComName", "IPPort", "PtyLink"})
                QVERIFY2(!Shown(name), name);
            auto* b = W<QLineEdit>("TapB");
            const QString ptyHint = b->placeholderText();
            QCOMPARE(std::make_tuple(W<QComboBox>("TapAKind")->currentIndex(),
                                     W<QLineEdit>("TapA")->text(),
                                     W<QComboBox>("TapBKind")->currentIndex(), b->text()),
                     std::make_tuple(0, QString("/dev/ttyUSB0:9600:8N1"), 4, QString()));
            W("TapBKind")->setFocus();
            QTest::keyClick(W("TapBKind"), Qt::Key_Up);
            QTest::keyClick(W("TapBKind"), Qt::Key_Up);  // the TCP client
            QVERIFY(b->placeholderText() != ptyHint);
            b->setText("127.0.0.1");
            const QString refusal = BoxText([&] { W<QPushButton>("Save")->click(); });
            for (const QString& part : {W<QLabel>("TapBLabel")->text(), QString("HOST:PORT")})
                QVERIFY2(refusal.contains(part), qPrintable(refusal));
            QCOMPARE(ReadAll(ini), body);
            QCOMPARE(dialog->focusWidget(), b);
            b->setText(" 127.0.0.1:4001");
            QTest::qWait(20);
            dialog->adjustSize();
            QVERIFY(dialog->width() <= 1280 && dialog->height() <= 740);
            QVERIFY(SaveScreenshot(dialog->grab().toImage(), "config-tap-" + scope.Suffix()));
            QTest::mouseClick(W("Save"), Qt::LeftButton);
            QVERIFY(ReadAll(ini).find("TapA=serial:/dev/ttyUSB0:9600:8N1\r\n"
                                      "TapB=tcp-client:127.0.0.1:4001\r\n") != std::string::npos);
        }
        Open("[ComSet]\r\nWorkMode=1\r\nTapA=modem:7\r\n");
        QCOMPARE(W<QComboBox>("TapAKind")->currentIndex(), -1);
        QTest::mouseClick(W("Save"), Qt::LeftButton);
        QCOMPARE(std::make_pair(dialog->result(), settings.TapA),
                 std::make_pair(int(QDialog::Accepted), std::string("modem:7")));
    }

    // The port open locks its line settings; only a set but the default one can be
    // deleted; Cancel closes it.
    void delSeriesRefusesTheDefaultSet() {
        Open("[Public]\r\nSetList=ComSet,Lab\r\nCurrentSet=Lab\r\n[Lab]\r\nParity=2\r\n", true);
        QVERIFY(!W("BaudRate")->isEnabled() && !W("DtrOnOpen")->isEnabled());
        QVERIFY(W("UDPLocalPort")->isEnabled());
        auto* series = W<QComboBox>("Series");
        QCOMPARE(series->currentText(), QString("Lab"));
        QCOMPARE(W<QComboBox>("Parity")->currentIndex(), 2);
        QTest::mouseClick(W("DelSeries"), Qt::LeftButton);
        QCOMPARE(std::make_tuple(series->count(), series->currentText(),
                                 W<QComboBox>("Parity")->currentIndex()),
                 std::make_tuple(1, QString("ComSet"), 0));
        QCOMPARE(BoxText([&] { W<QPushButton>("DelSeries")->click(); }),
                 QString(LoadStr(kStrDefaultTemplateCannotBeDeleted)));
        QTest::mouseClick(W("Cancle"), Qt::LeftButton);
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
    }

    // The ptys the sets name lead the port list, the one this test holds locked says
    // so; one that goes away while the dialog is open leaves the list, and a choice of
    // it stays as COM_Ext. Rendered to config-devices-<language>.png.
    void foundDevicesComeFirstAndFollowChanges() {
        for (UiLanguage language : {UiLanguage::English, UiLanguage::Chinese}) {
            ScopedUiLanguage scope(language);
            PtyDevice free;
            auto busy = std::make_unique<PtyDevice>();
            QVERIFY(::flock(busy->slave, LOCK_EX | LOCK_NB) == 0);
            const QString busyPath = QString::fromStdString(busy->path);
            Open("[Public]\r\nSetList=ComSet,Lab\r\n[ComSet]\r\nComPort=0\r\nComName=" + free.path +
                 "\r\n[Lab]\r\nComPort=0\r\nComName=" + busy->path + "\r\n");
            auto* list = W<QComboBox>("ComPort");
            const int busyAt = list->findText(busyPath.mid(5), Qt::MatchStartsWith);
            const QString busyText = language == UiLanguage::Chinese
                                         ? QString("[忙：被进程 %1 锁定]")
                                         : QString("[busy: locked by process %1]");
            QCOMPARE(list->itemText(busyAt), busyPath.mid(5) + "  " + busyText.arg(::getpid()));
            QCOMPARE(std::make_pair(list->currentText(), W<QLineEdit>("ComName")->text()),
                     std::make_pair(QString::fromStdString(free.path).mid(5),
                                    QString::fromStdString(free.path)));
            const int comExt = list->findText("COM_Ext");  // behind this machine's devices too
            QVERIFY(comExt >= 2);
            list->showPopup();
            QTest::qWait(20);
            QVERIFY(SaveScreenshot(list->view()->window()->grab().toImage(),
                                   "config-devices-" + scope.Suffix()));
            list->hidePopup();
            list->setCurrentIndex(busyAt);
            emit list->activated(busyAt);  // as a user's choice
            busy.reset();
            emit dialog->findChild<CSerialDeviceList*>()->changed();  // as udev tells it
            QCOMPARE(std::make_pair(list->currentText(), W<QLineEdit>("ComName")->text()),
                     std::make_pair(QString("COM_Ext"), busyPath));
            QCOMPARE(list->findText("COM_Ext"), comExt - 1);
            QTest::mouseClick(W("Save"), Qt::LeftButton);
            QVERIFY(ReadAll(ini).find("\nComName=" + busyPath.toStdString() + "\r\n") !=
                    std::string::npos);
        }
    }

    // No settings file: the dialog comes first with the path box ready and nothing
    // open; Cancel leaves the port closed, Save opens it and the pty peer gets the
    // first line typed. Rendered to config-first-start-<language>.png.
    void firstStartAsksForTheDeviceAndOpensOnSave() {
        for (UiLanguage language : {UiLanguage::English, UiLanguage::Chinese}) {
            ScopedUiLanguage scope(language);
            for (const bool save : {false, true}) {
                PtyDevice pty;
                QTemporaryDir home;
                CComSetting first = CComSetting::Loaded(home.filePath("qelvor.ini").toStdString());
                first.ExeDir = home.path().toStdString() + "/";
                CDrovanApp app;
                char name[] = "qelvor";
                char* argv[] = {name};
                app.ReadCommandLine(1, argv, first);
                // A device the user chose before, kept only in memory: Cancel must not open it.
                if (!save) std::tie(first.ComPort, first.ComName) = std::make_tuple(0, pty.path);
                CMainWindow window(first);
                window.show();
                bool openInDialog = true;
                QString focused;
                ModalWatcher watcher([&](QWidget* shown) {
                    openInDialog = window.Engine().IsPortOpen();
                    auto* path = shown->findChild<QLineEdit*>("ComName");
                    focused = shown->focusWidget() ? shown->focusWidget()->objectName() : "";
                    if (!save) return;  // the watcher cancels it
                    QVERIFY(SaveScreenshot(shown->grab().toImage(),
                                           "config-first-start-" + scope.Suffix()));
                    path->selectAll();
                    QTest::keyClicks(path, QString::fromStdString(pty.path));
                    shown->findChild<QPushButton*>("Save")->click();
                });
                window.Start(app.StartupArgs(first), nullptr);
                QTRY_VERIFY_WITH_TIMEOUT(watcher.found && !QApplication::activeModalWidget(), 3000);
                QCOMPARE(std::make_tuple(openInDialog, focused, window.Engine().IsPortOpen()),
                         std::make_tuple(false, QString("ComName"), save));
                if (!save) continue;
                auto* send = window.findChild<QLineEdit*>("SendBox");
                QCOMPARE(window.focusWidget(), send);
                QTest::keyClicks(send, "hi");
                QTest::keyClick(send, Qt::Key_Return);
                std::string got;
                char bytes[16];
                QTRY_VERIFY((got.append(bytes, size_t(std::max<ssize_t>(
                                                   0, ::read(pty.master, bytes, sizeof bytes)))),
                             got.find("hi") != std::string::npos));
                // The open port's line in the dialog says why and closes it (Cancel reopens
                // it: AutoRestart).
                bool closedInDialog = false;
                QVERIFY(Answered([&] { window.findChild<QPushButton*>("SetPort")->click(); },
                                 [&](QWidget* shown) {
                                     QCOMPARE(shown->findChild<QWidget*>("ComPort")->toolTip(),
                                              shown->findChild<QLabel*>("PortOpenNote")->text());
                                     shown->findChild<QPushButton*>("ClosePort")->click();
                                     closedInDialog =
                                         !window.Engine().IsPortOpen() &&
                                         shown->findChild<QWidget*>("BaudRate")->isEnabled() &&
                                         !shown->findChild<QWidget*>("PortOpenLine")->isVisible();
                                 }));
                QVERIFY(closedInDialog);
                QVERIFY(!app.StartupArgs(first).setupFirst);  // the file saved: no first start
            }
        }
    }

  private:
    // The dialog over a settings file of body.
    void Open(const std::string& body, bool portOpen = false,
              std::function<bool()> closePort = {}) {
        std::ofstream(ini.toStdString(), std::ios::binary) << body;
        settings = CComSetting::Loaded(ini.toStdString());
        dialog = std::make_unique<CComSetDlg>(settings, portOpen, nullptr, std::move(closePort));
        dialog->show();
    }
    template <class T = QWidget>
    T* W(const char* name) {
        return Child<T>(dialog.get(), QLatin1String(name));
    }
    bool Shown(const char* name) { return W(name)->isVisibleTo(dialog.get()); }
    // The text of the message box act opens, answered with button.
    static QString BoxText(const std::function<void()>& act,
                           QMessageBox::StandardButton button = QMessageBox::Ok) {
        QString text = "(no box opened)";
        Answered(act, [&](QWidget* open) {
            auto* box = qobject_cast<QMessageBox*>(open);
            text = box->text();
            if (box->button(button) != nullptr) box->button(button)->click();
        });
        return text;
    }

    QTemporaryDir dir;
    const QString ini = dir.filePath("my.ini");
    CComSetting settings;
    std::unique_ptr<CComSetDlg> dialog;
};
QELVOR_WINDOW_TEST(ComSetDlgTest);
#include "com_set_dlg_test.moc"
