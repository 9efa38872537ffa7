#include "app/cli/cli_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "astm/order_table.h"
#include "config/app_paths.h"
#include "config/ui_language.h"
#include "mainwnd/regular_file.h"
#include "ports/tcp_port.h"

namespace qelvor {

namespace {

constexpr const char* kDefaultIni = "qelvor.ini";
constexpr auto kTick = std::chrono::milliseconds(1);
// After a stall longer than this the loop starts afresh instead of running
// every missed tick back to back.
constexpr auto kMaxLag = std::chrono::milliseconds(100);
// A timer period from the settings (BackupLogTimeCount minutes) may be far
// longer than the clock can count; a century is as good as never.
constexpr auto kMaxPeriod = std::chrono::hours(24 * 365 * 100);
// At the end the output still kept is written while its reader takes it; a
// reader that takes nothing for this long is not waited for.
constexpr auto kEndStall = std::chrono::milliseconds(1000);
// A rules file holds at most 16 short lines; anything far larger is a
// wrong file.
constexpr uint64_t kMaxRulesFile = 65536;

// The fault options given override the set's Fault keys.
void ApplyFaults(const CliFaults& faults, CComSetting& settings) {
    const std::pair<int, int CComSetting::*> given[] = {
        {faults.badChecksum, &CComSetting::FaultBadChecksum},
        {faults.nak, &CComSetting::FaultNak},
        {faults.withholdAck, &CComSetting::FaultWithholdAck},
        {faults.enqContention, &CComSetting::FaultEnqContention},
        {faults.dropAfter, &CComSetting::FaultDropAfter},
        {faults.delayMs, &CComSetting::FaultDelayMs},
    };
    for (const auto& [value, key] : given)
        if (value >= 0) settings.*key = value;
}

}  // namespace

CCliRunner::CCliRunner(CCliOptions options, int out, int err)
    : options_(std::move(options)),
      out_(out),
      err_(err),
      lineFormat_(LineFormatFor(out, options_.hex, options_.noTime)) {}

CCliRunner::~CCliRunner() {
    input_.Stop();
    engine_.reset();
    if (signalFd_ >= 0) close(signalFd_);
}

// A name without "/" is looked up in the current folder first, then in the
// settings folder; true with the path to use when one of them holds it.
bool CCliRunner::FindIniFile(std::string& path) {
    path = options_.iniFile;
    if (path.find('/') != std::string::npos) return true;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        char here[4096];
        if (::getcwd(here, sizeof here) == nullptr) return false;
        path = std::string(here) + "/" + path;
        return true;
    }
    path = SettingsDir(FolderOf(ProgramPath())) + options_.iniFile;
    return true;
}

bool CCliRunner::LoadSettings() {
    std::string path = kDefaultIni;
    if (!options_.iniFile.empty()) {
        // A typing error is never taken for an empty file and the defaults.
        std::string reason =
            FindIniFile(path) ? CRegularFile::WhyUnreadable(path) : "cannot find " + path;
        if (!reason.empty()) {
            PrintError("qelvor-cli: settings file " + reason);
            return false;
        }
    }
    // Nothing a run does is written back: the user's file stays as it is.
    settings_ = std::make_unique<CComSetting>();
    settings_->SetReadOnly(true);
    settings_->Init(path);
    if (!settings_->LoadError().empty()) {
        PrintError("qelvor-cli: settings file " + settings_->LoadError());
        return false;
    }
    if (!options_.setName.empty()) {
        if (!settings_->HasSet(options_.setName)) {
            PrintError("qelvor-cli: " + settings_->IniPath + " lists no settings set '" +
                       options_.setName + "'");
            return false;
        }
        settings_->Load(options_.setName);
    }
    if (!NamesAPort() || !ApplyRunOptions() || !LoadRulesFile() || !CheckOrdersFile()) return false;
    ApplyUILanguage(*settings_);
    return true;
}

