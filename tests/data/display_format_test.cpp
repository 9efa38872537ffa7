#include "data/display_format.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace qelvor {
namespace {

TEST(DisplayFormat, EachStyleShowsTheBytesItsOwnWay) {
    const std::string bytes = "A\rB";
    EXPECT_EQ(FormatForDisplay('R', bytes, kStyleRaw), "A\rB");
    EXPECT_EQ(FormatForDisplay('R', bytes, kStyleFmt), "A<CR>B");
    EXPECT_EQ(FormatForDisplay('S', bytes, kStyleHex), "41 0D 42 ");
    // Unknown styles read as the notation style.
    EXPECT_EQ(FormatForDisplay('S', bytes, 5), "A<CR>B");
    EXPECT_EQ(FormatForDisplay('S', bytes, -1), "A<CR>B");
}

TEST(DisplayFormat, InformationRecordsLookTheSameInEveryStyle) {
    const std::string text = "Send data,but error!\r\n";
    for (int style : {0, 1, 2, 9}) {
        EXPECT_EQ(FormatForDisplay('I', text, style), "Send data,but error!<CR><LF>") << style;
    }
}

TEST(DisplayFormat, HexStyleShowsTheFirstHundredBytesOnly) {
    std::string bytes;
    for (int i = 0; i < 150; ++i)
        bytes.push_back(static_cast<char>(i));
    const std::string text = FormatForDisplay('R', bytes, kStyleHex);
    ASSERT_EQ(text.size(), 300u);
    EXPECT_EQ(text.substr(0, 9), "00 01 02 ");
    EXPECT_EQ(text.substr(294), "62 63 ");
    EXPECT_EQ(FormatForDisplay('R', "", kStyleHex), "");
    EXPECT_EQ(FormatForDisplay('R', "\0\xFF"s, kStyleHex), "00 FF ");
}

TEST(DisplayFormat, RawStyleKeepsZeroBytes) {
    EXPECT_EQ(FormatForDisplay('R', "a\0b"s, kStyleRaw), "a\0b"s);
}

TEST(DisplayFormat, HexDumpFillsAShortLastLine) {
    const std::string dump = FormatHexDump("0123456789ABCDEFG");
    const std::string first =
        "30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46 0123456789ABCDEF\r\n";
    const std::string second = "47" + std::string(46, ' ') + "G\r\n";
    EXPECT_EQ(dump, first + second);
}

TEST(DisplayFormat, HexDumpOfWholeLinesHasNoFilling) {
    std::string bytes(32, 'x');
    const std::string dump = FormatHexDump(bytes);
    ASSERT_EQ(dump.size(), 2 * (48 + 16 + 2u));
    EXPECT_EQ(dump.substr(48, 18), std::string(16, 'x') + "\r\n");
    EXPECT_EQ(FormatHexDump(""), "");
}

TEST(DisplayFormat, HexDumpShowsPrintableCharactersOnly) {
    const std::string bytes = " ~!\x7F\x80\0\t\xFF"s;
    const std::string dump = FormatHexDump(bytes);
    EXPECT_EQ(dump.substr(0, 24), "20 7E 21 7F 80 00 09 FF ");
    EXPECT_EQ(dump.substr(48), ".~!.....\r\n");
}

}  // namespace
}  // namespace qelvor
