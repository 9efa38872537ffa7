#include "data/text_encoding.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

using namespace std::string_literals;

namespace qelvor {
namespace {

// Runs a test in the given C locale and puts the previous one back; the ANSI
// code page follows the locale.
class ScopedLocale {
  public:
    explicit ScopedLocale(const char* name) : previous_(std::setlocale(LC_ALL, nullptr)) {
        ok_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~ScopedLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;
    bool ok() const { return ok_; }

  private:
    std::string previous_;
    bool ok_ = false;
};

struct BomCase {
    const char* label;
    std::string head;
    int length;
};

class BomCases : public ::testing::TestWithParam<BomCase> {};

TEST_P(BomCases, GiveTheMarkLength) {
    EXPECT_EQ(DetectTextEncoding(GetParam().head), GetParam().length);
}

INSTANTIATE_TEST_SUITE_P(
    TextEncoding, BomCases,
    ::testing::Values(
        BomCase{"utf8", "\xEF\xBB\xBF\x41", 3}, BomCase{"utf16le", "\xFF\xFE\x41\x00"s, 2},
        BomCase{"utf32le_before_utf16le", "\xFF\xFE\0\0"s, 4},
        BomCase{"utf16be", "\xFE\xFF\0\x41"s, 2}, BomCase{"utf32be", "\0\0\xFE\xFF"s, 4},
        BomCase{"gb18030", "\x84\x31\x95\x33", 4}, BomCase{"utf_ebcdic", "\xDD\x73\x66\x73", 4},
        BomCase{"utf7_8", "+/v8", 4}, BomCase{"utf7_slash", "+/v/", 4},
        BomCase{"utf7_other", "+/vA", 0}, BomCase{"utf1", "\xF7\x64\x4C\x20", 3},
        BomCase{"bocu1", "\xFB\xEE\x28\x20", 3}, BomCase{"scsu", "\x0E\xFE\xFF\x20", 3},
        BomCase{"plain", "ABCD", 0}, BomCase{"empty", "", 0},
        BomCase{"short_utf8", "\xEF\xBB\xBF", 3}, BomCase{"cut_utf8", "\xEF\xBB", 0},
        BomCase{"short_utf16be", "\xFE\xFF", 2},
        BomCase{"longer_input", "\xEF\xBB\xBF\x41\x42\x43", 3}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });

TEST(TextEncoding, NoBytesAtAllHaveNoMark) {
    EXPECT_EQ(DetectTextEncoding(std::string_view()), 0);
    EXPECT_EQ(ToWideText(std::string_view(), CP_UTF8), u"");
    EXPECT_EQ(FromWideText(std::u16string_view(), CP_UTF8), "");
}

TEST(TextEncoding, Utf8TextBecomesUtf16AndBack) {
    const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // a, e acute, euro, emoji
    const std::u16string wide = ToWideText(utf8, CP_UTF8);
    EXPECT_EQ(wide, u"a\u00E9\u20AC\U0001F600");
    EXPECT_EQ(FromWideText(wide, CP_UTF8), utf8);
}

TEST(TextEncoding, ZeroBytesDoNotEndTheText) {
    const std::u16string wide = ToWideText("a\0b"s, CP_UTF8);
    EXPECT_EQ(wide, u"a\0b"s);
    EXPECT_EQ(FromWideText(wide, CP_UTF8), "a\0b"s);
}

TEST(TextEncoding, InvalidInputFailsTheWholeConversion) {
    EXPECT_EQ(ToWideText("ok\xC3", CP_UTF8), u"");      // cut sequence
    EXPECT_EQ(ToWideText("ok\xFF ok", CP_UTF8), u"");   // never valid
    EXPECT_EQ(FromWideText(u"ok\xD800", CP_UTF8), "");  // lone surrogate
    EXPECT_EQ(ConvertCodePage("ok\xC0\x80", CP_UTF8, CP_UTF8), "");
    EXPECT_EQ(ConvertCodePage("", CP_ACP, CP_UTF8), "");
    EXPECT_EQ(ToWideText("abc", 12345), u"");  // no such code page
}

TEST(TextEncoding, LongInputsGrowTheOutputSafely) {
    const std::string ascii(100000, 'x');
    const std::u16string wide = ToWideText(ascii, CP_UTF8);
    ASSERT_EQ(wide.size(), ascii.size());
    EXPECT_EQ(wide.find_first_not_of(u'x'), std::u16string::npos);
    std::string euros;
    for (int i = 0; i < 30000; ++i)
        euros += "\xE2\x82\xAC";
    EXPECT_EQ(FromWideText(ToWideText(euros, CP_UTF8), CP_UTF8), euros);
}

TEST(TextEncoding, AnsiCodePageFollowsTheLocale) {
    {
        ScopedLocale c("C");
        ASSERT_TRUE(c.ok());
        // The C locale's character set is ASCII: plain text passes, a high
        // byte cannot be read and fails the conversion.
        EXPECT_EQ(ConvertCodePage("abc\r\n", CP_ACP, CP_UTF8), "abc\r\n");
        EXPECT_EQ(ConvertCodePage("caf\xE9", CP_ACP, CP_UTF8), "");
        EXPECT_EQ(DecodeUtf8ToAnsi("caf\xC3\xA9"), "");
        EXPECT_EQ(DecodeUtf8ToAnsi("cafe"), "cafe");
    }
    ScopedLocale utf8("C.UTF-8");
    ASSERT_TRUE(utf8.ok());
    EXPECT_EQ(ConvertCodePage("caf\xC3\xA9", CP_ACP, CP_UTF8), "caf\xC3\xA9");
    EXPECT_EQ(DecodeUtf8ToAnsi("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(ToWideText("\xC3\xA9", CP_ACP), u"\u00E9");
}

TEST(TextEncoding, NumberedCodePagesReachIconv) {
    EXPECT_EQ(ToWideText("caf\xE9", 1252), u"caf\u00E9");
    EXPECT_EQ(ConvertCodePage("caf\xE9", 1252, CP_UTF8), "caf\xC3\xA9");
    EXPECT_EQ(FromWideText(u"\u20AC", 1252), "\x80");
}

}  // namespace
}  // namespace qelvor
