// The application object: the stored command line and the continuous log,
// both living as long as the program, and the steps of start-up that act on
// them. One instance, defined beside the global settings record in main.cpp;
// main thread only (the log's worker is the writer's own business).
#pragma once

#include <cstdio>
#include <string>

#include "app/command_line.h"
#include "config/message_box.h"
#include "log/log_writer.h"
#include "mainwnd/main_engine.h"
#include "window/resource_library.h"

namespace qelvor {

class CComSetting;

// Exit status of window mode when there is no display to show it on.
inline constexpr int kExitNoDisplay = 1;

class CDrovanApp {
  public:
    CDrovanApp() = default;
    CDrovanApp(const CDrovanApp&) = delete;
    CDrovanApp& operator=(const CDrovanApp&) = delete;

    // Takes the resource library beside the program when its version is the
    // program's; another version is reported once a way to show it exists
    // (a message box in window mode, standard error with "-zip").
    void LoadResourceLibrary(const CComSetting& settings);
    // Reloads the current set and stores the arguments as the command line.
    void ReadCommandLine(int argc, char** argv, CComSetting& settings);
    bool IsConsoleZip() const { return commandLine_.IsConsoleZip(); }
    // Runs the console compression mode; its exit status.
    int RunConsoleZip(std::FILE* out, std::FILE* err) const;
    // "-n": switches the settings record to the named settings file.
    void ApplyIniOption(CComSetting& settings) const;
    // With AutoSaveLog on: creates the log folder and starts the log there.
    // A folder that cannot be made is kept, with its reason, for
    // TellStartupProblems.
    void StartContinuousLog(const CComSetting& settings);
    // What keeps the window from working as set up, told once at start in
    // one message box: a settings file that cannot be read (the defaults are
    // used and nothing is saved to it) and a log folder that cannot be made.
    // Nothing when all is well.
    void TellStartupProblems(const CComSetting& settings, IMessageBox& box) const;
    // Window mode ends on SIGINT and SIGTERM through the event loop: they are
    // blocked here, before any thread starts, and read there.
    static bool BlockStopSignals();
    // Whether a display server is named (DISPLAY, WAYLAND_DISPLAY) or a Qt
    // platform is chosen (QT_QPA_PLATFORM).
    static bool HasDisplay();
    // Window mode: the main window over the engine until Exit, the close
    // button, SIGINT or SIGTERM; the port is closed and the log stopped, and
    // the status is 0. Without a display it says so on err, stops the log
    // and gives kExitNoDisplay before any Qt object exists.
    int RunWindow(std::FILE* err);

    // What the window starts with: the command line's data file or capture
    // file, and the configuration dialog first with "-n" or when the
    // settings file does not exist yet (a first start), which then opens
    // the port only when the dialog is saved.
    CStartupArgs StartupArgs(const CComSetting& settings) const;

    CLogWriter& LogWriter() { return logWriter_; }

    // The continuous log's folder: the settings folder + "LogData/".
    static std::string LogFolder(const CComSetting& settings);

  private:
    int RunEventLoop(CComSetting& settings);
    void PrintResourceLibraryNote(std::FILE* err) const;
    std::string StartupProblems(const CComSetting& settings) const;

    CCommandLine commandLine_;
    CLogWriter logWriter_;
    CResourceLibrary resourceLibrary_;
    std::string logFolderError_;       // why the log folder could not be made
    CComSetting* settings_ = nullptr;  // the record ReadCommandLine was given
    // The program's own argc and argv, which QApplication keeps.
    int argc_ = 0;
    char** argv_ = nullptr;
};

}  // namespace qelvor
