#include "mainwnd/port_control.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>

#include "config/string_table.h"

namespace qelvor {

namespace {

// The size of one block read from the port.
constexpr int kReadBlockSize = 65536;
constexpr int kSerialBlocksPerTick = 4;
constexpr int kHighestPort = 65535;

// The settings file keeps what the user wrote; a number that is no port is
// refused here instead of being taken modulo 65536.
std::string BadPort(const char* key, int value) {
    return StrPrintf("%s=%d is not a port number (1..%d)", key, value, kHighestPort);
}

// inet_addr gives INADDR_NONE for any text that is not a dotted address.
bool Unresolvable(const std::string& address) {
    return inet_addr(address.c_str()) == INADDR_NONE && address != "255.255.255.255";
}

std::string TcpListenFailureText(int port, int error) {
    if (error == EADDRINUSE) return StrPrintf("port %d already in use by another program", port);
    if (error == EACCES) return StrPrintf("port %d may only be used by root", port);
    return StrPrintf("cannot listen on port %d: %s", port, std::strerror(error));
}

}  // namespace

CPortControl::CPortControl(CEngineContext& context)
    : ctx_(context), current_(&serial_), readBuffer_(kReadBlockSize), lines_(context) {}

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
    serial_.SetLinesAtOpen(s.DtrOnOpen != 0, s.RtsOnOpen != 0);
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
    st.Button(kIdSetPort).caption = LoadStr(kStrSetup);
    ctx_.Changed(kChangedButtons);
    reconnecting_ = false;
    ctx_.state.reconnectAttempts = 0;
    lines_.Stop();
    SelectPort();
    ConfigureCurrent();
    openFailure_ = SettingsProblem();
    if (!openFailure_.empty() || current_->Open() == 0) {
        if (openFailure_.empty()) openFailure_ = OpenFailureText();
        // OpenPort stays disabled: the user releases the port with ClosePort.
        ShowPortStatus(-1);
        current_->Close();
        ctx_.astm.Stop(false);
        return false;
    }
    ctx_.astm.StartIfAstm();
    if (current_ == &serial_) lines_.Start(serial_, std::chrono::steady_clock::now());
    tcpConnected_ = false;
    // A TCP client's connect goes on while the window runs; the poll ends it.
    connecting_ = current_ == &tcp_ && ctx_.settings.WorkMode == kWorkModeTcpClient &&
                  tcp_.GetState(0) == StreamPort::CTCPPort::kConnecting;
    ShowPortStatus(connecting_ ? 0 : 1);
    ctx_.view.StartTimer(kTimerPoll, 1);
    st.idlePollCount = 0;
    return true;
}

void CPortControl::FlushPendingFrame() {
    if (ctx_.exchange.Pending().empty()) return;
    ctx_.exchange.FlushPending();
    ctx_.SetBufferText(std::string());
}

// Settings that no port could open with, checked before trying.
std::string CPortControl::SettingsProblem() const {
    const CComSetting& s = ctx_.settings;
    if (s.WorkMode == kWorkModeSerial) return std::string();
    if (s.WorkMode != kWorkModeUdp) {
        if (s.IPPort < 1 || s.IPPort > kHighestPort) return BadPort("IPPort", s.IPPort);
        if (s.WorkMode == kWorkModeTcpClient && Unresolvable(s.SvrIPAddr))
            return "cannot resolve SvrIPAddr=" + s.SvrIPAddr + " (a dotted IPv4 address is needed)";
        return std::string();
    }
    // UDP: 0 and below mean no local port, or answering the last sender.
    if (s.UDPLocalPort > kHighestPort) return BadPort("UDPLocalPort", s.UDPLocalPort);
    if (s.UDPRemotePort > kHighestPort) return BadPort("UDPRemotePort", s.UDPRemotePort);
    if (s.UDPLocalPort <= 0 && s.UDPRemotePort <= 0)
        return StrPrintf(
            "UDPLocalPort=%d and UDPRemotePort=%d: set a port to receive on or to send to",
            s.UDPLocalPort, s.UDPRemotePort);
    if (s.UDPRemotePort > 0 && Unresolvable(s.SvrIPAddr))
        return "cannot resolve SvrIPAddr=" + s.SvrIPAddr + " (a dotted IPv4 address is needed)";
    return std::string();
}

