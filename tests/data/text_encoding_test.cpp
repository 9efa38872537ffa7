#include "data/text_encoding.h"

#include <clocale>
#include <string>

#include <gtest/gtest.h>

namespace qelvor {
namespace {

using namespace std::string_literals;

TEST(TextEncoding, ByteOrderMarksAndWhatDoesNotConvertAndTheAnsiCodePage) {
    // clang-format off
    const struct { std::string head; int length; } cases[] = {
        {"\xEF\xBB\xBF\x41", 3}, {"\xFF\xFE\x41\x00"s, 2}, {"\xFF\xFE\0\0"s, 4},
        {"\xFE\xFF\0\x41"s, 2}, {"\0\0\xFE\xFF"s, 4}, {"\x84\x31\x95\x33", 4},
        {"\xDD\x73\x66\x73", 4}, {"+/v8", 4}, {"+/v/", 4}, {"+/vA", 0}, {"\xF7\x64\x4C\x20", 3},
        {"\xFB\xEE\x28\x20", 3}, {"\x0E\xFE\xFF\x20", 3}, {"ABCD", 0}, {"", 0},
        {"\xEF\xBB\xBF\x41\x42", 3},
        // A shorter input is filled up with zero bytes.
        {"\xEF\xBB\xBF", 3}, {"\xEF\xBB", 0}, {"\xFE\xFF", 2}, {"\xFF\xFE", 4}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(DetectTextEncoding(c.head), c.length) << testing::PrintToString(c.head);
    EXPECT_EQ(DetectTextEncoding(std::string_view()), 0);  // no bytes, not even a buffer
    // A conversion replaces what does not convert and converts the rest.
    const std::string utf8 =
        "a\0\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"s;  // NUL, e acute, euro, emoji
    const std::u16string wide = ToWideText(utf8, CP_UTF8);
    EXPECT_EQ(wide, u"a\0\u00E9\u20AC\U0001F600"s);
    EXPECT_EQ(FromWideText(wide, CP_UTF8), utf8);
    EXPECT_EQ(ToWideText("caf\xE9", 1252), u"caf\u00E9");
    EXPECT_EQ(FromWideText(u"\u20AC", 1252), "\x80");
    // One U+FFFD for each byte that starts no character, one for a sequence cut off at the end.
    EXPECT_EQ(ToWideText("a\xFF"s + "b\xC0\x80" + "c\xE2\x82", CP_UTF8),
              u"a\uFFFDb\uFFFD\uFFFDc\uFFFD");
    EXPECT_EQ(FromWideText(u"ok\xD800!", CP_UTF8), "ok\xEF\xBF\xBD!");  // lone surrogate
    // A target without U+FFFD gets '?', one for each code unit.
    EXPECT_EQ(FromWideText(u"a\u20ACb\U0001F600", 20127), "a?b??");
    std::string why;
    EXPECT_EQ(ToWideText("abc", 12345, &why), u"");
    EXPECT_EQ(why, "cannot convert from CP12345 to UTF-16LE");
    EXPECT_EQ(ConvertCodePage("", CP_ACP, CP_UTF8), "");
    // The ANSI code page follows the locale; the test program starts in the
    // "C" locale and is left in it.
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    EXPECT_EQ(ConvertCodePage("\xC3\xA9!", CP_ACP, CP_UTF8), "\xEF\xBF\xBD\xEF\xBF\xBD!");
    EXPECT_EQ(DecodeUtf8ToAnsi("caf\xC3\xA9"), "caf?");
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    EXPECT_EQ(ConvertCodePage("caf\xC3\xA9", CP_ACP, CP_UTF8), "caf\xC3\xA9");
    EXPECT_EQ(DecodeUtf8ToAnsi("caf\xC3\xA9"), "caf\xC3\xA9");
    std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace qelvor
