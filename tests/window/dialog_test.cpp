// The dialogs driven through their widgets (offscreen) over a real INI file
// in a temporary folder: the configuration dialog, the serial port list over
// a pty and the detail view (whose "Save data" the main window's tests
// drive). Then every window, popup and message box in Chinese and in English
// over the real translations, the dialogs rendered in each, and the resource
// library beside the program: used only at the program's version, otherwise
// reported. Message boxes are answered by a watcher that finds the modal one,
// so no step ever waits on the user.
#include <sys/file.h>
#include <unistd.h>

#include <clocale>

#include "astm/astm_frame.h"
#include "config/ui_language.h"
#include "data/ctrl_char_notation.h"
#include "data/display_format.h"
#include "data/text_encoding.h"
#include "support/pty_pair.h"
#include "support/window_fixture.h"
#include "window/about_dialog.h"
#include "window/com_set_dlg.h"
#include "window/data_detail_dlg.h"
#include "window/highlight_rules_dlg.h"
#include "window/popup_menus.h"
#include "window/qt_translations.h"
#include "window/quick_send_dlg.h"
#include "window/resource_library.h"
#include "window/serial_port_list_dlg.h"

using namespace qelvor;
using namespace qelvor::test;

namespace {

const std::string kFrame = "\x02" + std::string("A\0B\x03", 4);

// Bytes as the detail view shows them, one line end for CR LF.
QString AsShown(const std::string& bytes) {
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()))
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// The lines of list that name path; all lines sorted as a list box sorts
// them, or a note that they are not.
QStringList LinesNaming(const QListWidget* list, const std::string& path) {
    QStringList all, lines;
    for (int i = 0; i < list->count(); ++i)
        all << list->item(i)->text();
    for (const QString& line : all)
        if (line.startsWith(QString::fromStdString(path))) lines << line;
    QStringList sorted = all;
    sorted.sort();
    return sorted == all ? lines : QStringList{"(not sorted)"};
}

// --- what a user can read in a window: titles, labels, buttons, group
// titles, fixed list entries, header sections, menu items, tool tips ---

// A popup shows no title of its own; a submenu's shows as its action's text.
void AddMenuTexts(const QMenu* menu, QStringList& texts) {
    for (const QAction* action : menu->actions()) {
        texts << action->text() << action->toolTip();
        if (action->menu() != nullptr) AddMenuTexts(action->menu(), texts);
    }
}

void AddWidgetTexts(const QWidget* w, QStringList& texts) {
    texts << w->windowTitle() << w->toolTip();
    if (auto* label = qobject_cast<const QLabel*>(w)) texts << label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(w)) texts << button->text();
    if (auto* group = qobject_cast<const QGroupBox*>(w)) texts << group->title();
    if (auto* menu = qobject_cast<const QMenu*>(w)) AddMenuTexts(menu, texts);
    if (auto* tool = qobject_cast<const QToolButton*>(w); tool && tool->menu())
        AddMenuTexts(tool->menu(), texts);
    // An editable list holds what the user typed or the system found (set
    // names, device paths): data, not labels.
    if (auto* list = qobject_cast<const QComboBox*>(w); list && !list->isEditable()) {
        for (int i = 0; i < list->count(); ++i)
            texts << list->itemText(i);
    }
    if (auto* items = qobject_cast<const QListWidget*>(w)) {
        for (int i = 0; i < items->count(); ++i)
            texts << items->item(i)->text();
    }
    if (auto* header = qobject_cast<const QHeaderView*>(w); header && header->model()) {
        for (int i = 0; i < header->count(); ++i)
            texts << header->model()->headerData(i, header->orientation()).toString();
    }
}

// The window itself and all its children, shown or hidden: a hidden group
// (another port kind's) shows as soon as the user picks that kind.
QStringList TextsOf(const QWidget* top) {
    QStringList texts;
    AddWidgetTexts(top, texts);
    for (const QWidget* child : top->findChildren<QWidget*>())
        AddWidgetTexts(child, texts);
    texts.removeAll(QString());
    return texts;
}

