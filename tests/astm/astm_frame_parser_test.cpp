#include "astm/astm_frame_parser.h"

#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "astm/astm_frame.h"
#include "data/ctrl_char_notation.h"

namespace qelvor::astm {
namespace {

using Strings = std::vector<std::string>;

// Each event as one line in notation, the pieces fed one after another.
Strings Parse(const std::vector<std::string_view>& pieces) {
    CAstmFrameParser parser;
    std::vector<AstmEvent> events;
    for (std::string_view piece : pieces)
        parser.Feed(piece, events);
    parser.Flush(events);
    Strings lines;
    for (const AstmEvent& e : events) {
        const char* controls[] = {"ENQ", "ACK", "NAK", "EOT"};
        if (e.kind < AstmEvent::kFrame) lines.push_back(controls[e.kind]);
        if (e.kind == AstmEvent::kGarbage)
            lines.push_back(std::to_string(e.dropped) + " '" + EscapeCtrlChars(e.sample) + "' " +
                            e.note);
        if (e.kind == AstmEvent::kFrame)
            lines.push_back(EscapeCtrlChars(std::string(1, e.number) + e.text) +
                            (e.final ? " ETX " : " ETB ") +
                            (e.good ? "good" : e.received + "/" + e.expected + " " + e.note));
    }
    return lines;
}

// A frame's bytes; then a 600 character record from frame 7 on, between other
// events: the same events however the bytes are cut in two, and byte by byte.
TEST(AstmFrameParser, FramesComeBackAtEverySplitPositionAndBrokenOnesAreReported) {
    // 0x37 + 0xC8 + 0x03 = 0x102: bytes add as unsigned, the low byte counts.
    EXPECT_EQ(EscapeCtrlChars(CAstmFrame{7, "\xC8", true}.Bytes()), "<STX>7\xC8<ETX>02<CR><LF>");
    EXPECT_EQ(EscapeCtrlChars(CAstmFrame{9, "abc", false}.Bytes()), "<STX>1abc<ETB>6E<CR><LF>");
    EXPECT_EQ(CAstmFrame::Checksum("\xFF\xFA"), "F9");
    EXPECT_EQ(CAstmFrame::Cut(std::string(240, 'x'), 1).size(), 1u);
    EXPECT_TRUE(CAstmFrame::Cut("", 1).empty());
    const std::string record = std::string(599, 'r') + "\r", r240(240, 'r');
    std::string all = "xy\x05";
    for (const CAstmFrame& frame : CAstmFrame::Cut(record, 7))
        all += frame.Bytes() + "\n";
    all += UnescapeCtrlChars("<ACK><NAK><STX>3abc<ETX>00<CR><LF><EOT>");
    // clang-format off
    const Strings expected = {
        "2 'xy' ignored between frames", "ENQ", "7" + r240 + " ETB good",
        "1 '<LF>' ignored between frames", "0" + r240 + " ETB good",
        "1 '<LF>' ignored between frames", "1" + std::string(119, 'r') + "<CR> ETX good",
        "1 '<LF>' ignored between frames", "ACK", "NAK", "3abc ETX 00/5C ", "EOT"};
    // clang-format on
    ASSERT_EQ(Parse({all}), expected);
    const std::string_view view = all;
    std::vector<std::string_view> bytes;
    for (size_t cut = 1; cut < view.size(); ++cut) {
        ASSERT_EQ(Parse({view.substr(0, cut), view.substr(cut)}), expected) << cut;
        bytes.push_back(view.substr(cut - 1, 1));
    }
    bytes.push_back(view.substr(view.size() - 1));
    EXPECT_EQ(Parse(bytes), expected);
    // Broken frames are reported and the stream goes on.
    const std::pair<std::string, Strings> rows[] = {
        {"<STX>1a<ENQ><STX>1abc<ETX>5a<CR><LF>",  // lower-case digits are good
         {"3 '<STX>1a' frame cut short by <ENQ>", "ENQ", "1abc ETX good"}},
        {"<STX>1abc<ETX>5A<EOT><STX>1abc<ETX>5A<LF><CR><STX>1a",
         {"1abc ETX 5A/5A frame cut short after its end mark", "EOT",
          "1abc ETX 5A/5A checksum not followed by <CR><LF>",
          "3 '<STX>1a' frame incomplete when the line went quiet"}},
        {"<STX>" + std::string(5000, 'q') + "<ETX>00<CR><LF>",
         {"4098 '<STX>qqqqqqqqqqqqqqq' frame without end after 4096 bytes",
          "908 'qqqqqqqqqqqqqqqq' ignored between frames"}}};
    for (const auto& [notation, events] : rows)
        EXPECT_EQ(Parse({UnescapeCtrlChars(notation)}), events) << notation.substr(0, 30);
}

}  // namespace
}  // namespace qelvor::astm
