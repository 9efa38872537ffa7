#include "window/drovan_app.h"

#include <sys/stat.h>

#include <QApplication>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/console_zip.h"
#include "config/app_paths.h"
#include "config/com_setting.h"
#include "config/ui_language.h"
#include "mainwnd/engine_context.h"
#include "window/main_window.h"
#include "window/qt_message_box.h"
#include "window/qt_translations.h"
#include "window/stop_signal_notifier.h"
#include "window/theme.h"

namespace qelvor {

namespace {

// Dialogs opened from one another that a stop signal closes, at most.
constexpr int kMaxDialogsClosed = 8;

}  // namespace

void CDrovanApp::LoadResourceLibrary(const CComSetting& settings) {
    resourceLibrary_.Load(settings.ExeDir, ProgramVersionText());
}

void CDrovanApp::PrintResourceLibraryNote(std::FILE* err) const {
    if (resourceLibrary_.Message().empty()) return;
    std::fputs((resourceLibrary_.Message() + "\n").c_str(), err);
}

void CDrovanApp::ReadCommandLine(int argc, char** argv, CComSetting& settings) {
    argc_ = argc;
    argv_ = argv;
    settings_ = &settings;
    settings.Load("");
    commandLine_ = CCommandLine::FromMain(argc, argv);
}

int CDrovanApp::RunConsoleZip(std::FILE* out, std::FILE* err) const {
    PrintResourceLibraryNote(err);
    return CConsoleZip::Run(commandLine_, out, err);
}

void CDrovanApp::ApplyIniOption(CComSetting& settings) const {
    std::optional<std::string> name = commandLine_.IniName();
    if (name) settings.Init(*name);
}

std::string CDrovanApp::LogFolder(const CComSetting& settings) {
    return SettingsDir(settings.ExeDir) + "LogData/";
}

void CDrovanApp::StartContinuousLog(const CComSetting& settings) {
    if (settings.AutoSaveLog == 0) return;
    const std::string folder = LogFolder(settings);
    // A folder that cannot be made only costs the log its lines; the
    // program still starts, and says why at once.
    logFolderError_.clear();
    if (const int err = CreateFolder(folder); err != 0)
        logFolderError_ = "cannot create the log folder " + folder + ": " + std::strerror(err);
    logWriter_.Start(folder + "Qelvor.log", settings);
}

std::string CDrovanApp::StartupProblems(const CComSetting& settings) const {
    std::string text;
    if (!settings.LoadError().empty()) {
        text += "Settings file: " + settings.LoadError() +
                ".\nThe default settings are used, and no change is saved to that file.";
    }
    if (!logFolderError_.empty()) {
        if (!text.empty()) text += "\n\n";
        text += "Continuous log: " + logFolderError_ + ".\nNo traffic can be logged there.";
    }
    return text;
}

void CDrovanApp::TellStartupProblems(const CComSetting& settings, IMessageBox& box) const {
    const std::string text = StartupProblems(settings);
    if (!text.empty())
        box.ShowMessageBox(text, kProgramCaption, MsgIcon::Exclamation, MsgButtons::Ok);
}

bool CDrovanApp::BlockStopSignals() {
    return CStopSignalNotifier::BlockStopSignals();
}

bool CDrovanApp::HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

int CDrovanApp::RunWindow(std::FILE* err) {
    if (!HasDisplay() || settings_ == nullptr) {
        PrintResourceLibraryNote(err);
        std::fputs(
            "qelvor: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset); "
            "use qelvor-cli to run without a window\n",
            err);
        logWriter_.Stop();
        return kExitNoDisplay;
    }
    const int status = RunEventLoop(*settings_);
    logWriter_.Stop();
    return status;
}

CStartupArgs CDrovanApp::StartupArgs(const CComSetting& settings) const {
    CStartupArgs args;
    args.dataFilePath = commandLine_.DataFilePath();
    args.sessionPath = commandLine_.SessionPath();
    // A file that exists but cannot be read is no first start: that is told
    // at start, and the defaults are used as they are.
    struct stat file {};
    args.firstStart = !settings.IniPath.empty() && ::stat(settings.IniPath.c_str(), &file) != 0 &&
                      errno == ENOENT && args.sessionPath.empty();
    args.setupFirst = commandLine_.HasIniOption() || args.firstStart;
    return args;
}

int CDrovanApp::RunEventLoop(CComSetting& settings) {
    QApplication application(argc_, argv_);
    // The user's theme, before the first widget is built.
    if (const Theme theme = CTheme::Stored(); theme != Theme::kSystem) CTheme::Apply(theme);
    // The window texts in the language the string table was given, from the
    // resource library when it is in use.
    CQtTranslations translations;
    translations.Install(StringLanguage(), resourceLibrary_.TranslationsFolder());
    if (!resourceLibrary_.Message().empty()) {
        ShowQtMessageBox(nullptr, resourceLibrary_.Message(), kProgramCaption, MsgIcon::Exclamation,
                         MsgButtons::Ok);
    }
    CMainWindow window(settings);
    CStopSignalNotifier stop;
    // A stop signal ends the run as the close button does: the port closes.
    // A dialog open at that moment is closed first, so that the window's
    // close is not a command nested in the dialog's.
    QObject::connect(&stop, &CStopSignalNotifier::stopRequested, &window, [&window] {
        for (int i = 0; i < kMaxDialogsClosed && QApplication::activeModalWidget() != nullptr; ++i)
            QApplication::activeModalWidget()->close();
        window.close();
        // A signal that comes before the "-n" timer has opened the
        // configuration dialog must not leave that dialog waiting: once the
        // application is told to end, every later event loop returns at once.
        QCoreApplication::exit(0);
    });
    window.show();
    TellStartupProblems(settings, window);
    window.Start(StartupArgs(settings), &logWriter_);
    application.exec();
    return 0;
}

}  // namespace qelvor
