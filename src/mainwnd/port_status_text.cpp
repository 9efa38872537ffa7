#include "mainwnd/port_status_text.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>

#include "config/string_table.h"

namespace qelvor {

namespace {

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

std::string CannotResolve(const std::string& address) {
    return "cannot resolve SvrIPAddr=" + address + " (a dotted IPv4 address is needed)";
}

std::string UdpSettingsProblem(const CComSetting& s) {
    // 0 and below mean no local port, or answering the last sender.
    if (s.UDPLocalPort > kHighestPort) return BadPort("UDPLocalPort", s.UDPLocalPort);
    if (s.UDPRemotePort > kHighestPort) return BadPort("UDPRemotePort", s.UDPRemotePort);
    if (s.UDPLocalPort <= 0 && s.UDPRemotePort <= 0)
        return StrPrintf(
            "UDPLocalPort=%d and UDPRemotePort=%d: set a port to receive on or to send to",
            s.UDPLocalPort, s.UDPRemotePort);
    if (s.UDPRemotePort > 0 && Unresolvable(s.SvrIPAddr)) return CannotResolve(s.SvrIPAddr);
    return std::string();
}

PortStatusText TcpServerStatus(const PortStatusFacts& f, std::string toolTip) {
    if (f.code >= 1) {
        std::string text = StrPrintf(LoadStr(kStrTcpServerConnected), f.ipPort);
        if (f.peerAddress.empty()) return {text, toolTip};
        text += StrPrintf(LoadStr(kStrRemoteAddress), f.peerAddress.c_str(), f.peerPort);
        return {text, text};
    }
    if (f.code == 0) return {StrPrintf(LoadStr(kStrTcpServerWaitingClient), f.ipPort), toolTip};
    if (f.code == -1) return {"TCP-Server", toolTip};
    if (f.code == -2)
        return {StrPrintf(LoadStr(kStrTcpServerPortInUse), f.ipPort),
                TcpListenFailureText(f.ipPort, f.listenError)};
    return {std::string(), toolTip};
}

// Open: the link and its /dev/pts path, as the port describes itself.
std::string PtyStatus(const PortStatusFacts& f) {
    if (f.code < 0) return f.portName + LoadStr(kStrOpenPortFailed);
    return f.code == 0 ? f.portName : f.description;
}

std::string SerialStatus(const PortStatusFacts& f) {
    if (f.code < 0) return f.portName + LoadStr(kStrOpenPortFailed);
    if (f.code == 0) return f.portName;
    return f.portName + "(" + f.description + ")";
}

}  // namespace

PortStatusText BuildPortStatus(const PortStatusFacts& f) {
    std::string toolTip = f.code < 0 ? f.openFailure : std::string();
    switch (f.workMode) {
        case kWorkModeTcpServer:
            return TcpServerStatus(f, std::move(toolTip));
        case kWorkModeTcpClient:
            return {StrPrintf(LoadStr(f.code < 0    ? kStrTcpClientConnectFailed
                                      : f.code == 0 ? kStrTcpClientConnecting
                                                    : kStrTcpClientConnected),
                              f.serverAddress.c_str(), f.ipPort),
                    toolTip};
        case kWorkModeSerial:
            return {SerialStatus(f), toolTip};
        case kWorkModeUdp:
            return {f.description, toolTip};
        case kWorkModePty:
            return {PtyStatus(f), toolTip};
        default:
            return {std::string(), toolTip};
    }
}

std::string PortSettingsProblem(const CComSetting& s) {
    if (s.WorkMode == kWorkModeSerial || s.WorkMode == kWorkModePty) return std::string();
    if (s.WorkMode == kWorkModeUdp) return UdpSettingsProblem(s);
    if (s.IPPort < 1 || s.IPPort > kHighestPort) return BadPort("IPPort", s.IPPort);
    if (s.WorkMode == kWorkModeTcpClient && Unresolvable(s.SvrIPAddr))
        return CannotResolve(s.SvrIPAddr);
    return std::string();
}

std::string SerialOpenFailureText(int comPort, const std::string& comName,
                                  const std::string& devicePath, const std::string& portError) {
    if (devicePath.empty())
        return StrPrintf("ComPort=%d with an empty ComName names no device", comPort);
    const std::string named = comPort > 0 ? StrPrintf("COM%d", comPort) : comName;
    const std::string label = named == devicePath ? devicePath : devicePath + " (" + named + ")";
    // The port's own text may start with the device path already; the label
    // then takes its place, so the device is named once.
    if (portError.rfind(devicePath + ":", 0) == 0)
        return label + portError.substr(devicePath.size());
    return label + ": " + portError;
}

std::string TcpClientFailureText(const std::string& address, int port, int error) {
    const std::string peer = StrPrintf("%s:%d", address.c_str(), port);
    switch (error) {
        case ECONNREFUSED:
            return "connection refused by " + peer;
        case ETIMEDOUT:
            return "no answer from " + peer + " within 5 s";
        case ENETUNREACH:
        case EHOSTUNREACH:
            return "no route to " + peer;
        default:
            return "cannot connect to " + peer + ": " + std::strerror(error);
    }
}

std::string TcpListenFailureText(int port, int error) {
    if (error == EADDRINUSE) return StrPrintf("port %d already in use by another program", port);
    if (error == EACCES) return StrPrintf("port %d may only be used by root", port);
    return StrPrintf("cannot listen on port %d: %s", port, std::strerror(error));
}

std::string UdpOpenFailureText(int localPort, int error) {
    if (error == EADDRINUSE)
        return StrPrintf("UDP port %d already in use by another program", localPort);
    return StrPrintf("cannot receive on UDP port %d: %s", localPort, std::strerror(error));
}

}  // namespace qelvor
