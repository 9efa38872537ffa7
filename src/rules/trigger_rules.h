// The ordered trigger rules of a settings set or of a rules file: the first
// enabled rule that matches a frame answers it, and timed rules fall due by
// their period while the port is open. One thread at a time (the engine's).
#pragma once

#include <chrono>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/trigger_rule.h"

namespace qelvor {

class CComSetting;

class CTriggerRules {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t kMaxRules = 16;

    // What a rule that fired sends: its number (1 for the first rule), its
    // answer filled but still in notation, and how long to wait first.
    struct Answer {
        size_t number = 0;
        std::string text;
        std::chrono::milliseconds delay{0};
    };

    // One rule a line (CR LF or LF); blank lines and lines starting with
    // '#' are skipped. nullopt, with error naming the line and the field,
    // when any line is bad or there are more than kMaxRules: nothing loads.
    static std::optional<CTriggerRules> Parse(std::string_view text, std::string* error);
    // The set's Rule1 .. Rule16, an empty key being no rule; error names
    // the key of a bad one.
    static std::optional<CTriggerRules> FromSettings(const CComSetting& settings,
                                                     std::string* error);

    // The first enabled rule that matches the frame, counted as fired.
    std::optional<Answer> Match(char type, std::string_view bytes, const std::tm& now);
    // The timed rules due at now. A closed port stops them; once it is open,
    // each first falls due a period later. A timer that fell behind (a
    // stalled thread) fires once and keeps its period from now on.
    std::vector<Answer> DueTimers(Clock::time_point now, bool open, const std::tm& localNow);

    bool empty() const { return rules_.empty(); }
    size_t size() const { return rules_.size(); }
    const CTriggerRule& operator[](size_t index) const { return rules_[index]; }

  private:
    bool Add(CTriggerRule rule, std::string* error);
    Answer Fire(size_t index, const CTriggerRule::Groups& groups, const std::tm& now);

    std::vector<CTriggerRule> rules_;
    // A timer's next firing; empty while the port is closed.
    std::vector<std::optional<Clock::time_point>> due_;
    int sequence_ = 0;
};

}  // namespace qelvor
