// One trigger rule: a pattern that a frame of one record type must match and
// the answer, in notation text, that a match sends after its delay; or a
// timed rule that sends its answer every period while the port is open.
// Written as one line of tab-separated fields (see Parse). A rule is plain
// data with its compiled pattern: one thread at a time.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "traffic/record_matcher.h"

namespace re2 {
class RE2;
}

namespace qelvor {

class CTriggerRule {
  public:
    enum class Kind { kText, kRegex, kHex, kTimer };
    // How often the rule may fire before it switches itself off.
    enum class Limit { kAlways, kOnce, kTimes };
    // The groups a regular expression captured, $1 .. $9; empty for a group
    // that did not take part.
    using Groups = std::vector<std::string>;

    static constexpr int kMaxDelayMs = 600000;
    static constexpr int kMinPeriodMs = 10;
    static constexpr int kMaxPeriodMs = 86400000;
    static constexpr int kMaxTimes = 1000000;

    // KIND<TAB>DIR<TAB>PATTERN<TAB>ANSWER[<TAB>OPTION]...
    // KIND text, regex or hex; DIR the record type R, A or B; OPTION
    // delay=MS, once, times=N or off. A timer has PERIOD (ms) in place of
    // the pattern. nullopt with error naming the field when a field is bad.
    static std::optional<CTriggerRule> Parse(std::string_view line, std::string* error);
    // The line Parse reads back into the same rule.
    std::string ToLine() const;

    // Whether the frame, a record of type, matches; groups gets what a
    // regular expression captured. A timer matches no frame.
    bool Matches(char type, std::string_view bytes, Groups* groups) const;
    // The answer with $1..$9 filled from groups ("$$" is one '$'), {DATE}
    // (YYYYMMDD) and {TIME} (HHMMSS) from now, and {SEQ} with the next
    // number of sequence, taken once for the whole answer. Still notation.
    std::string FillAnswer(const Groups& groups, const std::tm& now, int& sequence) const;

    // Counts a firing: a rule used up by its limit switches itself off.
    void CountFiring();
    bool Enabled() const { return enabled_; }
    // Switching a rule on gives a limited one its full count again.
    void SetEnabled(bool on) {
        enabled_ = on;
        if (on) remaining_ = times_;
    }
    // Firings left before the rule turns off, for kOnce and kTimes.
    int Remaining() const { return remaining_; }

    Kind GetKind() const { return kind_; }
    char Direction() const { return direction_; }
    const std::string& Answer() const { return answer_; }
    std::chrono::milliseconds Delay() const { return std::chrono::milliseconds(delayMs_); }
    std::chrono::milliseconds Period() const { return std::chrono::milliseconds(periodMs_); }
    Limit GetLimit() const { return limit_; }

  private:
    CTriggerRule() = default;
    bool ParsePattern(std::string_view pattern, std::string* error);
    bool ParseOption(std::string_view option, std::string* error);

    Kind kind_ = Kind::kText;
    char direction_ = 'R';
    std::string pattern_;
    std::string answer_;
    int delayMs_ = 0;
    int periodMs_ = 0;
    Limit limit_ = Limit::kAlways;
    int times_ = 0;
    int remaining_ = 0;
    bool enabled_ = true;
    std::optional<CRecordMatcher> matcher_;
    std::shared_ptr<const re2::RE2> regex_;
};

}  // namespace qelvor