// The device behind ComPort/ComName and what the system said about it.
std::string CPortControl::SerialFailureText() {
    const CComSetting& s = ctx_.settings;
    const std::string path = serial_.DevicePath();
    if (path.empty())
        return StrPrintf("ComPort=%d with an empty ComName names no device", s.ComPort);
    std::string named = s.ComPort > 0 ? StrPrintf("COM%d", s.ComPort) : s.ComName;
    const std::string label = named == path ? path : path + " (" + named + ")";
    // The port's own text may start with the device path already; the
    // label then takes its place, so the device is named once.
    std::string reason = serial_.LastOpenErrorText();
    reason = reason.rfind(path + ":", 0) == 0 ? reason.substr(path.size()) : ": " + reason;
    return label + reason;
}

std::string CPortControl::TcpClientFailureText() const {
    const std::string peer =
        StrPrintf("%s:%d", ctx_.settings.SvrIPAddr.c_str(), ctx_.settings.IPPort);
    switch (tcp_.LastError()) {
        case ECONNREFUSED:
            return "connection refused by " + peer;
        case ETIMEDOUT:
            return "no answer from " + peer + " within 5 s";
        case ENETUNREACH:
        case EHOSTUNREACH:
            return "no route to " + peer;
        default:
            return "cannot connect to " + peer + ": " + std::strerror(tcp_.LastError());
    }
}

std::string CPortControl::OpenFailureText() {
    const CComSetting& s = ctx_.settings;
    if (current_ == &serial_) return SerialFailureText();
    if (current_ == &tcp_) {
        if (s.WorkMode == kWorkModeTcpClient) return TcpClientFailureText();
        return TcpListenFailureText(s.IPPort, tcp_.LastError());
    }
    if (udp_.LastError() == EADDRINUSE)
        return StrPrintf("UDP port %d already in use by another program", s.UDPLocalPort);
    return StrPrintf("cannot receive on UDP port %d: %s", s.UDPLocalPort,
                     std::strerror(udp_.LastError()));
}

void CPortControl::ClosePort() {
    openFailure_.clear();
    connecting_ = false;
    tcpConnected_ = false;
    reconnecting_ = false;
    ctx_.state.reconnectAttempts = 0;
    lines_.Stop();
    FlushPendingFrame();
    // The link's EOT, when a message is under way, goes out before the close.
    ctx_.astm.Stop(ctx_.state.shownStatusCode >= 1);
    // What the port takes now still goes; the rest is told as not sent.
    ctx_.exchange.DrainOutgoing();
    ctx_.exchange.AbandonOutgoing();
    ctx_.view.StopTimer(kTimerPoll);
    ctx_.state.idlePollCount = 0;
    // Every port is closed, open or not: a TCP server whose peer just left
    // counts as closed while its next accept thread already starts
    // listening, and only Close ends that thread. Close of a closed port
    // changes nothing.
    StreamPort::CStreamPort* all[] = {&serial_, &tcp_, &udp_};
    for (StreamPort::CStreamPort* port : all)
        port->Close();
    ReportUdpDrops(true);
    CMainState& st = ctx_.state;
    st.Button(kIdClosePort).enabled = false;
    st.Button(kIdOpenPort).enabled = true;
    st.Button(kIdSendData).enabled = false;
    st.Button(kIdSendFile).enabled = false;
    st.Button(kIdAutoSend).enabled = false;
    st.Button(kIdSetPort).caption = LoadStr(kStrPortSet);
    ctx_.Changed(kChangedButtons);
    ShowPortStatus(-1);
    ctx_.SetPane(0, ctx_.settings.DescribePort());
}

// Bytes of one peer never join the next peer's: when a TCP connection ends
// (closed, reset, or lost to a failed receive or send), what it left pending
// is recorded on its own.
void CPortControl::FlushIfConnectionEnded() {
    const bool connected =
        current_ == &tcp_ && tcp_.GetState(0) == StreamPort::CTCPPort::kConnected;
    if (tcpConnected_ && !connected) {
        FlushPendingFrame();
        // Bytes meant for this peer never reach the next one.
        ctx_.exchange.AbandonOutgoing();
        // The next peer meets a link that knows nothing of this one's
        // transfer; a message under way ends unacknowledged.
        ctx_.astm.Stop(false);
        ctx_.astm.StartIfAstm();
    }
    if (connected && !tcpConnected_) lastHeard_ = std::chrono::steady_clock::now();
    tcpConnected_ = connected;
}

