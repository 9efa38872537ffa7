// The main window driven through its widgets: port buttons, traffic rows, the
// send box, popups, the data list (in the ASTM mode too), the layout, the
// window's own commands, the quick sends and the modem-lines band on a pty;
// rendered after a short session and with the send features in use.
#include <signal.h>

#include "astm/astm_frame.h"
#include "mainwnd/about_dialog.h"
#include "mainwnd/new_instance.h"
#include "mainwnd/popup_menus.h"
#include "mainwnd/resize_anchors.h"
#include "mainwnd/window/window_fixture.h"
#include "support/pty_pair.h"

using namespace qelvor;
using namespace qelvor::test;

namespace {

QAction* CommandAction(const QMenu* menu, int command) {
    for (QAction* action : menu->actions())
        if (CommandOf(action) == command) return action;
    return nullptr;
}

// Right-clicks line row of the data list and triggers the action that choose
// picks in the popup; returns the popup's name.
QString RightClickDataLine(WindowFixture& f, int row,
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

// Whether the process blocks SIGINT and SIGTERM yet (its start-up got past
// the point where they would still kill it).
bool BlocksStopSignals(qint64 pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigBlk:", 0) != 0) continue;
        const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
        return (mask & (1ull << (SIGINT - 1))) != 0 && (mask & (1ull << (SIGTERM - 1))) != 0;
    }
    return false;
}

std::string AstmFrame(int number, const std::string& record) {
    return astm::CAstmFrame{number, record + '\r', true}.Bytes();
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void sessionRowsAndScreenshot_data() { AddLanguageRows(); }
    void sessionRowsAndScreenshot();
    void portButtonsSendBoxAndEscape();
    void popupsHoldTheirItemsInOrder();
    void droppedFileThenRightClickDeletesALine();
    void astmModeDetailAndSendMessage();
    void layoutAndTrafficListBatches();
    void gesturesAndWindowMenuCommands();
    void clockPaneAndPendingBuffer();
    void setupFirstThenStopOrAutoRestart();
    void quickSendsAndTheirEditor();
    void modemBandOnAPtyAndReconnectInPaneZero_data() { AddLanguageRows(); }
    void modemBandOnAPtyAndReconnectInPaneZero();
};

// An answered ENQ in the list, then a short session (a loaded data list, a
// frame answered, a line sent, the clock on) rendered in each language to
// main-window-en.png and main-window-zh.png.
void MainWindowTest::sessionRowsAndScreenshot() {
    WindowFixture f;
    ScopedUiLanguage scope(RowLanguage());
    f.settings.HandShake = 1;
    f.settings.UsedResponseFile = 1;
    CMainWindow& window = f.Window();
    QVERIFY(f.peer.Send("\x05"));
    auto* rows = f.Control<QTableView>("TrafficList")->model();
    QTRY_COMPARE(rows->rowCount(), 2);
    const auto cell = [rows](int row, int column) { return rows->index(row, column).data(); };
    QCOMPARE(cell(0, 0).toString() + cell(0, 2).toString(), QString("R<ENQ>"));
    QCOMPARE(cell(1, 0).toString() + cell(1, 2).toString(), QString("S<ACK>"));
    QVERIFY(QTime::fromString(cell(0, 1).toString(), "HH:mm:ss.zzz").isValid());
    QCOMPARE(rows->index(0, 2).data(Qt::TextAlignmentRole).toInt() & Qt::AlignLeft,
             int(Qt::AlignLeft));

    const QString data = f.dir.filePath("astm.txt");
    std::ofstream(data.toStdString(), std::ios::binary)
        << "<STX>1H|\\^&|||Analyser<CR><ETX>\r\n<STX>2P|1<CR><ETX>\r\n<STX>3O|1|S42<CR><ETX>\r\n"
           "<STX>4L|1|N<CR><ETX>\r\n<EOT>\r\n";
    window.LoadDataFile(data);
    QVERIFY(
        f.peer.Send("\x02"
                    "1H|\\^&|||Host\r\x03"
                    "A7\r\n"));
    auto* box = f.Control<QLineEdit>("SendBox");
    QTest::keyClicks(box, "<STX>hello<ETX>");
    QTest::keyClick(box, Qt::Key_Return);
    QTRY_VERIFY(rows->rowCount() >= 7);
    QTest::mouseDClick(f.Control<QLabel>("StatusPane3"), Qt::LeftButton);
    QTest::qWait(50);
    QVERIFY(SaveScreenshot(window, "main-window-" + scope.Suffix()));
}

// OpenPort and ClosePort drive the buttons and pane 0. Return and the
// keypad's Enter send the box's text and keep it; Up and Down walk the sent
// texts back to the one typed before walking. With the port closed, Return
// neither sends nor reaches the default button (OpenPort), and Escape never
// closes the window.
void MainWindowTest::portButtonsSendBoxAndEscape() {
    WindowFixture f;
    CMainWindow& window = f.Window();
    auto* pane0 = f.Control<QLabel>("StatusPane0");
    const QString shown = "TCP-Client(127.0.0.1:" + QString::number(f.settings.IPPort) + ")";
    // The button clicked, whether the port is open then, pane 0.
    const std::tuple<const char*, bool, QString> steps[] = {
        {nullptr, true, shown + " connected"},
        {"ClosePort", false, shown},
        {"OpenPort", true, shown + " connected"}};
    for (const auto& [click, open, text] : steps) {
        if (click != nullptr) QTest::mouseClick(f.Control(click), Qt::LeftButton);
        QTRY_COMPARE(pane0->text(), text);
        QCOMPARE(f.Control("OpenPort")->isEnabled(), !open);
        for (const char* name : {"ClosePort", "SendData", "SendFile"})
            QCOMPARE(f.Control(name)->isEnabled(), open);
        QCOMPARE(f.Control<QPushButton>("SetPort")->text(), open ? "Setup" : "PortSet");
        if (click != nullptr && open) f.peer = f.listener.Accept();
    }
    QVERIFY(f.Control("ReSend")->isHidden());

    auto* box = f.Control<QLineEdit>("SendBox");
    const std::pair<const char*, Qt::Key> sends[] = {
        {"one", Qt::Key_Return}, {"two", Qt::Key_Enter}, {"three", Qt::Key_Return}};
    for (const auto& [text, key] : sends) {
        box->selectAll();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, key);
        QCOMPARE(f.Received(strlen(text)), std::string(text));
        QCOMPARE(box->text(), QString(text));
    }
    box->selectAll();
    QTest::keyClicks(box, "draft");
    const std::pair<Qt::Key, const char*> walk[] = {
        {Qt::Key_Up, "three"}, {Qt::Key_Up, "two"},     {Qt::Key_Up, "one"},    {Qt::Key_Up, "one"},
        {Qt::Key_Down, "two"}, {Qt::Key_Down, "three"}, {Qt::Key_Down, "draft"}};
    for (const auto& [key, text] : walk) {
        QTest::keyClick(box, key);
        QCOMPARE(box->text(), QString(text));
    }
    QTest::mouseClick(f.Control("ClosePort"), Qt::LeftButton);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(f.Received(1, 200), std::string());
    for (const char* name : {"SendBox", "TrafficList", "DataList", "OpenPort", "BufferBox"})
        QTest::keyClick(f.Control(name), Qt::Key_Escape);
    QTest::keyClick(&window, Qt::Key_Escape);
    QTest::qWait(20);
    QVERIFY(!window.Engine().IsPortOpen() && window.isVisible());
}

