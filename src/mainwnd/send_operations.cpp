#include "mainwnd/send_operations.h"

#include "config/setting_groups.h"
#include "config/string_table.h"
#include "data/check_sum.h"
#include "data/ctrl_char_notation.h"

namespace qelvor {

namespace {

// The SendCtrl captions of the two control pairs.
constexpr const char* kCaptionCrLf = "CRLF";
constexpr const char* kCaptionEotSoh = "EOTSOH";

// Auto-send runs every AutoSendElapse x 10 ms; a value below 1 becomes this.
constexpr int kDefaultAutoSendElapse = 3;

}  // namespace

void ExplainSendFailure(CEngineContext& context) {
    const std::string& reason = context.exchange.LastSendFailure();
    if (reason.empty() || context.state.pane0ToolTip == reason) return;
    context.state.pane0ToolTip = reason;
    context.Changed(kChangedStatus);
}

int CSendOperations::SendRecorded(const std::string& bytes) {
    const int result = ctx_.exchange.SendBytes(bytes, true);
    if (result < 1) ExplainSendFailure(ctx_);
    return result;
}

int CSendOperations::SendText(const std::string& text) {
    std::string bytes = ctx_.exchange.Compose(text);
    if (bytes.empty()) return 0;
    return SendRecorded(bytes);
}

bool CSendOperations::OnCtrlMenu(int commandId) {
    std::string bytes;
    std::string caption;
    if (commandId == kCmdCrLf) {
        bytes = "\r\n";
        caption = kCaptionCrLf;
    } else if (commandId == kCmdEotSoh) {
        bytes = std::string("\x04\x01", 2);
        caption = kCaptionEotSoh;
    } else if (commandId >= kCmdCtrlCharFirst && commandId < kCmdCtrlCharFirst + 32) {
        const int value = commandId - kCmdCtrlCharFirst;
        bytes = std::string(1, static_cast<char>(value));
        caption = CtrlCharNames[static_cast<size_t>(value)].name;
    } else {
        return false;
    }
    SendRecorded(bytes);
    ctx_.state.Button(kIdSendCtrl).caption = caption;
    ctx_.Changed(kChangedButtons);
    return true;
}

void CSendOperations::OnSendCtrl() {
    const std::string& caption = ctx_.state.Button(kIdSendCtrl).caption;
    std::string bytes;
    if (caption == kCaptionCrLf) {
        bytes = "\r\n";
    } else if (caption == kCaptionEotSoh) {
        bytes = std::string("\x04\x01", 2);
    } else if (const int value = CtrlCharByName(caption); value >= 0) {
        bytes = std::string(1, static_cast<char>(value));
    } else {
        return;  // the initial caption names nothing
    }
    SendRecorded(bytes);
}

const char* CSendOperations::IdleAutoSendCaption() const {
    return LoadStr(ctx_.settings.SupportStress != 0 ? kStrStressTest : kStrAutoSend);
}

const char* CSendOperations::RunningAutoSendCaption() const {
    return LoadStr(ctx_.settings.SupportStress != 0 ? kStrStopTest : kStrStopSend);
}

int CSendOperations::EffectiveAutoSendElapse() {
    CComSetting& s = ctx_.settings;
    if (s.AutoSendElapse < 1) {
        // Stored at once, like every setting changed outside the dialog.
        s.AutoSendElapse = kDefaultAutoSendElapse;
        ctx_.StoreSetting(SettingKey::AutoSendElapse);
        ctx_.Changed(kChangedSettings);
    }
    return s.AutoSendElapse;
}

void CSendOperations::StartAutoSend() {
    AutoSendState& as = ctx_.state.autoSend;
    as.lineIndex = ctx_.dataList.CurSel();
    as.count = 0;
    const int64_t period = static_cast<int64_t>(EffectiveAutoSendElapse()) * 10;
    ctx_.view.StartTimer(kTimerAutoSend, period);
    as.idle = false;
    ctx_.state.Button(kIdAutoSend).caption = RunningAutoSendCaption();
    ctx_.Changed(kChangedButtons);
}

void CSendOperations::StopAutoSend() {
    ctx_.view.StopTimer(kTimerAutoSend);
    ctx_.state.autoSend.idle = true;
    ctx_.state.Button(kIdAutoSend).caption = LoadStr(kStrAutoSend);
    ctx_.Changed(kChangedButtons);
}

void CSendOperations::OnAutoSend() {
    if (ctx_.state.autoSend.idle) {
        StartAutoSend();
        return;
    }
    ctx_.view.StopTimer(kTimerAutoSend);
    ctx_.state.autoSend.idle = true;
    ctx_.state.Button(kIdAutoSend).caption = IdleAutoSendCaption();
    ctx_.Changed(kChangedButtons);
}

void CSendOperations::AutoSendTick() {
    AutoSendState& as = ctx_.state.autoSend;
    if (as.idle) return;  // a tick queued before the timer stopped
    if (as.lineIndex < 0) as.lineIndex = 0;
    if (as.lineIndex < ctx_.dataList.Count()) {
        ctx_.SetSendText(ctx_.dataList.Line(as.lineIndex));
        SendData();
        ++as.lineIndex;
        ++as.count;
        ctx_.dataList.SetCurSel(as.lineIndex);
        ctx_.SetPane(1, StrPrintf("Send=%d,Count=%u", as.lineIndex, as.count));
        return;
    }
    if (ctx_.settings.SupportStress != 0) {
        // The stress test wraps: the next tick sends line 0 again.
        ctx_.dataList.SetCurSel(0);
        as.lineIndex = 0;
        return;
    }
    StopAutoSend();
    ctx_.SetPane(1, StrPrintf(LoadStr(kStrSendCompletedCount), static_cast<int>(as.count)));
}

void CSendOperations::StopForClose() {
    ctx_.view.StopTimer(kTimerAutoSend);
    ctx_.state.autoSend.idle = true;
    ctx_.state.autoSend.count = 0;
    ctx_.SetPane(1, std::string());
    ctx_.state.Button(kIdAutoSend).caption = LoadStr(kStrAutoSend);
    ctx_.Changed(kChangedButtons);
}

void CSendOperations::OnCheckSumButton() {
    CCheckSum check;
    ctx_.SetSendText(check.TextForm(ctx_.state.sendText, ctx_.settings.CheckSum));
}

void CSendOperations::RefreshCaptions(bool portOpen) {
    const SendFormatSettings format = SendFormatSettings::From(ctx_.settings);
    CMainState& st = ctx_.state;
    st.Button(kIdCheckSum).caption = LoadStr(CheckSumCaptionId(format.checkKind));
    st.Button(kIdCheckSum).toolTip = LoadStr(CheckSumToolTipId(format.checkKind));
    const int fileCaption = format.fileFormat == 1   ? kStrSendFileFmt
                            : format.fileFormat == 2 ? kStrSendFileHex
                                                     : kStrSendFileRaw;
    st.Button(kIdSendFile).caption = LoadStr(fileCaption);
    // kStrSendDataHex reads "SendData Hex": the button still sends the send box.
    st.Button(kIdSendData).caption = LoadStr(format.hexText ? kStrSendDataHex : kStrSendData);
    // A running auto-send keeps its stop caption, so the button still says
    // what pressing it does.
    st.Button(kIdAutoSend).caption =
        st.autoSend.idle ? IdleAutoSendCaption() : RunningAutoSendCaption();
    st.Button(kIdSetPort).caption = LoadStr(portOpen ? kStrSetup : kStrPortSet);
    ctx_.Changed(kChangedButtons);
    const SplitResponseSettings split = SplitResponseSettings::From(ctx_.settings);
    ctx_.SetPane(2, split.answer && split.responsesFromFile ? LoadStr(kStrResponseFile) : "");
}

}  // namespace qelvor
