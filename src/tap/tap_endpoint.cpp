#include "tap/tap_endpoint.h"

#include <cstring>

namespace qelvor::tap {

namespace {

using StreamPort::PortKind;

// A device's short name: its file name, but "pts/3" for a pty's device,
// whose bare number would say nothing.
std::string BaseName(const std::string& path) {
    if (path.rfind("/dev/pts/", 0) == 0) return path.substr(5);
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void CTapEndpoint::Configure(const CComSetting& settings, uint32_t listenAddress) {
    settings_ = settings;
    const CComSetting& s = settings_;
    current_ = &ports_.Select(s.WorkMode);
    ports_.Configure(s);
    if (s.WorkMode == kWorkModeUdp) {
        name_ = "udp:" + std::to_string(s.UDPLocalPort);
    } else if (s.WorkMode == kWorkModeTcpServer || s.WorkMode == kWorkModeTcpClient) {
        ports_.Tcp().SetListenAddress(listenAddress);
        name_ = (s.WorkMode == kWorkModeTcpClient ? s.SvrIPAddr : std::string()) + ":" +
                std::to_string(s.IPPort);
    } else if (s.WorkMode == kWorkModePty) {
        name_ = BaseName(ports_.Pty().LinkPath());
    } else {
        name_ = BaseName(s.ComName);
    }
}

bool CTapEndpoint::Open(std::string& failure) {
    wasUp_ = false;
    if (current_->Open() == 0) {
        failure = why_ = FailureText();
        current_->Close();
        link_ = Link::kClosed;
        return false;
    }
    connecting_ = current_->Kind() == PortKind::TcpClient &&
                  current_->GetState(0) == StreamPort::CTCPPort::kConnecting;
    link_ = Look();
    return true;
}

std::string CTapEndpoint::FailureText() {
    switch (current_->Kind()) {
        case PortKind::Serial:
            return ports_.Serial().LastOpenErrorText();
        case PortKind::Pty:
            return ports_.Pty().LastOpenErrorText();
        default:
            break;
    }
    const int error =
        current_->Kind() == PortKind::Udp ? ports_.Udp().LastError() : ports_.Tcp().LastError();
    return error != 0 ? std::strerror(error) : "cannot be opened";
}

void CTapEndpoint::Close() {
    current_->Close();
    link_ = Link::kClosed;
    connecting_ = false;
}

CTapEndpoint::Link CTapEndpoint::Look() {
    const int state = current_->GetState(0);
    switch (current_->Kind()) {
        case PortKind::TcpServer:
            why_ = state == StreamPort::CTCPPort::kListenFailed ? "port taken"
                                                                : "waiting for a client";
            return state == StreamPort::CTCPPort::kConnected ? Link::kUp : Link::kWaiting;
        case PortKind::TcpClient:
            why_ = connecting_ ? "connecting" : "connection ended";
            return state == StreamPort::CTCPPort::kConnected ? Link::kUp : Link::kWaiting;
        default:
            why_ = state >= 1 ? "" : "device failed";
            return state >= 1 ? Link::kUp : Link::kWaiting;
    }
}

CTapEndpoint::Link CTapEndpoint::Poll(Clock::time_point now) {
    if (link_ == Link::kClosed) return link_;
    if (connecting_ && ports_.Tcp().PollConnect() != 0) connecting_ = false;
    if (current_->Kind() == PortKind::TcpServer) ports_.Tcp().RestartListening();
    // A connection that ended shows as such to the next WaitForData.
    if (current_->Kind() == PortKind::TcpClient || current_->Kind() == PortKind::TcpServer)
        current_->WaitForData(0);
    link_ = Look();
    if (link_ == Link::kUp) {
        wasUp_ = true;
        why_.clear();
        return link_;
    }
    const bool lostClient = current_->Kind() == PortKind::TcpClient && !connecting_;
    const bool lostDevice = current_->Kind() == PortKind::Serial && wasUp_;
    if ((lostClient || lostDevice) && settings_.AutoReconnect != 0) Reopen(now);
    return link_;
}

void CTapEndpoint::Reopen(Clock::time_point now) {
    if (now < nextReopen_) return;
    nextReopen_ = now + kReconnectInterval;
    current_->Close();
    if (current_->Open() == 0) {
        why_ = "reconnecting: " + FailureText();
        return;
    }
    connecting_ = current_->Kind() == PortKind::TcpClient &&
                  current_->GetState(0) == StreamPort::CTCPPort::kConnecting;
    why_ = "reconnecting";
}

std::optional<std::string> CTapEndpoint::TakeLineChange() {
    if (current_ != &ports_.Pty() || link_ == Link::kClosed) return std::nullopt;
    return ports_.Pty().TakeLineChange();
}

}  // namespace qelvor::tap
