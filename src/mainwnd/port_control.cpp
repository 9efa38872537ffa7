#include "mainwnd/port_control.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include "config/string_table.h"
#include "mainwnd/port_status_text.h"

namespace qelvor {

namespace {

// The size of one block read from the port.
constexpr int kReadBlockSize = 65536;
constexpr int kSerialBlocksPerTick = 4;
using StreamPort::PortKind;

// Whether a TCP port of either role is connected to its peer.
bool TcpConnected(StreamPort::CStreamPort& port) {
    const PortKind kind = port.Kind();
    return (kind == PortKind::TcpServer || kind == PortKind::TcpClient) &&
           port.GetState(0) == StreamPort::CTCPPort::kConnected;
}

}  // namespace

CPortControl::CPortControl(CEngineContext& context)
    : ctx_(context),
      current_(&ports_.Current()),
      readBuffer_(kReadBlockSize),
      lines_(context),
      tap_(context) {}

int CPortControl::SelectPort() {
    current_ = &ports_.Select(ctx_.settings.WorkMode);
    ctx_.exchange.SetPort(current_);
    return 1;
}

void CPortControl::ConfigureCurrent() {
    ports_.Configure(ctx_.settings);
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
    if (Tapping()) return OpenTap();
    ConfigureCurrent();
    openFailure_ = PortSettingsProblem(ctx_.settings);
    if (!openFailure_.empty() || current_->Open() == 0) {
        if (openFailure_.empty()) openFailure_ = OpenFailureText();
        // OpenPort stays disabled: the user releases the port with ClosePort.
        ShowPortStatus(-1);
        current_->Close();
        ctx_.StopProtocol(false);
        return false;
    }
    ctx_.StartProtocol();
    if (current_->Kind() == PortKind::Serial)
        lines_.Start(*current_, std::chrono::steady_clock::now());
    tcpConnected_ = false;
    // A TCP client's connect goes on while the window runs; the poll ends it.
    connecting_ = current_->Kind() == PortKind::TcpClient &&
                  current_->GetState(0) == StreamPort::CTCPPort::kConnecting;
    ShowPortStatus(connecting_ ? 0 : 1);
    ctx_.view.StartTimer(kTimerPoll, 1);
    st.idlePollCount = 0;
    return true;
}

// A tap opens its two endpoints; the protocol links and the splitter of
// received bytes stay idle, as nothing answers between two other parties.
bool CPortControl::OpenTap() {
    current_->Close();
    tapSendPort_ = nullptr;
    ctx_.exchange.SetPort(nullptr);
    if (!tap_.Open(openFailure_)) {
        ShowPortStatus(-1);
        return false;
    }
    openFailure_.clear();
    ctx_.view.StartTimer(kTimerPoll, 1);
    PollTap();
    return true;
}

void CPortControl::PollTap() {
    tap_.Poll();
    StreamPort::CStreamPort* sendPort = tap_.SendPort();
    if (sendPort != tapSendPort_) {
        // Bytes meant for a side that went never reach it when it is back.
        ctx_.exchange.AbandonOutgoing();
        ctx_.exchange.SetPort(sendPort);
        tapSendPort_ = sendPort;
    }
    ctx_.SetPane(0, tap_.StatusText(tap::Side::kA));
    ctx_.SetPane(1, tap_.StatusText(tap::Side::kB));
    const int code = sendPort != nullptr ? 1 : 0;
    if (code == ctx_.state.shownStatusCode) return;
    ctx_.state.shownStatusCode = code;
    ctx_.Changed(kChangedStatus);
    EnableSendButtons(code >= 1);
}

void CPortControl::FlushPendingFrame() {
    if (ctx_.exchange.Pending().empty()) return;
    ctx_.exchange.FlushPending();
    ctx_.SetBufferText(std::string());
}

std::string CPortControl::OpenFailureText() {
    const CComSetting& s = ctx_.settings;
    switch (current_->Kind()) {
        case PortKind::Serial:
            return SerialOpenFailureText(s.ComPort, s.ComName, ports_.Serial().DevicePath(),
                                         ports_.Serial().LastOpenErrorText());
        case PortKind::TcpClient:
            return TcpClientFailureText(s.SvrIPAddr, s.IPPort, ports_.Tcp().LastError());
        case PortKind::TcpServer:
            return TcpListenFailureText(s.IPPort, ports_.Tcp().LastError());
        case PortKind::Pty:
            return ports_.Pty().LastOpenErrorText();
        case PortKind::Udp:
            break;
    }
    return UdpOpenFailureText(s.UDPLocalPort, ports_.Udp().LastError());
}

void CPortControl::ClosePort() {
    openFailure_.clear();
    connecting_ = false;
    tcpConnected_ = false;
    reconnecting_ = false;
    ctx_.state.reconnectAttempts = 0;
    lines_.Stop();
    FlushPendingFrame();
    tap_.Close();
    tapSendPort_ = nullptr;
    ctx_.exchange.SetPort(current_);
    // The link's EOT, when a message is under way, goes out before the close.
    ctx_.StopProtocol(ctx_.state.shownStatusCode >= 1);
    // What the port takes now still goes; the rest is told as not sent.
    ctx_.exchange.DrainOutgoing();
    ctx_.exchange.AbandonOutgoing();
    ctx_.view.StopTimer(kTimerPoll);
    ctx_.state.idlePollCount = 0;
    // Every port is closed, open or not: a TCP server whose peer just left
    // counts as closed while its next accept thread already starts
    // listening, and only Close ends that thread. Close of a closed port
    // changes nothing.
    ports_.CloseAll();
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
    const bool connected = TcpConnected(*current_);
    if (connected != tcpConnected_) RecordLinkEvent(connected);
    if (tcpConnected_ && !connected) {
        FlushPendingFrame();
        // Bytes meant for this peer never reach the next one.
        ctx_.exchange.AbandonOutgoing();
        // The next peer meets a link that knows nothing of this one's
        // transfer; a message under way ends unacknowledged.
        ctx_.StopProtocol(false);
        ctx_.StartProtocol();
    }
    if (connected && !tcpConnected_) lastHeard_ = std::chrono::steady_clock::now();
    tcpConnected_ = connected;
}

// A TCP connection that came or went, told as an 'I' record with the
// peer's address (RecordLinkEvents); a connection this end dropped is
// told where it is dropped.
void CPortControl::RecordLinkEvent(bool up) {
    if (ctx_.settings.RecordLinkEvents == 0) return;
    const bool server = current_->Kind() == PortKind::TcpServer;
    if (up) {
        const PortStatusFacts facts = StatusFacts(1);
        linkPeer_ = server ? StrPrintf("%s:%d", facts.peerAddress.c_str(), facts.peerPort)
                           : StrPrintf("%s:%d", facts.serverAddress.c_str(), facts.ipPort);
        if (server) ctx_.exchange.AddRecord('I', "client " + linkPeer_ + " connected");
        return;
    }
    if (server) {
        ctx_.exchange.AddRecord('I', "client " + linkPeer_ + " disconnected");
    } else if (!ports_.Tcp().DroppedHere()) {
        ctx_.exchange.AddRecord('I', "connection to " + linkPeer_ + " closed by the peer");
    }
}

// Datagrams that a flood brought faster than the poll takes them are dropped
// by the port at its queue's cap; each run of drops is told once it ends,
// and the one under way when the port closes.
void CPortControl::ReportUdpDrops(bool closing) {
    if (current_->Kind() != PortKind::Udp) return;
    const StreamPort::CDropRun::Totals dropped = ports_.Udp().TakeDrops(closing);
    if (dropped.items == 0) return;
    ctx_.exchange.AddRecord(
        'I', StrPrintf("UDP receive queue full: %zu datagrams (%zu bytes) dropped", dropped.items,
                       dropped.bytes));
}

// A program on the virtual port's far side that changes the line settings
// is told as an 'I' record, before any bytes it sends after the change.
void CPortControl::ReportLineChange() {
    if (current_->Kind() != PortKind::Pty) return;
    if (const auto line = ports_.Pty().TakeLineChange())
        ctx_.exchange.AddRecord('I', "virtual port: peer set " + *line);
}

// With IdleCloseSeconds, a peer that has sent nothing for that long gives
// up its connection, so a half-open client cannot hold a server's one slot.
void CPortControl::CloseIfIdle(std::chrono::steady_clock::time_point now) {
    const int limit = ctx_.settings.IdleCloseSeconds;
    if (limit <= 0 || !tcpConnected_ || now - lastHeard_ < std::chrono::seconds(limit)) return;
    ctx_.exchange.AddRecord('I', StrPrintf("nothing received for %d s: connection closed", limit));
    ports_.Tcp().DropConnection();
    FlushIfConnectionEnded();
}

// One block a tick, as the window has always read. The receive thread of a
// serial line or a virtual port may have queued more while the window's
// thread was busy: up to kSerialBlocksPerTick of those are taken at once, so
// a fast device is not capped at one block a millisecond while the queue grows.
void CPortControl::ReceiveBlocks() {
    const PortKind kind = current_->Kind();
    const int blocks = kind == PortKind::Serial || kind == PortKind::Pty ? kSerialBlocksPerTick : 1;
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
    const int result = ports_.Tcp().PollConnect();
    if (result == 0) return;
    connecting_ = false;
    if (result > 0) {
        ShowPortStatus(1);
        return;
    }
    openFailure_ = TcpClientFailureText(ctx_.settings.SvrIPAddr, ctx_.settings.IPPort,
                                        ports_.Tcp().LastError());
    ShowPortStatus(-1);
    ports_.Tcp().Close();
    ctx_.view.StopTimer(kTimerPoll);
}

void CPortControl::PollPort() {
    if (Tapping()) return PollTap();
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
    ReportLineChange();
    FlushIfConnectionEnded();
    CloseIfIdle(now);
    if (current_->Kind() == PortKind::TcpServer) ports_.Tcp().RestartListening();
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
    if (current_->Kind() == PortKind::Serial) lines_.OnIdleTick(now);
    const int code = current_->GetState(0);
    if (code == -1 && st.shownStatusCode >= 1 && current_->Kind() == PortKind::Serial &&
        ctx_.settings.RecordLinkEvents != 0)
        ctx_.exchange.AddRecord('I', ctx_.settings.DescribePort() + " vanished");
    if (code != st.shownStatusCode) ShowPortStatus(code);
    if (ShouldReconnect(code)) StartReconnect(now);
}

// An initial connect that fails stops the poll (PollConnect); only a
// connection that was up, or a device that was open, is reopened.
bool CPortControl::ShouldReconnect(int code) const {
    if (ctx_.settings.AutoReconnect == 0 || code >= 0) return false;
    const PortKind kind = current_->Kind();
    return kind == PortKind::Serial ||
           kind == PortKind::TcpClient;  // serial -1: the device vanished
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
    if (current_->Kind() == PortKind::Serial) {
        ConfigureCurrent();
        return ports_.Serial().Open() != 0;  // Open lets go of the vanished device first
    }
    ports_.Tcp().Close();
    ConfigureCurrent();
    if (ports_.Tcp().Open() == 0) return false;
    if (ports_.Tcp().GetState(0) == StreamPort::CTCPPort::kConnected) return true;
    connecting_ = true;
    return false;
}

void CPortControl::PollReconnectConnect() {
    const int result = ports_.Tcp().PollConnect();
    if (result == 0) return;
    connecting_ = false;
    if (result > 0) {
        Reconnected();
        return;
    }
    ports_.Tcp().Close();  // refused again: the next attempt comes at its time
}

void CPortControl::Reconnected() {
    reconnecting_ = false;
    ctx_.exchange.AddRecord(
        'I', StrPrintf("%s reconnected (attempt %d)", ctx_.settings.DescribePort().c_str(),
                       ctx_.state.reconnectAttempts));
    ctx_.state.reconnectAttempts = 0;
    openFailure_.clear();
    if (current_->Kind() == PortKind::Serial)
        lines_.Start(*current_, std::chrono::steady_clock::now());
    ShowPortStatus(1);
}

// What the status texts need: the settings that name the port and what the
// current port reports.
PortStatusFacts CPortControl::StatusFacts(int code) {
    const CComSetting& s = ctx_.settings;
    PortStatusFacts facts;
    facts.workMode = s.WorkMode;
    facts.code = code;
    facts.portName = s.DescribePort();
    facts.serverAddress = s.SvrIPAddr;
    facts.ipPort = s.IPPort;
    const char* description = current_->GetDescription();
    if (description != nullptr) facts.description = description;
    facts.openFailure = openFailure_;
    if (current_->Kind() != PortKind::TcpServer) return facts;
    facts.listenError = ports_.Tcp().LastError();
    sockaddr_in peer{};
    if (code >= 1 && ports_.Tcp().GetPeerAddress(&peer) != 0) {
        char address[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
        facts.peerAddress = address;
        facts.peerPort = ntohs(peer.sin_port);
    }
    return facts;
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
    PortStatusText status = BuildPortStatus(StatusFacts(code));
    ctx_.state.pane0ToolTip = std::move(status.toolTip);
    if (!status.text.empty()) ctx_.SetPane(0, std::move(status.text));
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
    // A capture file shown instead of the port's traffic says so.
    const CRecordStore& store = ctx_.exchange.Records();
    if (store.ReadOnly()) {
        const std::string path = store.SessionPath();
        title += " - " + path.substr(path.rfind('/') + 1) + " (read-only)";
    }
    ctx_.Changed(kChangedTitle);
}

bool CPortControl::WritesInPieces() {
    if (Tapping()) return tapSendPort_ != nullptr && tapSendPort_->WritesInPieces();
    return current_->WritesInPieces();
}

// A port that cannot write in pieces (UDP) takes no piece of a long write:
// its datagram would carry only that piece.
int CPortControl::TryWrite(const char* bytes, int length) {
    if (Tapping()) return WritesInPieces() ? tapSendPort_->TryWrite(bytes, length) : -1;
    return current_->WritesInPieces() ? current_->TryWrite(bytes, length) : -1;
}

}  // namespace qelvor
