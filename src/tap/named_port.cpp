#include "tap/named_port.h"

#include <cctype>
#include <vector>

namespace qelvor {

namespace {

constexpr long kLowestBaud = 50;
// The fastest USB adapters run at 12 Mbit/s; a larger number is a typing error.
constexpr long kHighestBaud = 12'000'000;
constexpr long kHighestPort = 65535;
constexpr const char* kParityLetters = "NOEMS";  // in the order of the Parity codes

// A decimal number within [low, high]; no sign, no blanks, no suffix.
bool ParseNumber(const std::string& text, long low, long high, int& value) {
    if (text.empty() || text.size() > 9) return false;
    long number = 0;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c)) == 0) return false;
        number = number * 10 + (c - '0');
    }
    if (number < low || number > high) return false;
    value = static_cast<int>(number);
    return true;
}

bool ParsePort(const std::string& option, const std::string& what, const std::string& text,
               long low, int& value, std::string& error) {
    if (ParseNumber(text, low, kHighestPort, value)) return true;
    error = option + ": " + what + " '" + text + "' is not a number from " + std::to_string(low) +
            " to " + std::to_string(kHighestPort);
    return false;
}

// "8N1", "7e2", "8N1.5": data bits 5 to 8, a parity letter, 1, 1.5 or 2 stop bits.
bool ParseFormat(const std::string& text, CNamedPort& port) {
    if (text.size() < 3 || text[0] < '5' || text[0] > '8') return false;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[1])));
    const std::string letters = kParityLetters;
    const size_t parity = letters.find(letter);
    const std::string stop = text.substr(2);
    if (parity == std::string::npos) return false;
    if (stop != "1" && stop != "1.5" && stop != "2") return false;
    port.byteSize = text[0] - '0';
    port.parity = static_cast<int>(parity);
    port.stopBit = stop == "1" ? 0 : stop == "2" ? 2 : 1;
    port.formatGiven = true;
    return true;
}

// A piece behind a ':' that is meant as a rate or a format: letters, digits
// and dots only. Device names hold '-', '_' or '/' in their last piece
// (/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0), so such a path
// stays whole.
bool LooksLikeSetting(const std::string& piece) {
    if (piece.empty() || piece.size() > 12) return false;
    for (char c : piece) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '.') return false;
    }
    return true;
}

// Splits "DEVICE[:BAUD[:FORMAT]]" from the right into the device and the
// pieces behind it (at most two are settings; a third is an error).
void SplitSerial(const std::string& value, std::string& device,
                 std::vector<std::string>& settings) {
    device = value;
    settings.clear();
    for (size_t colon = device.rfind(':'); colon != std::string::npos && settings.size() < 3;
         colon = device.rfind(':')) {
        const std::string piece = device.substr(colon + 1);
        if (!LooksLikeSetting(piece)) break;
        settings.insert(settings.begin(), piece);
        device.erase(colon);
    }
}

bool ParseSerial(const std::string& value, CNamedPort& port, std::string& error) {
    std::vector<std::string> settings;
    SplitSerial(value, port.device, settings);
    if (port.device.empty()) {
        error = "--serial needs a device: a path or a name under /dev (see --list-ports)";
        return false;
    }
    if (settings.size() > 2) {
        error = "--serial takes DEVICE[:BAUD[:FORMAT]], not '" + value + "'";
        return false;
    }
    if (!settings.empty() && !ParseNumber(settings[0], kLowestBaud, kHighestBaud, port.baudRate)) {
        error = "--serial: baud rate '" + settings[0] + "' is not a number from " +
                std::to_string(kLowestBaud) + " to " + std::to_string(kHighestBaud);
        return false;
    }
    if (settings.size() == 2 && !ParseFormat(settings[1], port)) {
        error = "--serial: format '" + settings[1] +
                "' is not like 8N1, 7E1 or 8N2 (data bits 5-8, parity N O E M S, stop bits 1, "
                "1.5 or 2)";
        return false;
    }
    return true;
}

