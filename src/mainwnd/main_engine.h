// The main window's behaviour without its drawing: the port and its status,
// the send commands, the data list and its files, the traffic store's
// commands and the start-up sequence. Its views (the Qt window, the headless
// runner, tests) turn user events and timer ticks into these calls and show
// the state it keeps. Not thread safe: one thread makes every call, and the
// view is called back on it.
#pragma once

#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/line_end.h"
#include "log/log_saver.h"
#include "mainwnd/capture_sessions.h"
#include "mainwnd/data_list_commands.h"
#include "mainwnd/engine_context.h"
#include "mainwnd/file_sender.h"
#include "mainwnd/port_control.h"
#include "mainwnd/quick_sends.h"
#include "mainwnd/send_history.h"
#include "mainwnd/send_operations.h"
#include "traffic/exchange_view.h"
#include "traffic/highlight_rules.h"

namespace qelvor {

class CLogWriter;

// What the window's start-up takes from the command line.
struct CStartupArgs {
    // A data file to load; empty: the one the settings file names.
    std::string dataFilePath;
    // "-n" was given: the configuration dialog comes first.
    bool setupFirst = false;
    // A capture file to show read-only instead of opening the port.
    std::string sessionPath;
    // With setupFirst, no settings file exists yet: the port is opened only
    // when that first configuration dialog is saved, whatever AutoRestart says.
    bool firstStart = false;
};

// Every public command runs as one command: a call that arrives while another
// command runs (from a nested event loop of a dialog or message box the view
// shows) is not run, and a timer tick that arrives so is run once the
// outermost command has returned.
class CMainEngine : public IExchangeView, private IDataListObserver {
  public:
    // The settings record is the program's one record; the engine writes the
    // settings it changes to its INI file at once.
    CMainEngine(CComSetting& settings, IMainView& view);
    ~CMainEngine() override;
    CMainEngine(const CMainEngine&) = delete;
    CMainEngine& operator=(const CMainEngine&) = delete;

    // --- start-up ---
    // The one start-up of every view (the window, qelvor-cli, the tests):
    // the exchange, the port (or timer 5 when the command line holds "-n"),
    // the start-up data file (timer 7), the captions, ReSend hidden, the
    // backup timer and the title. The start-up data file is the one named
    // by args, else the one the INI file names.
    void Startup(const CStartupArgs& args);
    // Attaches the exchange to this engine, the data list and the port.
    void InitExchange();
    // The continuous log: gets every record while AutoSaveLog is on and the
    // backup item of each backup tick. May be null.
    void AttachLogWriter(CLogWriter* writer);

    // --- port connection ---
    void OnOpenPort();
    void OnClosePort();
    // After the configuration dialog; accepted is true for OK.
    void OnSetPort(bool accepted);
    // Timer 5: closes the port; the view then shows the configuration dialog
    // and passes its result to OnSetPort.
    void OnStartupSetupTick();
    int SelectPort() {
        return Command(0, [&] { return ports_.SelectPort(); });
    }
    void PollPort() {
        Command([&] { ports_.PollPort(); });
    }
    void ShowPortStatus(int code) {
        Command([&] { ports_.ShowPortStatus(code); });
    }
    void UpdateTitle() {
        Command([&] { ports_.UpdateTitle(); });
    }
    bool IsPortOpen() { return ports_.IsOpen(); }
    StreamPort::CStreamPort& CurrentPort() { return ports_.Current(); }
    // The tap of WorkMode 30: its sides' names and states.
    const CTapSession& Tap() const { return ports_.Tap(); }

    // The time between two poll ticks of a loop that can wait (qelvor-cli):
    // a tap's waiting bytes are written as room comes, until the given time
    // at the latest; returns at once when none wait.
    void RelayUntil(std::chrono::steady_clock::time_point until) {
        Command([&] { ports_.RelayUntil(until); });
    }
    // Every timer of the window; unknown ids are ignored. A tick that
    // arrives during a command is run after it, once however often it came.
    void OnTimer(int id);

