// Answers received frames by the trigger rules ahead of the split strings'
// responses, sends the delayed answers and the timed rules at the poll tick
// (never by waiting), and tells every firing in an 'I' record. It hooks
// itself into the exchange for its lifetime. Engine thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/trigger_rules.h"

namespace qelvor {

class CComSetting;
class CMsgExchange;

class CRuleResponder {
  public:
    using Clock = std::chrono::steady_clock;
    // Answers waiting for their delay; beyond this they are dropped and
    // counted, so that a peer flooding a delayed rule cannot grow memory.
    static constexpr size_t kMaxWaiting = 256;

    explicit CRuleResponder(CMsgExchange& exchange);
    ~CRuleResponder();
    CRuleResponder(const CRuleResponder&) = delete;
    CRuleResponder& operator=(const CRuleResponder&) = delete;

    // The set's Rule1 .. Rule16. A bad rule is told in an 'I' record and no
    // rule of the set is used. Does nothing once Use has given the rules.
    void Load(const CComSetting& settings);
    // Rules for this run in place of the set's (a rules file).
    void Use(CTriggerRules rules);
    const CTriggerRules& Rules() const { return rules_; }

    // A frame recorded as type: true when a rule took it, and the usual
    // response must not follow; the answer goes out now or at a later tick.
    bool OnFrame(char type, std::string_view frame);
    // The poll tick: sends the answers whose delay ended and the timers
    // that fell due while connected.
    void OnTick(bool connected);

    // Where the answer to a tap's 'A' or 'B' frame goes: into the side that
    // sent it. Without one such answers go where the send box's do.
    using SideSender = std::function<void(char side, const std::string& bytes)>;
    void SetSideSender(SideSender sender) { sideSender_ = std::move(sender); }
    // Sends bytes as a rule's answer to a frame of type goes (0: no frame).
    void SendAnswer(char type, const std::string& bytes);
    // Offered each frame no rule took; true when it answered the frame.
    using NextAnswerer = std::function<bool(char type, std::string_view frame)>;
    void SetNextAnswerer(NextAnswerer next) { next_ = std::move(next); }

    size_t Waiting() const { return waiting_.size(); }
    uint64_t Dropped() const { return dropped_; }

  private:
    struct Delayed {
        Clock::time_point due;
        size_t number;
        std::string text;
        char type;  // of the frame answered; 0 for a timer
    };
    void Queue(Delayed answer);
    void Send(size_t number, const std::string& text, char type = 0);
    void ReportDrops();

    CMsgExchange& exchange_;
    CTriggerRules rules_;
    bool fixed_ = false;
    // Ordered by due time; answers due at the same time keep their order.
    std::vector<Delayed> waiting_;
    uint64_t dropped_ = 0;
    uint64_t reportedDrops_ = 0;
    SideSender sideSender_;
    NextAnswerer next_;
};

}  // namespace qelvor