// Datagrams that a flood brought faster than the poll takes them are dropped
// by the port at its queue's cap; each run of drops is told once it ends,
// and the one under way when the port closes.
void CPortControl::ReportUdpDrops(bool closing) {
    if (current_ != &udp_) return;
    const StreamPort::CDropRun::Totals dropped = udp_.TakeDrops(closing);
    if (dropped.items == 0) return;
    ctx_.exchange.AddRecord(
        'I', StrPrintf("UDP receive queue full: %zu datagrams (%zu bytes) dropped", dropped.items,
                       dropped.bytes));
}

// With IdleCloseSeconds, a peer that has sent nothing for that long gives
// up its connection, so a half-open client cannot hold a server's one slot.
void CPortControl::CloseIfIdle(std::chrono::steady_clock::time_point now) {
    const int limit = ctx_.settings.IdleCloseSeconds;
    if (limit <= 0 || !tcpConnected_ || now - lastHeard_ < std::chrono::seconds(limit)) return;
    ctx_.exchange.AddRecord('I', StrPrintf("nothing received for %d s: connection closed", limit));
    tcp_.DropConnection();
    FlushIfConnectionEnded();
}

// One block a tick, as the window has always read. A serial line's receive
// thread may have queued more while the window's thread was busy: up to
// kSerialBlocksPerTick of those are taken at once, so a fast device is not
// capped at one block a millisecond while the queue grows.
void CPortControl::ReceiveBlocks() {
    const int blocks = current_ == &serial_ ? kSerialBlocksPerTick : 1;
    for (int i = 0; i < blocks; ++i) {
        if (i > 0 && current_->WaitForData(0) < 1) return;
        const int count = current_->Read(readBuffer_.data(), kReadBlockSize);
        if (count <= 0) return;
        lastHeard_ = std::chrono::steady_clock::now();
        ctx_.exchange.OnReceive(readBuffer_.data(), count);
    }
}

// A connect that ends shows what an open that waited for it showed: the
// connected status, or the failed one with its reason and no poll.
void CPortControl::PollConnect() {
    const int result = tcp_.PollConnect();
    if (result == 0) return;
    connecting_ = false;
    if (result > 0) {
        ShowPortStatus(1);
        return;
    }
    openFailure_ = TcpClientFailureText();
    ShowPortStatus(-1);
    tcp_.Close();
    ctx_.view.StopTimer(kTimerPoll);
}

