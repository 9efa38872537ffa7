// Every window, popup and message box in Chinese and in English over the
// real translations, and the resource library beside the program: used when
// its version is the program's, reported (message box, or standard error
// with "-zip") and left alone otherwise.
#include <unistd.h>

#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <fstream>

#include "config/com_set_dlg.h"
#include "config/qt_translations.h"
#include "config/resource_library.h"
#include "config/ui_language.h"
#include "i18n/window/text_walker.h"
#include "mainwnd/about_dialog.h"
#include "mainwnd/popup_menus.h"
#include "mainwnd/window/window_fixture.h"
#include "ports/serial_port_list_dlg.h"
#include "traffic/data_detail_dlg.h"

using namespace qelvor;
using namespace qelvor::test;

class LanguageTest : public QObject {
    Q_OBJECT

  private slots:
    void everyWindowSpeaksOneLanguage_data();
    void everyWindowSpeaksOneLanguage();
    void resourceLibraryReplacesTheBuiltInTexts_data();
    void resourceLibraryReplacesTheBuiltInTexts();
    void zipModeReportsAnotherLibraryOnStandardError_data();
    void zipModeReportsAnotherLibraryOnStandardError();
};

namespace {

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

void GatherDialogs(WindowFixture& f, Gathered& out) {
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
    CDataDetail detail(CMsgRecord('R', std::string("\x02hello\x03\r\n")));
    detail.SetSaveShown(true);
    CDataDetailDlg view(std::move(detail), f.settings);
    out.append({"detail view", TextsOf(&view)});
    CSerialPortListDlg ports(f.settings);
    out.append({"serial list", TextsOf(&ports)});
}

}  // namespace

void LanguageTest::everyWindowSpeaksOneLanguage_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("configTitle");
    QTest::newRow("Chinese") << 1 << QString::fromUtf8("通信配置(t.ini)");
    QTest::newRow("English") << 2 << QString("System Configure(t.ini)");
}

void LanguageTest::everyWindowSpeaksOneLanguage() {
    QFETCH(int, code);
    QFETCH(QString, configTitle);
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
    GatherDialogs(f, gathered);
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

void LanguageTest::resourceLibraryReplacesTheBuiltInTexts_data() {
    QTest::addColumn<QString>("library");  // the file put beside the program, "" none
    QTest::addColumn<bool>("used");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("saveCaption");  // in Chinese
    const QString builtIn = QString::fromUtf8("保存退出");
    QTest::newRow("none") << "" << false << "" << builtIn;
    QTest::newRow("same version") << QELVOR_RLL_SAME << true << "" << QString::fromUtf8("测试保存");
    QTest::newRow("other version")
        << QELVOR_RLL_OTHER << false
        << "Resource file(Ver=2.9.0.2) and Program file (Ver=2.9.0.1) does not match" << builtIn;
    QTest::newRow("no resource file")
        << "garbage" << false << "Resource file(Ver=) and Program file (Ver=2.9.0.1) does not match"
        << builtIn;
}

void LanguageTest::resourceLibraryReplacesTheBuiltInTexts() {
    QFETCH(QString, library);
    QFETCH(bool, used);
    QFETCH(QString, message);
    QFETCH(QString, saveCaption);
    WindowFixture f;
    const QString beside = f.dir.filePath(kResourceLibraryName);
    if (library == "garbage")
        std::ofstream(beside.toStdString()) << "not a resource file";
    else if (!library.isEmpty())
        QVERIFY(QFile::copy(library, beside));
    CResourceLibrary rll;
    QCOMPARE(rll.Load(f.settings.ExeDir, ProgramVersionText()), used);
    QCOMPARE(rll.InUse(), used);
    QCOMPARE(QString::fromStdString(rll.Message()).startsWith(message), true);
    QCOMPARE(rll.Message().empty(), message.isEmpty());
    // Only a library in use leaves its version readable.
    QCOMPARE(CResourceLibrary::RegisteredVersion(), used ? std::string("2.9.0.1") : std::string());
    CQtTranslations translations;
    QVERIFY(translations.Install(UiLanguage::Chinese, rll.TranslationsFolder()));
    CComSetDlg config(f.settings, false);
    QCOMPARE(config.findChild<QPushButton*>("Save")->text(), saveCaption);
    rll.Unload();
    QCOMPARE(CResourceLibrary::RegisteredVersion(), std::string());
}

void LanguageTest::zipModeReportsAnotherLibraryOnStandardError_data() {
    QTest::addColumn<QString>("library");
    QTest::addColumn<QString>("expected");  // on standard error, "" nothing
    QTest::newRow("other version")
        << QELVOR_RLL_OTHER
        << "Resource file(Ver=2.9.0.2) and Program file (Ver=2.9.0.1) does not match,can't load "
           "resource file.\nprogram will used original language!\n";
    QTest::newRow("same version") << QELVOR_RLL_SAME << "";
}

void LanguageTest::zipModeReportsAnotherLibraryOnStandardError() {
    QFETCH(QString, library);
    QFETCH(QString, expected);
    // The program looks beside itself: a link to it in a folder of the test
    // (in the build tree, so that a hard link works) with the library there.
    QTemporaryDir dir(QELVOR_TEST_TMP "/rll-XXXXXX");
    const QString program = dir.filePath("qelvor");
    QVERIFY(::link(QELVOR_PROGRAM, program.toLocal8Bit().constData()) == 0 ||
            QFile::copy(QELVOR_PROGRAM, program));
    QVERIFY(QFile::copy(library, dir.filePath(kResourceLibraryName)));
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
    QCOMPARE(QString::fromLocal8Bit(run.readAllStandardError()), expected);
    QVERIFY(QFile::exists(dir.filePath("out.zip")));
}

QTEST_MAIN(LanguageTest)
#include "language_test.moc"
