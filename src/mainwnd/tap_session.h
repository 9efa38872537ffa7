// The engine's side of a tap (WorkMode 30): opens the two endpoints the set
// names (TapA, TapB), relays between them at each poll tick, records what
// each side sends as 'A' and 'B' records and each side's arrival and loss
// as 'I' records, and hands the send box the side it injects into. Engine
// thread only.
#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <string>

#include "tap/tap_endpoint.h"
#include "tap/tap_relay.h"

namespace qelvor {

struct CEngineContext;

class CTapSession : private tap::ITapSink {
  public:
    explicit CTapSession(CEngineContext& context);
    ~CTapSession() override;
    CTapSession(const CTapSession&) = delete;
    CTapSession& operator=(const CTapSession&) = delete;

    // Opens both sides; false, with why, when a side is badly named or
    // cannot be opened (the other is then closed again).
    bool Open(std::string& failure);
    // Records the bytes of each side's unfinished frame and closes both.
    void Close();
    bool IsOpen() const { return open_; }
    // One poll tick.
    void Poll();
    // Between ticks, until the given time: writes into a side as soon as it
    // has room for the bytes waiting for it, so that a side whose reader
    // keeps up is never held to what its driver buffers per tick.
    void RelayUntil(std::chrono::steady_clock::time_point until);
    // The port the send box writes into (TapSendSide): its side's port
    // while that side is up, else null.
    StreamPort::CStreamPort* SendPort();
    // The short name of a side's endpoint ("ttyUSB0", "10.0.0.5:4001").
    const std::string& SideName(tap::Side side) const { return Of(side).endpoint.Name(); }
    // "A ttyUSB0: up" ... for the status bar.
    std::string StatusText(tap::Side side) const;
    const tap::CTapRelay& Relay() const { return relay_; }

  private:
    struct SideState {
        tap::CTapEndpoint endpoint;
        tap::CTapEndpoint::Link shown = tap::CTapEndpoint::Link::kClosed;
        uint64_t relayedAtLastTick = 0;
        uint64_t droppedTold = 0;  // the relay's drop count of this side, as told
        int idleTicks = 0;
    };

    SideState& Of(tap::Side side) { return side == tap::Side::kA ? a_ : b_; }
    const SideState& Of(tap::Side side) const { return side == tap::Side::kA ? a_ : b_; }
    bool OpenSide(tap::Side side, const std::string& name, std::string& failure);
    void PollSide(tap::Side side);
    void FlushWhenSilent(tap::Side side);
    void Note(tap::Side side, const std::string& text);
    static char Letter(tap::Side side) { return side == tap::Side::kA ? 'A' : 'B'; }

    // tap::ITapSink
    void OnFrame(tap::Side from, std::string frame) override;
    void OnInjected(tap::Side to, std::string bytes) override;

    CEngineContext& ctx_;
    SideState a_, b_;
    tap::CTapRelay relay_;
    bool open_ = false;
    std::optional<tap::Side> toldSendSide_;
};

}  // namespace qelvor
