#include "rules/trigger_rules.h"

#include <gtest/gtest.h>

#include "config/com_setting.h"

namespace qelvor {
namespace {

using std::chrono::milliseconds;

CTriggerRules Rules(const std::string& text) {
    std::string error;
    std::optional<CTriggerRules> rules = CTriggerRules::Parse(text, &error);
    EXPECT_TRUE(rules.has_value()) << error;
    return rules ? std::move(*rules) : CTriggerRules();
}

TEST(TriggerRules, OneBadLineOrKeyLoadsNothingAndIsNamed) {
    std::string error;
    EXPECT_FALSE(CTriggerRules::Parse("# lab\r\ntext\tR\tA\tB\r\n\ntext\tQ\tA\tB\n", &error));
    EXPECT_EQ(error, "line 4: field 2 (direction): 'Q' is not R, A or B");
    std::string seventeen;
    for (int i = 0; i < 17; ++i)
        seventeen += "text\tR\tx\ty\n";
    EXPECT_FALSE(CTriggerRules::Parse(seventeen, &error));
    EXPECT_EQ(error, "line 17: more than 16 rules");
    CComSetting settings;
    settings.Rule1 = "text\tR\tA\tB";
    settings.Rule16 = "text R A B";
    EXPECT_FALSE(CTriggerRules::FromSettings(settings, &error));
    EXPECT_EQ(error, "Rule16: field 2 (direction): missing; fields are separated by tabs");
}

TEST(TriggerRules, FirstEnabledRuleAnswersUntilItsLimitAndTimersKeepTheirPeriod) {
    CTriggerRules rules = Rules(
        "# a comment\r\n\r\ntext\tR\tQ\ttwice {SEQ}\ttimes=2\r\ntext\tR\tQ\tnever\toff\n"
        "regex\tR\tQ(\\d)\talways $1\tdelay=50\ntimer\tR\t100\tbeat\n");
    std::string fired;
    for (const char* frame : {"Q1", "Q2", "x", "Q3"}) {
        const std::optional<CTriggerRules::Answer> answer = rules.Match('R', frame, std::tm{});
        fired += answer ? std::to_string(answer->number) + ":" + answer->text + "+" +
                              std::to_string(answer->delay.count()) + " "
                        : "- ";
    }
    EXPECT_EQ(fired, "1:twice 1+0 1:twice 2+0 - 3:always 3+50 ");
    EXPECT_FALSE(rules[0].Enabled());
    const CTriggerRules::Clock::time_point t0{};
    auto due = [&](int ms, bool open = true) {
        return rules.DueTimers(t0 + milliseconds(ms), open, {}).size();
    };
    EXPECT_EQ(due(0, false), 0u);
    EXPECT_EQ(due(10) + due(109), 0u);  // opened: the first beat is a period away
    EXPECT_EQ(due(110), 1u);
    // A thread that stalled past several periods gets one beat, not a burst.
    EXPECT_EQ(due(900), 1u);
    EXPECT_EQ(due(999), 0u);
    EXPECT_EQ(due(1000), 1u);
    EXPECT_EQ(due(1100, false) + due(1150), 0u);
    EXPECT_EQ(due(1250), 1u);
}

}  // namespace
}  // namespace qelvor
