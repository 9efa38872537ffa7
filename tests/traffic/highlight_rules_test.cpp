// Highlight rules read from a settings record's keys, as the INI file gives
// them, good and bad, and the colour they give real records.
#include "traffic/highlight_rules.h"

#include <gtest/gtest.h>

#include "config/com_setting.h"

namespace qelvor {
namespace {

TEST(HighlightRules, ParsesRulesAndRefusesBadOnes) {
    const auto rule = CHighlightRules::ParseRule("REGEX|#00ff7F|a|b", nullptr);
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->mode, MatchMode::kRegex);
    EXPECT_EQ(rule->rgb, 0x00FF7Fu);
    EXPECT_EQ(rule->pattern, "a|b");
    EXPECT_EQ(CHighlightRules::FormatRule(*rule), "regex|#00FF7F|a|b");
    for (const char* bad : {"text|#12345|x", "text|123456|x", "text|#12345G|x", "word|#123456|x",
                            "text|#123456", "text"}) {
        std::string error;
        EXPECT_FALSE(CHighlightRules::ParseRule(bad, &error)) << bad;
        EXPECT_NE(error.find("highlight rule"), std::string::npos) << bad;
    }
}

TEST(HighlightRules, TheFirstMatchingRuleGivesTheColourAndBadKeysAreLeftOut) {
    CComSetting settings;
    settings.ShowDataFmt = 1;
    settings.HighlightKey(1) = "hex|#FF0000|15";  // NAK
    settings.HighlightKey(2) = "regex|#000000|(";
    settings.HighlightKey(4) = "text|#00FF00|<ACK>";
    settings.HighlightKey(8) = "text|#0000FF|<";
    CHighlightRules rules;
    rules.Load(settings);
    ASSERT_EQ(rules.Rules().size(), 3u);
    ASSERT_EQ(rules.Problems().size(), 1u);
    EXPECT_EQ(rules.Problems()[0].rfind("Highlight2: bad regular expression", 0), 0u);
    EXPECT_EQ(rules.ColorOf(CMsgRecord('R', "\x15")), 0xFF0000u);
    EXPECT_EQ(rules.ColorOf(CMsgRecord('S', "\x06")), 0x00FF00u);
    EXPECT_EQ(rules.ColorOf(CMsgRecord('R', "\x02")), 0x0000FFu);
    EXPECT_EQ(rules.ColorOf(CMsgRecord('R', "plain")), std::nullopt);

    CHighlightRules::Store({rules.Rules()[2], rules.Rules()[0]}, settings);
    EXPECT_EQ(settings.HighlightKey(1), "text|#0000FF|<");
    EXPECT_EQ(settings.HighlightKey(2), "hex|#FF0000|15");
    EXPECT_EQ(settings.HighlightKey(4), "");
    EXPECT_EQ(settings.HighlightKey(8), "");
}

}  // namespace
}  // namespace qelvor
