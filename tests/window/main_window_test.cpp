// The main window driven through its widgets: port buttons, traffic rows, the
// send box, popups, the data list (in the ASTM mode too), the layout, the
// window's own commands, the quick sends and the modem-lines band on a pty;
// the traffic list's find bar, filter, check and gap columns and scroll lock;
// the statistics band in the light and dark themes and at twice the scale,
// the theme choice, the CSV export and the highlight rules editor. Each is
// rendered in use for a look by eye.
#include <signal.h>

#include <QChart>
#include <QChartView>
#include <QLineSeries>

#include "astm/astm_frame.h"
#include "data/check_sum.h"
#include "mainwnd/new_instance.h"
#include "support/pty_pair.h"
#include "support/window_fixture.h"
#include "traffic/record_timing.h"
#include "window/popup_menus.h"
#include "window/resize_anchors.h"
#include "window/statistics_panel.h"
#include "window/theme.h"
#include "window/traffic_table_model.h"

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

// Whether the process blocks the stop signals and ignores SIGPIPE yet (its
// start-up got past the point where they would still kill it).
bool BlocksStopSignals(qint64 pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    const auto has = [](unsigned long long mask, int signalNumber) {
        return (mask & (1ull << (signalNumber - 1))) != 0;
    };
    bool blocked = false, ignored = false;
    for (std::string line; std::getline(status, line);) {
        const bool blk = line.rfind("SigBlk:", 0) == 0, ign = line.rfind("SigIgn:", 0) == 0;
        if (!blk && !ign) continue;
        const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
        if (blk) blocked = has(mask, SIGINT) && has(mask, SIGTERM) && has(mask, SIGHUP);
        if (ign) ignored = has(mask, SIGPIPE);
    }
    return blocked && ignored;
}

std::string AstmFrame(int number, const std::string& record) {
    return astm::CAstmFrame{number, record + '\r', true}.Bytes();
}

const std::string kFrame = "\0021H|\\^&|||Host\r\003";  // its ASTM check is F7
const std::string kGood = kFrame + "F7\r\n", kBad = kFrame + "A7\r\n";
const QStringList kShown = {"alpha 1", "beta 22", "alpha 333", "\x02z\x03"};

struct FindFixture : WindowFixture {
    FindFixture() {
        settings.SplitStrs = "<CR><LF>";
        settings.RespondStrs = "<ACK>";
        settings.HandShake = 1;
        settings.ScrollRSWnd = 1;
    }
    QTableView* List() { return Control<QTableView>("TrafficList"); }
    CTrafficTableModel* Model() { return static_cast<CTrafficTableModel*>(List()->model()); }
    const CMsgExchange& Store() { return window->Engine().Exchange(); }
    // Sends each line with CR LF and waits until its record and answer are
    // stored and the list has caught up with them.
    bool Receive(const QStringList& lines) {
        const size_t each = settings.RespondStrs.empty() ? 1 : 2;
        const size_t wanted = Store().RecordCount() + each * size_t(lines.size());
        for (const QString& line : lines)
            if (!peer.Send(line.toStdString() + "\r\n")) return false;
        const auto stored = [&] { return Store().RecordCount() == wanted && Model()->CaughtUp(); };
        return QTest::qWaitFor(stored) && QTest::qWaitFor([&] { return !Model()->CatchUp(); });
    }
    const CMsgRecord& Shown(int row) { return Store().Record(Model()->RecordIndex(row)); }
    // A row's record data without the CR LF that ended it.
    QString Line(int row) {
        QString data = QString::fromStdString(Shown(row).Data());
        if (data.endsWith("\r\n")) data.chop(2);
        return data;
    }
    // The data of the selected row's record; "-" for no selection.
    QString Selected() {
        const QModelIndexList rows = List()->selectionModel()->selectedRows();
        return rows.size() == 1 ? Line(rows[0].row()) : QString("-");
    }
    QStringList ShownData(char type = 0) {
        QStringList data;
        for (int row = 0; row < Model()->rowCount(); ++row)
            if (type == 0 || Shown(row).Type() == type) data << Line(row);
        return data;
    }
    QString Cell(int row, int column) { return Model()->index(row, column).data().toString(); }
    void Search(int mode, const QString& pattern) {
        Control<QComboBox>("FindMode")->setCurrentIndex(mode);
        auto* box = Control<QLineEdit>("FindPattern");
        box->clear();
        QTest::keyClicks(box, pattern);
    }
    QString Count() { return Control<QLabel>("FindCount")->text(); }
};

