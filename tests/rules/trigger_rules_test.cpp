#include "rules/trigger_rules.h"

#include <gtest/gtest.h>

#include "config/com_setting.h"

namespace qelvor {
namespace {

using Clock = CTriggerRules::Clock;
using std::chrono::milliseconds;

CTriggerRules Rules(const std::string& text) {
    std::string error;
    std::optional<CTriggerRules> rules = CTriggerRules::Parse(text, &error);
    EXPECT_TRUE(rules.has_value()) << error;
    return rules ? std::move(*rules) : CTriggerRules();
}

// "number:text" of an answer, "-" for none.
std::string Fired(CTriggerRules& rules, const std::string& frame) {
    const std::optional<CTriggerRules::Answer> answer = rules.Match('R', frame, std::tm{});
    return answer ? std::to_string(answer->number) + ":" + answer->text : "-";
}

TEST(TriggerRules, OneBadLineOrKeyLoadsNothingAndIsNamed) {
    CTriggerRules rules = Rules("# lab\r\n\r\n  \ntext\tR\tPING\tPONG\r\ntext\tR\tX\tY\n");
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0].Answer(), "PONG");
    std::string error;
    EXPECT_FALSE(CTriggerRules::Parse("# lab\ntext\tR\tA\tB\n\ntext\tQ\tA\tB\n", &error));
    EXPECT_EQ(error, "line 4: field 2 (direction): 'Q' is not R, A or B");
    std::string seventeen;
    for (int i = 0; i < 17; ++i)
        seventeen += "text\tR\tx\ty\n";
    EXPECT_FALSE(CTriggerRules::Parse(seventeen, &error));
    EXPECT_EQ(error, "line 17: more than 16 rules");
    CComSetting settings;
    settings.Rule1 = "text\tR\tA\tB";
    settings.Rule3 = "text\tR\tC\tD\tdelay=20";
    const std::optional<CTriggerRules> stored = CTriggerRules::FromSettings(settings, &error);
    ASSERT_TRUE(stored) << error;
    EXPECT_EQ(std::make_tuple(stored->size(), (*stored)[1].Delay()),
              std::make_tuple(size_t{2}, milliseconds(20)));
    settings.Rule16 = "text R A B";
    EXPECT_FALSE(CTriggerRules::FromSettings(settings, &error));
    EXPECT_EQ(error, "Rule16: field 2 (direction): missing; fields are separated by tabs");
}

TEST(TriggerRules, FirstEnabledRuleAnswersAndUsedUpRulesStepAside) {
    CTriggerRules rules = Rules(
        "text\tR\tQ\tonce {SEQ}\tonce\n"
        "text\tR\tQ\ttwice {SEQ}\ttimes=2\n"
        "text\tR\tQ\tnever\toff\n"
        "regex\tR\tQ(\\d)\talways $1\tdelay=50\n");
    EXPECT_EQ(Fired(rules, "Q1"), "1:once 1");
    EXPECT_FALSE(rules[0].Enabled());
    EXPECT_EQ(Fired(rules, "Q2"), "2:twice 2");
    EXPECT_EQ(Fired(rules, "Q3"), "2:twice 3");
    EXPECT_EQ(Fired(rules, "nothing"), "-");
    EXPECT_EQ(Fired(rules, "Q4"), "4:always 4");
    const std::optional<CTriggerRules::Answer> delayed = rules.Match('R', "Q5", std::tm{});
    ASSERT_TRUE(delayed);
    EXPECT_EQ(delayed->delay, milliseconds(50));
    EXPECT_TRUE(rules[3].Enabled());
}

TEST(TriggerRules, TimersFireByTheirPeriodOnlyWhileOpen) {
    CTriggerRules rules =
        Rules("text\tR\tx\ty\ntimer\tR\t100\tbeat\ntimer\tR\t250\tslow\ttimes=1\n");
    const Clock::time_point t0{};
    auto due = [&](int ms, bool open = true) {
        std::string names;
        for (const CTriggerRules::Answer& answer : rules.DueTimers(t0 + milliseconds(ms), open, {}))
            names += std::to_string(answer.number) + answer.text + " ";
        return names;
    };
    EXPECT_EQ(due(0, false), "");
    EXPECT_EQ(due(10), "");  // opened: the first beat is a period away
    EXPECT_EQ(due(109), "");
    EXPECT_EQ(due(110), "2beat ");
    EXPECT_EQ(due(209), "");
    // A thread that stalled past several periods gets one beat, not a burst.
    EXPECT_EQ(due(900), "2beat 3slow ");
    EXPECT_EQ(due(999), "");
    EXPECT_EQ(due(1000), "2beat ");
    EXPECT_FALSE(rules[2].Enabled());
    EXPECT_EQ(due(1100, false), "");
    EXPECT_EQ(due(1150), "");
    EXPECT_EQ(due(1250), "2beat ");
}

}  // namespace
}  // namespace qelvor