// Words both languages show alike, so a Chinese text may hold them: port
// kinds as the settings and the status bar name them, checksums, file and
// view formats, encodings, flow control, key names and the check column's
// header, control characters, modem lines, units, the product and its ports.
const QSet<QString>& KeptWords() {
    static const QStringList list = QStringLiteral(
                                        "TCP Server Client UDP IP COM_Ext SerialPort CS_ASTM "
                                        "CS_LX20 CS_BCC CRC16 LX20 BCC ASTM "
                                        "E1381 HEX Hex Raw Fmt Bin Txt txt Zip CSV BOM CP_ACP UTF "
                                        "UNICODE Xon Xoff End Esc Shift "
                                        "Ctrl F3 chk SOH STX ETX EOT ENQ ACK CR LF NAK SYN ETB "
                                        "ASCII DTR RTS CTS DSR DCD RI ms hr "
                                        "Qelvor RS232")
                                        .split(' ');
    static const QSet<QString> words(list.begin(), list.end());
    return words;
}

// The English words of text outside the kept ones: notation "<...>", paths
// and file names (anything with "/" or a dot between letters), device names
// ("ttyS0"), COM numbers and single letters do not count.
QStringList EnglishWordsIn(QString text) {
    static const QRegularExpression notation(QStringLiteral("<[^<>]*>"));
    static const QRegularExpression pathLike(QStringLiteral("\\S*(/|[A-Za-z]\\.[A-Za-z])\\S*"));
    static const QRegularExpression word(QStringLiteral("(?<![A-Za-z0-9_])[A-Za-z][A-Za-z0-9_]+"));
    static const QRegularExpression systemName(QStringLiteral("^(COM\\d+|tty\\w+)$"));
    // A colour a rule is drawn in is data, as "#FFF3A0".
    static const QRegularExpression colour(QStringLiteral("#[0-9A-Fa-f]{6}\\b"));
    text.remove(notation).remove(pathLike).remove(colour);
    QStringList found;
    for (const QRegularExpressionMatch& m : word.globalMatch(text)) {
        const QString w = m.captured();
        if (!KeptWords().contains(w) && !systemName.match(w).hasMatch()) found << w;
    }
    return found;
}

