#include "tap/named_port_setup.h"

#include <arpa/inet.h>
#include <sys/stat.h>

#include "config/setting_groups.h"
#include "config/string_table.h"
#include "ports/ipv4_resolver.h"
#include "ports/pty_link.h"

namespace qelvor {

namespace {

// The device as the serial port opens it: a path as it stands, a name under /dev.
std::string DevicePathOf(const std::string& device) {
    return device.empty() || device.front() == '/' ? device : "/dev/" + device;
}

std::string SerialDevice(const SerialLineSettings& line) {
    if (line.comPort > 0) return StrPrintf("/dev/ttyS%d", line.comPort - 1);
    return line.device.empty() ? std::string("(no device)") : DevicePathOf(line.device);
}

std::string DescribeSerial(const SerialLineSettings& line) {
    return StrPrintf("serial %s %d %s", SerialDevice(line).c_str(), line.baudRate,
                     LineFormatText(line.byteSize, line.parity, line.stopBits).c_str());
}

bool ApplySerial(const CNamedPort& port, CComSetting& s, std::string& error) {
    const std::string path = DevicePathOf(port.device);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = "--serial: no such device " + path + " (see --list-ports)";
        return false;
    }
    if (!S_ISCHR(st.st_mode)) {
        error = "--serial: " + path + " is not a serial device";
        return false;
    }
    s.WorkMode = kWorkModeSerial;
    s.ComPort = 0;
    s.ComName = port.device;
    if (port.baudRate > 0) s.BaudRate = port.baudRate;
    if (port.formatGiven) {
        s.ByteSize = port.byteSize;
        s.Parity = port.parity;
        s.StopBit = port.stopBit;
    }
    return true;
}

// The host's dotted address into address; false with the error when none.
bool Resolve(const char* option, const std::string& host, std::string& address,
             std::string& error) {
    address = ResolveIpv4(host);
    if (!address.empty()) return true;
    error = std::string(option) + ": cannot resolve '" + host + "' to an IPv4 address";
    return false;
}

bool ApplyTcp(const CNamedPort& port, CComSetting& s, CNamedPortSetup& setup, std::string& error) {
    s.IPPort = port.port;
    if (port.kind == NamedPortKind::TcpClient) {
        s.WorkMode = kWorkModeTcpClient;
        return Resolve("--tcp-client", port.host, s.SvrIPAddr, error);
    }
    s.WorkMode = kWorkModeTcpServer;
    setup.listenAddress = htonl(INADDR_ANY);
    if (port.host.empty()) return true;
    std::string address;
    if (!Resolve("--tcp-server", port.host, address, error)) return false;
    setup.listenAddress = inet_addr(address.c_str());
    return true;
}

bool ApplyUdp(const CNamedPort& port, CComSetting& s, std::string& error) {
    s.WorkMode = kWorkModeUdp;
    s.UDPLocalPort = port.port;
    s.UDPRemotePort = port.remotePort;
    return port.host.empty() || Resolve("--udp", port.host, s.SvrIPAddr, error);
}

void ApplyPty(const CNamedPort& port, CComSetting& s) {
    s.WorkMode = kWorkModePty;
    s.PtyLink = port.device;
}

// The host as typed stays in the line when it was a name.
std::string Describe(const CComSetting& s, uint32_t listenAddress, const std::string& host) {
    if (s.WorkMode == kWorkModeSerial) return DescribeSerial(SerialLineSettings::From(s));
    if (s.WorkMode == kWorkModePty)
        return "virtual serial port " +
               (s.PtyLink.empty() ? StreamPort::CPtyLink::DefaultPath() : s.PtyLink);
    const NetworkSettings net = NetworkSettings::From(s);
    const char* peer = net.serverAddress.c_str();
    switch (net.workMode) {
        case kWorkModeTcpServer: {
            char text[INET_ADDRSTRLEN] = "*";
            in_addr address{listenAddress};
            if (listenAddress != htonl(INADDR_ANY)) inet_ntop(AF_INET, &address, text, sizeof text);
            return StrPrintf("TCP server on %s:%d", text, net.tcpPort);
        }
        case kWorkModeTcpClient: {
            const std::string name = host.empty() || host == net.serverAddress ? "" : host + " = ";
            return StrPrintf("TCP client to %s%s:%d", name.c_str(), peer, net.tcpPort);
        }
        default:
            if (net.udpRemotePort <= 0)
                return StrPrintf("UDP on %d, answering the last sender", net.udpLocalPort);
            return StrPrintf("UDP on %d to %s:%d", net.udpLocalPort, peer, net.udpRemotePort);
    }
}

}  // namespace

bool ApplyNamedPort(const CNamedPort& port, CComSetting& settings, CNamedPortSetup& setup,
                    std::string& error) {
    setup.listenAddress = htonl(INADDR_ANY);
    bool applied = true;
    if (port.kind == NamedPortKind::Serial) applied = ApplySerial(port, settings, error);
    if (port.kind == NamedPortKind::TcpServer || port.kind == NamedPortKind::TcpClient)
        applied = ApplyTcp(port, settings, setup, error);
    if (port.kind == NamedPortKind::Udp) applied = ApplyUdp(port, settings, error);
    if (port.kind == NamedPortKind::Pty) ApplyPty(port, settings);
    if (applied) setup.description = Describe(settings, setup.listenAddress, port.host);
    return applied;
}

bool ApplyEndpoint(const std::string& text, CComSetting& settings, CNamedPortSetup& setup,
                   std::string& error) {
    CNamedPort port;
    return ParseEndpoint(text, port, error) && ApplyNamedPort(port, settings, setup, error);
}

}  // namespace qelvor
