// The application object: the stored command line and the continuous log,
// both living as long as the program, and the steps of start-up that act on
// them. One instance, defined beside the global settings record in main.cpp;
// main thread only (the log's worker is the writer's own business).
#pragma once

#include <cstdio>

#include "app/command_line.h"
#include "log/log_writer.h"

namespace qelvor {

class CComSetting;

// Exit status of window mode while the program has no window.
inline constexpr int kExitNoWindow = 3;

class CDrovanApp {
  public:
    CDrovanApp() = default;
    CDrovanApp(const CDrovanApp&) = delete;
    CDrovanApp& operator=(const CDrovanApp&) = delete;

    // Reloads the current set and stores the arguments as the command line.
    void ReadCommandLine(int argc, char** argv, CComSetting& settings);
    bool IsConsoleZip() const { return commandLine_.IsConsoleZip(); }
    // Runs the console compression mode; its exit status.
    int RunConsoleZip(std::FILE* out, std::FILE* err) const;
    // "-n": switches the settings record to the named settings file.
    void ApplyIniOption(CComSetting& settings) const;
    // With AutoSaveLog on: creates the log folder and starts the log there.
    void StartContinuousLog(const CComSetting& settings);
    // Window mode; there is no window in this build yet, so it says so on
    // err, stops the log and gives kExitNoWindow.
    int RunWindow(std::FILE* err);

    const CCommandLine& CommandLine() const { return commandLine_; }
    CLogWriter& LogWriter() { return logWriter_; }

    // The continuous log's folder: the settings folder + "LogData/".
    static std::string LogFolder(const CComSetting& settings);

  private:
    CCommandLine commandLine_;
    CLogWriter logWriter_;
};

}  // namespace qelvor