    // --- sending ---
    // The SendData button; the send box's text joins the send history.
    int OnSendData() {
        return Command(0, [&] { return SendFromBoxNow(); });
    }
    // Enter in the send box: sends only while the port is open.
    void OnEnterKey();
    bool OnCtrlMenu(int commandId) {
        return Command(false, [&] { return sender_.OnCtrlMenu(commandId); });
    }
    void OnSendCtrl() {
        Command([&] { sender_.OnSendCtrl(); });
    }
    void OnAutoSend() {
        Command([&] { sender_.OnAutoSend(); });
    }
    void OnCheckSumButton() {
        Command([&] { sender_.OnCheckSumButton(); });
    }
    int SendFile(const std::string& path) {
        return Command(0, [&] { return files_.SendFile(path); });
    }
    void ReSend() {
        Command([&] { files_.ReSend(); });
    }
    // "Send message": in the ASTM mode the data list as one message, each
    // line a record (empty lines skipped); in the HL7 mode the data list's
    // messages (a blank line between two), each after the previous one's
    // ACK. Refused with an 'I' record when ProtocolMode is 0 or the port is
    // not connected; true when the message was queued.
    bool SendProtocolMessage();
    // The result of the last Send message: true when every frame was
    // acknowledged (ASTM) or every message got AA or CA (HL7); empty while
    // it is under way or before the first.
    std::optional<bool> ProtocolMessageResult() const {
        return ctx_.settings.ProtocolMode == kProtocolHl7 ? ctx_.hl7.MessageResult()
                                                          : ctx_.astm.MessageResult();
    }
    const astm::AstmDelimiters& AstmDelimiters() const { return ctx_.astm.Delimiters(); }
    void RefreshCaptions() {
        Command([&] { sender_.RefreshCaptions(ports_.IsOpen()); });
    }

    // --- quick sends and the send history (of the current set) ---
    // Sends button index's text composed as the send box's text is; only
    // while the port is open. The write count, 0 when nothing was sent.
    int SendQuick(int index);
    const CQuickSends& QuickSends() const { return quick_; }
    // Stores a button (see CQuickSends::Set); the view hears kChangedQuickSends.
    bool SetQuickSend(int index, const QuickSend& button);
    void SetQuickSendsShown(bool shown);
    // Up and Down in the send box: the send text becomes the older or newer
    // text of the history.
    void HistoryOlder();
    void HistoryNewer();
    const CSendHistory& SendHistory() const { return history_; }

    // --- serial control lines (shown in State().controlLines) ---
    // Each is false when the port is not a serial line with modem lines.
    bool SetDtr(bool on) {
        return Command(false, [&] { return ports_.Lines().SetDtr(on); });
    }
    bool SetRts(bool on) {
        return Command(false, [&] { return ports_.Lines().SetRts(on); });
    }
    // A break of 250 ms, ended by a later poll tick; the thread never waits.
    bool SendBreak() {
        return Command(false,
                       [&] { return ports_.Lines().SendBreak(CControlLineWatch::Clock::now()); });
    }

    // --- statistics ---
    // The frame check adds its bad frames here (AddBadFrame).
    CTrafficStats& Stats() { return ctx_.exchange.Stats(); }

    // --- data list ---
    bool LoadDataFile(const std::string& path) {
        return Command(false, [&] { return dataCommands_.LoadDataFile(path); });
    }
    // The window's load: a large file in steps of timer kTimerLoadStep.
    bool BeginDataFileLoad(const std::string& path) {
        return Command(false, [&] { return dataCommands_.BeginDataFileLoad(path); });
    }
    bool DataFileLoading() const { return dataCommands_.Loading(); }
    bool ReLoad() {
        return Command(false, [&] { return dataCommands_.ReLoad(); });
    }
    void InsertAbove() {
        Command([&] { dataCommands_.InsertAbove(); });
    }
    void InsertBelow() {
        Command([&] { dataCommands_.InsertBelow(); });
    }
    void DeleteSelected() {
        Command([&] { dataCommands_.DeleteSelected(); });
    }
    // ctrlDown: the Ctrl key was held, the data file is forgotten too.
    void ClearDataList(bool ctrlDown) {
        Command([&] { dataCommands_.Clear(ctrlDown); });
    }
    bool SaveDataList(const std::string& path) {
        return Command(false, [&] { return dataCommands_.SaveAs(path); });
    }
    void OnDataListDoubleClick(int index) {
        Command([&] { dataCommands_.OnDoubleClick(index); });
    }
    void ToggleSendNow() {
        Command([&] { dataCommands_.ToggleSendNow(); });
    }
    // The ">" button: shows or hides the data list (ShowDataListWnd, written
    // to the set at once); AutoSend is enabled only while the list is shown,
    // HandShake is off and the port is open. True when now shown.
    bool ToggleDataList() {
        return Command(false, [&] { return dataCommands_.ToggleShown(ports_.IsOpen()); });
    }
    // A click on a data-list line (the right button too) selects it.
    void SelectDataLine(int index) {
        Command([&] { ctx_.dataList.SetCurSel(index); });
    }
    // The "scroll" check box: ScrollRSWnd, and every setting stored with it.
    void SetScrollToNewest(bool on);
    // The pending received bytes, accepted in their detail view, become a
    // record and leave the Buffer box.
    void FlushPendingData();

