// The resource library beside the program: used only at the program's version.
#include <unistd.h>

#include "config/ui_language.h"
#include "support/window_fixture.h"
#include "window/com_set_dlg.h"
#include "window/resource_library.h"

class ResourceLibraryTest : public QObject {
    Q_OBJECT
  private slots:
    // Whether this process uses it and its texts; then the real program in
    // "-zip" mode, which has no window and reports on standard error.
    void usedOnlyAtTheProgramsVersion() {
        const QString builtIn = QString::fromUtf8("保存退出");  // the Save caption in Chinese
        const QString mismatch =
            "Resource file(Ver=%1) and Program file (Ver=2.9.0.1) does not match,can't load "
            "resource file.\nprogram will used original language!";
        // The file, whether it is used, the Save caption then, the message ("" none).
        const std::tuple<QString, bool, QString, QString> cases[] = {
            {"", false, builtIn, ""},
            {QELVOR_RLL_SAME, true, QString::fromUtf8("测试保存"), ""},
            {QELVOR_RLL_OTHER, false, builtIn, mismatch.arg("2.9.0.2")},
            {"garbage", false, builtIn, ""}};
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
            CComSetting settings = CComSetting::Loaded(folder.filePath("my.ini").toStdString());
            QCOMPARE(CComSetDlg(settings, false).findChild<QPushButton*>("Save")->text(),
                     saveCaption);
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
};
QELVOR_WINDOW_TEST(ResourceLibraryTest);
#include "resource_library_test.moc"