// Each popup in English holds its items in order; the window's menu begins
// with its own, the bands add their commands after.
void MainWindowTest::popupsHoldTheirItemsInOrder() {
    WindowFixture f;
    f.settings.UsedUILangCode = 2;
    CMainWindow& window = f.Window(false);
    const std::pair<const char*, QStringList> popups[] = {
        {"CTRL_CHAR",
         {"SOH(0x01)", "STX(0x02)", "ETX(0x03)", "EOT(0x04)", "EOT+SOH", "ENQ(0x05)", "ACK(0x06)",
          "CR+LF", "LF(0x0A)", "CR(0x0D)", "NAK(0x15)", "SYN(0x16)"}},
        {"EVENT",
         {"Save as &Fmt", "Save as &Raw", "Save as &Hex", "Save as &Txt", "Save as Fmt (&B)inary",
          "Save as &All", "save to &Zip file", "&Clear all data"}},
        {"DATA_PROC",
         {"&Load", "&ReLoad", "&Clear", "Save &As", "Insert Data(up)", "Insert Data((below)",
          "Delete Data"}},
        {"SelectUI", {"System", "Chinese", "English"}}};
    for (const auto& [name, labels] : popups) {
        std::unique_ptr<QMenu> menu(window.BuildPopup(name));
        QCOMPARE(Labels(menu.get()), labels);
        if (name == std::string("SelectUI"))
            QVERIFY(menu->actions().at(2)->isChecked() && !menu->actions().at(0)->isChecked());
    }
    const QStringList system = Labels(window.findChild<QMenu*>("SystemMenu"));
    QCOMPARE(system.mid(0, 4),
             QStringList({"About Qelvor(&A)...", "Pin Window", "&Explorer Path", "&New Instance"}));
    // The drop-down of SendCtrl is the control characters' menu, behind a
    // split button.
    auto* sendCtrl = f.Control<QToolButton>("SendCtrl");
    QCOMPARE(sendCtrl->popupMode(), QToolButton::MenuButtonPopup);
    QCOMPARE(Labels(sendCtrl->menu()), popups[0].second);
}

