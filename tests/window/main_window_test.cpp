// The main window through its widgets: rows, status bar, ports, send box, ASTM, layout, sets.
#include "astm/astm_frame.h"
#include "mainwnd/new_instance.h"
#include "support/pty_pair.h"
#include "support/window_fixture.h"
#include "window/popup_menus.h"
#include "window/resize_anchors.h"

using qelvor::testing_support::PtyDevice;

// Right-clicks line row of the data list, triggers what choose picks; the popup's name.
static QString RightClickDataLine(WindowFixture& f, int row,
                                  const std::function<QAction*(QMenu*)>& choose) {
    auto* view = f.Control<QListView>("DataList");
    if (!QTest::qWaitFor([&] { return view->model()->rowCount() > row; })) return "(no line)";
    const QPoint on = view->visualRect(view->model()->index(row, 0)).center();
    QString opened;
    ModalWatcher watcher([&](QWidget* popup) {
        auto* menu = qobject_cast<QMenu*>(popup);
        opened = menu->objectName();
        menu->setActiveAction(choose(menu));
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, on);
    QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, on);
    return opened;
}

static std::string AstmFrame(int number, const std::string& record) {
    return astm::CAstmFrame{number, record + '\r', true}.Bytes();
}

// The user's file of one test alone: the window's place and the menu bar's state go there.
struct OwnUserFolder {
    OwnUserFolder() : kept(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
    }
    ~OwnUserFolder() { qputenv("XDG_CONFIG_HOME", kept); }
    QString Conf() const { return folder.filePath("qelvor/qelvor.conf"); }
    QTemporaryDir folder;
    QByteArray kept;
};

class MainWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void sessionRowsAndScreenshot_data() { AddLanguageRows(); }
    // An answered ENQ, then a session rendered to main-window-<language>.png.
    void sessionRowsAndScreenshot() {
        WindowFixture f;
        ScopedUiLanguage scope(RowLanguage());
        f.settings.HandShake = f.settings.UsedResponseFile = 1;
        CMainWindow& window = f.Window();
        QVERIFY(f.peer.Send("\x05"));
        auto* rows = f.Control<CTrafficListView>("TrafficList")->Model();
        QTRY_COMPARE(rows->rowCount(), 2);
        const auto cell = [rows](int row, int column) { return rows->index(row, column).data(); };
        QCOMPARE(cell(0, 0).toString() + cell(0, 2).toString(), QString("R<ENQ>"));
        QCOMPARE(cell(1, 0).toString() + cell(1, 2).toString(), QString("S<ACK>"));
        QVERIFY(QTime::fromString(cell(0, 1).toString(), "HH:mm:ss.zzz").isValid());
        QVERIFY(rows->index(0, 2).data(Qt::TextAlignmentRole).toInt() & Qt::AlignLeft);
        const QString data = f.dir.filePath("astm.txt");
        std::ofstream(data.toStdString(), std::ios::binary)
            << "<STX>1H|\\^&|||Analyser<CR><ETX>\r\n<STX>2P|1<CR><ETX>\r\n"
               "<STX>3O|1|S42<CR><ETX>\r\n<STX>4L|1|N<CR><ETX>\r\n<EOT>\r\n";
        window.LoadDataFile(data);
        QVERIFY(f.peer.Send(kGoodFrame));
        f.Type("<STX>hello<ETX>");
        QTRY_VERIFY(rows->rowCount() >= 7);
        QVERIFY(f.peer.Send("ab\x02"));  // no split string ends them: they wait
        auto* buffer = f.Control<QLineEdit>("BufferBox");
        QTRY_COMPARE(buffer->text(), QString("ab<STX>"));
        auto* clock = f.Control<QLabel>("StatusPane3");
        QTest::mouseDClick(clock, Qt::LeftButton);
        QVERIFY(QTime::fromString(clock->text(), "HH:mm:ss").isValid());
        // The narrow pane 2 shows "response file" whole, in each language.
        auto* responseFile = f.Control<QLabel>("StatusPane2");
        QVERIFY(responseFile->width() >= responseFile->sizeHint().width());
        QTest::qWait(50);
        QVERIFY(SaveScreenshot(window.grab().toImage(), "main-window-" + scope.Suffix()));
        QTest::mouseDClick(clock, Qt::LeftButton);
        QCOMPARE(clock->text(), QString());
        QTest::qWait(250);
        QCOMPARE(clock->text(), QString());  // the clock stopped

        // The Buffer label shows the waiting bytes (no "+ms"); only "Save data" records them.
        for (const bool save : {false, true}) {
            const auto answer = [save](QWidget* dialog) {
                auto* button = dialog->findChild<QPushButton*>("SaveDetail");
                if (dialog->findChild<QWidget*>("GapMs") != nullptr) return;
                if (save && button != nullptr && button->isVisibleTo(dialog)) button->click();
            };
            QVERIFY(Answered([&] { QTest::mouseDClick(f.Control("BufferLabel"), Qt::LeftButton); },
                             answer));
            QCOMPARE(buffer->text(), save ? QString() : QString("ab<STX>"));
        }
        const CMsgExchange& exchange = window.Engine().Exchange();
        QCOMPARE(exchange.Record(exchange.RecordCount() - 1).Data(), std::string("ab\x02"));
        QTRY_COMPARE(rows->rowCount(), int(exchange.RecordCount()));
    }

    // The port buttons drive pane 0; Return and Enter send, Up and Down walk the sent
    // texts back to the draft; Escape never closes the window.
    void portButtonsSendBoxAndEscape() {
        WindowFixture f;
        CMainWindow& window = f.Window();
        auto* pane0 = f.Control<QLabel>("StatusPane0");
        const QString shown = "TCP-Client(127.0.0.1:" + QString::number(f.settings.IPPort) + ")";
        const std::tuple<const char*, bool, QString> steps[] = {
            // clicked, open, pane 0
            {"ClosePort", false, shown},
            {"OpenPort", true, shown + " connected"}};
        for (const auto& [click, open, text] : steps) {
            QTest::mouseClick(f.Control(click), Qt::LeftButton);
            QTRY_COMPARE(pane0->text(), text);
            QCOMPARE(f.Control("OpenPort")->isEnabled(), !open);
            for (const char* name : {"ClosePort", "SendData", "SendFile"})
                QCOMPARE(f.Control(name)->isEnabled(), open);
            QCOMPARE(f.Control<QPushButton>("SetPort")->text(), open ? "Setup" : "PortSet");
            if (open) f.peer = f.listener.Accept();
        }
        auto* box = f.Control<QLineEdit>("SendBox");
        const std::pair<const char*, Qt::Key> sends[] = {{"one", Qt::Key_Return},
                                                         {"two", Qt::Key_Enter}};
        for (const auto& [text, key] : sends) {
            box->selectAll();
            QTest::keyClicks(box, text);
            QTest::keyClick(box, key);
            QCOMPARE(f.Received(strlen(text)), std::string(text));
            QCOMPARE(box->text(), QString(text));
        }
        box->selectAll();
        QTest::keyClicks(box, "draft");
        const QStringList walked = {"two", "one", "one", "two", "draft"};  // Up 3 times, Down 2
        for (int step = 0; step < 5; ++step) {
            QTest::keyClick(box, step < 3 ? Qt::Key_Up : Qt::Key_Down);
            QCOMPARE(box->text(), walked[step]);
        }
        QTest::mouseClick(f.Control("ClosePort"), Qt::LeftButton);
        for (const char* name : {"SendBox", "TrafficList", "DataList", "OpenPort", "BufferBox"})
            QTest::keyClick(f.Control(name), Qt::Key_Escape);
        QTest::keyClick(&window, Qt::Key_Escape);
        QTest::qWait(20);
        QVERIFY(!window.Engine().IsPortOpen() && window.isVisible());
    }

    void tapSessionRowsAndSendSide_data() { AddLanguageRows(); }
    // A tap between a pty's device (A) and a TCP client of the test's listener (B): each side's
    // frames are rows naming their side, its endpoint and the way they went, in colours of
    // their own, the bad frame marked; the selector at the send box's left sends into B.
    // Rendered to tap-session-<language>.png.
    void tapSessionRowsAndSendSide() {
        PtyDevice analyzer;
        TrafficFixture f;
        ScopedUiLanguage scope(RowLanguage());
        std::tie(f.settings.WorkMode, f.settings.SplitStrs, f.settings.TapA, f.settings.TapB) =
            std::make_tuple(kWorkModeTap, "<CR><LF>,<ENQ>,<ACK>,<NAK>,<EOT>",
                            "serial:" + analyzer.path,
                            "tcp-client:127.0.0.1:" + std::to_string(f.listener.Port()));
        f.settings.ShowCheckColumn = 1;  // for the picture
        CMainWindow& window = f.Window();
        f.peer = f.listener.Accept();
        QTRY_VERIFY(f.Control<QLabel>("StatusPane1")->text().endsWith(": up"));
        const QString a =
            "A " + QString::fromStdString(window.Engine().Tap().SideName(tap::Side::kA)) + " →";
        const QString b = "B 127.0.0.1:" + QString::number(f.listener.Port()) + " ←";
        QStringList expected;
        for (const std::string& bytes :
             std::vector<std::string>{"\x05", "\x06", kGoodFrame, "\x06", kBadFrame, "\x15"}) {
            const bool fromA = bytes.size() > 1 || bytes[0] == '\x05';
            QVERIFY(fromA ? analyzer.Feed(bytes) : f.peer.Send(bytes));
            expected << (fromA ? a : b);
            // After the 'I' notes: each side up, the send box's side.
            const int row = int(expected.size()) + 2;
            QTRY_COMPARE(f.Model()->rowCount(), row + 1);
            QCOMPARE(f.Cell(row, 0), expected.last());
        }
        const auto color = [&](int row) {
            return f.Model()->index(row, 0).data(Qt::ForegroundRole).value<QColor>().name();
        };
        // A note, A's and B's frames, A's bad frame: four colours.
        QCOMPARE(QSet<QString>({color(0), color(3), color(4), color(7)}).size(), 4);
        QVERIFY(f.List()->Header()->sectionSize(0) >= f.List()->fontMetrics().horizontalAdvance(b));
        auto* side = f.Control<QComboBox>("TapSendSide");
        auto* box = f.Control<QLineEdit>("SendBox");
        const int narrowed = box->width();  // wider and back: the box keeps to its side
        window.resize(window.width() + 150, window.height());
        QTRY_VERIFY(box->width() > narrowed);
        window.resize(window.width() - 150, window.height());
        QTRY_COMPARE(box->width(), narrowed);
        QVERIFY(side->isVisible() && side->geometry().right() < box->geometry().left());
        side->setCurrentIndex(1);
        QCOMPARE(f.settings.ReadProfileInt("ComSet", "TapSendSide", 0), 1);
        f.Type("to host");
        const std::string atHost = "\x05" + kGoodFrame + kBadFrame + "to host";
        QCOMPARE(f.Received(atHost.size()), atHost);
        QTRY_COMPARE(f.Model()->rowCount(), 11);  // the note of the new side, and the 'S'
        QCOMPARE(f.Cell(9, CTrafficTableModel::kColumnData),
                 b.chopped(2) + ": the send box writes into it");
        QTest::mouseClick(f.Control("ShowDataList"), Qt::LeftButton);  // the rows' data in view
        QVERIFY(SaveScreenshot(window.grab().toImage(), "tap-session-" + scope.Suffix()));
    }

    // ASTM mode: a record's detail splits at its header's delimiters; "Send message", the
    // data list's last command, starts a message (its frames: the command-line runner's tests).
    void astmModeDetailAndSendMessage() {
        WindowFixture f;
        f.settings.ProtocolMode = kProtocolAstm;
        CMainWindow& window = f.Window();
        for (const std::string& bytes :
             {std::string(1, astm::kEnq), AstmFrame(1, "H#~@$"), AstmFrame(2, "O#1#s1@@@x#a~b")}) {
            QVERIFY(f.peer.Send(bytes));
            QCOMPARE(f.Received(1), std::string(1, astm::kAck));
        }
        QVERIFY(f.peer.Send(std::string(1, astm::kEot)));
        auto* traffic = f.Control<CTrafficListView>("TrafficList");  // R S R S I R S, the record
        QTRY_VERIFY(traffic->Model()->rowCount() > 7);
        traffic->ScrollTo(7);
        QStringList shape;  // the fields, the third's last component, the fourth's last repeat
        const auto readFields = [&](QWidget* dialog) {
            auto* tree = dialog->findChild<QTreeWidget*>("AstmFields");
            const QTreeWidgetItem* top = tree != nullptr ? tree->topLevelItem(0) : nullptr;
            if (top == nullptr || top->childCount() < 3) return;
            shape << top->text(0) << QString::number(top->childCount())
                  << top->child(1)->child(3)->text(0) << top->child(2)->child(1)->text(0);
        };
        const QPoint onOrder = traffic->RowRect(7).center();
        QVERIFY(
            Answered([&] { QTest::mouseDClick(traffic->viewport(), Qt::LeftButton, {}, onOrder); },
                     readFields));
        QCOMPARE(shape, (QStringList{"O Order", "3", "component 4: x", "repeat 2: b"}));
        window.Engine().DataList().Assign({"H|\\^&"});
        RightClickDataLine(f, 0, [](QMenu* menu) { return menu->actions().last(); });
        QCOMPARE(f.Received(1), std::string(1, astm::kEnq));
    }

    // The data list hidden gives its width to the traffic list (stored); the window grown moves
    // each control by its anchors, never below its first size; the window menu; a dropped file.
    void layoutAndWindowCommands() {
        WindowFixture f;
        CMainWindow& window = f.Window(false);
        QWidget* traffic = f.Control("TrafficList");
        auto* toggle = f.Control<QPushButton>("ShowDataList");
        const QRect shown = f.Control("DataList")->geometry();
        const auto edges = [&] {  // the traffic list's right end, the toggle's left
            return std::make_pair(traffic->geometry().right() + 1, toggle->geometry().left());
        };
        QCOMPARE(edges(), std::make_pair(shown.left() - 4, shown.left() - 12));
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(f.Control("DataList")->isHidden());
        QCOMPARE(edges(), std::make_pair(shown.right() + 1, shown.right() + 1 - 12));
        QCOMPARE(f.Control("BufferBox")->geometry().right() + 1, shown.right() + 1 - 15);
        QCOMPARE(std::make_pair(toggle->text(), f.settings.ShowDataListWnd),
                 std::make_pair(QString("<"), 0));
        QTest::mouseClick(toggle, Qt::LeftButton);
        QCOMPARE(traffic->geometry().right() + 1, shown.left() - 4);
        const QSize opened = window.size();
        QCOMPARE(window.minimumSize(), opened);
        // clang-format off
        const std::tuple<const char*, QPoint, QSize> anchors[] = {  // moved, grown by (100, 40)
            {"SendData", {100, 40}, {0, 0}}, {"OpenPort", {50, 40}, {0, 0}}, {"TrafficList", {0, 0}, {100, 40}},
            {"DataList", {100, 0}, {0, 40}}, {"SendBox", {0, 40}, {100, 0}}, {"BufferBox", {0, 0}, {100, 0}}};
        // clang-format on
        std::map<std::string, QRect> before;
        for (const auto& [name, moved, grown] : anchors)
            before[name] = f.Control(name)->geometry();
        window.resize(opened + QSize(100, 40));
        QTRY_COMPARE(window.size(), opened + QSize(100, 40));
        for (const auto& [name, moved, grown] : anchors) {
            const QRect now = f.Control(name)->geometry();
            QCOMPARE(now, QRect(before[name].topLeft() + moved, before[name].size() + grown));
        }
        // Wider still: the data column reaches the list's right end, status pane 0 takes the width.
        auto* rows = f.Control<CTrafficListView>("TrafficList");
        const int pane0 = f.Control("StatusPane0")->width();
        window.resize(opened + QSize(700, 40));
        QTRY_COMPARE(window.width(), opened.width() + 700);
        const int data = CTrafficTableModel::kColumnData;
        QCOMPARE(rows->Header()->sectionViewportPosition(data) + rows->Header()->sectionSize(data),
                 rows->viewport()->width());
        QCOMPARE(f.Control("StatusPane0")->width(), pane0 + 600);
        // A half move truncates toward zero when the window shrinks.
        const AnchorRule half{kMoveBoth, 100, 1, false, QSize(50, 20)};
        QCOMPARE(AnchoredRect(QRect(10, 10, 50, 20), half, -3, -3, {197, 97}), QRect(9, 7, 50, 20));
        window.resize(opened - QSize(50, 50));
        QTest::qWait(20);
        QCOMPARE(window.size(), opened);
        for (const auto& [name, rect] : before)
            QCOMPARE(f.Control(name.c_str())->geometry(), rect);

        // Pin Window twice; New Instance names its settings file after the current one.
        QAction* pin = CommandAction(window.WindowMenu(), kCmdPinWindow);
        for (bool pinned : {true, false}) {
            window.RunCommand(kCmdPinWindow);
            QCOMPARE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint), pinned);
            QCOMPARE(pin->isChecked(), pinned);
            QCOMPARE(window.size(), opened);
        }
        const std::vector<std::string> names = {NewInstanceIniName("/home/ann/cfg/my.ini"),
                                                NewInstanceIniName("/my.ini"),
                                                NewInstanceIniName("my.ini")};
        QCOMPARE(names, (std::vector<std::string>{"newmy.ini", "newQelvor.ini", "newQelvor.ini"}));

        // A dropped file (the first of two) loads; a right click selects the line Delete takes.
        const QString first = f.dir.filePath("lines.txt"), other = f.dir.filePath("other.txt");
        std::ofstream(first.toStdString(), std::ios::binary) << "A\r\nB\r\n";
        std::ofstream(other.toStdString()) << "not this one";
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(other)});
        QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(&window, &enter);
        QApplication::sendEvent(&window, &drop);
        CDataList& list = window.Engine().DataList();
        QCOMPARE(std::make_pair(list.Lines(), window.Engine().State().dataFilePath),
                 std::make_pair(std::vector<std::string>{"A", "B", ""}, first.toStdString()));
        const auto remove = [](QMenu* menu) { return CommandAction(menu, kCmdDeleteData); };
        QCOMPARE(RightClickDataLine(f, 1, remove), QString("DATA_PROC"));
        QCOMPARE(
            std::make_pair(list.Lines(), f.Control<QListView>("DataList")->model()->rowCount()),
            std::make_pair(std::vector<std::string>{"A", ""}, 2));
    }

    void everyBandInsideTheScreen_data() { AddLanguageRows(); }
    // Every band shown takes its room from the list: the window stays inside the screen's free
    // area, the buttons above the bands, the list as tall as it can give.
    void everyBandInsideTheScreen() {
        WindowFixture f;
        ScopedUiLanguage scope(RowLanguage());
        CMainWindow& window = f.Window();
        const QRect area = window.screen()->availableGeometry();
        window.move(area.topLeft() + QPoint(0, area.height() / 3));
        for (const char* band : {"QuickSendRow", "ModemLines", "FindBar", "StatisticsPanel"})
            window.SetBandShown(f.Control(band), true);
        QTest::qWait(50);
        QVERIFY2(area.contains(window.frameGeometry()), qPrintable(QString("%1,%2 %3x%4")
                                                                       .arg(window.x())
                                                                       .arg(window.y())
                                                                       .arg(window.width())
                                                                       .arg(window.height())));
        const auto top = [&](const char* name) {
            return f.Control(name)->mapTo(&window, QPoint(0, 0)).y();
        };
        QCOMPARE(top("QuickSendRow") + f.Control("QuickSendRow")->height(), top("ModemLines"));
        QVERIFY(top("Exit") + f.Control("Exit")->height() <= top("QuickSendRow"));
        for (const char* list : {"TrafficList", "DataList"})
            QVERIFY2(top(list) + f.Control(list)->height() <= top("SendData"), list);
        QCOMPARE(top("StatisticsPanel") + f.Control("StatisticsPanel")->height(), top("StatusBar"));
        QCOMPARE(top("StatusBar") + f.Control("StatusBar")->height(), window.height());
        QVERIFY(f.Control("TrafficList")->height() >= 90);
        QVERIFY(SaveScreenshot(window.grab().toImage(), "main-window-bands-" + scope.Suffix()));
    }

    // The window's place, size and columns, kept when it closes, come back in the next
    // window, inside the screen however far off they were stored.
    void placeAndColumnsKeptPerUser() {
        OwnUserFolder user;
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QSize grown;
        {
            WindowFixture f;
            CMainWindow& window = f.Window(false);
            grown = window.size() + QSize(30, 20);
            window.setGeometry(QRect(area.topLeft() + QPoint(7, 9), grown));
            f.Control<CTrafficListView>("TrafficList")->Header()->resizeSection(1, 123);
            QTRY_COMPARE(window.size(), grown);
            window.close();
        }
        const std::string conf = ReadAll(user.Conf());
        QVERIFY(conf.find("[Window]") != std::string::npos);
        {
            WindowFixture f;
            CMainWindow& window = f.Window(false);
            QCOMPARE(window.geometry(), QRect(area.topLeft() + QPoint(7, 9), grown));
            QCOMPARE(f.Control<CTrafficListView>("TrafficList")->Header()->sectionSize(1), 123);
        }
        std::ofstream(user.Conf().toStdString(), std::ios::binary)
            << "[Window]\r\nGeometry=9000,-400,700,560\r\nColumns=40,999999\r\n";
        WindowFixture f;
        CMainWindow& window = f.Window(false);
        QVERIFY(area.contains(window.geometry()));
        QCOMPARE(window.size(), QSize(700, 560).expandedTo(window.minimumSize()));
        const QHeaderView* header = f.Control<CTrafficListView>("TrafficList")->Header();
        QCOMPARE(std::make_pair(header->sectionSize(0), header->sectionSize(1)),
                 std::make_pair(40, 90));  // an absurd width is not taken
    }

    // Tab walks the controls as they read, the bands' after the dialog's, the window menu's
    // button last; each has a name for a screen reader.
    void tabOrderAndAccessibleNames() {
        WindowFixture f;
        CMainWindow& window = f.Window();
        f.Action("ShowQuickSends")->trigger();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QStringList expected;
        for (const char* name :
             {"BufferBox", "ShowDataList",  "TrafficList", "DataList",    "TapSendSide",
              "SendBox",   "SendLineEnd",   "SendData",    "CheckSum",    "SendCtrl",
              "LoadFile",  "SetPort",       "OpenPort",    "ClosePort",   "SendFile",
              "ReSend",    "SaveData",      "Scroll",      "SendNow",     "AutoSend",
              "Exit",      "QuickSendEdit", "WindowMenu",  "FindPattern", "FindCount",
              "FindClose"}) {
            QWidget* control = f.Control(name);
            QVERIFY2(!control->accessibleName().isEmpty(), name);
            if (control->isEnabled() && control->isVisible()) expected << name;
        }
        f.Control("BufferBox")->setFocus();
        QStringList walked{"BufferBox"};
        for (int step = 0; step < 40 && QApplication::focusWidget() != nullptr; ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            const QString name = QApplication::focusWidget()->objectName();
            if (name == "BufferBox") break;
            if (!name.startsWith("QuickSend") || name == "QuickSendEdit") walked << name;
        }
        QCOMPARE(walked, expected);
    }

    // "-n": the configuration dialog first, the port closed; then it opens (AutoRestart).
    void setupFirstThenAutoRestart() {
        WindowFixture f;
        f.settings.AutoRestart = 1;
        CMainWindow& window = f.Window(false);
        QString opened;
        bool portOpenInDialog = true;
        ModalWatcher watcher([&](QWidget* dialog) {
            opened = dialog->objectName();
            portOpenInDialog = window.Engine().IsPortOpen();
        });
        window.Start(CStartupArgs{{}, true, {}}, nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(opened, QString("ComSetDlg"), 3000);
        QCOMPARE(portOpenInDialog, false);
        QVERIFY(f.listener.Accept().Valid());
    }

    // A set chosen in the configuration dialog brings its band, columns and echo-free
    // view; the band shown so writes no key again.
    void anotherSetBringsItsBandAndColumns() {
        WindowFixture f;
        f.settings.SetNames.insert("Lab");
        for (const char* key : {"StatisticsShown", "ShowCheckColumn", "EchoFree"})
            f.settings.WriteProfileInt("Lab", key, 1);
        CMainWindow& window = f.Window(false);
        QWidget* panel = f.Control("StatisticsPanel");
        auto* header = f.Control<CTrafficListView>("TrafficList")->Header();
        QVERIFY(!window.BandShown(panel) &&
                header->isSectionHidden(CTrafficTableModel::kColumnCheck));
        const auto chooseLab = [](QWidget* dialog) {
            auto* series = dialog->findChild<QComboBox*>("Series");
            series->setCurrentIndex(series->findText("Lab"));
            emit series->activated(series->currentIndex());  // as a user's choice
            QTest::mouseClick(dialog->findChild<QPushButton*>("Save"), Qt::LeftButton);
        };
        QVERIFY(
            Answered([&] { QTest::mouseClick(f.Control<QPushButton>("SetPort"), Qt::LeftButton); },
                     chooseLab));
        QVERIFY(window.BandShown(panel) && f.Action("ShowStatistics")->isChecked());
        QVERIFY(!header->isSectionHidden(CTrafficTableModel::kColumnCheck));
        QVERIFY(f.Action("EchoFree")->isChecked() && f.Action("ShowCheckColumn")->isChecked());
        const std::string file = ReadAll(QString::fromStdString(f.settings.IniPath));
        QCOMPARE(file.find("StatisticsShown=1"), file.rfind("StatisticsShown=1"));
        QVERIFY(file.find("StatisticsShown=0") == std::string::npos);
    }
};
QELVOR_WINDOW_TEST(MainWindowTest);
#include "main_window_test.moc"
