// Every window, popup and box in Chinese and in English: no text of the other language.
#include <sys/file.h>
#include <unistd.h>

#include "astm/astm_frame.h"
#include "config/ui_language.h"
#include "support/pty_pair.h"
#include "support/window_fixture.h"
#include "window/about_dialog.h"
#include "window/com_set_dlg.h"
#include "window/data_detail_dlg.h"
#include "window/highlight_rules_dlg.h"
#include "window/quick_send_dlg.h"
#include "window/serial_port_list_dlg.h"

// What a user can read: titles, labels, buttons, groups, fixed list entries,
// header sections, menu items (a submenu's title is its action's), tool tips.
static void AddMenuTexts(const QMenu* menu, QStringList& texts) {
    for (const QAction* action : menu->actions()) {
        texts << action->text() << action->toolTip();
        if (action->menu() != nullptr) AddMenuTexts(action->menu(), texts);
    }
}

static void AddWidgetTexts(const QWidget* w, QStringList& texts) {
    texts << w->windowTitle() << w->toolTip();
    if (auto* label = qobject_cast<const QLabel*>(w)) texts << label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(w)) texts << button->text();
    if (auto* group = qobject_cast<const QGroupBox*>(w)) texts << group->title();
    if (auto* menu = qobject_cast<const QMenu*>(w)) AddMenuTexts(menu, texts);
    if (auto* tool = qobject_cast<const QToolButton*>(w); tool && tool->menu())
        AddMenuTexts(tool->menu(), texts);
    // An editable list holds data (set names, device paths), not labels.
    if (auto* list = qobject_cast<const QComboBox*>(w); list && !list->isEditable())
        for (int i = 0; i < list->count(); ++i)
            texts << list->itemText(i);
    if (auto* items = qobject_cast<const QListWidget*>(w))
        for (int i = 0; i < items->count(); ++i)
            texts << items->item(i)->text();
    if (auto* header = qobject_cast<const QHeaderView*>(w); header && header->model())
        for (int i = 0; i < header->count(); ++i)
            texts << header->model()->headerData(i, header->orientation()).toString();
}

// The window and all its children, hidden ones too (another port kind's).
static QStringList TextsOf(const QWidget* top) {
    QStringList texts;
    AddWidgetTexts(top, texts);
    for (const QWidget* child : top->findChildren<QWidget*>())
        AddWidgetTexts(child, texts);
    texts.removeAll(QString());
    return texts;
}

// Words both languages show alike: port kinds, checksums, formats, encodings,
// flow control, key names, control characters, modem lines, protocol codes, units, names.
static const QStringList kKeptWords =
    QString(
        "TCP Server Client UDP IP COM_Ext SerialPort CS_ASTM CS_LX20 CS_BCC CRC16 LX20 BCC ASTM "
        "E1381 HEX Hex Raw Fmt Bin Txt txt Zip CSV BOM CP_ACP UTF UNICODE Xon Xoff End Esc Shift "
        "Ctrl F3 chk SOH STX ETX EOT ENQ ACK CR LF NAK SYN ETB ASCII DTR RTS CTS DSR DCD RI ms hr "
        "Qelvor RS232 HL7 MLLP MSH AA AE AR")
        .split(' ');

// The English words of text but the kept ones; notation "<...>", paths, file and
// device names, COM numbers, colours ("#FFF3A0") and single letters do not count.
static QStringList EnglishWordsIn(QString text) {
    static const QRegularExpression notation(QStringLiteral("<[^<>]*>"));
    static const QRegularExpression pathLike(QStringLiteral("\\S*(/|[A-Za-z]\\.[A-Za-z])\\S*"));
    static const QRegularExpression word(QStringLiteral("(?<![A-Za-z0-9_])[A-Za-z][A-Za-z0-9_]+"));
    static const QRegularExpression systemName(QStringLiteral("^(COM\\d+|tty\\w+)$"));
    static const QRegularExpression colour(QStringLiteral("#[0-9A-Fa-f]{6}\\b"));
    text.remove(notation).remove(pathLike).remove(colour);
    QStringList found;
    for (const QRegularExpressionMatch& m : word.globalMatch(text)) {
        const QString w = m.captured();
        if (!kKeptWords.contains(w) && !systemName.match(w).hasMatch()) found << w;
    }
    return found;
}

using Gathered = QList<QPair<QString, QStringList>>;  // window name, its texts

static QStringList BoxTexts(const std::function<void()>& act) {
    QStringList texts{"(no box opened)"};
    Answered(act, [&](QWidget* box) { texts = TextsOf(box); });
    return texts;
}

// The dialogs, the last five rendered to <name>-<suffix>.png: the detail of pending
// bytes and of an ASTM record, the serial list with a held pty, highlights, quick sends.
static void GatherDialogs(WindowFixture& f, const QString& suffix, Gathered& out) {
    CComSetDlg config(f.settings, false);
    config.show();
    out.append({"configuration", TextsOf(&config)});
    const auto click = [&](const char* button) {
        return BoxTexts([&] { config.findChild<QPushButton*>(button)->click(); });
    };
    auto* series = config.findChild<QComboBox*>("Series");
    series->setCurrentIndex(series->findText("ComSet"));
    out.append({"Del Series box", click("DelSeries")});
    config.findChild<QLineEdit*>("IPPort")->setText("12a");
    out.append({"refused number box", click("Save")});
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
    // clang-format off
    const std::pair<QString, QDialog*> shown[] = {{"detail", &view}, {"detail-astm", &fields},
        {"serial-list", &ports}, {"highlight-rules", &highlights}, {"quick-send-editor", &quickSends}};
    // clang-format on
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

class QtTranslationsTest : public QObject {
    Q_OBJECT
  private slots:
    // UsedUILangCode 1 and 2 with the configuration dialog's title in each.
    void everyWindowSpeaksOneLanguage() {
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
            for (const char* popup : {"EVENT", "DATA_PROC", "SelectUI", "CTRL_CHAR"})
                gathered.append(
                    {popup, TextsOf(std::unique_ptr<QMenu>(window.BuildPopup(popup)).get())});
            gathered.append({"Select UI box",
                             BoxTexts([&] { window.Engine().OnSelectUI(kCmdSelectUiSystem); })});
            GatherDialogs(f, language == UiLanguage::Chinese ? "zh" : "en", gathered);
            static const QRegularExpression cjk("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]");
            QStringList wrong;
            int textCount = 0;
            bool titled = false;  // the configuration dialog's title in this language
            for (const auto& [name, texts] : gathered) {
                textCount += static_cast<int>(texts.size());
                titled = titled || (name == "configuration" && texts.contains(configTitle));
                for (const QString& text : texts) {
                    if (language == UiLanguage::Chinese ? !EnglishWordsIn(text).isEmpty()
                                                        : text.contains(cjk))
                        wrong << name + ": " + text;
                }
            }
            QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join("\n")));
            QVERIFY(textCount > 200 && titled);  // the walk did read the windows
        }
    }
};
QELVOR_WINDOW_TEST(QtTranslationsTest);
#include "qt_translations_test.moc"