// The chart's series: 0 the received bytes, 1 the sent ones.
QLineSeries* Series(CMainWindow& window, int index) {
    auto* view = window.findChild<QChartView*>("StatisticsChart");
    return qobject_cast<QLineSeries*>(view->chart()->series().value(index));
}

// The seconds of a series that hold bytes, as "x:bytes".
QStringList Nonzero(const QLineSeries* series) {
    QStringList points;
    for (const QPointF& point : series->points())
        if (point.y() != 0) points << QStringLiteral("%1:%2").arg(point.x()).arg(point.y());
    return points;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanup() { CTheme::Apply(Theme::kSystem); }
    void sessionRowsAndScreenshot_data() { AddLanguageRows(); }
    void sessionRowsAndScreenshot();
    void portButtonsSendBoxAndEscape();
    void astmModeDetailAndSendMessage();
    void layoutBatchesPopupsAndWindowCommands();
    void gesturesOpenTheirPopupsAndDialogs();
    void setupFirstThenStopOrAutoRestart();
    void quickSendsAndTheirEditor();
    void modemBandOnAPtyAndReconnectInPaneZero_data() { AddLanguageRows(); }
    void modemBandOnAPtyAndReconnectInPaneZero();
    void findAndFilter();
    void columnsAndScrollLock();
    void screenshot_data() { AddLanguageRows(); }
    void screenshot();
    void countersInEachThemeAndLanguageThenReset_data();
    void countersInEachThemeAndLanguageThenReset();
    void windowMenuToolsAndTheChart();
    void anotherSetBringsItsBandAndColumns();

  private:
    QTemporaryDir config_;
    QString platformStyle_;
};

// An answered ENQ in the list, then a short session (a loaded data list, a
// frame answered, a line sent, bytes waiting, the clock on) rendered in each
// language to main-window-en.png and main-window-zh.png; then the clock
// stopped and the waiting bytes viewed.
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
    QVERIFY(rows->index(0, 2).data(Qt::TextAlignmentRole).toInt() & Qt::AlignLeft);

    const QString data = f.dir.filePath("astm.txt");
    std::ofstream(data.toStdString(), std::ios::binary)
        << "<STX>1H|\\^&|||Analyser<CR><ETX>\r\n<STX>2P|1<CR><ETX>\r\n<STX>3O|1|S42<CR><ETX>\r\n"
           "<STX>4L|1|N<CR><ETX>\r\n<EOT>\r\n";
    window.LoadDataFile(data);
    QVERIFY(f.peer.Send(kGood));
    auto* box = f.Control<QLineEdit>("SendBox");
    QTest::keyClicks(box, "<STX>hello<ETX>");
    QTest::keyClick(box, Qt::Key_Return);
    QTRY_VERIFY(rows->rowCount() >= 7);
    // Bytes no split string ends wait in the Buffer box.
    QVERIFY(f.peer.Send("ab\x02"));
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

    // The Buffer label's double-click shows the waiting bytes (no "+ms") with
    // "Save data", which records them; closed any other way, the view leaves
    // them waiting.
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
    QTRY_COMPARE(rows->rowCount(), int(exchange.RecordCount()));
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
        {"ClosePort", false, shown}, {"OpenPort", true, shown + " connected"}};
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
// records in batches. Then, in the same window, the popups, the window
// menu's own commands and a dropped file.
void MainWindowTest::layoutBatchesPopupsAndWindowCommands() {
    WindowFixture f;
    f.settings.ScrollRSWnd = 1;
    f.settings.UsedUILangCode = 2;  // the popups' labels are read in English
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

    // In English, each popup holds its items in order; the window's menu
    // begins with its own, the bands add their commands after.
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

    // Pin Window twice leaves the window unpinned and unchecked, in its place;
    // New Instance names the new settings file after the current one.
    QAction* pin = CommandAction(window.findChild<QMenu*>("SystemMenu"), kCmdPinWindow);
    const QSize size = window.size();
    for (bool pinned : {true, false}) {
        window.RunCommand(kCmdPinWindow);
        QCOMPARE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint), pinned);
        QCOMPARE(pin->isChecked(), pinned);
        QCOMPARE(window.size(), size);
    }
    const std::pair<std::string, std::string> names[] = {{"/home/ann/cfg/my.ini", "newmy.ini"},
                                                         {"/my.ini", "newQelvor.ini"},
                                                         {"my.ini", "newQelvor.ini"}};
    for (const auto& [iniPath, name] : names)
        QCOMPARE(NewInstanceIniName(iniPath), name);

    // A dropped file loads as the data file (only the first of two); a right
    // click's press selects the line, so that Delete Data takes it and not
    // the line selected before.
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
    QCOMPARE(f.Control<QListView>("DataList")->model()->rowCount(), 2);
}