// A dropped file loads as the data file (only the first of two); a right
// click's press selects the line, so that Delete Data takes it and not the
// line selected before.
void MainWindowTest::droppedFileThenRightClickDeletesALine() {
    WindowFixture f;
    CMainWindow& window = f.Window(false);
    const QString first = f.dir.filePath("lines.txt");
    std::ofstream(first.toStdString(), std::ios::binary) << "A\r\nB\r\n";
    std::ofstream(f.dir.filePath("other.txt").toStdString()) << "not this one";
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(f.dir.filePath("other.txt"))});
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(&window, &enter);
    QApplication::sendEvent(&window, &drop);
    CDataList& list = window.Engine().DataList();
    QCOMPARE(list.Lines(), (std::vector<std::string>{"A", "B", ""}));
    QCOMPARE(window.Engine().State().dataFilePath, first.toStdString());
    const auto remove = [](QMenu* menu) { return CommandAction(menu, kCmdDeleteData); };
    QCOMPARE(RightClickDataLine(f, 1, remove), QString("DATA_PROC"));
    QCOMPARE(list.Lines(), (std::vector<std::string>{"A", ""}));
    auto* view = f.Control<QListView>("DataList");
    QCOMPARE(view->model()->rowCount(), 2);
}

// In the ASTM mode: the detail view of a received record shows its fields at
// the delimiters its header declared ('#' fields, '~' repeats, '@'
// components); then "Send message", the data list's last command, sends the
// list to the host as one message, the empty line no record.
void MainWindowTest::astmModeDetailAndSendMessage() {
    WindowFixture f;
    f.settings.ProtocolMode = kProtocolAstm;
    CMainWindow& window = f.Window();
    for (const std::string& bytes :
         {std::string(1, astm::kEnq), AstmFrame(1, "H#~@$"), AstmFrame(2, "O#1#s1@@@x#a~b")}) {
        QVERIFY(f.peer.Send(bytes));
        QCOMPARE(f.Received(1), std::string(1, astm::kAck));
    }
    QVERIFY(f.peer.Send(std::string(1, astm::kEot)));
    const CMsgExchange& store = window.Engine().Exchange();
    const auto orderRow = [&] {
        for (size_t i = 0; i < store.RecordCount(); ++i)
            if (store.Record(i).Data() == "record: O#1#s1@@@x#a~b") return int(i);
        return -1;
    };
    auto* traffic = f.Control<QTableView>("TrafficList");
    QTRY_VERIFY(orderRow() >= 0 && traffic->model()->rowCount() > orderRow());
    traffic->scrollTo(traffic->model()->index(orderRow(), 2));
    const QPoint onOrder = traffic->visualRect(traffic->model()->index(orderRow(), 2)).center();
    QStringList shape;  // the fields, the third's last component, the fourth's last repeat
    ModalWatcher watcher([&](QWidget* dialog) {
        auto* tree = dialog->findChild<QTreeWidget*>("AstmFields");
        const QTreeWidgetItem* order = tree != nullptr ? tree->topLevelItem(0) : nullptr;
        if (order == nullptr || order->childCount() < 3) return;
        shape << order->text(0) << QString::number(order->childCount())
              << order->child(1)->child(3)->text(0) << order->child(2)->child(1)->text(0);
    });
    QTest::mouseDClick(traffic->viewport(), Qt::LeftButton, {}, onOrder);
    QTRY_VERIFY(watcher.found);
    QCOMPARE(shape, (QStringList{"O Order", "3", "component 4: x", "repeat 2: b"}));

    window.Engine().DataList().Assign({"H|\\^&", "", "P|1"});
    RightClickDataLine(f, 0, [](QMenu* menu) { return menu->actions().last(); });
    QCOMPARE(f.Received(1), std::string(1, astm::kEnq));
    for (const std::string& frame : {AstmFrame(1, "H|\\^&"), AstmFrame(2, "P|1")}) {
        QVERIFY(f.peer.Send(std::string(1, astm::kAck)));
        QCOMPARE(f.Received(frame.size()), frame);
    }
    QVERIFY(f.peer.Send(std::string(1, astm::kAck)));
    QCOMPARE(f.Received(1), std::string(1, astm::kEot));
    QTRY_VERIFY(window.Engine().AstmMessageResult() == std::optional<bool>(true));
}

