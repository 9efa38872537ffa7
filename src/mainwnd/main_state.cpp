#include "mainwnd/main_state.h"

#include "config/string_table.h"

namespace qelvor {

CMainState::CMainState() {
    // The labels of the window template, before the caption refresh.
    const std::pair<int, const char*> labels[] = {
        {kIdLoadFile, "LoadFile"}, {kIdSetPort, "SetPort"},   {kIdSendData, "SendData"},
        {kIdDataList, ""},         {kIdOpenPort, "OpenPort"}, {kIdClosePort, "ClosePort"},
        {kIdSendCtrl, "SendCtrl"}, {kIdAutoSend, "AutoSend"}, {kIdCheckSum, "CheckSum"},
        {kIdSendFile, "SendFile"}, {kIdReSend, "ReSend"},
    };
    for (const auto& [id, label] : labels)
        buttons_[id].caption = label;
}

const ButtonState& CMainState::Button(int id) const {
    static const ButtonState kNone;
    auto it = buttons_.find(id);
    return it == buttons_.end() ? kNone : it->second;
}

void CMainState::ExplainDisabledButtons(bool handShake, bool dataListShown) {
    const bool open = Button(kIdClosePort).enabled;
    const auto explain = [this](int id, int why) {
        ButtonState& button = Button(id);
        button.toolTip = button.enabled ? std::string() : LoadStr(why);
    };
    const int send = open ? kStrNotConnectedToSend : kStrOpenPortToSend;
    explain(kIdOpenPort, kStrPortIsOpen);
    explain(kIdClosePort, kStrPortIsClosed);
    explain(kIdSendData, send);
    explain(kIdSendFile, send);
    explain(kIdAutoSend, handShake        ? kStrAutoSendOffWithResponse
                         : !dataListShown ? kStrShowDataListToAutoSend
                                          : send);
}

}  // namespace qelvor