    // --- traffic store ---
    void OnClearAllData();
    // Timer 6: hands a backup to the continuous log and empties the store.
    void OnBackupTick();
    // The "Select UI" menu: stores the language for the next start.
    void OnSelectUI(int commandId);

    // --- capture files ---
    // "Open session...": the port closes and the capture file's records
    // fill the store, read-only; false (told in an 'I' record) when it
    // cannot be read. Opening the port again starts a new live capture.
    bool OpenSession(const std::string& path);
    // "Open it" for a capture file an earlier run left: opened as above and
    // marked kept, so that it is not offered again.
    bool OpenLeftSession(const std::string& path) {
        KeepLeftSession(path);
        return OpenSession(path);
    }
    // "Keep this session": the run's capture file stays when it ends.
    void KeepSession(bool keep) { sessions_.Keep(keep); }
    bool SessionKept() const { return sessions_.Kept(); }
    // Capture files that earlier runs left without ending them.
    std::vector<LeftSession> LeftSessions() const { return sessions_.Left(); }
    std::string SessionsFolder() const { return sessions_.Folder(); }
    // Writes the records appended since the poll tick to the capture file,
    // for a view that shows them before the next tick.
    void FlushCapture() {
        Command([&] { sessions_.Tick(); });
    }

    // --- saving the traffic store (the EVENT menu) ---
    // The save commands write where the view's file dialog chose; the
    // dialog's defaults come from LogSaveDialog and ZipSaveDialog. An
    // existing file is asked about (overwrite or append) through the view's
    // message box, so the view's dialog does not ask itself. 1 saved, 0
    // cancelled, -1 nothing to save or not written (told in a message box).
    int SaveLog(LogFormat format, const std::string& path);
    // The five layouts packed into the archive at path and deleted beside
    // it; true when all five were packed. The result is told in a message box.
    bool SaveZip(const std::string& path);
    // "Save as &All": every layout to its default file; told in message boxes.
    void SaveAllLogs();

    // --- window options ---
    // The traffic list's view (EchoFree, ShowCheckColumn, ShowGapColumn,
    // GapScope) and the statistics band (StatisticsShown): the record takes
    // the value and its key is written to the current set at once. False
    // for any other key, or when the key was not written (told in an 'I'
    // record). Not a command: a view option is taken also while one runs.
    bool SetViewOption(SettingKey key, bool on);
    // The rules become Highlight1.. in the record, in order, the rest empty,
    // and the eight keys are written; false (told in one 'I' record) when a
    // key was not written. Not a command, as SetViewOption.
    bool SetHighlightRules(const std::vector<CHighlightRules::Rule>& rules);
    // The ASTM link's fault keys, FaultBadChecksum .. FaultDelayMs.
    static constexpr size_t kFaultKeyCount = 6;
    // The trigger rule lines (each one CTriggerRule::Parse reads) become
    // Rule1.. in the record, in order, the rest empty, and faults the six
    // fault keys, FaultBadChecksum .. FaultDelayMs in that order; every key
    // is written and the set's rules are loaded again at once. False (told in
    // one 'I' record) when a key was not written. Not a command, as
    // SetViewOption.
    bool SetTriggerRules(const std::vector<std::string>& lines,
                         const std::array<int, kFaultKeyCount>& faults);
    // The line-end selector beside the send box: SendLineEnd, written to the
    // current set at once; false, told in an 'I' record, when it was not
    // written. Not a command, as SetViewOption.
    bool SetSendLineEnd(LineEnd end);
    // The side the send box injects into in tap mode: TapSendSide, written
    // at once (the tap reads it at its next tick); false, told in an 'I'
    // record, when it was not written. Not a command, as SetViewOption.
    bool SetTapSendSide(tap::Side side);
    // The detail view's choice (CDataDetail::kRaw ...) becomes ShowDataMask
    // and is written at once; false, told in an 'I' record, when it was not
    // written. Not a command, as SetViewOption.
    bool SetDetailView(int view);
    // The window theme by name, kept for the user (CThemeChoice); false,
    // told in an 'I' record, when it was not written. Not a command.
    bool SetTheme(const std::string& name);