// Hidden, the data list gives its width to the traffic list, and the choice
// is stored; the window grown moves and grows each control by its anchors,
// and it cannot be made smaller than it opened. The traffic list takes
// records in batches.
void MainWindowTest::layoutAndTrafficListBatches() {
    WindowFixture f;
    f.settings.ScrollRSWnd = 1;
    CMainWindow& window = f.Window(false);
    QWidget* traffic = f.Control("TrafficList");
    QWidget* data = f.Control("DataList");
    auto* toggle = f.Control<QPushButton>("ShowDataList");
    const QRect shown = data->geometry();
    QCOMPARE(traffic->geometry().right() + 1, shown.left() - 4);
    QCOMPARE(toggle->geometry().left(), shown.left() - 12);

    QTest::mouseClick(toggle, Qt::LeftButton);
    QVERIFY(data->isHidden());
    QCOMPARE(toggle->text(), QString("<"));
    QCOMPARE(traffic->geometry().right(), shown.right());
    QCOMPARE(f.Control("BufferBox")->geometry().right() + 1, shown.right() + 1 - 15);
    QCOMPARE(toggle->geometry().left(), shown.right() + 1 - 12);
    QCOMPARE(f.settings.ReadProfileInt(f.settings.GetCurrentSet(), "ShowDataListWnd", -1), 0);

    QTest::mouseClick(toggle, Qt::LeftButton);
    QCOMPARE(traffic->geometry().right() + 1, shown.left() - 4);
    QCOMPARE(f.settings.ReadProfileInt(f.settings.GetCurrentSet(), "ShowDataListWnd", -1), 1);

    const QSize opened = window.size();
    QCOMPARE(window.minimumSize(), opened);
    // Each control's move and growth when the window grows by (100, 40).
    const std::tuple<const char*, QPoint, QSize> anchors[] = {
        {"SendData", {100, 40}, {0, 0}}, {"CheckSum", {100, 40}, {0, 0}},
        {"OpenPort", {50, 40}, {0, 0}},  {"Exit", {50, 40}, {0, 0}},
        {"Scroll", {50, 40}, {0, 0}},    {"TrafficList", {0, 0}, {100, 40}},
        {"DataList", {100, 0}, {0, 40}}, {"SendBox", {0, 40}, {100, 0}},
        {"BufferBox", {0, 0}, {100, 0}}};
    std::map<std::string, QRect> before;
    for (const auto& [name, moved, grown] : anchors)
        before[name] = f.Control(name)->geometry();
    window.resize(opened + QSize(100, 40));
    QTRY_COMPARE(window.size(), opened + QSize(100, 40));
    for (const auto& [name, moved, grown] : anchors) {
        const QRect now = f.Control(name)->geometry();
        QCOMPARE(now, QRect(before[name].topLeft() + moved, before[name].size() + grown));
    }

    // A half move truncates toward zero when the window shrinks.
    const AnchorRule half{kMoveBoth, 100, 1, false, QSize(50, 20)};
    QCOMPARE(AnchoredRect(QRect(10, 10, 50, 20), half, -3, -3, {197, 97}), QRect(9, 7, 50, 20));
    window.resize(opened - QSize(50, 50));
    QTest::qWait(20);
    QCOMPARE(window.size(), opened);
    for (const auto& [name, rect] : before)
        QCOMPARE(f.Control(name.c_str())->geometry(), rect);

    // 5000 records appended at once are announced as one insertion.
    auto* view = f.Control<QTableView>("TrafficList");
    QSignalSpy inserted(view->model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(view->model(), &QAbstractItemModel::modelReset);
    CMsgExchange& exchange = window.Engine().Exchange();
    for (int i = 0; i < 5000; ++i)
        exchange.AddRecord('I', "line " + std::to_string(i));
    QTRY_COMPARE(view->model()->rowCount(), 5000);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(view->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);

    // A clear followed by growth is a reset, even when the count grows past
    // the rows shown.
    window.RunCommand(kCmdClearAllData);
    for (int i = 0; i < 6000; ++i)
        exchange.AddRecord('I', "again");
    QTRY_COMPARE(reset.count(), 1);
    QCOMPARE(view->model()->rowCount(), 6000);
    QCOMPARE(view->model()->index(0, 2).data().toString(), QString("again"));
}

// Each gesture opens its menu, dialog or message box (named by its object
// name or its text); pane 0 opens nothing outside the serial mode. Then the
// window menu's own commands.
void MainWindowTest::gesturesAndWindowMenuCommands() {
    const std::tuple<const char*, std::string, QString> cases[] = {
        {"StatusPane2", "double", "LuaProc.lua"}, {"StatusPane2", "right", "DATA_PROC"},
        {"StatusPane3", "right", "SelectUI"},     {"TrafficList", "right", "EVENT"},
        {"SendBox", "F1", "AboutDialog"},         {"StatusPane0", "double", ""}};
    for (const auto& [target, gesture, opened] : cases) {
        WindowFixture f;
        QWidget* widget = f.Control(target);
        if (auto* view = qobject_cast<QAbstractItemView*>(widget)) widget = view->viewport();
        QString seen;
        ModalWatcher watcher([&](QWidget* open) {
            auto* box = qobject_cast<QMessageBox*>(open);
            seen = box != nullptr ? box->text() : open->objectName();
        });
        if (gesture == "double") QTest::mouseDClick(widget, Qt::LeftButton);
        if (gesture == "right") QTest::mouseClick(widget, Qt::RightButton);
        if (gesture == "F1") QTest::keyClick(widget, Qt::Key_F1);
        if (opened.isEmpty()) QTest::qWait(100);
        QTRY_COMPARE(seen, opened);
        QCOMPARE(watcher.found, !opened.isEmpty());
        QVERIFY(f.window->isVisible());
    }

    // Pin Window twice leaves the window unpinned and unchecked, in its place;
    // New Instance names the new settings file after the current one; About
    // shows the control characters' table.
    WindowFixture f;
    CMainWindow& window = f.Window(false);
    QAction* pin = CommandAction(window.findChild<QMenu*>("SystemMenu"), kCmdPinWindow);
    const QSize size = window.size();
    for (bool pinned : {true, false}) {
        window.RunCommand(kCmdPinWindow);
        QCOMPARE(window.Pinned(), pinned);
        QCOMPARE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint), pinned);
        QCOMPARE(pin->isChecked(), pinned);
        QVERIFY(window.isVisible());
        QCOMPARE(window.size(), size);
    }
    const std::pair<std::string, std::string> names[] = {{"/home/ann/cfg/my.ini", "newmy.ini"},
                                                         {"/my.ini", "newQelvor.ini"},
                                                         {"my.ini", "newQelvor.ini"}};
    for (const auto& [iniPath, name] : names)
        QCOMPARE(NewInstanceIniName(iniPath), name);
    const std::string table = CAboutDialog::AsciiTableText();
    QVERIFY(table.starts_with("<NUL>=0x00 ,<SOH>=0x01 ,<STX>=0x02 ,<ETX>=0x03 \r\n"));
    QVERIFY(table.ends_with("<FS> =0x1C ,<GS> =0x1D ,<RS> =0x1E ,<UP> =0x1F \r\n"));
}

