#include "mainwnd/port_control.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include "config/string_table.h"

namespace qelvor {

namespace {

// At most one block of this size is read per poll tick.
constexpr int kReadBlockSize = 65536;

}  // namespace

CPortControl::CPortControl(CEngineContext& context)
    : ctx_(context), current_(&serial_), readBuffer_(kReadBlockSize) {}

int CPortControl::SelectPort() {
    const int mode = ctx_.settings.WorkMode;
    if (mode == kWorkModeSerial) {
        current_ = &serial_;
    } else if (mode == kWorkModeUdp) {
        current_ = &udp_;
    } else {
        current_ = &tcp_;
    }
    StreamPort::CStreamPort* all[] = {&serial_, &tcp_, &udp_};
    for (StreamPort::CStreamPort* port : all) {
        if (port != current_) port->Close();
    }
    ctx_.exchange.SetPort(current_);
    return 1;
}

void CPortControl::ConfigureCurrent() {
    const CComSetting& s = ctx_.settings;
    current_->SetFormat(static_cast<uint8_t>(s.ByteSize), static_cast<uint8_t>(s.StopBit),
                        static_cast<uint8_t>(s.Parity));
    current_->SetComParam(s.ComPort, s.BaudRate, s.ComName.c_str());
    serial_.SetFlowControl(s.FlowCtrl);
    const uint32_t address = inet_addr(s.SvrIPAddr.c_str());
    if (s.WorkMode == kWorkModeUdp) {
        // The UDP description names the address as the user wrote it.
        udp_.SetRemoteAddressText(s.SvrIPAddr);
        current_->SetNetParam(s.UDPLocalPort, s.UDPRemotePort, address);
    } else {
        current_->SetNetParam(s.WorkMode, s.IPPort, address);
    }
}

bool CPortControl::OpenPort() {
    CMainState& st = ctx_.state;
    st.Button(kIdClosePort).enabled = true;
    st.Button(kIdOpenPort).enabled = false;
    st.Button(kIdSendData).enabled = true;
    st.Button(kIdSendFile).enabled = true;
    st.Button(kIdAutoSend).enabled = ctx_.settings.HandShake == 0;
    st.Button(kIdSetPort).caption = LoadStr(21014);
    ctx_.Changed(kChangedButtons);
    SelectPort();
    ConfigureCurrent();
    if (current_->Open() == 0) {
        // OpenPort stays disabled: the user releases the port with ClosePort.
        ShowPortStatus(-1);
        current_->Close();
        return false;
    }
    ShowPortStatus(1);
    ctx_.view.StartTimer(kTimerPoll, 1);
    st.idlePollCount = 0;
    return true;
}

void CPortControl::FlushPendingFrame() {
    if (ctx_.exchange.Pending().empty()) return;
    ctx_.exchange.FlushPending();
    ctx_.SetBufferText(std::string());
}

void CPortControl::ClosePort() {
    FlushPendingFrame();
    ctx_.view.StopTimer(kTimerPoll);
    ctx_.state.idlePollCount = 0;
    // Every port is closed, open or not: a TCP server whose peer just left
    // counts as closed while its next accept thread already starts
    // listening, and only Close ends that thread. Close of a closed port
    // changes nothing.
    StreamPort::CStreamPort* all[] = {&serial_, &tcp_, &udp_};
    for (StreamPort::CStreamPort* port : all)
        port->Close();
    CMainState& st = ctx_.state;
    st.Button(kIdClosePort).enabled = false;
    st.Button(kIdOpenPort).enabled = true;
    st.Button(kIdSendData).enabled = false;
    st.Button(kIdSendFile).enabled = false;
    st.Button(kIdAutoSend).enabled = false;
    st.Button(kIdSetPort).caption = LoadStr(21015);
    ctx_.Changed(kChangedButtons);
    ShowPortStatus(-1);
    ctx_.SetPane(0, ctx_.settings.DescribePort());
}

void CPortControl::PollPort() {
    if (current_->WaitForData(0) >= 1) {
        const int count = current_->Read(readBuffer_.data(), kReadBlockSize);
        if (count > 0) ctx_.exchange.OnReceive(readBuffer_.data(), count);
        return;
    }
    CMainState& st = ctx_.state;
    ++st.idlePollCount;
    const int delay = ctx_.settings.InterframeDelay;
    if (delay >= 1 && st.idlePollCount >= delay) {
        st.idlePollCount = 0;
        // Only a splitter without split strings waits for silence to end a frame.
        if (ctx_.settings.SplitStrs.empty()) FlushPendingFrame();
    }
    const int code = current_->GetState(0);
    if (code != st.shownStatusCode) ShowPortStatus(code);
}

std::string CPortControl::TcpServerText(int code) {
    const int port = ctx_.settings.IPPort;
    if (code >= 1) {
        std::string text = StrPrintf(LoadStr(21051), port);
        sockaddr_in peer{};
        if (tcp_.GetPeerAddress(&peer) != 0) {
            char address[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
            text += StrPrintf(LoadStr(21059), address, static_cast<int>(ntohs(peer.sin_port)));
            ctx_.state.pane0ToolTip = text;
        }
        return text;
    }
    if (code == 0) return StrPrintf(LoadStr(21052), port);
    if (code == -1) return "TCP-Server";
    if (code == -2) return StrPrintf(LoadStr(21053), port);
    return std::string();
}

std::string CPortControl::SerialText(int code) {
    std::string text = ctx_.settings.DescribePort();
    // Why the open failed (busy, no permission) goes to the tool tip, so
    // that the status text itself stays the familiar one.
    if (code < 0) {
        ctx_.state.pane0ToolTip = serial_.LastOpenErrorText();
        return text + LoadStr(21056);
    }
    if (code == 0) return text;
    const char* description = serial_.GetDescription();
    return text + "(" + (description != nullptr ? description : "") + ")";
}

std::string CPortControl::StatusText(int code) {
    const CComSetting& s = ctx_.settings;
    // Only a connected server and a failed serial open explain themselves in
    // the tool tip; any other status leaves it empty.
    ctx_.state.pane0ToolTip.clear();
    switch (s.WorkMode) {
        case kWorkModeTcpServer:
            return TcpServerText(code);
        case kWorkModeTcpClient:
            return StrPrintf(LoadStr(code < 0 ? 21055 : 21054), s.SvrIPAddr.c_str(), s.IPPort);
        case kWorkModeSerial:
            return SerialText(code);
        case kWorkModeUdp: {
            const char* description = udp_.GetDescription();
            return description != nullptr ? description : "";
        }
        default:
            return std::string();
    }
}

void CPortControl::EnableSendButtons(bool connected) {
    CMainState& st = ctx_.state;
    st.Button(kIdSendData).enabled = connected;
    st.Button(kIdSendFile).enabled = connected;
    st.Button(kIdAutoSend).enabled = connected && ctx_.settings.HandShake == 0;
    ctx_.Changed(kChangedButtons);
}

void CPortControl::ShowPortStatus(int code) {
    ctx_.state.shownStatusCode = code;
    std::string text = StatusText(code);
    if (!text.empty()) ctx_.SetPane(0, std::move(text));
    ctx_.Changed(kChangedStatus);
    EnableSendButtons(code >= 1);
}

void CPortControl::UpdateTitle() {
    std::string& title = ctx_.state.title;
    std::string word = title.substr(0, title.find(' '));
    if (ctx_.settings.TitleShowPortType != 0) {
        title = word + " " + ctx_.settings.DescribePort();
    } else {
        title = word;
    }
    ctx_.Changed(kChangedTitle);
}

}  // namespace qelvor