bool HasChinese(const QString& text) {
    static const QRegularExpression cjk(QStringLiteral("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
    return cjk.match(text).hasMatch();
}

using Gathered = QList<QPair<QString, QStringList>>;  // window name, its texts

// Texts of the modal box that action opens.
QStringList BoxTexts(const std::function<void()>& action) {
    QStringList texts;
    ModalWatcher watcher([&](QWidget* box) { texts = TextsOf(box); });
    action();
    if (!QTest::qWaitFor([&] { return watcher.found; }, 3000)) texts << "(no box opened)";
    return texts;
}

// The dialogs, the last three rendered as <name>-<suffix>.png: the detail
// view of pending bytes ("Save data" shown) and of an ASTM record beside its
// fields, and the serial list with a pty held by another program.
void GatherDialogs(WindowFixture& f, const QString& suffix, Gathered& out) {
    CComSetDlg config(f.settings, false);
    config.show();
    out.append({"configuration", TextsOf(&config)});
    auto* series = config.findChild<QComboBox*>("Series");
    series->setCurrentIndex(series->findText("ComSet"));
    out.append({"Del Series box",
                BoxTexts([&] { config.findChild<QPushButton*>("DelSeries")->click(); })});
    config.findChild<QLineEdit*>("IPPort")->setText("12a");
    out.append(
        {"refused number box", BoxTexts([&] { config.findChild<QPushButton*>("Save")->click(); })});
    CAboutDialog about(f.settings.ExePath);
    out.append({"About", TextsOf(&about)});
    using namespace std::string_literals;
    CDataDetail pending(CMsgRecord('R', "\0021H|\\^&|||Analyser\r\003A7\r\n caf\xC3\xA9 \0\001"s));
    pending.SetSaveShown(true);
    CDataDetailDlg view(std::move(pending), f.settings);
    CDataDetail record(
        CMsgRecord('R', astm::CAstmFrame{3, "O|1|S42^A||^^^GLU\\^^^NA|R\r", true}.Bytes()));
    record.SetAstmDelimiters({});
    CDataDetailDlg fields(std::move(record), f.settings);
    fields.resize(900, 420);
    testing_support::PtyDevice pty;
    const int holder = open(pty.path.c_str(), O_RDWR | O_NOCTTY);
    flock(holder, LOCK_EX);
    f.settings.ComPort = 0;  // listed beside what udev finds
    f.settings.ComName = pty.path;
    CSerialPortListDlg ports(f.settings);
    CHighlightRulesDlg highlights(f.settings);
    CQuickSendDlg quickSends(f.Window().Engine());
    const std::pair<QString, QDialog*> shown[] = {{"detail", &view},
                                                  {"detail-astm", &fields},
                                                  {"serial-list", &ports},
                                                  {"highlight-rules", &highlights},
                                                  {"quick-send-editor", &quickSends}};
    for (const auto& [name, dialog] : shown)
        dialog->show();
    QTest::mouseClick(view.findChild<QRadioButton*>("FmtData"), Qt::LeftButton);
    QTest::qWait(20);
    for (const auto& [name, dialog] : shown) {
        out.append({name, TextsOf(dialog)});
        QVERIFY(SaveScreenshot(dialog->grab().toImage(), name + "-" + suffix));
    }
    close(holder);
}

}  // namespace

class DialogTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        SetStringLanguage(UiLanguage::English);
        // An ASCII locale, where decoding UTF-8 visibly turns each character
        // beyond ASCII into '?'; in a UTF-8 locale it would change nothing.
        std::setlocale(LC_CTYPE, "C");
        QFile::remove(ini);  // each case on a file of its own
        settings = CComSetting::Loaded(ini.toStdString());
    }
    void showsTheGroupOfEachPortKind();
    void savesTheWidgetsIntoTheFile();
    void pasteAnAddressThenRefuseANumber();
    void delSeriesRefusesTheDefaultSet();
    void heldPortIsMarkedUntilRefreshAfterRelease();
    void viewsAndStoredChoice();
    void decodeBoxAndGapField();
    void everyWindowSpeaksOneLanguage();
    void resourceLibraryBesideTheProgram();

  private:
    // The configuration dialog over a settings file of body.
    void Open(const std::string& body, bool portOpen = false) {
        std::ofstream(ini.toStdString(), std::ios::binary) << body;
        settings = CComSetting::Loaded(ini.toStdString());
        dialog = std::make_unique<CComSetDlg>(settings, portOpen);
        dialog->show();
    }
    template <class T = QWidget>
    T* W(const char* name) {
        T* widget = dialog->findChild<T*>(QLatin1String(name));
        if (widget == nullptr) qFatal("no widget %s", name);
        return widget;
    }
    bool Shown(const char* name) { return W(name)->isVisibleTo(dialog.get()); }
    // The detail view of a received record of data.
    std::unique_ptr<CDataDetailDlg> Detail(const std::string& data) {
        CDataDetail detail(CMsgRecord('R', data, {2024, 1, 2, 2, 3, 4, 5, 6}));
        auto view = std::make_unique<CDataDetailDlg>(std::move(detail), settings);
        view->show();
        return view;
    }

    QTemporaryDir dir;
    const QString ini = dir.filePath("my.ini");
    CComSetting settings = CComSetting::Loaded(ini.toStdString());
    std::unique_ptr<CComSetDlg> dialog;
};

// Rendered in each kind and language to config-<kind>-<language>.png.
void DialogTest::showsTheGroupOfEachPortKind() {
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
            const QString shot = "config-" + kind + "-" + scope.Suffix();
            QVERIFY(SaveScreenshot(dialog->grab().toImage(), shot));
        }
    }
}

// The lines of the file stay in place, new values where they were: the
// unlisted baud rate stays, the COM_Ext device gives way to COM3, the line
// levels and reconnect checks are stored as clicked.
void DialogTest::savesTheWidgetsIntoTheFile() {
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
        saved.substr(0, 177),
        std::string("[Public]\r\nSetList=ComSet\r\nCurrentSet=\r\n[ComSet]\r\nBaudRate=14400\r\n"
                    "ComPort=3\r\nComName=/dev/pts/9\r\nByteSize=7\r\nWorkMode=10\r\n"
                    "HandShake=1\r\nDtrOnOpen=1\r\nRtsOnOpen=0\r\nAutoReconnect=0\r\n"));
    QVERIFY(saved.find("\r\nReplace_Old=65\r\n") != std::string::npos);
}

