// The text of `qelvor-cli --list-ports`: one line a serial port with its
// name, its device, its /dev/serial/by-id link and whether it can be used.
// Plain functions; any thread (EnumSerialPorts opens each device briefly).
#pragma once

#include <list>
#include <map>
#include <string>

#include "ports/serial_port_enum.h"

namespace qelvor {

// The links of a folder such as /dev/serial/by-id, keyed by the device path
// each one resolves to; empty when the folder is missing.
std::map<std::string, std::string> LinksByDevice(const std::string& folder);

// One tab-separated line a port: name, device path, by-id path ("-" when it
// has none), and "free", "in use" or "needs group NAME".
std::string PortListText(const std::list<StreamPort::CSerialPortInfo>& ports,
                         const std::map<std::string, std::string>& byId);

// Lists this machine's ports into out; the exit status: 0, or 1 with the
// reason in error when udev could not be asked.
int ListSerialPorts(std::string& out, std::string& error);

}  // namespace qelvor
