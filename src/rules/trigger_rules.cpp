#include "rules/trigger_rules.h"

#include "config/com_setting.h"

namespace qelvor {

bool CTriggerRules::Add(CTriggerRule rule, std::string* error) {
    if (rules_.size() >= kMaxRules) {
        *error = "more than " + std::to_string(kMaxRules) + " rules";
        return false;
    }
    rules_.push_back(std::move(rule));
    due_.emplace_back();
    return true;
}

std::optional<CTriggerRules> CTriggerRules::Parse(std::string_view text, std::string* error) {
    std::string ignored;
    std::string& why = error != nullptr ? *error : ignored;
    why.clear();
    CTriggerRules rules;
    size_t lineNumber = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos || line[0] == '#') continue;
        std::string problem;
        std::optional<CTriggerRule> rule = CTriggerRule::Parse(line, &problem);
        if (!rule || !rules.Add(std::move(*rule), &problem)) {
            why = "line " + std::to_string(lineNumber) + ": " + problem;
            return std::nullopt;
        }
    }
    return rules;
}

std::optional<CTriggerRules> CTriggerRules::FromSettings(const CComSetting& settings,
                                                         std::string* error) {
    std::string ignored;
    std::string& why = error != nullptr ? *error : ignored;
    why.clear();
    CTriggerRules rules;
    for (int n = 1; n <= CComSetting::kRuleKeyCount; ++n) {
        const std::string& value = settings.RuleKey(n);
        if (value.empty()) continue;
        std::string problem;
        std::optional<CTriggerRule> rule = CTriggerRule::Parse(value, &problem);
        if (!rule || !rules.Add(std::move(*rule), &problem)) {
            why = "Rule" + std::to_string(n) + ": " + problem;
            return std::nullopt;
        }
    }
    return rules;
}

CTriggerRules::Answer CTriggerRules::Fire(size_t index, const CTriggerRule::Groups& groups,
                                          const std::tm& now) {
    CTriggerRule& rule = rules_[index];
    rule.CountFiring();
    return Answer{index + 1, rule.FillAnswer(groups, now, sequence_), rule.Delay()};
}

std::optional<CTriggerRules::Answer> CTriggerRules::Match(char type, std::string_view bytes,
                                                          const std::tm& now) {
    CTriggerRule::Groups groups;
    for (size_t i = 0; i < rules_.size(); ++i) {
        if (rules_[i].Enabled() && rules_[i].Matches(type, bytes, &groups))
            return Fire(i, groups, now);
    }
    return std::nullopt;
}

std::vector<CTriggerRules::Answer> CTriggerRules::DueTimers(Clock::time_point now, bool open,
                                                            const std::tm& localNow) {
    std::vector<Answer> answers;
    for (size_t i = 0; i < rules_.size(); ++i) {
        const CTriggerRule& rule = rules_[i];
        std::optional<Clock::time_point>& due = due_[i];
        if (rule.GetKind() != CTriggerRule::Kind::kTimer || !open || !rule.Enabled()) {
            due.reset();
            continue;
        }
        if (!due) {
            due = now + rule.Period();
            continue;
        }
        if (now < *due) continue;
        const Clock::time_point next = *due + rule.Period();
        *due = next > now ? next : now + rule.Period();
        answers.push_back(Fire(i, {}, localNow));
    }
    return answers;
}

}  // namespace qelvor
