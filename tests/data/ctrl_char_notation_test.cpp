#include "data/ctrl_char_notation.h"
#include "data/display_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

using namespace std::string_literals;

namespace qelvor {
namespace {

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

}  // namespace
}  // namespace qelvor
