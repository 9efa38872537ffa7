// The headless runner behind qelvor-cli: one engine of the main window shown
// as text. It opens the configured port, drives the window's timers from a
// 1 ms loop on absolute deadlines, prints every traffic record on standard
// output and every new port status (with its reason) on standard error, each
// stream written once per tick without waiting for its reader, and sends the lines read from
// standard input (and, with the ASTM link, the data file once as a message). The port may come from
// the command line instead of the settings set, for this run only. Run is called once, from the
// main thread.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/cli/cli_options.h"
#include "app/cli/record_line_format.h"
#include "app/cli/stdin_reader.h"
#include "app/cli/tick_output.h"
#include "config/com_setting.h"
#include "log/log_writer.h"
#include "mainwnd/main_engine.h"
#include "mainwnd/main_view.h"
#include "rules/trigger_rules.h"
#include "tap/named_port_setup.h"

namespace qelvor {

class CCliRunner : public IMainView {
  public:
    using Clock = std::chrono::steady_clock;

    // out and err: the descriptors of standard output and standard error.
    CCliRunner(CCliOptions options, int out, int err);
    ~CCliRunner() override;
    CCliRunner(const CCliRunner&) = delete;
    CCliRunner& operator=(const CCliRunner&) = delete;

    // The whole run; the process exit status (kExitOk ... in cli_options.h):
    // 1 when the port or the data file could not be opened (or, with
    // --exit-after-message, when a frame of the message was not
    // acknowledged), 2 when the settings file or set named on the command
    // line cannot be used, the port option names a missing device or an
    // unknown host, or nothing names a port at all; 3 when --exit-on-close
    // saw the connection end.
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
    // False, with the reason on standard error, when the named settings file
    // or set cannot be used.
    bool LoadSettings();
    // The settings the command line sets for this run only.
    bool ApplyRunOptions();
    // The rules of --rules, parsed; false, told on standard error, when the
    // file cannot be read or a rule is bad.
    bool LoadRulesFile();
    bool CheckOrdersFile();
    bool FindIniFile(std::string& path);
    bool NamesAPort();
    void PrintStartLine();
    void PrepareListenAddress();
    void StartContinuousLog();
    bool StartEngine();
    bool LoadNamedDataFile();
    void WaitForConnect();
    bool ListenFailedAtStart();
    bool BlockStopSignals();
    void Loop();
    void RunDueTimers(Clock::time_point now);
    bool Connected();
    void SendInputLines();
    void WatchConnection();
    bool InputDone();
    void StartAutoSendWhenOpen();
    void SendMessageWhenConnected();
    bool MessageEnded() const;
    bool StopRequested(Clock::time_point now);
    void Finish();
    void PrintNewRecords();
    void PrintStatus();
    void PrintError(const std::string& line);
    void FlushOutput();
    void TellDroppedOutput();
    void FinishOutput();

    CCliOptions options_;
    CTickOutput out_;
    CTickOutput err_;
    CRecordLineFormat lineFormat_;
    CNamedPortSetup portSetup_;
    std::string logFile_;  // the continuous log, when it runs
    std::unique_ptr<CComSetting> settings_;
    CLogWriter log_;
    std::optional<CTriggerRules> fileRules_;
    std::unique_ptr<CMainEngine> engine_;
    CStdinReader input_;
    std::map<int, Timer> timers_;
    size_t printedRecords_ = 0;
    uint64_t printedGeneration_ = 0;
    std::string shownStatus_;
    std::string shownSideB_;
    std::string shownReason_;
    uint64_t polls_ = 0;
    bool autoSendPending_ = false;
    bool messagePending_ = false;  // the data file still waits to go out as a message
    bool messageSent_ = false;     // it was handed to the engine
    bool messageQueued_ = false;   // and the link took it
    bool statusChanged_ = false;
    bool wasConnected_ = false;     // the port was connected at an earlier tick
    bool connectionEnded_ = false;  // and is no longer (--exit-on-close)
    int signalFd_ = -1;
    bool signalled_ = false;  // a stop signal ended the run
    Clock::time_point endTime_ = Clock::time_point::max();
};

}  // namespace qelvor