void DialogTest::pasteAnAddressThenRefuseANumber() {
    const std::string body = "[ComSet]\r\nWorkMode=1\r\nSvrIPAddr=10.0.0.1\r\n";
    Open(body);
    auto* field = W<QLineEdit>("SvrIPAddr");
    field->setFocus();
    QApplication::clipboard()->setText("192.168.1.20");
    {
        ModalWatcher none([](QWidget*) {});
        QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(field->text(), QString("192.168.1.20"));
        QTest::qWait(50);
        QVERIFY(!none.found);
    }

    QApplication::clipboard()->setText(" localhost ");
    QString asked;
    ModalWatcher yes([&](QWidget* box) {
        asked = qobject_cast<QMessageBox*>(box)->text();
        qobject_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
    });
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(asked, QString(LoadStr(kStrHostAddressQueryMayBeSlow)));
    QCOMPARE(field->text(), QString("127.0.0.1"));
    QVERIFY(dialog->isEnabled());

    // A number edit that holds no number is named, and nothing is saved.
    W<QLineEdit>("IPPort")->setText("90x");
    const QString refusal = BoxTexts([&] { W<QPushButton>("Save")->click(); }).join('\n');
    QVERIFY(refusal.contains("IP Port") && refusal.contains("90x"));
    QVERIFY(dialog->isVisible());
    QCOMPARE(ReadAll(ini), body);
    QCOMPARE(settings.IPPort, 9000);
}

void DialogTest::delSeriesRefusesTheDefaultSet() {
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
    const QStringList refused = BoxTexts([&] { W<QPushButton>("DelSeries")->click(); });
    QVERIFY(refused.contains(QString(LoadStr(kStrDefaultTemplateCannotBeDeleted))));
    QTest::mouseClick(W("Cancle"), Qt::LeftButton);
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(settings.SetNames, (std::set<std::string>{"ComSet"}));
}

// A pty held by another program's flock is marked "In Used" (the ports'
// tests walk every way to hold one), and the mark stays until Refresh once it
// is let go.
void DialogTest::heldPortIsMarkedUntilRefreshAfterRelease() {
    testing_support::PtyDevice pty;
    const QString free = QString::fromStdString(pty.path);
    const int holder = open(pty.path.c_str(), O_RDWR | O_NOCTTY);
    QVERIFY(holder >= 0 && flock(holder, LOCK_EX) == 0);
    settings.ComPort = 0;
    settings.ComName = pty.path;
    CSerialPortListDlg ports(settings);
    ports.show();
    auto* list = ports.findChild<QListWidget*>("PortList");
    QCOMPARE(LinesNaming(list, pty.path), QStringList{free + "\t\t In Used"});
    close(holder);
    QCOMPARE(LinesNaming(list, pty.path), QStringList{free + "\t\t In Used"});
    QTest::mouseClick(ports.findChild<QPushButton*>("Refresh"), Qt::LeftButton);
    QCOMPARE(LinesNaming(list, pty.path), QStringList{free});
    // A configured device that is not there is left out.
    settings.ComName = "/dev/ttyNoSuchDevice9";
    CSerialPortListDlg gone(settings);
    QVERIFY(
        gone.findChild<QListWidget*>("PortList")->findItems("NoSuch", Qt::MatchContains).isEmpty());
}