void MainWindowTest::clockPaneAndPendingBuffer() {
    WindowFixture f;
    f.settings.SplitStrs = "<ETX>";
    CMainWindow& window = f.Window();
    auto* clock = f.Control<QLabel>("StatusPane3");
    QTest::mouseDClick(clock, Qt::LeftButton);
    QVERIFY(QTime::fromString(clock->text(), "HH:mm:ss").isValid());
    QTest::mouseDClick(clock, Qt::LeftButton);
    QCOMPARE(clock->text(), QString());
    QTest::qWait(250);
    QCOMPARE(clock->text(), QString());  // the clock stopped

    // Bytes no split string ends wait in the Buffer box; its label's
    // double-click shows them (no "+ms") with "Save data", which records
    // them; closed any other way, the view leaves them waiting.
    QVERIFY(f.peer.Send("ab\x02"));
    auto* buffer = f.Control<QLineEdit>("BufferBox");
    QTRY_COMPARE(buffer->text(), QString("ab<STX>"));
    for (const bool save : {false, true}) {
        ModalWatcher watcher([save](QWidget* dialog) {
            auto* button = dialog->findChild<QPushButton*>("SaveDetail");
            if (dialog->findChild<QWidget*>("GapMs") != nullptr) return;
            if (save && button != nullptr && button->isVisibleTo(dialog)) button->click();
        });
        QTest::mouseDClick(f.Control("BufferLabel"), Qt::LeftButton);
        QVERIFY(watcher.found);
        QCOMPARE(buffer->text(), save ? QString() : QString("ab<STX>"));
    }
    const CMsgExchange& exchange = window.Engine().Exchange();
    QCOMPARE(exchange.Record(exchange.RecordCount() - 1).Data(), std::string("ab\x02"));
    QTRY_COMPARE(f.Control<QTableView>("TrafficList")->model()->rowCount(),
                 int(exchange.RecordCount()));
}