// Each gesture opens its menu, dialog or message box (named by its object
// name or its text); pane 0 opens nothing outside the serial mode.
void MainWindowTest::gesturesOpenTheirPopupsAndDialogs() {
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
}

// "-n" opens the configuration dialog first: a stop signal to the program
// finds it open and still ends it with status 0.
void MainWindowTest::setupFirstThenStopOrAutoRestart() {
    QTemporaryDir dir;
    const QString ini = dir.filePath("stop.ini");
    std::ofstream(ini.toStdString()) << "[ComSet]\r\nWorkMode=1\r\nIPPort=1\r\n";
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        QProcess program;  // killed at the end if still running
        program.start(QELVOR_PROGRAM, {"-n", ini});
        QVERIFY(program.waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return BlocksStopSignals(program.processId()); }, 10000));
        QTest::qWait(300);
        QCOMPARE(kill(pid_t(program.processId()), signalNumber), 0);
        QVERIFY(program.waitForFinished(10000) && program.exitStatus() == QProcess::NormalExit);
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

// Each pattern over the same lines, in a bar opened again each time: Enter,
// then F3 walk the matches in order and go round to the first; Previous and
// Shift+F3 go back. A bad pattern shows its error in the error colour and
// finds nothing. Escape closes the bar, not the window.
void MainWindowTest::findAndFilter() {
    // The mode (text, regex, hex), the pattern, its matches and the count shown.
    const std::tuple<int, QString, QStringList, QString> cases[] = {
        {0, "alpha", {kShown[0], kShown[2]}, "2 matches"},
        {1, "^(alpha|beta) \\d{2,}\\b", {kShown[1], kShown[2]}, "2 matches"},
        {2, "02 ?? 03", {kShown[3]}, "1 matches"},
        {0, "omega", {}, "no match"},
        {2, "02 0Z", {}, "hex pattern: 'Z' is no hex digit"}};
    FindFixture f;
    CMainWindow& window = f.Window();
    QVERIFY(f.Receive(kShown));
    auto* bar = f.Control("FindBar");
    auto* box = f.Control<QLineEdit>("FindPattern");
    auto* label = f.Control<QLabel>("FindCount");
    for (const auto& [mode, pattern, matches, count] : cases) {
        f.List()->clearSelection();
        QTest::keyClick(f.List(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(window.BandShown(bar) && box->hasFocus());
        f.Search(mode, pattern);
        QVERIFY2(f.Count().startsWith(count), qPrintable(f.Count()));
        QCOMPARE(label->palette().color(QPalette::WindowText) ==
                     CTrafficTableModel::ErrorColor(label->palette()),
                 matches.isEmpty() && count != "no match");
        const auto n = static_cast<int>(matches.size());
        for (int step = 0; step <= n; ++step) {
            QTest::keyClick(box, step == 0 ? Qt::Key_Return : Qt::Key_F3);
            QCOMPARE(f.Selected(), n == 0 ? QString("-") : matches[step % n]);
            if (n > 0) QCOMPARE(f.Count(), QString("%1 of %2").arg(step % n + 1).arg(n));
        }
        if (n > 0) {
            QTest::mouseClick(f.Control<QPushButton>("FindPrevious"), Qt::LeftButton);
            QCOMPARE(f.Selected(), matches.back());
            QTest::keyClick(box, Qt::Key_F3, Qt::ShiftModifier);
            QCOMPARE(f.Selected(), matches[std::max(n - 2, 0)]);
        }
        QTest::keyClick(box, Qt::Key_Escape);
        QVERIFY(!window.BandShown(bar) && window.isVisible());
    }

    // The filter: the received rows only, also as they come.
    f.window->Engine().Exchange().AddRecord('I', "note");
    QTest::keyClick(f.List(), Qt::Key_F, Qt::ControlModifier);
    f.Control<QCheckBox>("FilterSent")->setChecked(false);
    f.Control<QCheckBox>("FilterInfo")->setChecked(false);
    QVERIFY(f.Receive({"alpha 5"}));
    QCOMPARE(f.ShownData(), kShown + QStringList{"alpha 5"});
    // A double-click on the row opens the store's fifth 'R' record, not the
    // store's fifth one, with nothing to save and nothing added.
    QString text;
    bool saveShown = true;
    ModalWatcher watcher([&](QWidget* dialog) {
        text = dialog->findChild<QPlainTextEdit*>("DetailText")->toPlainText();
        saveShown = dialog->findChild<QWidget*>("SaveDetail")->isVisibleTo(dialog);
    });
    const size_t records = f.Store().RecordCount();
    const QPoint onLast = f.List()->visualRect(f.Model()->index(4, 2)).center();
    QTest::mouseDClick(f.List()->viewport(), Qt::LeftButton, {}, onLast);
    QTRY_VERIFY(watcher.found);
    QCOMPARE(text, QString("alpha 5<CR><LF>"));
    QVERIFY(!saveShown && f.Store().RecordCount() == records);

    // Echo-free: every row but the sent ones, and the choice is kept.
    for (const char* name : {"FilterSent", "FilterInfo", "FilterMatching"})
        f.Control<QCheckBox>(name)->setChecked(name != std::string("FilterMatching"));
    f.Action("EchoFree")->trigger();
    QCOMPARE(f.settings.EchoFree, 1);
    QTRY_VERIFY(!f.ShownData('I').empty() && f.ShownData('S').empty());
    const auto echoFree = size_t(f.Model()->rowCount());
    f.Action("EchoFree")->trigger();
    QTRY_COMPARE(size_t(f.Model()->rowCount()), f.Store().RecordCount());
    QCOMPARE(echoFree, f.Store().RecordCount() - size_t(f.ShownData('S').size()));

    // Over a large store the filter runs in steps behind a progress bar.
    const std::string noise(80, 'n');
    for (int i = 0; i < 200000; ++i)
        f.window->Engine().Exchange().AddRecord('I', noise + std::to_string(i));
    f.Search(1, "alpha \\d+<CR>");
    f.Control<QCheckBox>("FilterMatching")->setChecked(true);
    auto* progress = f.Control<QProgressBar>("FilterProgress");
    QVERIFY(progress->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!progress->isVisible(), 20000);
    QCOMPARE(f.ShownData(), (QStringList{kShown[0], kShown[2], "alpha 5"}));
    QCOMPARE(f.Count(), QString("3 matches"));

    // Escape ends the filter with the bar: every row is back and the found
    // record stays selected. Opened again, the bar finds its text anew.
    window.activateWindow();  // the detail view took the focus away
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    for (auto key : {Qt::Key_Return, Qt::Key_F3, Qt::Key_F3})
        QTest::keyClick(box, key);
    QTest::keyClick(box, Qt::Key_Escape);
    QTRY_COMPARE(size_t(f.Model()->rowCount()), f.Store().RecordCount());
    QCOMPARE(f.Selected(), QString("alpha 5"));
    QTest::keyClick(f.List(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(!f.Control<QCheckBox>("FilterMatching")->isChecked());
    QTRY_COMPARE(f.Count(), QString("3 of 3"));
}

// The chk column marks a bad ASTM frame; the +ms column shows the stamps'
// difference to the previous record, of any type or of the same type. The
// frames come 5 ms apart or more, with an 'I' record between.
void MainWindowTest::columnsAndScrollLock() {
    using Model = CTrafficTableModel;
    FindFixture f;
    f.settings.CheckSum = kCsAstm;
    f.Window();
    QHeaderView* header = f.List()->horizontalHeader();
    const int widths[] = {header->sectionSize(0), header->sectionSize(1), header->sectionSize(2)};
    f.Action("ShowCheckColumn")->trigger();
    f.Action("ShowGapColumn")->trigger();
    QVERIFY(!header->isSectionHidden(Model::kColumnCheck) &&
            !header->isSectionHidden(Model::kColumnGap));
    QCOMPARE(f.settings.ShowCheckColumn + f.settings.ShowGapColumn, 2);
    for (int column = 0; column < 3; ++column)
        QCOMPARE(header->sectionSize(column), widths[column]);
    // The new columns stand between the time and the data, in sight.
    const int order[] = {Model::kColumnType, Model::kColumnTime, Model::kColumnGap,
                         Model::kColumnCheck, Model::kColumnData};
    for (int visual = 0; visual < 5; ++visual)
        QCOMPARE(header->logicalIndex(visual), order[visual]);
    QVERIFY(f.Receive({QString::fromStdString(kFrame + "F7")}));
    QThread::msleep(5);
    f.window->Engine().Exchange().AddRecord('I', "between");
    QThread::msleep(5);
    QVERIFY(f.Receive({QString::fromStdString(kFrame + "A7")}));
    const int good = f.Model()->rowCount() - 5;  // each line is followed by its ACK
    const int bad = f.Model()->rowCount() - 2;
    QCOMPARE(f.Cell(good, Model::kColumnCheck), QString("ok"));
    QCOMPARE(f.Cell(bad, Model::kColumnCheck), QString("bad (want F7)"));
    QCOMPARE(f.Cell(bad + 1, Model::kColumnCheck), QString());  // the 'S' ACK
    const QColor error = Model::ErrorColor(QGuiApplication::palette());
    const auto foreground = [&](int row) {
        return f.Model()->index(row, Model::kColumnData).data(Qt::ForegroundRole);
    };
    QCOMPARE(foreground(bad).value<QColor>(), error);
    QVERIFY(foreground(good).value<QColor>() != error);

    const auto stamp = [&](int row) { return StampMillis(f.Shown(row).Time()); };
    QCOMPARE(f.Cell(bad, Model::kColumnGap), QString::number(stamp(bad) - stamp(bad - 1)));
    QCOMPARE(f.Cell(0, Model::kColumnGap), QString());  // the first has none
    f.Action("GapSameType")->trigger();
    QCOMPARE(f.settings.GapScope, 1);
    QCOMPARE(f.Cell(bad, Model::kColumnGap), QString::number(stamp(bad) - stamp(good)));

    // Scroll lock: the view follows the newest row until a row is selected or
    // the list scrolled up; the newest button, then End, go back and follow again.
    const auto lines = [](int count) { return QStringList(count, "line"); };
    QVERIFY(f.Receive(lines(40)));
    QScrollBar* bar = f.List()->verticalScrollBar();
    auto* newest = f.Control<QToolButton>("ScrollNewest");
    QTRY_VERIFY(bar->maximum() > 0 && bar->value() == bar->maximum());
    QVERIFY(!newest->isVisible());
    for (const char* lockedBy : {"selection", "scrolling"}) {
        if (lockedBy == std::string("selection")) {
            const QModelIndex first = f.Model()->index(f.Model()->rowCount() - 5, 2);
            QTest::mouseClick(f.List()->viewport(), Qt::LeftButton, {},
                              f.List()->visualRect(first).center());
        } else {
            bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        }
        QVERIFY2(newest->isVisible(), lockedBy);
        const int kept = bar->value();
        QVERIFY(f.Receive(lines(10)));
        QCOMPARE(bar->value(), kept);
        QVERIFY(bar->value() < bar->maximum());
        if (lockedBy == std::string("selection"))
            QTest::mouseClick(newest, Qt::LeftButton);
        else
            QTest::keyClick(f.List(), Qt::Key_End);
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(!newest->isVisible());
        QCOMPARE(f.Selected(), QString("-"));
        QVERIFY(f.Receive(lines(10)));
        QTRY_COMPARE(bar->value(), bar->maximum());
    }
}

// The find bar open over a filtered list with a match selected, both new
// columns shown and a highlighted row, for a look by eye.
void MainWindowTest::screenshot() {
    FindFixture f;
    ScopedUiLanguage scope(RowLanguage());
    f.settings.Highlight1 = "text|#FFE08A|beta";
    f.settings.ShowCheckColumn = f.settings.ShowGapColumn = 1;
    f.settings.ShowDataListWnd = 0;
    CMainWindow& window = f.Window();
    const QString frame = QString::fromStdString(kFrame);
    QVERIFY(f.Receive({kShown[0], kShown[1], frame + "F7", kShown[2], frame + "00", "alpha 4"}));
    f.Control<QCheckBox>("FilterInfo")->setChecked(false);
    QTest::keyClick(f.List(), Qt::Key_F, Qt::ControlModifier);
    f.Search(0, "alpha");
    QTest::keyClick(f.Control("FindPattern"), Qt::Key_Return);
    QTest::keyClick(f.Control("FindPattern"), Qt::Key_Return);
    QCOMPARE(f.Selected(), kShown[2]);
    // The match's row came into view, the columns stayed where they were.
    QCOMPARE(f.List()->horizontalScrollBar()->value(), 0);
    QTest::qWait(50);
    QVERIFY(SaveScreenshot(window.grab().toImage(), "find-" + scope.Suffix()));
}

void MainWindowTest::initTestCase() {
    // The theme goes to the user's file: here, one of the test's own.
    qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
    platformStyle_ = QApplication::style()->name();
}

void MainWindowTest::countersInEachThemeAndLanguageThenReset_data() {
    QTest::addColumn<int>("theme");
    QTest::addColumn<int>("language");
    for (const Theme theme : {Theme::kLight, Theme::kDark}) {
        for (const UiLanguage language : kBothLanguages)
            QTest::addRow("%s-%s", theme == Theme::kDark ? "dark" : "light",
                          language == UiLanguage::Chinese ? "zh" : "en")
                << int(theme) << int(language);
    }
}

// Each session is rendered to stats-<theme>-<language>.png once the band's
// timer has read the counters, then Reset and hidden.
void MainWindowTest::countersInEachThemeAndLanguageThenReset() {
    QFETCH(int, theme);
    CTheme::Apply(static_cast<Theme>(theme));
    WindowFixture f;
    ScopedUiLanguage scope(RowLanguage());
    // A splitter that cuts ASTM frames whole and answers nothing, so that
    // what is sent is the test's own: the band shown, then a short session.
    f.settings.SplitStrs = "<CR><LF>,<ENQ>,<NAK>";
    f.settings.RespondStrs = "";
    f.settings.CheckSum = kCsAstm;
    CMainWindow& shown = f.Window();
    f.Action("ShowStatistics")->setChecked(true);
    QVERIFY(f.peer.Send(kGood + kBad + "\x05\x15"));
    auto* box = f.Control<QLineEdit>("SendBox");
    QTest::keyClicks(box, "abc");
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(f.Received(3), std::string("abc"));
    QTRY_COMPARE(shown.Engine().Exchange().RecordCount(), size_t(5));
    auto* panel = f.Control<CStatisticsPanel>("StatisticsPanel");
    auto* timer = panel->findChild<QTimer*>("StatisticsTimer");
    QVERIFY(panel->isVisible() && timer->isActive());
    QCOMPARE(CComSetting::Loaded(f.settings.IniPath).StatisticsShown, 1);
    const QString received = QString::number(kGood.size() + kBad.size() + 2);
    // Read by the timer, not by the test.
    QTRY_COMPARE(f.Control<QLabel>("StatBytesReceived")->text(), received);
    const std::pair<const char*, QString> expected[] = {
        {"StatBytesSent", "3"},         {"StatRecordsSent", "1"}, {"StatRecordsReceived", "4"},
        {"StatBadFrames", "1"},         {"StatNaks", "1"},        {"StatEnqs", "1"},
        {"StatBytesReceived", received}};
    for (const auto& [name, text] : expected)
        QCOMPARE(f.Control<QLabel>(name)->text(), text);
    QCOMPARE(Nonzero(Series(shown, 1)).size(), qsizetype(1));
    // Run again by its own registration with QT_SCALE_FACTOR=2: every pixel of
    // the window is drawn at twice the size, none scaled up from a small bitmap.
    const bool twice = qgetenv("QT_SCALE_FACTOR") == "2";
    const QImage image = shown.grab().toImage();
    QCOMPARE(image.size(), shown.size() * (twice ? 2 : 1));
    const QString shot = twice ? QString("hidpi-en") : QString(QTest::currentDataTag());
    QVERIFY(SaveScreenshot(image, "stats-" + shot));

    QTest::mouseClick(f.Control<QPushButton>("StatReset"), Qt::LeftButton);
    for (const auto& [name, text] : expected)
        QCOMPARE(f.Control<QLabel>(name)->text(), QString("0"));
    QVERIFY(Nonzero(Series(shown, 0)).isEmpty() && Nonzero(Series(shown, 1)).isEmpty());
    // Hidden, the band reads nothing, and the set remembers it so.
    f.Action("ShowStatistics")->setChecked(false);
    QVERIFY(!panel->isVisible() && !timer->isActive());
    QCOMPARE(CComSetting::Loaded(f.settings.IniPath).StatisticsShown, 0);
}

// The window menu's CSV export, highlight rules editor and themes, and the
// chart's seconds, on one window.
void MainWindowTest::windowMenuToolsAndTheChart() {
    WindowFixture f;
    f.settings.Highlight1 = "purple|#00FF00|old";  // a key that does not parse
    CMainWindow& window = f.Window();
    QVERIFY(f.peer.Send("say abbc\r\nhello\r\n"));
    QTRY_COMPARE(window.Engine().Exchange().RecordCount(), size_t(2));
    const QString path = f.dir.filePath("out.csv");
    const auto exportTo = [&](const QString& target) {
        ModalWatcher watcher([&](QWidget* open) {
            auto* dialog = qobject_cast<QFileDialog*>(open);
            QCOMPARE(dialog->selectedFiles().value(0).section('/', -1), QString("traffic.csv"));
            QCOMPARE(dialog->nameFilters().value(0), QString("CSV (*.csv)"));
            // Typed as the user would, a whole path in the name field.
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(target);
            static_cast<QDialog*>(dialog)->accept();
        });
        f.Action("ExportCsv")->trigger();
        QVERIFY(watcher.found);
    };

    // Cancelled while the rows are written: neither the file nor its part.
    exportTo(path);
    QVERIFY(QFile::exists(path + ".part"));
    window.findChild<QProgressDialog*>("CsvExportProgress")->findChild<QPushButton*>()->click();
    QVERIFY(!QFile::exists(path) && !QFile::exists(path + ".part"));

    exportTo(path);
    const CMsgExchange& store = window.Engine().Exchange();
    QTRY_VERIFY(store.Record(store.RecordCount() - 1).Type() == 'I');
    QCOMPARE(QString::fromStdString(store.Record(store.RecordCount() - 1).Data()),
             "CSV export: 2 rows written to " + path);
    const QStringList lines = QString::fromStdString(ReadAll(path)).split("\r\n");
    QCOMPARE(lines.size(), 4);  // the header, two rows and the end of the last
    QVERIFY2(lines[2].contains(",R,hello"), qPrintable(lines[2]));

    // Rows 1 and 5 are good; an unclosed regular expression in row 3 keeps
    // everything from being stored until it is emptied, and the good rules go
    // into the first keys in row order.
    const int badRow = 3;
    QString firstError, patternShown;
    bool refusedWhileBad = false;
    ModalWatcher watcher([&](QWidget* open) {
        auto* dialog = qobject_cast<QDialog*>(open);
        const auto field = [&](const char* name, int row) {
            return dialog->findChild<QWidget*>(QString::fromLatin1(name) + QString::number(row));
        };
        patternShown = qobject_cast<QLineEdit*>(field("HighlightPattern", 1))->text();
        qobject_cast<QLineEdit*>(field("HighlightPattern", 1))->setText("hello");
        qobject_cast<QComboBox*>(field("HighlightMode", 5))->setCurrentIndex(1);
        qobject_cast<QLineEdit*>(field("HighlightPattern", 5))->setText("ab+c");
        qobject_cast<QComboBox*>(field("HighlightMode", badRow))->setCurrentIndex(1);
        qobject_cast<QLineEdit*>(field("HighlightPattern", badRow))->setText("(ab");
        ModalWatcher colour([](QWidget* picker) {
            qobject_cast<QColorDialog*>(picker)->setCurrentColor(QColor(0x10, 0x20, 0x30));
            qobject_cast<QDialog*>(picker)->accept();
        });
        QTest::mouseClick(field("HighlightColor", 5), Qt::LeftButton);
        auto* ok = dialog->findChild<QPushButton*>("HighlightOk");
        QTest::mouseClick(ok, Qt::LeftButton);
        firstError = dialog->findChild<QLabel*>("HighlightError")->text();
        refusedWhileBad = dialog->isVisible() && f.settings.Highlight1 == "purple|#00FF00|old";
        qobject_cast<QLineEdit*>(field("HighlightPattern", badRow))->clear();
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    f.Action("EditHighlights")->trigger();
    QVERIFY(watcher.found);
    QCOMPARE(patternShown, QString("purple|#00FF00|old"));
    QVERIFY2(firstError.startsWith(QStringLiteral("Rule %1: ").arg(badRow)),
             qPrintable(firstError));
    QVERIFY(refusedWhileBad);
    const CComSetting stored = CComSetting::Loaded(f.settings.IniPath);
    for (const CComSetting* s : {static_cast<const CComSetting*>(&f.settings), &stored}) {
        QCOMPARE(s->Highlight1, std::string("text|#FFF3A0|hello"));
        QCOMPARE(s->Highlight2, std::string("regex|#102030|ab+c"));
        QCOMPARE(s->Highlight3 + s->Highlight8, std::string());
    }
    // The list is drawn with the stored rules at once, a dark rule's row in white.
    const QAbstractItemModel* rows = f.Control<QTableView>("TrafficList")->model();
    QCOMPARE(rows->index(0, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(0x102030));
    QCOMPARE(rows->index(0, 2).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::white));
    QCOMPARE(rows->index(1, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(0xFFF3A0));

    // Counted an hour ahead, so that each second is the test's own: the
    // chart's point at -n holds the bytes of n seconds before the panel's
    // clock, and the rate is the last whole second's.
    CTrafficStats& stats = window.Engine().Stats();
    const auto t0 =
        std::chrono::time_point_cast<std::chrono::seconds>(CTrafficStats::Clock::now()) +
        std::chrono::hours(1);
    stats.OnRecord('R', std::string(10, 'r'), t0);
    stats.OnRecord('S', "abcd", t0 + std::chrono::milliseconds(900));
    stats.OnRecord('R', "xyz", t0 + std::chrono::seconds(1));
    auto* panel = window.findChild<CStatisticsPanel*>("StatisticsPanel");
    panel->SetClock([t0] { return t0 + std::chrono::milliseconds(1500); });
    panel->Refresh();
    QCOMPARE(Nonzero(Series(window, 0)), (QStringList{"-1:10", "0:3"}));
    QCOMPARE(Nonzero(Series(window, 1)), QStringList{"-1:4"});
    QCOMPARE(f.Control<QLabel>("StatRateReceived")->text(), QString("10"));
    QCOMPARE(f.Control<QLabel>("StatRateSent")->text(), QString("4"));

    // The theme is stored in the user's file and applied, to the chart too.
    const QString file = config_.filePath("qelvor/qelvor.conf");
    auto* chart = window.findChild<QChartView*>("StatisticsChart")->chart();
    // The action, the value stored, the style (empty: the platform's), dark.
    const std::tuple<QString, QString, QString, bool> steps[] = {
        {"ThemeDark", "dark", "fusion", true}, {"ThemeSystem", "system", "", false}};
    for (const auto& [action, value, style, dark] : steps) {
        f.Action(qPrintable(action))->trigger();
        QCOMPARE(QSettings(file, QSettings::IniFormat).value("Theme").toString(), value);
        QCOMPARE(QApplication::style()->name(), style.isEmpty() ? platformStyle_ : style);
        QTRY_COMPARE(window.palette().color(QPalette::Window).lightnessF() < 0.5, dark);
        QTRY_COMPARE(chart->theme(), dark ? QChart::ChartThemeDark : QChart::ChartThemeLight);
        for (const char* name : {"ThemeSystem", "ThemeLight", "ThemeDark"})
            QCOMPARE(f.Action(name)->isChecked(), name == action);
    }
}

// A set chosen in the configuration dialog brings its own statistics band,
// columns and echo-free view; showing the band as the set says writes no key.
void MainWindowTest::anotherSetBringsItsBandAndColumns() {
    WindowFixture f;
    f.settings.SetNames.insert("Lab");
    for (const char* key : {"StatisticsShown", "ShowCheckColumn", "EchoFree"})
        f.settings.WriteProfileInt("Lab", key, 1);
    CMainWindow& window = f.Window(false);
    auto* panel = window.findChild<CStatisticsPanel*>("StatisticsPanel");
    auto* header = f.Control<QTableView>("TrafficList")->horizontalHeader();
    QVERIFY(!window.BandShown(panel) && header->isSectionHidden(CTrafficTableModel::kColumnCheck));
    ModalWatcher watcher([](QWidget* dialog) {
        auto* series = dialog->findChild<QComboBox*>("Series");
        series->setCurrentIndex(series->findText("Lab"));
        emit series->activated(series->currentIndex());  // as a user's choice
        QTest::mouseClick(dialog->findChild<QPushButton*>("Save"), Qt::LeftButton);
    });
    QTest::mouseClick(f.Control<QPushButton>("SetPort"), Qt::LeftButton);
    QVERIFY(watcher.found);
    QVERIFY(window.BandShown(panel) && f.Action("ShowStatistics")->isChecked());
    QVERIFY(!header->isSectionHidden(CTrafficTableModel::kColumnCheck));
    QVERIFY(f.Action("EchoFree")->isChecked() && f.Action("ShowCheckColumn")->isChecked());
    const std::string file = ReadAll(QString::fromStdString(f.settings.IniPath));
    QCOMPARE(file.find("StatisticsShown=1"), file.rfind("StatisticsShown=1"));
    QVERIFY(file.find("StatisticsShown=0") == std::string::npos);
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
