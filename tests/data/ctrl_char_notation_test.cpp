#include "data/ctrl_char_notation.h"

#include <algorithm>
#include <random>
#include <string>
#include <utility>

#include <gtest/gtest.h>

namespace qelvor {
namespace {

using namespace std::string_literals;

using TextCase = std::pair<std::string, std::string>;  // text, bytes

// Every name stands for its byte; random bytes, high ones and control bytes in
// every lane of the word-at-a-time scans included, come back unchanged, and
// only control bytes are named.
TEST(CtrlCharNotation, EveryNameMapsToItsByteAndEverythingElseIsCopied) {
    std::string all;
    for (size_t i = 0; i < CtrlCharNames.size(); ++i) {
        EXPECT_EQ(CtrlCharByName(CtrlCharNames[i].name), static_cast<int>(i)) << i;
        all.push_back(static_cast<char>(i));
    }
    EXPECT_EQ(EscapeCtrlChars(all),
              "<NUL><SOH><STX><ETX><EOT><ENQ><ACK><BEL><BS><HT><LF><VT><FF><CR><SO><SI>"
              "<DLE><DC1><DC2><DC3><DC4><NAK><SYN><ETB><CAN><EM><SUB><ESC><FS><GS><RS><UP>");
    // The whole-name lookup wants exact, case-sensitive equality.
    for (const char* notAName : {"<cr>", "<CR> ", "<CR", "<US>", ""})
        EXPECT_EQ(CtrlCharByName(notAName), -1) << notAName;
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
    // Unescaping reads names and copies everything else.
    // clang-format off
    const TextCase cases[] = {
        {"<CR><LF>", "\r\n"}, {"<EOT><SOH>", "\x04\x01"}, {"<cr>", "<cr>"}, {"ab<CR", "ab<CR"},
        {"<XYZ>", "<XYZ>"}, {"<<CR>", "<\r"}, {"<CRX", "<CRX"}, {"a\r\nb", "a\r\nb"},
        {"\xE4<NUL>\xFF", "\xE4\0\xFF"s}, {"a\0<LF>"s, "a\0\n"s}, {"", ""}, {"<<<ETX>>", "<<\x03>"}};
    // clang-format on
    for (const auto& [text, bytes] : cases)
        EXPECT_EQ(UnescapeCtrlChars(text), bytes) << text;
    // A '<' in every lane of the word-at-a-time scan, starting a name or not.
    for (size_t at = 0; at < 20; ++at) {
        const std::string x(at, 'x');
        EXPECT_EQ(UnescapeCtrlChars(x + "<ETX>" + x + "<ET" + x), x + "\x03" + x + "<ET" + x);
    }
    uint8_t value = 0;
    int length = 0;
    EXPECT_TRUE(FindCtrlCharName("ab<ETB>", 2, value, length) && value == 0x17 && length == 5);
    for (size_t pos : {1u, 7u})
        EXPECT_FALSE(FindCtrlCharName("ab<ETB>", pos, value, length)) << pos;
}

TEST(CtrlCharNotation, HexTextGivesAllTheBytesOrNone) {
    // clang-format off
    const TextCase cases[] = {
        {"01 02 0A", "\x01\x02\x0A"}, {"1,2;3", "\x01\x02\x03"}, {"ABC", "\xAB\x0C"},
        {"123.", "\x12\x03"}, {"ff\t00\r\n7e", "\xFF\0\x7E"s},
        {" ,;. 41  ", "A"}, {"", ""}, {" \t,;.\r\n", ""},
        {"0123456789abcdefABCDEF", "\x01\x23\x45\x67\x89\xAB\xCD\xEF\xAB\xCD\xEF"},
        // Invalid anywhere, the characters just outside the digit ranges included.
        {"0x12", ""}, {"12\0"s, ""}, {"12\xC0", ""}, {"1/", ""}, {"1:", ""},
        {"1@", ""}, {"1`", ""}, {"1g", ""}};
    // clang-format on
    for (const auto& [text, bytes] : cases)
        EXPECT_EQ(HexTextToBytes(text), bytes) << text;
}

}  // namespace
}  // namespace qelvor
