// The texts of the main window's port status pane and its tool tip: what each
// kind of port shows for its state, and why an open failed or would fail.
// Pure functions of plain data; callable from any thread once the string
// table's language is chosen.
#pragma once

#include <string>

#include "config/com_setting.h"

namespace qelvor {

// What the status pane is built from: the settings that name the port and
// what the port itself reports.
struct PortStatusFacts {
    int workMode = kWorkModeSerial;
    int code = 0;               // the port's state; -1 also after a failed open
    std::string portName;       // the settings' description of the port
    std::string serverAddress;  // SvrIPAddr, as written
    int ipPort = 0;
    std::string description;  // the port's own text (line format, UDP endpoints)
    std::string peerAddress;  // a TCP server's connected peer; empty when unknown
    int peerPort = 0;
    int listenError = 0;      // errno of a TCP server's last failed listen
    std::string openFailure;  // why the last open failed; empty once open
};

struct PortStatusText {
    std::string text;  // empty: the pane keeps what it shows
    std::string toolTip;
};

// The status text stays the familiar one; why an open failed (and a
// connected server's peer, or a taken port) goes to the tool tip.
PortStatusText BuildPortStatus(const PortStatusFacts& facts);

// Settings that no port could open with, checked before trying; empty when
// there is none.
std::string PortSettingsProblem(const CComSetting& settings);

// The device behind ComPort/ComName and what the port said about it
// (devicePath: the path it opened, empty when the settings name none).
std::string SerialOpenFailureText(int comPort, const std::string& comName,
                                  const std::string& devicePath, const std::string& portError);
std::string TcpClientFailureText(const std::string& address, int port, int error);
std::string TcpListenFailureText(int port, int error);
std::string UdpOpenFailureText(int localPort, int error);

}  // namespace qelvor
