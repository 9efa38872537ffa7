#include "mainwnd/tap_session.h"

#include "mainwnd/engine_context.h"
#include "tap/named_port_setup.h"

namespace qelvor {

namespace {

using tap::Side;
using Link = tap::CTapEndpoint::Link;

const char* LinkWord(Link link) {
    switch (link) {
        case Link::kUp:
            return "up";
        case Link::kWaiting:
            return "waiting";
        case Link::kClosed:
            break;
    }
    return "closed";
}

}  // namespace

CTapSession::CTapSession(CEngineContext& context) : ctx_(context), relay_(*this) {
    // A rule for one side's frames answers into that side.
    ctx_.rules.SetSideSender([this](char side, const std::string& bytes) {
        const Side to = side == 'A' ? Side::kA : Side::kB;
        if (!relay_.Inject(to, bytes))
            Note(to, std::to_string(bytes.size()) + " bytes of a rule's answer not sent");
    });
}

CTapSession::~CTapSession() {
    ctx_.rules.SetSideSender(nullptr);
}

bool CTapSession::Open(std::string& failure) {
    Close();
    if (!OpenSide(Side::kA, ctx_.settings.TapA, failure)) return false;
    if (!OpenSide(Side::kB, ctx_.settings.TapB, failure)) {
        a_.endpoint.Close();
        return false;
    }
    relay_.SetSplits(ctx_.exchange.SplitList());
    open_ = true;
    toldSendSide_.reset();
    Poll();
    return true;
}

bool CTapSession::OpenSide(Side side, const std::string& name, std::string& failure) {
    CComSetting settings = ctx_.settings;
    CNamedPortSetup setup;
    std::string why;
    if (!ApplyEndpoint(name, settings, setup, why)) {
        failure = std::string(1, Letter(side)) + ": " + why;
        return false;
    }
    SideState& state = Of(side);
    state.endpoint.Configure(settings, setup.listenAddress);
    state.shown = Link::kClosed;
    state.droppedTold = relay_.Dropped(side);
    if (state.endpoint.Open(why)) return true;
    failure = std::string(1, Letter(side)) + " " + state.endpoint.Name() + ": " + why;
    return false;
}

void CTapSession::Close() {
    if (!open_) return;
    open_ = false;
    relay_.Flush(Side::kA);
    relay_.Flush(Side::kB);
    // Bytes still waiting for a side never reach the ports of the next open.
    relay_.Abandon(Side::kA);
    relay_.Abandon(Side::kB);
    relay_.SetPorts(nullptr, nullptr);
    a_.endpoint.Close();
    b_.endpoint.Close();
}

void CTapSession::Poll() {
    if (!open_) return;
    PollSide(Side::kA);
    PollSide(Side::kB);
    relay_.SetPorts(a_.endpoint.Carrier(), b_.endpoint.Carrier());
    relay_.Poll();
    FlushWhenSilent(Side::kA);
    FlushWhenSilent(Side::kB);
    // The 'S' records of the send box carry no side: the side they go to
    // is told when it changes, so that the list reads which one they reached.
    const Side sendSide = ctx_.settings.TapSendSide == 1 ? Side::kB : Side::kA;
    if (sendSide != toldSendSide_) {
        toldSendSide_ = sendSide;
        Note(sendSide, "the send box writes into it");
    }
}

void CTapSession::RelayUntil(std::chrono::steady_clock::time_point until) {
    while (open_ && relay_.WaitForRoom(until))
        if (relay_.Poll() == 0) return;
}

void CTapSession::PollSide(Side side) {
    SideState& state = Of(side);
    const Link link = state.endpoint.Poll(std::chrono::steady_clock::now());
    if (std::optional<std::string> line = state.endpoint.TakeLineChange())
        Note(side, "peer set " + *line);
    if (link == state.shown) return;
    if (state.shown == Link::kUp) {
        // The bytes of its unfinished frame are recorded; what waited for it is lost.
        relay_.Flush(side);
        const size_t waiting = relay_.Waiting(side);
        relay_.Abandon(side);
        Note(side,
             "dropped" + (waiting > 0 ? ", " + std::to_string(waiting) + " bytes for it not sent"
                                      : std::string()));
    } else if (link == Link::kUp) {
        // What the other side sent while this one was away never reached it.
        const uint64_t missed = relay_.Dropped(side) - state.droppedTold;
        Note(side, missed == 0 ? std::string("connected")
                               : "connected; " + std::to_string(missed) +
                                     " bytes sent to it while it was away were not delivered");
    }
    state.droppedTold = relay_.Dropped(side);
    state.shown = link;
}

void CTapSession::FlushWhenSilent(Side side) {
    // As with one port: only a splitter without split strings waits for
    // silence to end a frame.
    SideState& state = Of(side);
    const uint64_t relayed = relay_.Relayed(side);
    if (relayed != state.relayedAtLastTick) {
        state.relayedAtLastTick = relayed;
        state.idleTicks = 0;
        return;
    }
    const int delay = ctx_.settings.InterframeDelay;
    if (delay < 1 || ++state.idleTicks < delay) return;
    state.idleTicks = 0;
    if (ctx_.settings.SplitStrs.empty()) relay_.Flush(side);
}

StreamPort::CStreamPort* CTapSession::SendPort() {
    return Of(ctx_.settings.TapSendSide == 1 ? Side::kB : Side::kA).endpoint.Carrier();
}

std::string CTapSession::StatusText(Side side) const {
    const SideState& state = Of(side);
    std::string text = std::string(1, Letter(side)) + " " + state.endpoint.Name() + ": " +
                       LinkWord(state.endpoint.State());
    if (!state.endpoint.Why().empty() && state.endpoint.State() != Link::kUp)
        text += " (" + state.endpoint.Why() + ")";
    return text;
}

void CTapSession::Note(Side side, const std::string& text) {
    ctx_.exchange.AddRecord(
        'I', std::string(1, Letter(side)) + " " + Of(side).endpoint.Name() + ": " + text);
}

void CTapSession::OnFrame(Side from, std::string frame) {
    ctx_.exchange.AddRecord(Letter(from), frame);
    ctx_.rules.OnFrame(Letter(from), frame);
}

void CTapSession::OnInjected(Side to, std::string bytes) {
    // What went into a side is sent by this end: an 'S' record, after an
    // 'I' record naming the side.
    Note(to, "sent " + std::to_string(bytes.size()) + " bytes into it");
    ctx_.exchange.AddRecord('S', std::move(bytes));
}

}  // namespace qelvor