// The rules file is read whole before the run starts: a bad rule ends the
// run as a usage error before any traffic, never halfway through it.
bool CCliRunner::LoadRulesFile() {
    if (options_.rulesFile.empty()) return true;
    CRegularFile file;
    std::string text;
    const bool opened = file.Open(options_.rulesFile) && file.Size() <= kMaxRulesFile;
    if (opened) {
        text.resize(static_cast<size_t>(file.Size()));
        text.resize(file.Read(text.data(), text.size()));
    }
    std::string error = !opened && file.Size() > kMaxRulesFile
                            ? options_.rulesFile + " is larger than 64 KiB"
                            : CRegularFile::WhyUnreadable(options_.rulesFile);
    if (error.empty()) {
        fileRules_ = CTriggerRules::Parse(text, &error);
        if (error.empty()) return true;
        error = options_.rulesFile + ": " + error;
    }
    PrintError("qelvor-cli: --rules: " + error);
    return false;
}

// The order table is read once here, so that a bad one ends the run before
// any traffic; the engine reads it again whenever the link starts.
bool CCliRunner::CheckOrdersFile() {
    if (options_.ordersFile.empty()) return true;
    std::string error;
    astm::COrderTable table;
    if (!table.Load(options_.ordersFile, error)) {
        PrintError("qelvor-cli: --orders: " + error);
        return false;
    }
    settings_->OrdersFile = options_.ordersFile;
    return true;
}

// Without a settings file and without a port option the run would open the
// defaults' serial line, /dev/ttyS0, which is never what was meant.
bool CCliRunner::NamesAPort() {
    struct stat st {};
    if (!options_.iniFile.empty() || options_.port.kind != NamedPortKind::None ||
        !options_.tapA.empty() || ::stat(settings_->IniPath.c_str(), &st) == 0)
        return true;
    PrintError("qelvor-cli: no settings file " + settings_->IniPath +
               "; name the port, for example:\n"
               "  --serial DEVICE[:BAUD[:FORMAT]]  (--serial ttyUSB0:115200:8N1)\n"
               "  --tcp-server [ADDRESS:]PORT      (--tcp-server 127.0.0.1:9000)\n"
               "  --tcp-client HOST:PORT\n"
               "  --udp LOCAL[:HOST:REMOTE]\n"
               "or a settings file with --ini FILE (see --help and --list-ports)");
    return false;
}

bool CCliRunner::ApplyRunOptions() {
    // The settings record is read-only: none of this reaches the file.
    if (options_.astm) settings_->ProtocolMode = kProtocolAstm;
    if (options_.astmHost) settings_->AstmRole = kAstmRoleHost;
    if (options_.hl7) settings_->ProtocolMode = kProtocolHl7;
    if (options_.hl7Sender) settings_->Hl7Role = kHl7RoleSender;
    if (options_.eol) settings_->SendLineEnd = static_cast<int>(*options_.eol);
    if (options_.scriptHooks) settings_->ScriptHooks = 1;
    ApplyFaults(options_.faults, *settings_);
    std::string error;
    if (!options_.tapA.empty()) {
        // Each endpoint is checked now, so that a bad one is a usage error.
        for (const std::string& side : {options_.tapA, options_.tapB}) {
            CComSetting check = *settings_;
            if (!ApplyEndpoint(side, check, portSetup_, error)) {
                PrintError("qelvor-cli: --tap: " + error);
                return false;
            }
        }
        std::tie(settings_->WorkMode, settings_->TapA, settings_->TapB) =
            std::make_tuple(kWorkModeTap, options_.tapA, options_.tapB);
        portSetup_.description = "tap A " + options_.tapA + " B " + options_.tapB;
        return true;
    }
    if (ApplyNamedPort(options_.port, *settings_, portSetup_, error)) return true;
    PrintError("qelvor-cli: " + error);
    return false;
}

// One line naming what this run uses, so that a log of the run says it.
void CCliRunner::PrintStartLine() {
    if (options_.quiet) return;
    struct stat st {};
    const bool exists = ::stat(settings_->IniPath.c_str(), &st) == 0;
    const std::string set =
        options_.setName.empty() ? settings_->GetCurrentSet() : options_.setName;
    std::string line = "qelvor-cli: settings " + settings_->IniPath;
    if (!exists) line += " (not there: defaults)";
    line += ", set " + set + ", " + portSetup_.description;
    if (!logFile_.empty()) line += ", log " + logFile_;
    PrintError(line);
}

