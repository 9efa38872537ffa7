// Puts the port named on qelvor-cli's command line into the settings record
// of the run (WorkMode and its keys), after checking what only this machine
// can tell: that the device exists and the host names resolve. Main thread.
#pragma once

#include <cstdint>
#include <string>

#include "app/cli/cli_port_option.h"
#include "config/com_setting.h"

namespace qelvor {

struct CCliPortSetup {
    // The TCP server's address to listen on, in network byte order.
    uint32_t listenAddress = 0;
    // What the start line shows: "serial /dev/ttyUSB0 115200 8N1",
    // "TCP server on 127.0.0.1:9000" ...
    std::string description;
};

// Sets the fields of port.kind in settings (a record that is never saved).
// False, with a one-line error naming the bad part, when the device is
// missing or a host has no IPv4 address. With kind None the set's own port
// stays and only the description is filled in.
bool ApplyCliPort(const CCliPort& port, CComSetting& settings, CCliPortSetup& setup,
                  std::string& error);

}  // namespace qelvor
