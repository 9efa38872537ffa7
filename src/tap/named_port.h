// A port named in words, as qelvor-cli's options (--serial, --tcp-server,
// --tcp-client, --udp, --pty) and a tap's endpoints ("serial:/dev/ttyUSB0")
// name it, parsed into plain fields. Pure; any thread.
#pragma once

#include <string>

namespace qelvor {

enum class NamedPortKind { None, Serial, TcpServer, TcpClient, Udp, Pty };

struct CNamedPort {
    NamedPortKind kind = NamedPortKind::None;  // None: the settings set's own port
    // Serial: a path, or a name under /dev, as ComName takes it. Pty: the
    // link name (empty: the default one).
    std::string device;
    int baudRate = 0;  // 0: the set's own rate
    bool formatGiven = false;
    int byteSize = 8;
    int parity = 0;   // the Parity codes: 0 none, 1 odd, 2 even, 3 mark, 4 space
    int stopBit = 0;  // the StopBit codes: 0 one, 1 one and a half, 2 two
    // TCP client: the server; UDP: the peer; TCP server: the address to
    // listen on (empty: all addresses). A name or a dotted IPv4 address.
    std::string host;
    int port = 0;        // the TCP port, or the local UDP port (0: none)
    int remotePort = 0;  // UDP: 0 answers whoever sent last
};

// The option's name as typed, "--serial" for NamedPortKind::Serial.
const char* PortOptionName(NamedPortKind kind);
// Parses the value of the option of that kind into port. False, with a
// one-line error that names the bad part, when it is not of the form
// DEVICE[:BAUD[:FORMAT]], [ADDRESS:]PORT, HOST:PORT or LOCAL[:HOST:REMOTE];
// the value of --pty may be empty, but names no folder.
bool ParseNamedPort(NamedPortKind kind, const std::string& value, CNamedPort& port,
                    std::string& error);
// A port written as KIND:VALUE, KIND one of serial, tcp-server, tcp-client,
// udp and pty, VALUE as the option of that name takes it ("pty" alone is
// the default link). False, with a one-line error, otherwise.
bool ParseEndpoint(const std::string& text, CNamedPort& port, std::string& error);
// "8N1", "7E2", "8N1.5": the line format as the command line writes it.
std::string LineFormatText(int byteSize, int parity, int stopBit);

}  // namespace qelvor
