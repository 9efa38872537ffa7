// The headless runner behind qelvor-cli: one engine of the main window shown
// as text. It opens the configured port, drives the window's timers from a
// 1 ms loop on absolute deadlines, prints every traffic record on standard
// output and every new port status on standard error, and sends the lines
// read from standard input. Run is called once, from the main thread.
#pragma once

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "app/cli/cli_options.h"
#include "app/cli/stdin_reader.h"
#include "config/com_setting.h"
#include "log/log_writer.h"
#include "mainwnd/main_engine.h"
#include "mainwnd/main_view.h"

namespace qelvor {

class CCliRunner : public IMainView {
  public:
    using Clock = std::chrono::steady_clock;

    CCliRunner(CCliOptions options, FILE* out, FILE* err);
    ~CCliRunner() override;
    CCliRunner(const CCliRunner&) = delete;
    CCliRunner& operator=(const CCliRunner&) = delete;

    // The whole run; the process exit status (0, or 1 when the port or the
    // data file could not be opened).
    int Run();

    // IMainView
    void OnStateChanged(unsigned what) override;
    void StartTimer(int id, int64_t periodMs) override;
    void StopTimer(int id) override;
    MsgResult ShowMessageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                             MsgButtons buttons) override;

  private:
    struct Timer {
        Clock::duration period{};
        Clock::time_point due{};
    };

    // Opens /dev/null on standard input, output or error when it is closed.
    static void ReserveStandardStreams();
    void LoadSettings();
    void StartContinuousLog();
    bool StartEngine();
    bool BlockStopSignals();
    void Loop();
    void RunDueTimers(Clock::time_point now);
    void SendInputLines();
    void StartAutoSendWhenOpen();
    bool StopRequested(Clock::time_point now);
    void Finish();
    void PrintNewRecords();
    void PrintStatus();

    CCliOptions options_;
    FILE* out_;
    FILE* err_;
    std::unique_ptr<CComSetting> settings_;
    CLogWriter log_;
    std::unique_ptr<CMainEngine> engine_;
    CStdinReader input_;
    std::map<int, Timer> timers_;
    size_t printedRecords_ = 0;
    std::string shownStatus_;
    uint64_t polls_ = 0;
    bool autoSendPending_ = false;
    bool closing_ = false;
    int signalFd_ = -1;
    Clock::time_point endTime_ = Clock::time_point::max();
};

}  // namespace qelvor