// "-n" opens the configuration dialog first: a stop signal to the program
// finds it open and still ends it with status 0.
void MainWindowTest::setupFirstThenStopOrAutoRestart() {
    QTemporaryDir dir;
    const QString ini = dir.filePath("stop.ini");
    std::ofstream(ini.toStdString()) << "[ComSet]\r\nWorkMode=1\r\nIPPort=1\r\n";
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        QProcess program;  // killed at the end if still running
        program.start(QELVOR_PROGRAM, {"-n", ini});
        QVERIFY(program.waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return BlocksStopSignals(program.processId()); }, 10000));
        QTest::qWait(300);
        QCOMPARE(kill(pid_t(program.processId()), signalNumber), 0);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }

    // In the window itself: the dialog comes first, by timer 5, with the port
    // not opened; closed, it opens the port as AutoRestart says (the engine's
    // tests walk both answers).
    WindowFixture f;
    f.settings.AutoRestart = 1;
    CMainWindow& window = f.Window(false);
    QString opened;
    bool portOpenInDialog = true;
    ModalWatcher watcher([&](QWidget* dialog) {
        opened = dialog->objectName();
        portOpenInDialog = window.Engine().IsPortOpen();
    });
    window.Start(CStartupArgs{{}, true}, nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(opened, QString("ComSetDlg"), 3000);
    QCOMPARE(portOpenInDialog, false);
    QVERIFY(f.listener.Accept().Valid());
}