// Which radio a stored choice selects (an unknown one reads raw) and the
// text it shows; a radio clicked shows its view at once but is stored only
// when the dialog goes.
void DialogTest::viewsAndStoredChoice() {
    const QString hex = AsShown(FormatHexDump(kFrame));
    const QString raw = QString(QChar(2)) + 'A';  // stops at the zero byte
    const QString fmt = QStringLiteral("<STX>A<NUL>B<ETX>");
    // Stored before, the radio clicked (or none), the one checked, its text,
    // stored after.
    const std::tuple<int, QString, QString, QString, int> cases[] = {
        {1, "", "FmtData", fmt, 1},        {0, "", "RawData", raw, 0},
        {7, "", "RawData", raw, 0},        {-1, "", "RawData", raw, 0},
        {1, "HexData", "HexData", hex, 2}, {2, "RawData", "RawData", raw, 0},
        {0, "FmtData", "FmtData", fmt, 1}};
    for (const auto& [storedBefore, clicked, checked, text, storedAfter] : cases) {
        settings.WriteProfileInt(settings.GetCurrentSet(), "ShowDataMask", storedBefore);
        settings = CComSetting::Loaded(ini.toStdString());
        auto view = Detail(kFrame);
        QCOMPARE(view->windowTitle(), QString("Message Detail       2024-01-02 03:04:05.006"));
        if (!clicked.isEmpty())
            QTest::mouseClick(view->findChild<QRadioButton*>(clicked), Qt::LeftButton);
        QStringList shown;
        for (const QRadioButton* radio : view->findChildren<QRadioButton*>())
            if (radio->isChecked()) shown << radio->objectName();
        QCOMPARE(shown.join(' '), checked);
        QCOMPARE(view->findChild<QPlainTextEdit*>("DetailText")->toPlainText(), text);
        if (!clicked.isEmpty() && storedBefore >= 0 && storedBefore <= 2)
            QCOMPARE(CComSetting::Loaded(ini.toStdString()).ShowDataMask, storedBefore);
        view->reject();
        view.reset();
        QCOMPARE(settings.ShowDataMask, storedAfter);
        QCOMPARE(CComSetting::Loaded(ini.toStdString()).ShowDataMask, storedAfter);
    }
}

// The UTF-8 box is offered only for a byte above 0x8F; it decodes the raw
// and formatted views and leaves hex alone.
void DialogTest::decodeBoxAndGapField() {
    QVERIFY(!Detail("\x80\x85\x8F")->findChild<QCheckBox*>("Utf8Dec")->isVisible());
    const std::string data = "ab\x90", decoded = DecodeUtf8ToAnsi(data);
    QVERIFY(decoded != data);  // so that the box changes what is shown
    auto view = Detail(data);
    auto* decode = view->findChild<QCheckBox*>("Utf8Dec");
    QVERIFY(decode->isVisible());
    auto* text = view->findChild<QPlainTextEdit*>("DetailText");
    const std::tuple<const char*, QString, QString> views[] = {
        {"RawData", AsShown(data), AsShown(decoded)},
        {"FmtData", AsShown(EscapeCtrlChars(data)), AsShown(EscapeCtrlChars(decoded))},
        {"HexData", AsShown(FormatHexDump(data)), AsShown(FormatHexDump(data))}};
    for (const auto& [radio, plain, decodedText] : views) {
        QTest::mouseClick(view->findChild<QRadioButton*>(radio), Qt::LeftButton);
        decode->setChecked(false);
        QCOMPARE(text->toPlainText(), plain);
        decode->setChecked(true);
        QCOMPARE(text->toPlainText(), decodedText);
    }

    // A stored record after another shows its "+ms" (pending bytes, which have
    // none, are viewed in the main window's session).
    const MsgRecords records = {CMsgRecord('S', "a", {2024, 1, 2, 2, 3, 4, 5, 998}),
                                CMsgRecord('R', "b", {2024, 1, 2, 2, 3, 4, 6, 5})};
    CDataDetailDlg second(CDataDetail(records, 1, GapScope::kAnyRecord), settings);
    QCOMPARE(second.findChild<QLineEdit*>("GapMs")->text(), QString("7"));
}

