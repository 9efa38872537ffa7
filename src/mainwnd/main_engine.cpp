#include "mainwnd/main_engine.h"

#include <algorithm>
#include <cstring>

#include "config/string_table.h"
#include "config/theme_choice.h"
#include "config/ui_language.h"
#include "data/line_end.h"
#include "log/log_writer.h"
#include "traffic/data_detail.h"

namespace qelvor {

namespace {

constexpr int64_t kMinuteMs = 60000;
constexpr int64_t kStartupSetupDelayMs = 10;
constexpr int64_t kLoadDataDelayMs = 50;
// Deferred ticks that fire again while they run are run again, but only this
// many rounds at the end of one command; the rest waits for the next one.
constexpr int kDeferredRounds = 4;

// The window's on/off options, kept as 0 or 1 in the record: the view's,
// and the script hooks' switch; null for any other key.
int* ViewOption(CComSetting& s, SettingKey key) {
    switch (key) {
        case SettingKey::EchoFree:
            return &s.EchoFree;
        case SettingKey::ShowCheckColumn:
            return &s.ShowCheckColumn;
        case SettingKey::ShowGapColumn:
            return &s.ShowGapColumn;
        case SettingKey::GapScope:
            return &s.GapScope;
        case SettingKey::StatisticsShown:
            return &s.StatisticsShown;
        case SettingKey::ScriptHooks:
            return &s.ScriptHooks;
        default:
            return nullptr;
    }
}

}  // namespace

CMainEngine::CommandScope::CommandScope(CMainEngine& engine)
    : engine_(engine), entered_(!engine.inCommand_) {
    engine_.inCommand_ = true;
}

CMainEngine::CommandScope::~CommandScope() {
    if (!entered_) return;
    // Still busy while the deferred ticks run, so that a tick firing inside
    // one of them is deferred in its turn instead of nesting.
    engine_.RunDeferredTimers();
    engine_.inCommand_ = false;
}

CMainEngine::CMainEngine(CComSetting& settings, IMainView& view)
    : ctx_(settings, view),
      sessions_(ctx_),
      ports_(ctx_),
      sender_(ctx_),
      files_(ctx_, ports_),
      dataCommands_(ctx_, sender_) {
    ctx_.dataList.AddObserver(this);
}

CMainEngine::~CMainEngine() {
    // The view may be half destroyed by now: detach instead of reporting.
    ctx_.dataList.RemoveObserver(this);
    ctx_.exchange.SetRecordLog(nullptr);
}

// --- start-up ---

void CMainEngine::InitExchange() {
    Command([&] { InitExchangeNow(); });
}

void CMainEngine::InitExchangeNow() {
    ctx_.exchange.InitExchange(this, &ctx_.dataList, &ports_.Current());
    LoadSetDataNow();
}

void CMainEngine::LoadSetDataNow() {
    quick_.Load(ctx_.settings);
    ctx_.rules.Load(ctx_.settings);
    // A program that leaves the user's settings alone keeps the history in
    // memory only.
    const std::string file =
        ctx_.settings.IsReadOnly() ? std::string() : CSendHistory::FileFor(ctx_.settings.IniPath);
    history_.Load(file, ctx_.settings.GetCurrentSet());
    ctx_.Changed(kChangedQuickSends);
}

void CMainEngine::AttachLogWriter(CLogWriter* writer) {
    Command([&] {
        logWriter_ = writer;
        ctx_.exchange.SetRecordLog(writer);
    });
}

bool CMainEngine::ChooseStartupDataFileNow(const CStartupArgs& args) {
    if (args.setupFirst) return true;
    ctx_.state.dataFilePath = args.dataFilePath.empty() ? ctx_.settings.ReadProfileString(
                                                              kLoadFileSection, kLoadFileKey, "")
                                                        : args.dataFilePath;
    return false;
}

void CMainEngine::StartDataFileTimerNow() {
    if (ctx_.settings.ShowDataListWnd != 0 && !ctx_.state.dataFilePath.empty()) {
        ctx_.view.StartTimer(kTimerLoadData, kLoadDataDelayMs);
    }
}

void CMainEngine::StartBackupTimerNow() {
    ctx_.view.StartTimer(kTimerBackup,
                         static_cast<int64_t>(ctx_.settings.BackupLogTimeCount) * kMinuteMs);
}

void CMainEngine::Startup(const CStartupArgs& args) {
    Command([&] { StartupNow(args); });
}

void CMainEngine::StartupNow(const CStartupArgs& args) {
    sessions_.Start();
    InitExchangeNow();
    if (ChooseStartupDataFileNow(args)) {
        firstStartSetup_ = args.firstStart;
        ctx_.view.StartTimer(kTimerStartupSetup, kStartupSetupDelayMs);
    } else if (!args.sessionPath.empty()) {
        sessions_.Open(args.sessionPath);
    } else {
        ports_.OpenPort();
    }
    StartDataFileTimerNow();
    sender_.RefreshCaptions(ports_.IsOpen());
    // ReSend stays hidden until a file was sent in this run.
    ctx_.state.Button(kIdReSend).visible = false;
    ctx_.Changed(kChangedButtons);
    StartBackupTimerNow();
    ports_.UpdateTitle();
}

// --- port connection ---

void CMainEngine::OnOpenPort() {
    Command([&] {
        sessions_.ResumeLive();
        ports_.OpenPort();
        ports_.UpdateTitle();
    });
}

bool CMainEngine::OpenSession(const std::string& path) {
    return Command(false, [&] {
        ClosePortNow();
        const bool opened = sessions_.Open(path);
        ports_.UpdateTitle();
        return opened;
    });
}

void CMainEngine::OnClosePort() {
    Command([&] { ClosePortNow(); });
}

void CMainEngine::ClosePortNow() {
    sender_.StopForClose();
    files_.StopForClose();
    ports_.ClosePort();
}

void CMainEngine::OnSetPort(bool accepted) {
    Command([&] {
        if (accepted) {
            sender_.RefreshCaptions(ports_.IsOpen());
            // A new protocol mode, role or time takes effect with a new link;
            // the old one ends its message first.
            ctx_.StopProtocol(ctx_.state.shownStatusCode >= 1);
            if (ports_.IsOpen()) ctx_.StartProtocol();
            ctx_.exchange.LoadSplitConfig();
            LoadSetDataNow();  // the dialog may have chosen another set
            ctx_.Changed(kChangedRecords);
            ports_.SelectPort();
            ports_.UpdateTitle();
        }
        const bool open = firstStartSetup_ ? accepted : ctx_.settings.AutoRestart != 0;
        firstStartSetup_ = false;
        if (open) ports_.OpenPort();
    });
}

void CMainEngine::OnStartupSetupTick() {
    Command([&] { RunTimer(kTimerStartupSetup); });
}

void CMainEngine::OnLoadDataTick() {
    ctx_.view.StopTimer(kTimerLoadData);
    if (!ctx_.state.dataFilePath.empty()) dataCommands_.BeginDataFileLoad(ctx_.state.dataFilePath);
}

// --- timers ---

void CMainEngine::OnTimer(int id) {
    if (inCommand_) {
        DeferTimer(id);
        return;
    }
    Command([&] { RunTimer(id); });
}

void CMainEngine::DeferTimer(int id) {
    if (std::find(deferredTimers_.begin(), deferredTimers_.end(), id) == deferredTimers_.end())
        deferredTimers_.push_back(id);
}

void CMainEngine::RunDeferredTimers() {
    for (int round = 0; round < kDeferredRounds && !deferredTimers_.empty(); ++round) {
        std::vector<int> due;
        due.swap(deferredTimers_);
        for (const int id : due)
            RunTimer(id);
    }
}

void CMainEngine::RunTimer(int id) {
    switch (id) {
        case kTimerPoll:
            ports_.PollPort();
            ctx_.rules.OnTick(ctx_.state.shownStatusCode >= 1);
            ctx_.scripts.OnTick(ctx_.state.shownStatusCode >= 1);
            ctx_.exchange.DrainOutgoing();
            ctx_.astm.OnTick();
            ctx_.hl7.OnTick();
            files_.PollSend();
            ReportLogFailure();
            sessions_.Tick();
            break;
        case kTimerAutoSend:
            sender_.AutoSendTick();
            break;
        case kTimerStartupSetup:
            ctx_.view.StopTimer(kTimerStartupSetup);
            ClosePortNow();
            break;
        case kTimerBackup:
            BackupNow();
            break;
        case kTimerLoadData:
            OnLoadDataTick();
            break;
        case kTimerLoadStep:
            dataCommands_.LoadStep();
            break;
        default:
            break;
    }
}

void CMainEngine::ReportLogFailure() {
    std::string notice;
    if (logWriter_ != nullptr && logWriter_->TakeFailureNotice(notice))
        ctx_.exchange.AddRecord('I', std::move(notice));
}

// --- sending and the traffic store ---

void CMainEngine::OnEnterKey() {
    Command([&] {
        if (ports_.IsOpen()) SendFromBoxNow();
    });
}

int CMainEngine::SendFromBoxNow() {
    const CComSetting& s = ctx_.settings;
    const int result = sender_.SendText(
        WithLineEnd(ctx_.state.sendText, LineEndOf(s.SendLineEnd), s.HexSendData != 0));
    // A failed write still joins the history: the user typed it and may
    // want it again once the port takes it.
    const int error = history_.Add(ctx_.state.sendText);
    if (error != 0)
        ctx_.exchange.AddRecord('I', StrPrintf("send history not saved: %s", std::strerror(error)));
    return result;
}

int CMainEngine::SendQuick(int index) {
    return Command(0, [&] {
        const QuickSend& button = quick_.Button(index);
        if (!ports_.IsOpen() || button.text.empty()) return 0;
        return sender_.SendText(button.text);
    });
}

bool CMainEngine::SetQuickSend(int index, const QuickSend& button) {
    return Command(false, [&] {
        if (!quick_.Set(index, button)) return false;
        ctx_.ReportUnsaved(quick_.Store(ctx_.settings, index),
                           "quick send " + CQuickSends::KeyOf(index));
        ctx_.Changed(kChangedQuickSends);
        return true;
    });
}

void CMainEngine::SetQuickSendsShown(bool shown) {
    Command([&] {
        ctx_.ReportUnsaved(quick_.SetShown(ctx_.settings, shown), "quick send row shown");
        ctx_.Changed(kChangedQuickSends);
    });
}

void CMainEngine::HistoryOlder() {
    Command([&] { ctx_.SetSendText(history_.Older(ctx_.state.sendText)); });
}

void CMainEngine::HistoryNewer() {
    Command([&] { ctx_.SetSendText(history_.Newer(ctx_.state.sendText)); });
}

bool CMainEngine::SendProtocolMessage() {
    return Command(false, [&] { return SendProtocolMessageNow(); });
}

bool CMainEngine::SendProtocolMessageNow() {
    const int mode = ctx_.settings.ProtocolMode;
    if (mode != kProtocolAstm && mode != kProtocolHl7) {
        ctx_.exchange.AddRecord(
            'I', "Send message: only with ProtocolMode=1 (the ASTM link) or 2 (HL7 over MLLP)");
        return false;
    }
    if (!ports_.IsOpen() || ctx_.state.shownStatusCode < 1) {
        ctx_.exchange.AddRecord('I', "Send message: the port is not connected");
        return false;
    }
    if (mode == kProtocolHl7 && ctx_.settings.Hl7Role != kHl7RoleSender) {
        ctx_.exchange.AddRecord('I',
                                "Send message: the HL7 receiver (Hl7Role=0) only answers; the "
                                "sender (Hl7Role=1) sends the data list's messages");
        return false;
    }
    if (mode == kProtocolHl7) return ctx_.hl7.SendMessages(ctx_.dataList.Lines());
    return ctx_.astm.SendMessage(ctx_.dataList.Lines());
}

void CMainEngine::OnClearAllData() {
    Command([&] { ctx_.exchange.ClearAll(); });
}

void CMainEngine::OnBackupTick() {
    Command([&] { BackupNow(); });
}

void CMainEngine::BackupNow() {
    if (logWriter_ != nullptr) PostBackup(*logWriter_);
    ctx_.exchange.ClearAll();
    ctx_.Changed(kChangedRecords);
}

void CMainEngine::OnSelectUI(int commandId) {
    Command([&] {
        if (!ChooseUILanguage(commandId - kCmdSelectUiSystem, ctx_.settings, ctx_.view))
            ctx_.ReportUnsaved(false,
                               std::string("setting ") + KeyName(SettingKey::UsedUILangCode));
    });
}

// --- saving ---

int CMainEngine::SaveLog(LogFormat format, const std::string& path) {
    return Command(-1, [&] {
        std::string report;
        return SaveLogToPath(ctx_.exchange.Records(), ctx_.settings, ctx_.view, path, format, true,
                             report);
    });
}

bool CMainEngine::SaveZip(const std::string& path) {
    return Command(false, [&] {
        return SaveToZipAt(ctx_.exchange.Records(), ctx_.settings, ctx_.view, path);
    });
}

// --- callbacks ---

void CMainEngine::OnRecordCountChanged(size_t) {
    ctx_.Changed(kChangedRecords);
}

void CMainEngine::ScrollToNewest() {
    ctx_.Changed(kChangedScroll);
}

void CMainEngine::OnDataListChange(const DataListChange&) {
    ctx_.Changed(kChangedDataList);
}

void CMainEngine::SetScrollToNewest(bool on) {
    Command([&] {
        ctx_.settings.ScrollRSWnd = on ? 1 : 0;
        ctx_.ReportUnsaved(ctx_.settings.Save(std::string()), "settings");
        ctx_.Changed(kChangedSettings);
    });
}

bool CMainEngine::SetViewOption(SettingKey key, bool on) {
    int* option = ViewOption(ctx_.settings, key);
    if (option == nullptr) return false;
    *option = on ? 1 : 0;
    return ctx_.StoreSetting(key);
}

bool CMainEngine::SetSendLineEnd(LineEnd end) {
    ctx_.settings.SendLineEnd = static_cast<int>(end);
    return ctx_.StoreSetting(SettingKey::SendLineEnd);
}

bool CMainEngine::SetTapSendSide(tap::Side side) {
    ctx_.settings.TapSendSide = side == tap::Side::kB ? 1 : 0;
    // The tap takes the side at a poll tick: one now, so that a text sent
    // right after the choice goes where it says.
    PollPort();
    return ctx_.StoreSetting(SettingKey::TapSendSide);
}

bool CMainEngine::SetHighlightRules(const std::vector<CHighlightRules::Rule>& rules) {
    CHighlightRules::Store(rules, ctx_.settings);
    bool written = true;
    for (int n = 1; n <= CComSetting::kHighlightKeyCount; ++n)
        written = ctx_.settings.WriteKey(HighlightKeyOf(n)) && written;
    return ctx_.ReportUnsaved(written, "highlight rules");
}

bool CMainEngine::SetTriggerRules(const std::vector<std::string>& lines,
                                  const std::array<int, kFaultKeyCount>& faults) {
    CComSetting& set = ctx_.settings;
    bool written = true;
    for (int n = 1; n <= CComSetting::kRuleKeyCount; ++n) {
        const auto index = static_cast<size_t>(n - 1);
        set.RuleKey(n) = index < lines.size() ? lines[index] : std::string();
        written = set.WriteKey(RuleKeyOf(n)) && written;
    }
    int* const fields[kFaultKeyCount] = {&set.FaultBadChecksum, &set.FaultNak,
                                         &set.FaultWithholdAck, &set.FaultEnqContention,
                                         &set.FaultDropAfter,   &set.FaultDelayMs};
    const SettingKey keys[kFaultKeyCount] = {
        SettingKey::FaultBadChecksum,   SettingKey::FaultNak,       SettingKey::FaultWithholdAck,
        SettingKey::FaultEnqContention, SettingKey::FaultDropAfter, SettingKey::FaultDelayMs};
    for (size_t i = 0; i < kFaultKeyCount; ++i) {
        *fields[i] = faults[i];
        written = set.WriteKey(keys[i]) && written;
    }
    ctx_.rules.Load(set);
    return ctx_.ReportUnsaved(written, "trigger rules");
}

bool CMainEngine::SetDetailView(int view) {
    return ctx_.ReportUnsaved(CDataDetail::StoreView(ctx_.settings, view),
                              std::string("setting ") + KeyName(SettingKey::ShowDataMask));
}

bool CMainEngine::SetTheme(const std::string& name) {
    const bool written = CThemeChoice::Store(name);
    if (!written) ctx_.exchange.AddRecord('I', "theme not saved to " + CThemeChoice::FilePath());
    return written;
}

void CMainEngine::FlushPendingData() {
    Command([&] {
        if (ctx_.exchange.Pending().empty()) return;
        ctx_.exchange.FlushPending();
        ctx_.SetBufferText(std::string());
    });
}

void CMainEngine::SaveAllLogs() {
    Command([&] { SaveAsAll(ctx_.exchange.Records(), ctx_.settings, ctx_.view); });
}

}  // namespace qelvor