// A quick-send button's composed bytes reach the peer, Ctrl+2 presses the
// second, an empty one sends nothing; the row's height comes and goes with it.
void MainWindowTest::quickSendsAndTheirEditor() {
    WindowFixture f;
    CMainWindow& window = f.Window();
    CMainEngine& engine = window.Engine();
    QVERIFY(engine.SetQuickSend(0, {"Frame", "<STX>A<ETX>"}) &&
            engine.SetQuickSend(1, {"B", "B"}) && engine.SetQuickSend(3, {"Enq", "<ENQ>"}));
    const QSize opened = window.size();
    auto* box = f.Control<QLineEdit>("SendBox");
    const QRect boxPlace = box->geometry();
    QWidget* row = f.Control("QuickSendRow");
    auto* shown = f.Action("ShowQuickSends");
    shown->trigger();
    // The row comes in above the status bar and takes its height from a
    // taller window, not from the controls; hidden, it gives it back.
    QTRY_COMPARE(window.size(), opened + QSize(0, row->height()));
    QCOMPARE(window.minimumSize(), window.size());
    QCOMPARE(row->geometry(), QRect(0, opened.height() - 22, opened.width(), row->height()));
    QCOMPARE(box->geometry(), boxPlace);
    QVERIFY(row->isVisible() && shown->isChecked() && !f.Control("QuickSend3")->isVisible());
    auto* first = f.Control<QPushButton>("QuickSend1");
    QCOMPARE(first->text() + " " + first->toolTip(), QString("Frame <STX>A<ETX>"));

    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const std::pair<Qt::Key, std::string> presses[] = {
        {Qt::Key_unknown, "\2A\3"}, {Qt::Key_2, "B"}, {Qt::Key_4, "\5"}, {Qt::Key_3, ""}};
    for (const auto& [key, bytes] : presses) {
        if (key == Qt::Key_unknown) first->click();
        if (key != Qt::Key_unknown) QTest::keyClick(box, key, Qt::ControlModifier);
        QCOMPARE(f.Received(bytes.size() + 1, 300), bytes);
    }
    // Hidden, the row gives its height back and its keys send nothing.
    shown->trigger();
    QTRY_COMPARE(window.size(), opened);
    QTest::keyClick(box, Qt::Key_2, Qt::ControlModifier);
    QCOMPARE(f.Received(1, 200), std::string());

    // The editor's OK stores every changed row or, when one is refused, none.
    // The cells set (row, column, text), whether the dialog then closes, and
    // the refusal shown.
    using Cells = std::vector<std::tuple<int, int, QString>>;
    const std::tuple<Cells, bool, QString> edits[] = {
        {{{2, 0, "Third"}, {2, 1, "<ENQ>"}}, true, {}},
        // Row 2 is stored before row 5 is refused, and put back.
        {{{1, 0, "New"}, {4, 0, "a\tb"}}, false, "Button 5 cannot be stored"},
    };
    for (const auto& [cells, closes, shownRefusal] : edits) {
        bool accepted = false;
        QString refusal;
        ModalWatcher watcher([&](QWidget* dialog) {
            auto* table = dialog->findChild<QTableWidget*>("QuickSendTable");
            for (const auto& [r, column, text] : cells)
                table->item(r, column)->setText(text);
            ModalWatcher refused(
                [&](QWidget* open) { refusal = static_cast<QMessageBox*>(open)->text(); });
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            accepted = !dialog->isVisible();
        });
        f.Control<QPushButton>("QuickSendEdit")->click();
        QVERIFY(watcher.found);
        QCOMPARE(accepted, closes);
        QCOMPARE(refusal.section(':', 0, 0), shownRefusal);
    }
    QStringList stored;
    for (int i = 0; i < 5; ++i)
        stored << QString::fromStdString(CQuickSends::Encode(engine.QuickSends().Button(i)));
    QCOMPARE(stored, QStringList({"Frame\t<STX>A<ETX>", "B\tB", "Third\t<ENQ>", "Enq\t<ENQ>", ""}));
    QCOMPARE(f.Control<QPushButton>("QuickSend3")->text(), QString("Third"));
}

