#include "traffic/highlight_rules.h"

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "traffic/msg_record.h"

namespace qelvor {
namespace {

// Rules read from a settings record's keys, good and bad, and the colours of real records.
TEST(HighlightRules, TheFirstMatchingRuleGivesTheColourAndBadKeysAreLeftOut) {
    CComSetting settings;
    const char* const keys[] = {"hex|#FF0000|15",     "regex|#000000|(",  "text|#12345|x",
                                "text|#00FF00|<ACK>", "word|#123456|x",   "text|123456|x",
                                "text|#12345G",       "REGEX|#00ff7F|<|>"};
    for (int n = 1; n <= 8; ++n)
        settings.HighlightKey(n) = keys[n - 1];
    CHighlightRules rules;
    rules.Load(settings);
    ASSERT_EQ(rules.Rules().size(), 3u);
    ASSERT_EQ(rules.Problems().size(), 5u);
    EXPECT_EQ(rules.Problems()[0].rfind("Highlight2: bad regular expression", 0), 0u);
    for (size_t i = 1; i < 5; ++i)
        EXPECT_NE(rules.Problems()[i].find("highlight rule is"), std::string::npos) << i;
    EXPECT_EQ(rules.ColorOf(CMsgRecord('R', "\x15")), 0xFF0000u);
    EXPECT_EQ(rules.ColorOf(CMsgRecord('S', "\x06")), 0x00FF00u);
    EXPECT_EQ(rules.ColorOf(CMsgRecord('R', "\x02")), 0x00FF7Fu);
    EXPECT_EQ(rules.ColorOf(CMsgRecord('R', "plain")), std::nullopt);
    CHighlightRules::Store({rules.Rules()[2], rules.Rules()[0]}, settings);
    EXPECT_EQ(settings.HighlightKey(1) + settings.HighlightKey(2) + settings.HighlightKey(8),
              "regex|#00FF7F|<|>hex|#FF0000|15");
}

}  // namespace
}  // namespace qelvor
