#include "data/ctrl_char_notation.h"

#include <algorithm>
#include <clocale>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "data/display_format.h"
#include "data/text_encoding.h"

namespace qelvor {
namespace {

using namespace std::string_literals;

struct TextCase {
    std::string text, bytes;
};

TEST(CtrlCharNotation, EveryNameMapsToItsByteAndBack) {
    std::string all;
    for (size_t i = 0; i < CtrlCharNames.size(); ++i) {
        const std::string name = CtrlCharNames[i].name;
        EXPECT_EQ(CtrlCharByName(name), static_cast<int>(i)) << name;
        EXPECT_EQ(UnescapeCtrlChars(name), std::string(1, static_cast<char>(i))) << name;
        all.push_back(static_cast<char>(i));
    }
    EXPECT_EQ(EscapeCtrlChars(all),
              "<NUL><SOH><STX><ETX><EOT><ENQ><ACK><BEL><BS><HT><LF><VT><FF><CR><SO><SI>"
              "<DLE><DC1><DC2><DC3><DC4><NAK><SYN><ETB><CAN><EM><SUB><ESC><FS><GS><RS><UP>");
    // The whole-name lookup wants exact, case-sensitive equality.
    for (const char* notAName : {"<cr>", "<CR> ", "<CR", "<US>", ""})
        EXPECT_EQ(CtrlCharByName(notAName), -1) << notAName;
}

// Random bytes, high ones and control bytes in every lane of the word-at-a-time
// scans included, come back unchanged; only control bytes are named.
TEST(CtrlCharNotation, UnescapeGivesBackAnyBytesWithoutABracket) {
    EXPECT_EQ(EscapeCtrlChars("\x7F\x80\xFF <CR>"), "\x7F\x80\xFF <CR>");
    // Nothing but control bytes outgrows the first guess of the output size.
    const std::string zeros(4096, '\0');
    EXPECT_EQ(EscapeCtrlChars(zeros).size(), 5 * zeros.size());
    EXPECT_EQ(UnescapeCtrlChars(EscapeCtrlChars(zeros)), zeros);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> anyByte(0, 255);
    for (size_t round = 0; round < 1000; ++round) {
        std::string bytes;
        while (bytes.size() < round % 130) {
            if (const char c = static_cast<char>(anyByte(rng)); c != '<') bytes.push_back(c);
        }
        const std::string text = EscapeCtrlChars(bytes);
        ASSERT_TRUE(std::none_of(text.begin(), text.end(), [](char c) {
            return c >= 0 && c < 0x20;
        })) << text;
        ASSERT_EQ(UnescapeCtrlChars(text), bytes) << text;
    }
}

TEST(CtrlCharNotation, UnescapeReadsNamesAndCopiesEverythingElse) {
    // clang-format off
    const TextCase cases[] = {
        {"<CR><LF>", "\r\n"}, {"<EOT><SOH>", "\x04\x01"}, {"<cr>", "<cr>"}, {"ab<CR", "ab<CR"},
        {"<C", "<C"}, {"<", "<"}, {"<XYZ>", "<XYZ>"}, {"<<CR>", "<\r"}, {"a<CR>", "a\r"},
        {"<CRX", "<CRX"}, {"a\r\nb", "a\r\nb"}, {"\xE4<NUL>\xFF", "\xE4\0\xFF"s},
        {"a\0<LF>"s, "a\0\n"s}, {"<FN8><CheckSum>", "<FN8><CheckSum>"}, {"<ST X>", "<ST X>"},
        {"", ""}, {"<<<ETX>>", "<<\x03>"}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(UnescapeCtrlChars(c.text), c.bytes) << c.text;
    // A '<' in every lane of the word-at-a-time scan, starting a name or not.
    for (size_t at = 0; at < 20; ++at) {
        const std::string x(at, 'x');
        EXPECT_EQ(UnescapeCtrlChars(x + "<ETX>" + x + "<ET" + x), x + "\x03" + x + "<ET" + x);
    }
    uint8_t value = 0;
    int length = 0;
    EXPECT_TRUE(FindCtrlCharName("ab<ETB>", 2, value, length) && value == 0x17 && length == 5);
    for (size_t pos : {1u, 7u, 100u})
        EXPECT_FALSE(FindCtrlCharName("ab<ETB>", pos, value, length)) << pos;
}

TEST(CtrlCharNotation, HexTextGivesAllTheBytesOrNone) {
    // clang-format off
    const TextCase cases[] = {
        {"01 02 0A", "\x01\x02\x0A"}, {"1,2;3", "\x01\x02\x03"}, {"ABC", "\xAB\x0C"},
        {"a b", "\x0A\x0B"}, {"123.", "\x12\x03"}, {"ff\t00\r\n7e", "\xFF\0\x7E"s},
        {" ,;. 41  ", "A"}, {"", ""}, {" \t,;.\r\n", ""},
        {"0123456789abcdefABCDEF", "\x01\x23\x45\x67\x89\xAB\xCD\xEF\xAB\xCD\xEF"},
        // Invalid anywhere, the characters just outside the digit ranges included.
        {"0x12", ""}, {"12 G3", ""}, {"12\0"s, ""}, {"12\xC0", ""}, {"1/", ""}, {"1:", ""},
        {"1@", ""}, {"1`", ""}, {"1g", ""}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(HexTextToBytes(c.text), c.bytes) << c.text;
}

TEST(DisplayFormat, EachStyleShowsTheBytesItsOwnWay) {
    const std::string info = "Send data,but error!\r\n", shown = "Send data,but error!<CR><LF>";
    // clang-format off
    const struct { char type; std::string bytes; int style; std::string text; } cases[] = {
        {'R', "A\rB", kStyleRaw, "A\rB"}, {'R', "A\rB", kStyleFmt, "A<CR>B"},
        {'S', "A\rB", kStyleHex, "41 0D 42 "}, {'S', "A\rB", 5, "A<CR>B"},
        {'S', "A\rB", -1, "A<CR>B"}, {'R', "a\0b"s, kStyleRaw, "a\0b"s}, {'R', "", kStyleHex, ""},
        {'R', "\0\xFF"s, kStyleHex, "00 FF "},
        // Information texts read the same in every style.
        {'I', info, kStyleRaw, shown}, {'I', info, kStyleHex, shown}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(FormatForDisplay(c.type, c.bytes, c.style), c.text) << c.type << c.style;
    const std::string text = FormatForDisplay('R', std::string(99, 'a') + "bc", kStyleHex);
    EXPECT_EQ(text.substr(294), "61 62 ");  // the first hundred bytes only
}

TEST(DisplayFormat, HexDumpShowsSixteenBytesALine) {
    // A short last line is filled up so that its characters stay aligned; a whole one is not.
    EXPECT_EQ(FormatHexDump("0123456789ABCDEFG"),
              "30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46 0123456789ABCDEF\r\n47" +
                  std::string(46, ' ') + "G\r\n");
    EXPECT_EQ(FormatHexDump(" ~!\x7F\x80\0\t\xFF"s),
              "20 7E 21 7F 80 00 09 FF " + std::string(24, ' ') + ".~!.....\r\n");
    EXPECT_EQ(FormatHexDump(""), "");
}

TEST(TextEncoding, ByteOrderMarkLengths) {
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
}

TEST(TextEncoding, WhatDoesNotConvertIsReplacedAndTheRestConverted) {
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
}

// The test program starts in the "C" locale and is left in it.
TEST(TextEncoding, AnsiCodePageFollowsTheLocale) {
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    EXPECT_EQ(ConvertCodePage("\xC3\xA9!", CP_ACP, CP_UTF8), "\xEF\xBF\xBD\xEF\xBF\xBD!");
    EXPECT_EQ(DecodeUtf8ToAnsi("caf\xC3\xA9"), "caf?");
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    EXPECT_EQ(ConvertCodePage("caf\xC3\xA9", CP_ACP, CP_UTF8), "caf\xC3\xA9");
    EXPECT_EQ(DecodeUtf8ToAnsi("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(ToWideText("\xC3\xA9", CP_ACP), u"\u00E9");
    std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace qelvor
