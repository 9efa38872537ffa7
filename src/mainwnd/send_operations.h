// The main window's send commands: the send box, the control characters and
// the SendCtrl button, auto-send and the stress test, the CheckSum button and
// the caption refresh. Engine thread only.
#pragma once

#include <string>

#include "mainwnd/command_ids.h"
#include "mainwnd/engine_context.h"

namespace qelvor {

// After a write that failed: why the port could not take it ("no client
// connected") goes to the status pane's tool tip, where the window and
// qelvor-cli show it. Nothing changes when the exchange knows no reason.
void ExplainSendFailure(CEngineContext& context);

class CSendOperations {
  public:
    explicit CSendOperations(CEngineContext& context) : ctx_(context) {}

    // Composes the send text and sends it; the write count, 0 when the
    // composition gave nothing to send.
    int SendData() { return SendText(ctx_.state.sendText); }
    // Composes a notation text exactly as the send box's (a quick-send
    // button's) and sends it, recorded; as SendData.
    int SendText(const std::string& text);
    // A control-character menu item: sends it and names it on SendCtrl.
    // False for an id that is no such item.
    bool OnCtrlMenu(int commandId);
    // The SendCtrl button: sends again what its caption names.
    void OnSendCtrl();

    // The AutoSend button: starts auto-send when idle, else stops it.
    void OnAutoSend();
    // One tick of the auto-send timer.
    void AutoSendTick();
    // Stops auto-send because the port closes: count 0 and pane 1 emptied.
    void StopForClose();

    // Rewrites the send text with the check of the CheckSum kind appended.
    void OnCheckSumButton();
    // Captions and tool tips that follow the settings.
    void RefreshCaptions(bool portOpen);

  private:
    int SendRecorded(const std::string& bytes);
    void StartAutoSend();
    void StopAutoSend();
    int EffectiveAutoSendElapse();
    const char* IdleAutoSendCaption() const;
    const char* RunningAutoSendCaption() const;

    CEngineContext& ctx_;
};

}  // namespace qelvor