void CCliRunner::StartContinuousLog() {
    if (settings_->AutoSaveLog == 0) return;
    const std::string folder = SettingsDir(settings_->ExeDir) + "LogData/";
    // The run goes on without its log, and says why at once.
    if (const int err = CreateFolder(folder); err != 0)
        PrintError("qelvor-cli: cannot create the log folder " + folder + ": " +
                   std::strerror(err));
    logFile_ = folder + "Qelvor.log";
    log_.Start(logFile_, *settings_);
}

void CCliRunner::ReserveStandardStreams() {
    // A stream the caller closed would hand its number to the next descriptor
    // opened here (the signal descriptor, a socket): input would be read from
    // it, or status lines written into it. /dev/null takes the place instead.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        const int null = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) close(null);
    }
}

bool CCliRunner::BlockStopSignals() {
    // Blocked before any thread starts, so that every thread inherits the
    // mask and the signals arrive only through the descriptor.
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGHUP);  // the terminal closed: end as for SIGTERM
    if (pthread_sigmask(SIG_BLOCK, &mask, nullptr) != 0) return false;
    signal(SIGPIPE, SIG_IGN);
    signalFd_ = signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
    return signalFd_ >= 0;
}

// The window always listens on every address; the command line may name one.
void CCliRunner::PrepareListenAddress() {
    if (settings_->WorkMode != kWorkModeTcpServer) return;
    engine_->SelectPort();
    auto* tcp = dynamic_cast<StreamPort::CTCPPort*>(&engine_->CurrentPort());
    if (tcp != nullptr) tcp->SetListenAddress(portSetup_.listenAddress);
}

bool CCliRunner::StartEngine() {
    engine_ = std::make_unique<CMainEngine>(*settings_, *this);
    engine_->AttachLogWriter(&log_);
    if (fileRules_) engine_->TriggerRules().Use(std::move(*fileRules_));
    PrepareListenAddress();
    // The window's own start-up, so that a run starts as the window does.
    engine_->Startup(CStartupArgs{options_.dataFile, false, ""});
    WaitForConnect();
    // The status line and its reason (the window's tool tip) are printed
    // as the engine shows them.
    if (ListenFailedAtStart()) {
        // A server that cannot listen at start serves nobody: the poll
        // shows why, and the run ends instead of retrying unseen.
        engine_->PollPort();
        return false;
    }
    if (!engine_->IsPortOpen()) return false;
    if (!options_.dataFile.empty() && !LoadNamedDataFile()) return false;
    autoSendPending_ = options_.autoSend;
    messagePending_ = (options_.astm || options_.hl7Sender) && !options_.dataFile.empty();
    return true;
}

bool CCliRunner::LoadNamedDataFile() {
    // The file named on the command line is loaded now rather than by the
    // start-up timer, so that one that cannot be read ends the run before
    // any traffic.
    StopTimer(kTimerLoadData);
    if (engine_->LoadDataFile(options_.dataFile)) return true;
    // A file too large to load was already told in a message box.
    const std::string reason = CRegularFile::WhyUnreadable(options_.dataFile);
    if (!reason.empty()) PrintError("qelvor-cli: cannot load data file " + reason);
    return false;
}

// A TCP client's connect goes on after the start and ends at a poll (within
// the port's 5 s); the run begins once it has ended, connected or not, as
// when the open itself waited.
void CCliRunner::WaitForConnect() {
    while (settings_->WorkMode == kWorkModeTcpClient && engine_->IsPortOpen() &&
           engine_->State().shownStatusCode == 0) {
        std::this_thread::sleep_for(kTick);
        engine_->PollPort();
    }
}

bool CCliRunner::ListenFailedAtStart() {
    return settings_->WorkMode == kWorkModeTcpServer &&
           engine_->CurrentPort().GetState(0) == StreamPort::CTCPPort::kListenFailed;
}

