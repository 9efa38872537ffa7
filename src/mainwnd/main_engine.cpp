#include "mainwnd/main_engine.h"

#include "config/ui_language.h"
#include "log/log_writer.h"

namespace qelvor {

namespace {

constexpr int64_t kMinuteMs = 60000;
constexpr int64_t kStartupSetupDelayMs = 10;
constexpr int64_t kLoadDataDelayMs = 50;

}  // namespace

CMainEngine::CMainEngine(CComSetting& settings, IMainView& view)
    : ctx_(settings, view),
      ports_(ctx_),
      sender_(ctx_),
      files_(ctx_),
      dataCommands_(ctx_, sender_) {
    ctx_.dataList.AddObserver(this);
}

CMainEngine::~CMainEngine() {
    // The view may be half destroyed by now: detach instead of reporting.
    ctx_.dataList.RemoveObserver(this);
    ctx_.exchange.SetRecordLog(nullptr);
}

void CMainEngine::InitExchange() {
    ctx_.exchange.InitExchange(this, &ctx_.dataList, &ports_.Current());
}

void CMainEngine::AttachLogWriter(CLogWriter* writer) {
    logWriter_ = writer;
    ctx_.exchange.SetRecordLog(writer);
}

bool CMainEngine::ChooseStartupDataFile(const CStartupArgs& args) {
    if (args.setupFirst) return true;
    ctx_.state.dataFilePath = args.dataFilePath.empty()
                                  ? ctx_.settings.ReadProfileString("ComSet", "LoadFile", "")
                                  : args.dataFilePath;
    return false;
}

void CMainEngine::StartDataFileTimer() {
    if (ctx_.settings.ShowDataListWnd != 0 && !ctx_.state.dataFilePath.empty()) {
        ctx_.view.StartTimer(kTimerLoadData, kLoadDataDelayMs);
    }
}

void CMainEngine::StartBackupTimer() {
    ctx_.view.StartTimer(kTimerBackup,
                         static_cast<int64_t>(ctx_.settings.BackupLogTimeCount) * kMinuteMs);
}

void CMainEngine::Startup(const CStartupArgs& args) {
    InitExchange();
    if (ChooseStartupDataFile(args)) {
        ctx_.view.StartTimer(kTimerStartupSetup, kStartupSetupDelayMs);
    } else {
        OnOpenPort();
    }
    StartDataFileTimer();
    RefreshCaptions();
    // ReSend stays hidden until a file was sent in this run.
    ctx_.state.Button(kIdReSend).visible = false;
    ctx_.Changed(kChangedButtons);
    StartBackupTimer();
    UpdateTitle();
}

void CMainEngine::OnOpenPort() {
    ports_.OpenPort();
}

void CMainEngine::OnClosePort() {
    sender_.StopForClose();
    ports_.ClosePort();
}

void CMainEngine::OnSetPort(bool accepted) {
    if (accepted) {
        RefreshCaptions();
        ctx_.exchange.LoadSplitConfig();
        ctx_.Changed(kChangedRecords);
        ports_.SelectPort();
        ports_.UpdateTitle();
    }
    if (ctx_.settings.AutoRestart != 0) OnOpenPort();
}

void CMainEngine::OnStartupSetupTick() {
    ctx_.view.StopTimer(kTimerStartupSetup);
    OnClosePort();
}

void CMainEngine::OnLoadDataTick() {
    ctx_.view.StopTimer(kTimerLoadData);
    if (!ctx_.state.dataFilePath.empty()) LoadDataFile(ctx_.state.dataFilePath);
}

void CMainEngine::OnTimer(int id) {
    switch (id) {
        case kTimerPoll:
            ports_.PollPort();
            ReportLogFailure();
            break;
        case kTimerAutoSend:
            sender_.AutoSendTick();
            break;
        case kTimerStartupSetup:
            OnStartupSetupTick();
            break;
        case kTimerBackup:
            OnBackupTick();
            break;
        case kTimerLoadData:
            OnLoadDataTick();
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

void CMainEngine::OnEnterKey() {
    if (ports_.IsOpen()) sender_.SendData();
}

void CMainEngine::OnClearAllData() {
    ctx_.exchange.ClearAll();
}

void CMainEngine::OnBackupTick() {
    if (logWriter_ != nullptr) PostBackup(*logWriter_);
    ctx_.exchange.ClearAll();
    ctx_.Changed(kChangedRecords);
}

void CMainEngine::OnSelectUI(int commandId) {
    qelvor::OnSelectUI(commandId, ctx_.settings, ctx_.view);
}

void CMainEngine::OnRecordCountChanged(size_t) {
    ctx_.Changed(kChangedRecords);
}

void CMainEngine::ScrollToNewest() {
    ctx_.Changed(kChangedScroll);
}

void CMainEngine::OnDataListChange(const DataListChange&) {
    ctx_.Changed(kChangedDataList);
}

}  // namespace qelvor
