// One end of a tap: a serial device, a TCP server serving one client, a TCP
// client, a UDP socket or a virtual serial port, opened from a settings
// record that describes that one port. It keeps its link up on its own: a
// server listens again after its client left, a client (and a serial device
// that vanished) is reopened every two seconds with AutoReconnect. Engine
// thread only.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "config/com_setting.h"
#include "tap/port_set.h"

namespace qelvor::tap {

class CTapEndpoint {
  public:
    enum class Link {
        kClosed,   // not opened, or given up
        kWaiting,  // open but not yet carrying: listening, connecting, reconnecting
        kUp,       // bytes can flow
    };
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kReconnectInterval{2000};

    // The record's WorkMode and port keys say which port and how; a TCP
    // server listens on listenAddress (network byte order).
    void Configure(const CComSetting& settings, uint32_t listenAddress);
    // Opens the port; false, with why, when it cannot be opened.
    bool Open(std::string& failure);
    void Close();
    // One tick: finishes a connect, listens again, reopens a lost link.
    Link Poll(Clock::time_point now);
    Link State() const { return link_; }
    // The port while its link is up, else null.
    StreamPort::CStreamPort* Carrier() { return link_ == Link::kUp ? current_ : nullptr; }
    // The short name the records show: "ttyUSB0", "10.0.0.5:4001", ":4001".
    const std::string& Name() const { return name_; }
    // Why the link is not up, for the status pane; empty when it is.
    const std::string& Why() const { return why_; }
    // A virtual serial port's new line settings ("9600 8N1"), once each.
    std::optional<std::string> TakeLineChange();

  private:
    std::string FailureText();
    Link Look();
    void Reopen(Clock::time_point now);

    CComSetting settings_;
    CPortSet ports_;
    StreamPort::CStreamPort* current_ = &ports_.Current();
    Link link_ = Link::kClosed;
    std::string name_, why_;
    bool connecting_ = false;
    bool wasUp_ = false;
    Clock::time_point nextReopen_{};
};

}  // namespace qelvor::tap