    // --- state for the view ---
    const CMainState& State() const { return ctx_.state; }
    CMsgExchange& Exchange() { return ctx_.exchange; }
    CDataList& DataList() { return ctx_.dataList; }
    // The trigger rules: the set's, or those a run gives for itself.
    CRuleResponder& TriggerRules() { return ctx_.rules; }
    CComSetting& Settings() { return ctx_.settings; }
    // True while a command runs: the view is inside one of its callbacks.
    bool InCommand() const { return inCommand_; }

    // The view hands the send box's text over as it is typed, or at the
    // latest before a command that reads it. Not a command: the text is
    // taken also while one runs.
    void SetSendText(const std::string& text) { ctx_.SetSendText(text); }

    // IExchangeView, for the exchange.
    void OnRecordCountChanged(size_t count) override;
    void ScrollToNewest() override;
    std::string GetSendText() override { return ctx_.state.sendText; }
    void SetBufferText(const std::string& text) override { ctx_.SetBufferText(text); }

  private:
    // Marks the engine busy for one outermost command, and at its end runs
    // the timer ticks deferred meanwhile. A scope opened while the engine is
    // busy is not entered.
    class CommandScope {
      public:
        explicit CommandScope(CMainEngine& engine);
        ~CommandScope();
        CommandScope(const CommandScope&) = delete;
        CommandScope& operator=(const CommandScope&) = delete;
        bool Entered() const { return entered_; }

      private:
        CMainEngine& engine_;
        bool entered_;
    };

    template <typename Body>
    void Command(Body&& body) {
        const CommandScope scope(*this);
        if (scope.Entered()) body();
    }
    // refused: the result of a command that was not run.
    template <typename Result, typename Body>
    Result Command(Result refused, Body&& body) {
        const CommandScope scope(*this);
        return scope.Entered() ? body() : refused;
    }

    void DeferTimer(int id);
    void RunDeferredTimers();
    void RunTimer(int id);
    void InitExchangeNow();
    // The quick sends and the send history of the current set.
    void LoadSetDataNow();
    int SendFromBoxNow();
    void StartupNow(const CStartupArgs& args);
    // Takes the start-up data file from the command line, or from the INI
    // file when the command line names none. True with "-n": the
    // configuration dialog comes first and no data file is set.
    bool ChooseStartupDataFileNow(const CStartupArgs& args);
    void StartBackupTimerNow();
    // Timer 7 loads the start-up data file when the data list is shown.
    void StartDataFileTimerNow();
    void ClosePortNow();
    bool SendProtocolMessageNow();
    void BackupNow();
    // Every change of the data list reaches the view as kChangedDataList.
    void OnDataListChange(const DataListChange& change) override;
    void OnLoadDataTick();
    // Shows a run of lines the continuous log could not write as one 'I'
    // record (poll tick).
    void ReportLogFailure();

    CEngineContext ctx_;
    CCaptureSessions sessions_;
    CPortControl ports_;
    CSendOperations sender_;
    CFileSender files_;
    CDataListCommands dataCommands_;
    CQuickSends quick_;
    CSendHistory history_;
    CLogWriter* logWriter_ = nullptr;
    bool inCommand_ = false;
    bool firstStartSetup_ = false;  // the first start's dialog is still to close
    // Timer ids that fired during a command, in the order they first came.
    std::vector<int> deferredTimers_;
};

}  // namespace qelvor