// UsedUILangCode 1 and 2 with the configuration dialog's title in each.
void DialogTest::everyWindowSpeaksOneLanguage() {
    const std::pair<int, QString> languages[] = {{1, QString::fromUtf8("通信配置(t.ini)")},
                                                 {2, QString("System Configure(t.ini)")}};
    for (const auto& [code, configTitle] : languages) {
        WindowFixture f;
        f.settings.UsedUILangCode = code;
        const UiLanguage language = UiLanguageFor(code);
        SetStringLanguage(language);
        CQtTranslations translations;
        QVERIFY(translations.Install(language, ":/i18n/"));
        // Qt's own buttons (OK, Yes, No) need Qt's translations package.
        QCOMPARE(translations.QtOwnInstalled(), language == UiLanguage::Chinese);
        Gathered gathered;
        CMainWindow& window = f.Window();
        gathered.append({"main window", TextsOf(&window)});
        for (const char* popup : {"EVENT", "DATA_PROC", "SelectUI", "CTRL_CHAR"}) {
            std::unique_ptr<QMenu> menu(window.BuildPopup(QLatin1String(popup)));
            gathered.append({popup, TextsOf(menu.get())});
        }
        // The menu choice stores the language and says when it applies.
        gathered.append(
            {"Select UI box", BoxTexts([&] { window.Engine().OnSelectUI(kCmdSelectUiSystem); })});
        GatherDialogs(f, language == UiLanguage::Chinese ? "zh" : "en", gathered);
        QStringList wrong;
        int textCount = 0;
        bool titled = false;  // the configuration dialog's title in this language
        for (const auto& [name, texts] : gathered) {
            textCount += static_cast<int>(texts.size());
            titled = titled || (name == "configuration" && texts.contains(configTitle));
            for (const QString& text : texts) {
                const bool bad = language == UiLanguage::Chinese ? !EnglishWordsIn(text).isEmpty()
                                                                 : HasChinese(text);
                if (bad) wrong << name + ": " + text;
            }
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join("\n")));
        // The walk did read the windows, in the language asked for.
        QVERIFY(textCount > 200 && titled);
    }
}

// For each library beside the program: whether the test process uses it and
// its texts; then the real program beside it in "-zip" mode, which has no
// window and reports on standard error.
void DialogTest::resourceLibraryBesideTheProgram() {
    const QString builtIn = QString::fromUtf8("保存退出");  // the Save caption in Chinese
    const QString mismatch =
        "Resource file(Ver=%1) and Program file (Ver=2.9.0.1) does not match,can't load resource "
        "file.\nprogram will used original language!";
    // The file, whether it is used, the Save caption then, the message ("" none).
    const std::tuple<QString, bool, QString, QString> cases[] = {
        {"", false, builtIn, ""},
        {QELVOR_RLL_SAME, true, QString::fromUtf8("测试保存"), ""},
        {QELVOR_RLL_OTHER, false, builtIn, mismatch.arg("2.9.0.2")},
        {"garbage", false, builtIn, mismatch.arg("")}};
    for (const auto& [library, used, saveCaption, message] : cases) {
        // In the build tree, so that a hard link to the program works.
        QTemporaryDir folder(QELVOR_TEST_TMP "/rll-XXXXXX");
        const QString beside = folder.filePath(kResourceLibraryName);
        if (library == "garbage")
            std::ofstream(beside.toStdString()) << "not a resource file";
        else if (!library.isEmpty())
            QVERIFY(QFile::copy(library, beside));
        CResourceLibrary rll;
        QCOMPARE(rll.Load(folder.path().toStdString() + "/", ProgramVersionText()), used);
        QCOMPARE(QString::fromStdString(rll.Message()), message);
        // Only a library in use stays registered.
        QCOMPARE(CResourceLibrary::RegisteredVersion(), std::string(used ? "2.9.0.1" : ""));
        CQtTranslations translations;
        QVERIFY(translations.Install(UiLanguage::Chinese, rll.TranslationsFolder()));
        QCOMPARE(CComSetDlg(settings, false).findChild<QPushButton*>("Save")->text(), saveCaption);
        rll.Unload();
        QCOMPARE(CResourceLibrary::RegisteredVersion(), std::string());

        const QString program = folder.filePath("qelvor");
        QVERIFY(::link(QELVOR_PROGRAM, program.toLocal8Bit().constData()) == 0 ||
                QFile::copy(QELVOR_PROGRAM, program));
        QVERIFY(QDir(folder.path()).mkpath("src"));
        std::ofstream(folder.filePath("src/a.txt").toStdString()) << "abc";
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name :
             {"LC_ALL", "LC_MESSAGES", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        env.insert("LANG", "C");
        run.setProcessEnvironment(env);
        run.start(program, {"-zip", folder.filePath("out.zip"), folder.filePath("src")});
        QVERIFY(run.waitForFinished(20000));
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(run.readAllStandardError()),
                 message.isEmpty() ? QString() : message + "\n");
    }
}

QTEST_MAIN(DialogTest)
#include "dialog_test.moc"
