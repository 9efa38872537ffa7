#include "hl7/hl7_encoding.h"

#include <string>

#include <gtest/gtest.h>

namespace qelvor::hl7 {
namespace {

TEST(Hl7Encoding, DelimitersAreReadFromMshAndUnusableOnesAreRefusedWithWhy) {
    Hl7Encoding e;
    std::string why;
    ASSERT_TRUE(Hl7Encoding::Read("MSH*#!@%$*A", e, why)) << why;  // a fifth character is allowed
    EXPECT_EQ(e.field + e.Characters(), "*#!@%");
    for (const char* bad : {"PID|^~\\&|", "MSH", "MSH\r", "MSH|^~\\|", "MSH|^~\\&^|",
                            "MSH|^~\\&#$|", "MSH|^~\\A|", "MSH|^~|&|", "MSH|^~\\\n&|"}) {
        why.clear();
        EXPECT_FALSE(Hl7Encoding::Read(bad, e, why)) << bad;
        EXPECT_FALSE(why.empty()) << bad;
    }
    EXPECT_FALSE(Hl7Encoding::Read("MSH|^~^&|", e, why));
    EXPECT_EQ(why, "MSH-2 repeats the character ^");
}

TEST(Hl7Encoding, UnescapeDecodesKnownSequencesAndKeepsTheRestAsSent) {
    const Hl7Encoding standard;
    const Hl7Encoding custom{'*', '#', '!', '@', '%'};
    EXPECT_EQ(Unescape(R"(a\F\b\S\c\T\d\R\e\E\f)", standard), R"(a|b^c&d~e\f)");
    EXPECT_EQ(Unescape("a@F@b@S@c@T@d@R@e@E@f\\F\\", custom), "a*b#c%d!e@f\\F\\");
    EXPECT_EQ(Unescape(R"(\X414243\-\X0d0A\-\.br\-\H\bold\N\)", standard), "ABC-\r\n-\n-bold");
    // Odd or non-hex digits, unknown and empty sequences, an unclosed one.
    EXPECT_EQ(Unescape(R"(\X414\\XG0\\X\\Zab\\\\F)", standard), R"(\X414\\XG0\\X\\Zab\\\\F)");
}

TEST(Hl7Encoding, EscapedTextComesBackAndHidesDelimitersAndLineEnds) {
    const std::string text = "a|b^c&d~e\\f\rg\nh*#!@%";
    for (const Hl7Encoding& e : {Hl7Encoding{}, Hl7Encoding{'*', '#', '!', '@', '%'}})
        EXPECT_EQ(Unescape(Escape(text, e), e), text);
    EXPECT_EQ(Escape("|^&~\\\r\n.", Hl7Encoding{}), R"(\F\\S\\T\\R\\E\\X0D\\X0A\.)");
}

}  // namespace
}  // namespace qelvor::hl7