// A pty has no modem lines: none can change, so no 'I' record of one can
// come here (the engine's tests count those). The window with four quick
// sends and the band is rendered above the same window while the vanished
// device is being reopened.
void MainWindowTest::modemBandOnAPtyAndReconnectInPaneZero() {
    WindowFixture f;
    ScopedUiLanguage scope(RowLanguage());
    testing_support::PtyDevice pty;
    f.settings.AutoReconnect = 1;
    f.settings.WorkMode = kWorkModeSerial;
    f.settings.ComPort = 0;
    f.settings.ComName = pty.path;
    CMainWindow& window = f.Window();
    CMainEngine& engine = window.Engine();
    QVERIFY(engine.SetQuickSend(0, {"ENQ", "<ENQ>"}) &&
            engine.SetQuickSend(1, {"Header", "<STX>1H|\\^&<CR><ETX>"}) &&
            engine.SetQuickSend(2, {"Result frame", "<STX>2R|1|^^^GLU|5.2<CR><ETX>"}) &&
            engine.SetQuickSend(3, {"EOT", "<EOT>"}));
    engine.SetQuickSendsShown(true);
    QWidget* band = f.Control("ModemLines");
    QTRY_VERIFY(band->isVisible() && f.Control("LinesNote")->isVisible());
    if (scope.Suffix() == "en")
        QCOMPARE(f.Control<QLabel>("LinesNote")->text(),
                 QString("Modem lines not available on this device"));
    for (const char* name : {"LineDtr", "LineRts", "LineBreak", "LineCts", "LineRi"})
        QVERIFY2(!f.Control(name)->isEnabled(), name);
    f.Control<QPushButton>("QuickSend1")->click();
    QVERIFY(pty.Feed("\x06"));
    // The list shows them, not only the store holds them.
    QTRY_COMPARE(f.Control<QTableView>("TrafficList")->model()->rowCount(), 2);
    const QImage open = window.grab().toImage();

    pty.CloseMaster();
    const QString attempt = QString::fromStdString(
        StrPrintf(LoadStr(kStrReconnecting), f.settings.DescribePort().c_str(), 1));
    QTRY_COMPARE_WITH_TIMEOUT(f.Control<QLabel>("StatusPane0")->text(), attempt, 5000);
    QVERIFY(!band->isVisible() && !f.Control("QuickSend1")->isEnabled());
    const QImage reconnecting = window.grab().toImage();
    QImage both(open.width(), open.height() + reconnecting.height() + 8, QImage::Format_RGB32);
    both.fill(Qt::darkGray);
    QPainter(&both).drawImage(0, 0, open);
    QPainter(&both).drawImage(0, open.height() + 8, reconnecting);
    QVERIFY(SaveScreenshot(both, "send-" + scope.Suffix()));
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
