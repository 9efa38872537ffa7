// What the parts of the main window's engine share: the settings, the view,
// the plain state, the data list, the message exchange with its trigger
// rules and the sessions of the ASTM and HL7 links. Engine thread only.
#pragma once

#include <string>
#include <utility>

#include "config/com_setting.h"
#include "mainwnd/astm_session.h"
#include "mainwnd/hl7_session.h"
#include "mainwnd/main_state.h"
#include "mainwnd/main_view.h"
#include "mainwnd/rule_responder.h"
#include "mainwnd/script_hooks.h"
#include "traffic/data_list.h"
#include "traffic/msg_exchange.h"

namespace qelvor {

// The caption of the engine's message boxes: the program's name.
inline constexpr const char* kProgramCaption = "Qelvor";

struct CEngineContext {
    CEngineContext(CComSetting& settingsRecord, IMainView& mainView)
        : settings(settingsRecord),
          view(mainView),
          exchange(settingsRecord),
          rules(exchange),
          scripts(settingsRecord, exchange, rules),
          astm(*this),
          hl7(*this) {}

    void Changed(unsigned what) {
        if ((what & kChangedButtons) != 0)
            state.ExplainDisabledButtons(settings.HandShake != 0, settings.ShowDataListWnd != 0);
        view.OnStateChanged(what);
    }

    void SetPane(size_t index, std::string text) {
        if (state.panes[index] == text) return;
        state.panes[index] = std::move(text);
        Changed(kChangedStatus);
    }

    void SetBufferText(std::string text) {
        state.bufferText = std::move(text);
        Changed(kChangedBuffer);
    }

    // Tells the view only of a real change, so that handing the box's own
    // text back never makes the view rewrite what is being typed.
    void SetSendText(std::string text) {
        if (state.sendText == text) return;
        state.sendText = std::move(text);
        Changed(kChangedSendText);
    }

    // Writes one key of the current set from the record; a write that fails
    // is told in an 'I' record. True when written.
    bool StoreSetting(SettingKey key) {
        return ReportUnsaved(settings.WriteKey(key), std::string("setting ") + KeyName(key));
    }
    // Tells in an 'I' record that what (a setting, the settings) did not
    // reach the INI file, when written is false; returns written.
    bool ReportUnsaved(bool written, const std::string& what) {
        if (!written) exchange.AddRecord('I', what + " not saved to " + settings.IniPath);
        return written;
    }

    // Starts the link of the protocol mode, if it has one and none runs.
    void StartProtocol() {
        astm.StartIfAstm();
        hl7.StartIfHl7();
    }
    // Ends the protocol's link; lineUp: the ASTM link may still end its
    // transfer on the line.
    void StopProtocol(bool lineUp) {
        astm.Stop(lineUp);
        hl7.Stop();
    }

    MsgResult Tell(const std::string& text, MsgIcon icon,
                   const std::string& caption = kProgramCaption) {
        return view.ShowMessageBox(text, caption, icon, MsgButtons::Ok);
    }

    CComSetting& settings;
    IMainView& view;
    CMainState state;
    CDataList dataList;
    CMsgExchange exchange;
    // Hooked into the exchange: answers frames ahead of its responses.
    CRuleResponder rules;
    // Takes the frames no rule took, when the set's ScriptHooks is on.
    CScriptHooks scripts;
    // After the exchange: the sessions' links feed it and must go first.
    CAstmSession astm;
    CHl7Session hl7;
};

}  // namespace qelvor
