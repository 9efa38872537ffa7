#include "data/ctrl_char_notation.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace std::string_literals;

namespace qelvor {
namespace {

// A byte-by-byte escape, the plainest reading of the notation, against which
// the run-scanning implementation is compared.
std::string ReferenceEscape(const std::string& bytes) {
    std::string text;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text += b < 0x20 ? std::string(CtrlCharNames[b].name) : std::string(1, c);
    }
    return text;
}

// A position-by-position reading of notation text: at each '<' every name is
// tried in byte order.
std::string ReferenceUnescape(const std::string& text) {
    std::string bytes;
    size_t pos = 0;
    while (pos < text.size()) {
        bool named = false;
        for (size_t i = 0; i < CtrlCharNames.size() && !named; ++i) {
            const std::string name = CtrlCharNames[i].name;
            if (text.compare(pos, name.size(), name) == 0) {
                bytes.push_back(static_cast<char>(i));
                pos += name.size();
                named = true;
            }
        }
        if (!named) bytes.push_back(text[pos++]);
    }
    return bytes;
}

// Random bytes weighted towards the places where a fast scan slips: control
// bytes, the 0x1F/0x20 border and bytes with the top bit set.
std::string RandomBytes(std::mt19937& rng, size_t length, bool allowBracket) {
    static const unsigned char kTricky[] = {0x00, 0x1F, 0x20, 0x21, 0x7F, 0x80, 0x9F, 0xA0,
                                            0xFF, '>',  '<',  0x0D, 0x0A, 0x02, 0x03};
    std::uniform_int_distribution<int> pick(0, 3);
    std::uniform_int_distribution<int> anyByte(0, 255);
    std::uniform_int_distribution<size_t> tricky(0, sizeof kTricky - 1);
    std::string bytes;
    while (bytes.size() < length) {
        char c = static_cast<char>(pick(rng) == 0 ? kTricky[tricky(rng)] : anyByte(rng));
        if (c == '<' && !allowBracket) continue;
        bytes.push_back(c);
    }
    return bytes;
}

TEST(CtrlCharNotation, NameTableIsWellFormedAndLooksUpBothWays) {
    for (size_t i = 0; i < CtrlCharNames.size(); ++i) {
        const std::string name = CtrlCharNames[i].name;
        SCOPED_TRACE(name);
        EXPECT_EQ(static_cast<int>(name.size()), CtrlCharNames[i].length);
        ASSERT_GE(name.size(), 4u);
        EXPECT_EQ(name.front(), '<');
        EXPECT_EQ(name.back(), '>');
        EXPECT_EQ(CtrlCharByName(name), static_cast<int>(i));
        EXPECT_EQ(UnescapeCtrlChars(name), std::string(1, static_cast<char>(i)));
    }
    EXPECT_STREQ(CtrlCharNames[0x1F].name, "<UP>");
    EXPECT_STREQ(CtrlCharNames[0x08].name, "<BS>");
    EXPECT_STREQ(CtrlCharNames[0x19].name, "<EM>");
}

TEST(CtrlCharNotation, WholeNameLookupWantsExactEquality) {
    EXPECT_EQ(CtrlCharByName("<CR>"), 0x0D);
    EXPECT_EQ(CtrlCharByName("<NUL>"), 0x00);
    EXPECT_EQ(CtrlCharByName("<cr>"), -1);
    EXPECT_EQ(CtrlCharByName("<CR> "), -1);
    EXPECT_EQ(CtrlCharByName("<CR"), -1);
    EXPECT_EQ(CtrlCharByName("<US>"), -1);
    EXPECT_EQ(CtrlCharByName(""), -1);
}

TEST(CtrlCharNotation, HexPairTableHoldsUpperCasePairs) {
    EXPECT_EQ(std::string(HexPairTable[0x00].data(), 2), "00");
    EXPECT_EQ(std::string(HexPairTable[0x0A].data(), 2), "0A");
    EXPECT_EQ(std::string(HexPairTable[0xAB].data(), 2), "AB");
    EXPECT_EQ(std::string(HexPairTable[0xFF].data(), 2), "FF");
    for (int n = 0; n < 256; ++n) {
        const std::string pair(HexPairTable[static_cast<size_t>(n)].data(), 2);
        EXPECT_EQ(std::stoi(pair, nullptr, 16), n) << pair;
    }
}

TEST(CtrlCharNotation, EscapeNamesControlBytesOnly) {
    EXPECT_EQ(EscapeCtrlChars("\x02"
                              "A\r\n\x03"),
              "<STX>A<CR><LF><ETX>");
    EXPECT_EQ(EscapeCtrlChars("\x1F"), "<UP>");
    EXPECT_EQ(EscapeCtrlChars("\x7F\x80\xFF "), "\x7F\x80\xFF ");
    EXPECT_EQ(EscapeCtrlChars(""), "");
    EXPECT_EQ(EscapeCtrlChars("\0"s), "<NUL>");
    EXPECT_EQ(EscapeCtrlChars("a\0b\0"s), "a<NUL>b<NUL>");
    // Printable text that spells a name is not protected.
    EXPECT_EQ(EscapeCtrlChars("<CR>"), EscapeCtrlChars("\r"));
}

TEST(CtrlCharNotation, EscapeFindsAControlByteAtEveryOffsetOfALongRun) {
    // The scan tests several bytes at once; a control byte in each lane, and
    // high bytes beside it, must still be named at its own place.
    for (int control : {0x00, 0x01, 0x1F}) {
        for (size_t at = 0; at < 40; ++at) {
            std::string bytes(40, '\xA0');
            for (size_t i = 0; i < bytes.size(); i += 3)
                bytes[i] = ' ';
            bytes[at] = static_cast<char>(control);
            EXPECT_EQ(EscapeCtrlChars(bytes), ReferenceEscape(bytes)) << "at " << at;
        }
    }
}

TEST(CtrlCharNotation, EscapeMatchesByteByByteReadingOnRandomData) {
    std::mt19937 rng(20240601);
    for (int round = 0; round < 500; ++round) {
        const std::string bytes = RandomBytes(rng, static_cast<size_t>(round % 97), true);
        ASSERT_EQ(EscapeCtrlChars(bytes), ReferenceEscape(bytes));
    }
}

TEST(CtrlCharNotation, EscapeOfControlBytesOnlyOutgrowsItsFirstGuess) {
    const std::string zeros(4096, '\0');
    std::string expected;
    for (size_t i = 0; i < zeros.size(); ++i)
        expected += "<NUL>";
    EXPECT_EQ(EscapeCtrlChars(zeros), expected);
    EXPECT_EQ(UnescapeCtrlChars(expected), zeros);
}

TEST(CtrlCharNotation, UnescapeMatchesPositionByPositionReadingOnRandomText) {
    std::mt19937 rng(99);
    std::uniform_int_distribution<size_t> pickName(0, 31);
    for (int round = 0; round < 500; ++round) {
        // Random bytes with names and broken names spliced in.
        std::string text = RandomBytes(rng, static_cast<size_t>(round % 61), true);
        for (int k = 0; k < 4; ++k) {
            std::string name = CtrlCharNames[pickName(rng)].name;
            if (k == 3) name.pop_back();
            text.insert(text.size() * static_cast<size_t>(k) / 4, name);
        }
        ASSERT_EQ(UnescapeCtrlChars(text), ReferenceUnescape(text)) << text;
    }
}

TEST(CtrlCharNotation, UnescapeGivesBackEveryStringWithoutABracket) {
    std::mt19937 rng(7);
    for (int round = 0; round < 1000; ++round) {
        const std::string bytes = RandomBytes(rng, static_cast<size_t>(round % 130), false);
        ASSERT_EQ(UnescapeCtrlChars(EscapeCtrlChars(bytes)), bytes) << EscapeCtrlChars(bytes);
    }
}

struct UnescapeCase {
    const char* label;
    std::string text;
    std::string bytes;
};

class UnescapeCases : public ::testing::TestWithParam<UnescapeCase> {};

TEST_P(UnescapeCases, GivesTheseBytes) {
    EXPECT_EQ(UnescapeCtrlChars(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    CtrlCharNotation, UnescapeCases,
    ::testing::Values(
        UnescapeCase{"crlf", "<CR><LF>", "\r\n"}, UnescapeCase{"eot_soh", "<EOT><SOH>", "\x04\x01"},
        UnescapeCase{"five_not_four", "<SOH>", "\x01"}, UnescapeCase{"lower_case", "<cr>", "<cr>"},
        UnescapeCase{"unterminated", "ab<CR", "ab<CR"}, UnescapeCase{"two_left", "<C", "<C"},
        UnescapeCase{"bracket_alone", "<", "<"}, UnescapeCase{"unknown_name", "<XYZ>", "<XYZ>"},
        UnescapeCase{"double_bracket", "<<CR>", "<\r"}, UnescapeCase{"name_last", "a<CR>", "a\r"},
        UnescapeCase{"four_no_close", "<CRX", "<CRX"}, UnescapeCase{"raw_crlf", "a\r\nb", "a\r\nb"},
        UnescapeCase{"high_bytes", "\xE4<NUL>\xFF", "\xE4\0\xFF"s},
        UnescapeCase{"nul_in_text", "a\0<LF>"s, "a\0\n"s},
        UnescapeCase{"placeholders", "<FN8><CheckSum>", "<FN8><CheckSum>"},
        UnescapeCase{"closing_far", "<ST X>", "<ST X>"}, UnescapeCase{"empty", "", ""},
        UnescapeCase{"up_at_end", "x<UP>", "x\x1F"}, UnescapeCase{"nested", "<<<ETX>>", "<<\x03>"}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });

TEST(CtrlCharNotation, FindReportsValueAndLengthAtThePosition) {
    uint8_t value = 0xAA;
    int length = -1;
    EXPECT_TRUE(FindCtrlCharName("ab<ETB>", 2, value, length));
    EXPECT_EQ(value, 0x17);
    EXPECT_EQ(length, 5);
    EXPECT_TRUE(FindCtrlCharName("<FS>", 0, value, length));
    EXPECT_EQ(value, 0x1C);
    EXPECT_EQ(length, 4);
    EXPECT_FALSE(FindCtrlCharName("ab<ETB>", 1, value, length));
    EXPECT_FALSE(FindCtrlCharName("ab<ETB>", 7, value, length));
    EXPECT_FALSE(FindCtrlCharName("ab<ETB>", 100, value, length));
    EXPECT_FALSE(FindCtrlCharName("<ETB", 0, value, length));
    // Nothing changes on a miss.
    EXPECT_EQ(value, 0x1C);
    EXPECT_EQ(length, 4);
}

struct HexCase {
    const char* label;
    std::string text;
    std::string bytes;
};

class HexTextCases : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexTextCases, GivesTheseBytes) {
    EXPECT_EQ(HexTextToBytes(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    CtrlCharNotation, HexTextCases,
    ::testing::Values(
        HexCase{"spaced", "01 02 0A", "\x01\x02\x0A"},
        HexCase{"lone_nibbles", "1,2;3", "\x01\x02\x03"}, HexCase{"odd_count", "ABC", "\xAB\x0C"},
        HexCase{"lower_case", "a b", "\x0A\x0B"}, HexCase{"dot_separates", "123.", "\x12\x03"},
        HexCase{"tabs_and_lines", "ff\t00\r\n7e", "\xFF\0\x7E"s},
        HexCase{"separator_runs", " ,;. 41  ", "A"}, HexCase{"empty", "", ""},
        HexCase{"separators_only", " \t,;.\r\n", ""}, HexCase{"prefix_invalid", "0x12", ""},
        HexCase{"late_invalid", "12 G3", ""}, HexCase{"nul_invalid", "12\0"s, ""},
        HexCase{"high_byte_invalid", "12\xC0", ""}, HexCase{"bracket_invalid", "<CheckSum>", ""}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });

TEST(CtrlCharNotation, HexTextTellsInvalidFromEmpty) {
    std::string bytes = "stale";
    EXPECT_TRUE(HexTextToBytes(" , ", bytes));
    EXPECT_EQ(bytes, "");
    bytes = "stale";
    EXPECT_FALSE(HexTextToBytes("41 4Z", bytes));
    EXPECT_EQ(bytes, "");
    EXPECT_TRUE(HexTextToBytes("41 42", bytes));
    EXPECT_EQ(bytes, "AB");
}

TEST(CtrlCharNotation, HexTextOfEveryPairGivesEveryByte) {
    std::string text;
    std::string expected;
    for (int n = 0; n < 256; ++n) {
        const auto& pair = HexPairTable[static_cast<size_t>(n)];
        text.append(pair.data(), 2).push_back(n % 2 ? ' ' : ',');
        expected.push_back(static_cast<char>(n));
    }
    EXPECT_EQ(HexTextToBytes(text), expected);
}

}  // namespace
}  // namespace qelvor
