// Gives the script plug-in the frames no trigger rule took (its OnFrame) and
// a tick once a second while the port is open (its OnTimer), when the set's
// ScriptHooks is on, and sends what the script answers as a rule's answer
// goes. Each call waits for the script at most the plug-in's own deadline.
// Engine thread only.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qelvor {

class CComSetting;
class CMsgExchange;
class CRuleResponder;

class CScriptHooks {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kTimerPeriod{1};
    // Frames given to the script in one poll tick; those beyond, in a flood,
    // get the usual response, so that the script's round trips cannot hold
    // the poll. They are counted and told when the flood ends, or each
    // second while it lasts.
    static constexpr size_t kFramesPerTick = 64;

    // Takes the frames the rules leave, for its lifetime.
    CScriptHooks(const CComSetting& settings, CMsgExchange& exchange, CRuleResponder& rules);
    ~CScriptHooks();
    CScriptHooks(const CScriptHooks&) = delete;
    CScriptHooks& operator=(const CScriptHooks&) = delete;

    // A frame recorded as type ('R', or 'A' or 'B' of a tap): true when the
    // script took it (answered, or chose to send nothing), and the usual
    // response must not follow.
    bool OnFrame(char type, std::string_view frame);
    // The poll tick: OnTimer once each kTimerPeriod while connected, the
    // first a period after the port came up.
    void OnTick(bool connected);

  private:
    bool On() const;
    // The plug-in's reason for a failed call, as an 'I' record; for the
    // timer only when it differs from the last one, so that a script that
    // cannot load does not write a record every second.
    void Report(const char* function, std::string* last = nullptr);
    void ReportPassedBy(Clock::time_point now);

    const CComSetting& settings_;
    CMsgExchange& exchange_;
    CRuleResponder& rules_;
    std::optional<Clock::time_point> nextTimer_;
    std::string lastTimerFault_;
    size_t framesThisTick_ = 0;
    uint64_t passedBy_ = 0;  // frames not given to the script, not yet told
    bool passedThisTick_ = false;
    Clock::time_point nextPassedReport_{};
};

}  // namespace qelvor
