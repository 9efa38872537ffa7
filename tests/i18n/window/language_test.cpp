// Every window, popup and message box in Chinese and in English over the
// real translations, the dialogs rendered in each, and the resource library
// beside the program: used only at the program's version, otherwise reported.
#include <sys/file.h>
#include <unistd.h>

#include "astm/astm_frame.h"
#include "config/com_set_dlg.h"
#include "config/qt_translations.h"
#include "config/resource_library.h"
#include "config/ui_language.h"
#include "mainwnd/about_dialog.h"
#include "mainwnd/highlight_rules_dlg.h"
#include "mainwnd/popup_menus.h"
#include "mainwnd/quick_send_dlg.h"
#include "mainwnd/window/window_fixture.h"
#include "ports/serial_port_list_dlg.h"
#include "support/pty_pair.h"
#include "traffic/data_detail_dlg.h"

using namespace qelvor;
using namespace qelvor::test;

class LanguageTest : public QObject {
    Q_OBJECT

  private slots:
    void everyWindowSpeaksOneLanguage();
    void resourceLibraryBesideTheProgram();
};

namespace {

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

void GatherMainWindow(WindowFixture& f, Gathered& out) {
    CMainWindow& window = f.Window();
    out.append({"main window", TextsOf(&window)});
    for (const char* popup : {"EVENT", "DATA_PROC", "SelectUI", "CTRL_CHAR"}) {
        std::unique_ptr<QMenu> menu(window.BuildPopup(QLatin1String(popup)));
        out.append({popup, TextsOf(menu.get())});
    }
    // The menu choice stores the language and says when it applies.
    out.append(
        {"Select UI box", BoxTexts([&] { window.Engine().OnSelectUI(kCmdSelectUiSystem); })});
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
    CDataDetail pending(CMsgRecord('R',
                                   "\x02"
                                   "1H|\\^&|||Analyser\r\x03"
                                   "A7\r\n caf\xC3\xA9 \x00\x01"s));
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
    CComSetting listed = f.settings;
    listed.ComPort = 0;
    listed.ComName = pty.path;
    CSerialPortListDlg ports(listed);
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
        QVERIFY(SaveScreenshot(*dialog, name + "-" + suffix));
    }
    close(holder);
}

}  // namespace

// UsedUILangCode 1 and 2 with the configuration dialog's title in each.
void LanguageTest::everyWindowSpeaksOneLanguage() {
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
        GatherMainWindow(f, gathered);
        GatherDialogs(f, language == UiLanguage::Chinese ? "zh" : "en", gathered);
        QStringList wrong;
        int textCount = 0;
        for (const auto& [window, texts] : gathered) {
            textCount += static_cast<int>(texts.size());
            for (const QString& text : texts) {
                const bool bad = language == UiLanguage::Chinese ? !EnglishWordsIn(text).isEmpty()
                                                                 : HasChinese(text);
                if (bad) wrong << window + ": " + text;
            }
        }
        SetStringLanguage(UiLanguage::English);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join("\n")));
        // The walk did read the windows, in the language asked for.
        QVERIFY(textCount > 200);
        const auto config = std::find_if(gathered.begin(), gathered.end(),
                                         [](const auto& g) { return g.first == "configuration"; });
        QVERIFY(config->second.contains(configTitle));
    }
}

// For each library beside the program: whether the test process uses it and
// its texts; then the real program beside it in "-zip" mode, which has no
// window and reports on standard error.
void LanguageTest::resourceLibraryBesideTheProgram() {
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
        QTemporaryDir dir(QELVOR_TEST_TMP "/rll-XXXXXX");
        const QString beside = dir.filePath(kResourceLibraryName);
        if (library == "garbage")
            std::ofstream(beside.toStdString()) << "not a resource file";
        else if (!library.isEmpty())
            QVERIFY(QFile::copy(library, beside));
        CResourceLibrary rll;
        QCOMPARE(rll.Load(dir.path().toStdString() + "/", ProgramVersionText()), used);
        QCOMPARE(QString::fromStdString(rll.Message()), message);
        // Only a library in use stays registered.
        QCOMPARE(CResourceLibrary::RegisteredVersion(), std::string(used ? "2.9.0.1" : ""));
        CQtTranslations translations;
        QVERIFY(translations.Install(UiLanguage::Chinese, rll.TranslationsFolder()));
        CComSetting settings = CComSetting::Loaded(dir.filePath("t.ini").toStdString());
        QCOMPARE(CComSetDlg(settings, false).findChild<QPushButton*>("Save")->text(), saveCaption);
        rll.Unload();
        QCOMPARE(CResourceLibrary::RegisteredVersion(), std::string());

        const QString program = dir.filePath("qelvor");
        QVERIFY(::link(QELVOR_PROGRAM, program.toLocal8Bit().constData()) == 0 ||
                QFile::copy(QELVOR_PROGRAM, program));
        QVERIFY(QDir(dir.path()).mkpath("src"));
        std::ofstream(dir.filePath("src/a.txt").toStdString()) << "abc";
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name :
             {"LC_ALL", "LC_MESSAGES", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        env.insert("LANG", "C");
        run.setProcessEnvironment(env);
        run.start(program, {"-zip", dir.filePath("out.zip"), dir.filePath("src")});
        QVERIFY(run.waitForFinished(20000));
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(run.readAllStandardError()),
                 message.isEmpty() ? QString() : message + "\n");
    }
}

QTEST_MAIN(LanguageTest)
#include "language_test.moc"
