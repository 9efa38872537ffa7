#include "rules/trigger_rule.h"

#include <gtest/gtest.h>

namespace qelvor {
namespace {

CTriggerRule Rule(const std::string& line) {
    std::string error;
    std::optional<CTriggerRule> rule = CTriggerRule::Parse(line, &error);
    EXPECT_TRUE(rule.has_value()) << line << ": " << error;
    return rule ? *rule : *CTriggerRule::Parse("text\tR\t?\t", nullptr);
}

TEST(TriggerRule, ABadFieldIsNamedAndAGoodLineReadsBackUnchanged) {
    const struct {
        const char* line;
        const char* error;
    } bad[] = {
        {"text\tR\tabc", "field 4 (answer): missing; fields are separated by tabs"},
        {"text R abc x", "field 2 (direction): missing; fields are separated by tabs"},
        {"Text\tR\ta\tb", "field 1 (kind): 'Text' is not text, regex, hex or timer"},
        {"text\tS\ta\tb", "field 2 (direction): 'S' is not R, A or B"},
        {"text\t\ta\tb", "field 2 (direction): '' is not R, A or B"},
        {"text\tR\t\tb", "field 3 (pattern): nothing to find: the pattern is empty"},
        {"regex\tR\t(a\tb", "field 3 (pattern): bad regular expression: missing ): (a"},
        {"hex\tR\t0G\tb", "field 3 (pattern): hex pattern: 'G' is no hex digit at position 2"},
        {"timer\tR\t9\tb", "field 3 (period): '9' is not a period of 10 to 86400000 ms"},
        {"timer\tR\t1e3\tb", "field 3 (period): '1e3' is not a period of 10 to 86400000 ms"},
        {"timer\tR\t100\t", "field 4 (answer): a timer needs something to send"},
        {"timer\tR\t100\tb\tdelay=5", "field 5 (option): delay= is for frame rules"},
        {"text\tR\ta\tb\tonce\tdelay=-1", "field 6 (option): 'delay=-1': the delay is 0 to"},
        {"text\tR\ta\tb\tdelay=600001", "field 5 (option): 'delay=600001': the delay is 0 to"},
        {"text\tR\ta\tb\ttimes=0", "field 5 (option): 'times=0': times is 1 to 1000000"},
        {"text\tR\ta\tb\t", "field 5 (option): '' is not delay=MS, once, times=N or off"},
    };
    for (const auto& row : bad) {
        std::string error = "stale";
        EXPECT_FALSE(CTriggerRule::Parse(row.line, &error)) << row.line;
        EXPECT_EQ(error.substr(0, std::string(row.error).size()), row.error) << row.line;
    }
    for (const char* line : {"text\tR\t<ENQ>\t<ACK>", "regex\tA\t^\\x02(\\d)\t$1\tdelay=50\tonce",
                             "hex\tB\t02 ?? 03\t\ttimes=3\toff", "timer\tR\t1000\t<ENQ>"}) {
        std::string error;
        const std::optional<CTriggerRule> rule = CTriggerRule::Parse(line, &error);
        ASSERT_TRUE(rule) << line << ": " << error;
        EXPECT_EQ(rule->ToLine(), line);
    }
    const CTriggerRule limited = Rule("hex\tB\t02\tx\ttimes=3\toff");
    EXPECT_EQ(std::make_tuple(limited.Enabled(), limited.Remaining(), limited.Delay().count()),
              std::make_tuple(false, 3, 0));
}

TEST(TriggerRule, PatternsMatchFramesOfTheirDirectionOnly) {
    // The expression reads bytes: \x02 is STX and '.' takes any byte, 0xFF too.
    const CTriggerRule regex = Rule("regex\tR\t^\\x02\\d(Q\\|\\d\\|\\^(\\w+))(X)?.\tx");
    CTriggerRule::Groups groups{"stale"};
    EXPECT_TRUE(regex.Matches('R',
                              "\x02"
                              "1Q|1|^SID42\xFF",
                              &groups));
    EXPECT_EQ(groups, (CTriggerRule::Groups{"Q|1|^SID42", "SID42", ""}));
    EXPECT_FALSE(regex.Matches('S',
                               "\x02"
                               "1Q|1|^SID42\xFF",
                               &groups));
    EXPECT_FALSE(regex.Matches('R', "1Q|1|^SID42\xFF", &groups));
    // Text is found as the traffic list shows the frame, control bytes named.
    const CTriggerRule text = Rule("text\tA\t<STX>1H|\tx");
    EXPECT_TRUE(text.Matches('A',
                             "\x02"
                             "1H|\\^&\r",
                             nullptr));
    EXPECT_FALSE(text.Matches('B',
                              "\x02"
                              "1H|\\^&\r",
                              nullptr));
    const CTriggerRule hex = Rule("hex\tR\t05 ?? 0D\tx");
    EXPECT_TRUE(hex.Matches('R', std::string("ab\x05\x00\x0D", 5), nullptr));
    EXPECT_FALSE(hex.Matches('R', "\x05\x0D", nullptr));
    EXPECT_FALSE(Rule("timer\tR\t100\tx").Matches('R', "", nullptr));
}

TEST(TriggerRule, AnswerTakesGroupsTimeAndOneSequenceNumber) {
    const CTriggerRule rule = Rule("regex\tR\tx\t<STX>$1|$2|$9|$$1|{DATE}{TIME}|{SEQ}{SEQ}$");
    std::tm now{};
    std::tie(now.tm_year, now.tm_mon, now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec) =
        std::make_tuple(126, 11, 8, 3, 4, 5);
    int sequence = 6;
    EXPECT_EQ(rule.FillAnswer({"ID7", ""}, now, sequence), "<STX>ID7|||$1|20261208030405|77$");
    EXPECT_EQ(rule.FillAnswer({}, now, sequence), "<STX>|||$1|20261208030405|88$");
    EXPECT_EQ(sequence, 8);
    // An answer without {SEQ} takes no number.
    EXPECT_EQ(Rule("text\tR\tx\t{SEQ").FillAnswer({}, now, sequence), "{SEQ");
    EXPECT_EQ(sequence, 8);
}

}  // namespace
}  // namespace qelvor
