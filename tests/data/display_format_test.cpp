#include "data/display_format.h"

#include <string>

#include <gtest/gtest.h>

namespace qelvor {
namespace {

using namespace std::string_literals;

TEST(DisplayFormat, EachStyleShowsTheBytesItsOwnWayAndTheDumpSixteenALine) {
    const std::string info = "Send data,but error!\r\n", shown = "Send data,but error!<CR><LF>";
    // clang-format off
    const struct { char type; std::string bytes; int style; std::string text; } cases[] = {
        {'R', "A\rB", kStyleRaw, "A\rB"}, {'R', "A\rB", kStyleFmt, "A<CR>B"},
        {'S', "A\rB", kStyleHex, "41 0D 42 "}, {'S', "A\rB", 5, "A<CR>B"},
        {'R', "a\0b"s, kStyleRaw, "a\0b"s}, {'R', "", kStyleHex, ""}, {'R', "\0\xFF"s, kStyleHex, "00 FF "},
        // Information texts read the same in every style.
        {'I', info, kStyleHex, shown}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(FormatForDisplay(c.type, c.bytes, c.style), c.text) << c.type << c.style;
    const std::string text = FormatForDisplay('R', std::string(99, 'a') + "bc", kStyleHex);
    EXPECT_EQ(text.substr(294), "61 62 ");  // the first hundred bytes only
    // The hex dump shows sixteen bytes a line. A short last line is filled up so that its
    // characters stay aligned; a whole one is not.
    EXPECT_EQ(FormatHexDump("0123456789ABCDEFG"),
              "30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46 0123456789ABCDEF\r\n47" +
                  std::string(46, ' ') + "G\r\n");
    EXPECT_EQ(FormatHexDump(" ~!\x7F\x80\0\t\xFF"s),
              "20 7E 21 7F 80 00 09 FF " + std::string(24, ' ') + ".~!.....\r\n");
    EXPECT_EQ(FormatHexDump(""), "");
}

}  // namespace
}  // namespace qelvor