void CPortControl::PollPort() {
    const auto now = std::chrono::steady_clock::now();
    if (reconnecting_) {
        PollReconnect(now);
        return;
    }
    if (connecting_) {
        PollConnect();
        return;
    }
    lines_.OnTick(now);
    ReportUdpDrops(false);
    FlushIfConnectionEnded();
    CloseIfIdle(now);
    if (current_ == &tcp_) tcp_.RestartListening();
    const int ready = current_->WaitForData(0);
    FlushIfConnectionEnded();
    if (ready >= 1) {
        ReceiveBlocks();
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
    if (current_ == &serial_) lines_.OnIdleTick(now);
    const int code = current_->GetState(0);
    if (code != st.shownStatusCode) ShowPortStatus(code);
    if (ShouldReconnect(code)) StartReconnect(now);
}

// An initial connect that fails stops the poll (PollConnect); only a
// connection that was up, or a device that was open, is reopened.
bool CPortControl::ShouldReconnect(int code) const {
    if (ctx_.settings.AutoReconnect == 0 || code >= 0) return false;
    if (current_ == &serial_) return true;  // -1: the device vanished
    return current_ == &tcp_ && ctx_.settings.WorkMode == kWorkModeTcpClient;
}

void CPortControl::StartReconnect(std::chrono::steady_clock::time_point now) {
    reconnecting_ = true;
    ctx_.state.reconnectAttempts = 0;
    nextReconnect_ = now + kReconnectInterval;
    lines_.Stop();
}

void CPortControl::PollReconnect(std::chrono::steady_clock::time_point now) {
    if (connecting_) {
        PollReconnectConnect();
        return;
    }
    if (now < nextReconnect_) return;
    nextReconnect_ = now + kReconnectInterval;
    const int attempt = ++ctx_.state.reconnectAttempts;
    ctx_.SetPane(
        0, StrPrintf(LoadStr(kStrReconnecting), ctx_.settings.DescribePort().c_str(), attempt));
    if (ReopenCurrent()) Reconnected();
}

// One attempt; true when the port is back at once. A TCP client's connect
// goes on at the next ticks.
bool CPortControl::ReopenCurrent() {
    if (current_ == &serial_) {
        ConfigureCurrent();
        return serial_.Open() != 0;  // Open lets go of the vanished device first
    }
    tcp_.Close();
    ConfigureCurrent();
    if (tcp_.Open() == 0) return false;
    if (tcp_.GetState(0) == StreamPort::CTCPPort::kConnected) return true;
    connecting_ = true;
    return false;
}

void CPortControl::PollReconnectConnect() {
    const int result = tcp_.PollConnect();
    if (result == 0) return;
    connecting_ = false;
    if (result > 0) {
        Reconnected();
        return;
    }
    tcp_.Close();  // refused again: the next attempt comes at its time
}

void CPortControl::Reconnected() {
    reconnecting_ = false;
    ctx_.exchange.AddRecord(
        'I', StrPrintf("%s reconnected (attempt %d)", ctx_.settings.DescribePort().c_str(),
                       ctx_.state.reconnectAttempts));
    ctx_.state.reconnectAttempts = 0;
    openFailure_.clear();
    if (current_ == &serial_) lines_.Start(serial_, std::chrono::steady_clock::now());
    ShowPortStatus(1);
}

std::string CPortControl::TcpServerText(int code) {
    const int port = ctx_.settings.IPPort;
    if (code >= 1) {
        std::string text = StrPrintf(LoadStr(kStrTcpServerConnected), port);
        sockaddr_in peer{};
        if (tcp_.GetPeerAddress(&peer) != 0) {
            char address[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
            text += StrPrintf(LoadStr(kStrRemoteAddress), address,
                              static_cast<int>(ntohs(peer.sin_port)));
            ctx_.state.pane0ToolTip = text;
        }
        return text;
    }
    if (code == 0) return StrPrintf(LoadStr(kStrTcpServerWaitingClient), port);
    if (code == -1) return "TCP-Server";
    if (code == -2) {
        ctx_.state.pane0ToolTip = TcpListenFailureText(port, tcp_.LastError());
        return StrPrintf(LoadStr(kStrTcpServerPortInUse), port);
    }
    return std::string();
}

std::string CPortControl::SerialText(int code) {
    std::string text = ctx_.settings.DescribePort();
    if (code < 0) return text + LoadStr(kStrOpenPortFailed);
    if (code == 0) return text;
    const char* description = serial_.GetDescription();
    return text + "(" + (description != nullptr ? description : "") + ")";
}

std::string CPortControl::StatusText(int code) {
    const CComSetting& s = ctx_.settings;
    // The status text stays the familiar one; why an open failed (and a
    // connected server's peer, or a taken port) goes to the tool tip.
    ctx_.state.pane0ToolTip = code < 0 ? openFailure_ : std::string();
    switch (s.WorkMode) {
        case kWorkModeTcpServer:
            return TcpServerText(code);
        case kWorkModeTcpClient:
            return StrPrintf(LoadStr(code < 0    ? kStrTcpClientConnectFailed
                                     : code == 0 ? kStrTcpClientConnecting
                                                 : kStrTcpClientConnected),
                             s.SvrIPAddr.c_str(), s.IPPort);
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

bool CPortControl::WritesInPieces() {
    if (current_ == &tcp_) return tcp_.GetState(0) == StreamPort::CTCPPort::kConnected;
    return current_ == &serial_ && serial_.IsOpen() != 0;
}

int CPortControl::TryWrite(const char* bytes, int length) {
    if (current_ == &tcp_) return tcp_.TryWrite(bytes, length);
    if (current_ == &serial_) return serial_.TryWrite(bytes, length);
    return -1;
}

}  // namespace qelvor
