// Puts a port named in words (qelvor-cli's port option, a tap's endpoint)
// into a settings record (WorkMode and its keys), after checking what only
// this machine can tell: that the device exists and the host names resolve.
// The thread that owns the record.
#pragma once

#include <cstdint>
#include <string>

#include "config/com_setting.h"
#include "tap/named_port.h"

namespace qelvor {

struct CNamedPortSetup {
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
bool ApplyNamedPort(const CNamedPort& port, CComSetting& settings, CNamedPortSetup& setup,
                    std::string& error);
// A tap's endpoint: the port ParseEndpoint reads from text, put into
// settings by ApplyNamedPort.
bool ApplyEndpoint(const std::string& text, CComSetting& settings, CNamedPortSetup& setup,
                   std::string& error);

}  // namespace qelvor
