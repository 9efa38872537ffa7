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
        {"text R abc x", "field 2 (direction): missing; fields are separated by tabs"},
        {"Text\tR\ta\tb", "field 1 (kind): 'Text' is not text, regex, hex or timer"},
        {"regex\tR\t(a\tb", "field 3 (pattern): bad regular expression: missing ): (a"},
        {"timer\tR\t1e3\tb", "field 3 (period): '1e3' is not a period of 10 to 86400000 ms"},
        {"timer\tR\t100\t", "field 4 (answer): a timer needs something to send"},
        {"timer\tR\t100\tb\tdelay=5", "field 5 (option): delay= is for frame rules"},
        {"text\tR\ta\tb\tonce\tdelay=-1", "field 6 (option): 'delay=-1': the delay is 0 to"},
        {"text\tR\ta\tb\t", "field 5 (option): '' is not delay=MS, once, times=N or off"},
    };
    for (const auto& row : bad) {
        std::string error = "stale";
        EXPECT_FALSE(CTriggerRule::Parse(row.line, &error)) << row.line;
        EXPECT_EQ(error.substr(0, std::string(row.error).size()), row.error) << row.line;
    }
    for (const char* line : {"regex\tA\t^\\x02(\\d)\t$1\tdelay=50\tonce",
                             "hex\tB\t02 ?? 03\t\ttimes=3\toff", "timer\tR\t1000\t<ENQ>"})
        EXPECT_EQ(Rule(line).ToLine(), line);
}

TEST(TriggerRule, PatternsMatchFramesOfTheirDirectionAndTheAnswerTakesTheGroups) {
    // The expression reads bytes: \x02 is STX and '.' takes any byte, 0xFF too.
    const CTriggerRule regex = Rule(
        "regex\tR\t^\\x02\\d(Q\\|\\d\\|\\^(\\w+))(X)?.\t<STX>$2|$3|$9|$$1|{DATE}{TIME}|{SEQ}{SEQ}");
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
    std::tm now{};
    std::tie(now.tm_year, now.tm_mon, now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec) =
        std::make_tuple(126, 11, 8, 3, 4, 5);
    int sequence = 6;
    EXPECT_EQ(regex.FillAnswer(groups, now, sequence), "<STX>SID42|||$1|20261208030405|77");
    EXPECT_EQ(Rule("text\tR\tx\t{SEQ").FillAnswer({}, now, sequence), "{SEQ");
    EXPECT_EQ(sequence, 7);
}

}  // namespace
}  // namespace qelvor