int CCliRunner::Run() {
    ReserveStandardStreams();
    if (!BlockStopSignals()) {
        PrintError("cannot watch SIGINT, SIGTERM and SIGHUP");
        FinishOutput();
        return 1;
    }
    if (!LoadSettings()) {
        FinishOutput();
        return kExitUsage;
    }
    StartContinuousLog();
    PrintStartLine();
    const bool started = StartEngine();
    // Why the start failed is printed before closing shows the closed port.
    if (!started) FlushOutput();
    if (started) {
        input_.Start(STDIN_FILENO);
        if (options_.seconds >= 0) {
            endTime_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                          std::chrono::duration<double>(options_.seconds));
        }
        Loop();
    }
    Finish();
    if (!started) return kExitFailed;
    if (options_.exitOnClose && connectionEnded_) return kExitConnectionClosed;
    // A message still under way at the end was aborted by the close and
    // counts as not acknowledged, as does one the link refused.
    if (options_.exitAfterMessage && !engine_->ProtocolMessageResult().value_or(false))
        return kExitFailed;
    return kExitOk;
}

void CCliRunner::Loop() {
    Clock::time_point deadline = Clock::now();
    while (true) {
        deadline += kTick;
        Clock::time_point now = Clock::now();
        if (now - deadline > kMaxLag) deadline = now;
        engine_->RelayUntil(deadline);
        std::this_thread::sleep_until(deadline);
        now = Clock::now();
        RunDueTimers(now);
        WatchConnection();
        SendInputLines();
        StartAutoSendWhenOpen();
        SendMessageWhenConnected();
        FlushOutput();
        if (StopRequested(now)) return;
    }
}

void CCliRunner::RunDueTimers(Clock::time_point now) {
    int due[8];
    size_t count = 0;
    for (auto& [id, timer] : timers_) {
        if (timer.due > now || count == std::size(due)) continue;
        timer.due += timer.period;
        if (timer.due <= now - kMaxLag) timer.due = now + timer.period;
        due[count++] = id;
    }
    for (size_t i = 0; i < count; ++i) {
        // A timer stopped by an earlier handler of this tick does not fire.
        if (timers_.count(due[i]) == 0) continue;
        if (due[i] == kTimerPoll) ++polls_;
        engine_->OnTimer(due[i]);
    }
}

// The first poll corrects the status of a server that still listens, so the
// status code counts only after one poll.
bool CCliRunner::Connected() {
    return polls_ > 0 && engine_->IsPortOpen() && engine_->State().shownStatusCode >= 1;
}

// Input lines wait for a peer: `echo ENQ | qelvor-cli --tcp-server 9000`
// sends to the client that comes, not into a port with nobody behind it.
void CCliRunner::SendInputLines() {
    std::string line;
    while (Connected() && input_.PopLine(line)) {
        engine_->SetSendText(line);
        engine_->OnSendData();
    }
}

// A connection that was up and is no longer: a TCP peer left, the connect
// broke, or the serial device vanished. A datagram port has no connection.
void CCliRunner::WatchConnection() {
    if (settings_->WorkMode == kWorkModeUdp || polls_ == 0) return;
    const bool connected = Connected();
    if (wasConnected_ && !connected) connectionEnded_ = true;
    wasConnected_ = connected;
}

bool CCliRunner::InputDone() {
    return input_.Ended() && !input_.HasLines();
}

void CCliRunner::StartAutoSendWhenOpen() {
    if (!autoSendPending_ || !Connected()) return;
    autoSendPending_ = false;
    engine_->OnAutoSend();
}

void CCliRunner::SendMessageWhenConnected() {
    // As auto-send: a server waits for its client, a client for its connect.
    if (!messagePending_ || !Connected()) return;
    messagePending_ = false;
    messageSent_ = true;
    messageQueued_ = engine_->SendProtocolMessage();
}

bool CCliRunner::MessageEnded() const {
    // A message the link refused has no result and has ended all the same.
    return messageSent_ && (!messageQueued_ || engine_->ProtocolMessageResult().has_value());
}

bool CCliRunner::StopRequested(Clock::time_point now) {
    signalfd_siginfo info;
    if (read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        signalled_ = true;
        return true;
    }
    // A reader that closed standard output (`qelvor-cli | head`) ends the
    // run quietly, as a finished job.
    if (out_.ReaderGone()) return true;
    if (options_.exitAfterMessage && MessageEnded()) return true;
    if (options_.exitOnClose && connectionEnded_) return true;
    // Every line was sent in the tick that took it, so the input is out.
    if (options_.exitAtEof && InputDone()) return true;
    return now >= endTime_;
}