bool ParseHostPort(const std::string& option, const std::string& value, bool hostNeeded,
                   CNamedPort& port, std::string& error) {
    const size_t colon = value.rfind(':');
    if (colon == std::string::npos && hostNeeded) {
        error = option + " takes HOST:PORT, not '" + value + "'";
        return false;
    }
    if (colon != std::string::npos) {
        port.host = value.substr(0, colon);
        if (port.host.empty()) {
            error = option + ": the address before ':' is empty";
            return false;
        }
    }
    const std::string number = colon == std::string::npos ? value : value.substr(colon + 1);
    return ParsePort(option, "port", number, 1, port.port, error);
}

bool ParseUdp(const std::string& value, CNamedPort& port, std::string& error) {
    const size_t first = value.find(':');
    const size_t last = value.rfind(':');
    if (first != std::string::npos && first == last) {
        error = "--udp takes LOCAL or LOCAL:HOST:REMOTE, not '" + value + "'";
        return false;
    }
    if (!ParsePort("--udp", "local port", value.substr(0, first), 0, port.port, error))
        return false;
    if (first == std::string::npos) {
        if (port.port > 0) return true;
        error = "--udp: local port 0 receives nothing; add :HOST:REMOTE to send";
        return false;
    }
    port.host = value.substr(first + 1, last - first - 1);
    if (port.host.empty()) {
        error = "--udp: the host between the ports is empty";
        return false;
    }
    return ParsePort("--udp", "remote port", value.substr(last + 1), 1, port.remotePort, error);
}

// The link name is made as given; a name ending in '/' is a folder, which
// the link would never replace.
bool ParsePty(const std::string& value, CNamedPort& port, std::string& error) {
    if (!value.empty() && value.back() == '/') {
        error = "--pty: '" + value + "' is a folder; name the link, as " + value + "ttyQelvor0";
        return false;
    }
    port.device = value;
    return true;
}

}  // namespace

const char* PortOptionName(NamedPortKind kind) {
    switch (kind) {
        case NamedPortKind::Serial:
            return "--serial";
        case NamedPortKind::TcpServer:
            return "--tcp-server";
        case NamedPortKind::TcpClient:
            return "--tcp-client";
        case NamedPortKind::Udp:
            return "--udp";
        case NamedPortKind::Pty:
            return "--pty";
        case NamedPortKind::None:
            break;
    }
    return "";
}

bool ParseNamedPort(NamedPortKind kind, const std::string& value, CNamedPort& port,
                    std::string& error) {
    port = CNamedPort{};
    port.kind = kind;
    switch (kind) {
        case NamedPortKind::Serial:
            return ParseSerial(value, port, error);
        case NamedPortKind::TcpServer:
            return ParseHostPort("--tcp-server", value, false, port, error);
        case NamedPortKind::TcpClient:
            return ParseHostPort("--tcp-client", value, true, port, error);
        case NamedPortKind::Udp:
            return ParseUdp(value, port, error);
        case NamedPortKind::Pty:
            return ParsePty(value, port, error);
        case NamedPortKind::None:
            break;
    }
    error = "no port option";
    return false;
}

std::string LineFormatText(int byteSize, int parity, int stopBit) {
    const std::string letters = kParityLetters;
    std::string text = std::to_string(byteSize);
    text += parity >= 0 && parity < static_cast<int>(letters.size())
                ? letters[static_cast<size_t>(parity)]
                : '?';
    text += stopBit == 0 ? "1" : stopBit == 2 ? "2" : "1.5";
    return text;
}

bool ParseEndpoint(const std::string& text, CNamedPort& port, std::string& error) {
    const std::pair<const char*, NamedPortKind> kinds[] = {{"serial", NamedPortKind::Serial},
                                                           {"tcp-server", NamedPortKind::TcpServer},
                                                           {"tcp-client", NamedPortKind::TcpClient},
                                                           {"udp", NamedPortKind::Udp},
                                                           {"pty", NamedPortKind::Pty}};
    const size_t colon = text.find(':');
    const std::string name = text.substr(0, colon);
    const std::string value = colon == std::string::npos ? std::string() : text.substr(colon + 1);
    for (const auto& [kindName, kind] : kinds) {
        if (name == kindName) return ParseNamedPort(kind, value, port, error);
    }
    error = "'" + text +
            "' names no port: write serial:DEVICE, tcp-server:PORT, "
            "tcp-client:HOST:PORT, udp:LOCAL or pty[:LINK]";
    return false;
}

}  // namespace qelvor