void CCliRunner::Finish() {
    input_.Stop();
    if (engine_) {
        // The closing steps run at every end, open port or not: the pending
        // bytes of a peer that already left still become a record and reach
        // the log.
        engine_->OnClosePort();
    }
    // Stop writes what is still queued, so every record reaches the log.
    log_.Stop();
    FinishOutput();
}

// The status is printed as it stands at the end of a tick: the passing
// texts within one (a server shown "connected" by the open until its first
// poll finds it waiting, the "failed" texts of closing) are not news.
void CCliRunner::FlushOutput() {
    if (statusChanged_) PrintStatus();
    statusChanged_ = false;
    // A record printed is already in the capture file: a kill right after
    // the line was read loses none of what the user saw.
    engine_->FlushCapture();
    out_.Flush();
    TellDroppedOutput();
    err_.Flush();
}

// Standard output is written without waiting, so a reader that stops reading
// (a pipe nobody reads, a stopped terminal) never holds up the polling, the
// log or a stop signal; it loses the oldest lines instead, and standard error
// says how many once the reader has caught up or the run ends.
void CCliRunner::TellDroppedOutput() {
    const uint64_t dropped = out_.TakeDroppedLines();
    if (dropped > 0)
        PrintError("qelvor-cli: output not read, " + std::to_string(dropped) + " lines dropped");
}

// The last output waits for a reader that keeps reading, but not after a stop
// signal: that asked for the end now.
void CCliRunner::FinishOutput() {
    if (statusChanged_) PrintStatus();
    statusChanged_ = false;
    const auto stall = signalled_ ? std::chrono::milliseconds(0) : kEndStall;
    out_.Drain(signalFd_, stall);
    TellDroppedOutput();
    err_.Drain(signalFd_, stall);
}

void CCliRunner::PrintError(const std::string& line) {
    err_.AppendLine(line);
}

void CCliRunner::PrintNewRecords() {
    const CMsgExchange& exchange = engine_->Exchange();
    const size_t count = exchange.RecordCount();
    // A backup tick may clear the store and new records follow within one
    // tick: the count alone would hide them.
    if (exchange.Generation() != printedGeneration_) {
        printedGeneration_ = exchange.Generation();
        printedRecords_ = 0;
    }
    for (; printedRecords_ < count; ++printedRecords_) {
        out_.AppendLine(FormatRecordLine(exchange.Record(printedRecords_), lineFormat_));
    }
}

// The status line as pane 0 shows it, then the reason the window keeps in
// its tool tip, when that says more than the status.
// --quiet keeps only the reasons of failures.
void CCliRunner::PrintStatus() {
    const CMainState& state = engine_->State();
    if (state.panes[0] != shownStatus_) {
        shownStatus_ = state.panes[0];
        if (!options_.quiet) PrintError(shownStatus_);
    }
    // A tap's second side shows in pane 1.
    if (settings_->WorkMode == kWorkModeTap && state.panes[1] != shownSideB_) {
        shownSideB_ = state.panes[1];
        if (!options_.quiet && !shownSideB_.empty()) PrintError(shownSideB_);
    }
    const std::string& reason = state.pane0ToolTip;
    if (reason != shownReason_) {
        shownReason_ = reason;
        const bool shown = !options_.quiet || state.shownStatusCode < 0;
        if (shown && !reason.empty() && reason != shownStatus_) PrintError(reason);
    }
}

void CCliRunner::OnStateChanged(unsigned what) {
    if (!engine_) return;
    if ((what & kChangedRecords) != 0) PrintNewRecords();
    if ((what & kChangedStatus) != 0) statusChanged_ = true;
}

void CCliRunner::StartTimer(int id, int64_t periodMs) {
    const int64_t limit = std::chrono::duration_cast<std::chrono::milliseconds>(kMaxPeriod).count();
    const auto period = std::chrono::milliseconds(std::clamp<int64_t>(periodMs, 1, limit));
    timers_[id] = Timer{period, Clock::now() + period};
}

void CCliRunner::StopTimer(int id) {
    timers_.erase(id);
}

MsgResult CCliRunner::ShowMessageBox(const std::string& text, const std::string& caption, MsgIcon,
                                     MsgButtons buttons) {
    PrintError(caption + ": " + text);
    return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgResult::Yes
                                                                              : MsgResult::Ok;
}

}  // namespace qelvor
