#include "astm/astm_frame.h"

#include <gtest/gtest.h>

#include "astm/astm_frame_parser.h"
#include "data/ctrl_char_notation.h"

namespace qelvor::astm {
namespace {

using Strings = std::vector<std::string>;

// One line an event, in notation, so that a whole event list compares at once.
std::string Describe(const AstmEvent& e) {
    switch (e.kind) {
        case AstmEvent::kEnq:
            return "ENQ";
        case AstmEvent::kAck:
            return "ACK";
        case AstmEvent::kNak:
            return "NAK";
        case AstmEvent::kEot:
            return "EOT";
        case AstmEvent::kFrame:
            return "frame " + EscapeCtrlChars(std::string(1, e.number)) + " '" +
                   EscapeCtrlChars(e.text) + (e.final ? "' ETX " : "' ETB ") +
                   (e.good ? "good" : e.received + "/" + e.expected + " " + e.note);
        case AstmEvent::kGarbage:
            return "garbage " + std::to_string(e.dropped) + " '" + EscapeCtrlChars(e.sample) +
                   "' " + e.note;
    }
    return {};
}

Strings FeedInPieces(const std::vector<std::string_view>& pieces, bool flush = false) {
    CAstmFrameParser parser;
    std::vector<AstmEvent> events;
    for (std::string_view piece : pieces)
        parser.Feed(piece, events);
    if (flush) parser.Flush(events);
    Strings described;
    for (const AstmEvent& e : events)
        described.push_back(Describe(e));
    return described;
}

TEST(AstmFrame, BytesCarryNumberTerminatorAndUpperCaseSum) {
    struct Row {
        CAstmFrame frame;
        const char* bytes;
    } rows[] = {
        {{1, "abc", true}, "<STX>1abc<ETX>5A<CR><LF>"},
        {{1, "abc", false}, "<STX>1abc<ETB>6E<CR><LF>"},
        {{0, "", true}, "<STX>0<ETX>33<CR><LF>"},
        // 0x37 + 0xC8 + 0x03 = 0x102: only the low byte counts; >= 0x80 adds as unsigned.
        {{7, "\xC8", true}, "<STX>7\xC8<ETX>02<CR><LF>"},
        {{9, "x", true}, "<STX>1x<ETX>AC<CR><LF>"},  // numbers are taken modulo 8
    };
    for (const Row& r : rows)
        EXPECT_EQ(EscapeCtrlChars(r.frame.Bytes()), r.bytes);
    EXPECT_EQ(CAstmFrame::Checksum(""), "00");
    EXPECT_EQ(CAstmFrame::Checksum("\xFF\xFA"), "F9");
}

TEST(AstmFrame, CutMakesFramesOfAtMost240NumberedOnModulo8) {
    struct Row {
        size_t length;
        int first;
        Strings frames;  // number, length, terminator
    } rows[] = {
        {0, 1, {}},
        {1, 1, {"1 1 ETX"}},
        {240, 3, {"3 240 ETX"}},
        {241, 1, {"1 240 ETB", "2 1 ETX"}},
        {600, 7, {"7 240 ETB", "0 240 ETB", "1 120 ETX"}},
    };
    for (const Row& r : rows) {
        std::string text;
        for (size_t i = 0; i < r.length; ++i)
            text += char('A' + i % 26);
        Strings got;
        std::string joined;
        for (const CAstmFrame& f : CAstmFrame::Cut(text, r.first)) {
            got.push_back(std::to_string(f.number) + " " + std::to_string(f.text.size()) +
                          (f.final ? " ETX" : " ETB"));
            joined += f.text;
        }
        EXPECT_EQ(got, r.frames) << r.length;
        EXPECT_EQ(joined, text);
    }
}

TEST(AstmFrameParser, CutFramesComeBackWhole) {
    const std::string text = std::string(500, 'r') + "|\xE9^&\r";
    std::string wire;
    for (const CAstmFrame& f : CAstmFrame::Cut(text, 6))
        wire += f.Bytes();
    CAstmFrameParser parser;
    std::vector<AstmEvent> events;
    parser.Feed(wire, events);
    ASSERT_EQ(events.size(), 3u);
    std::string joined;
    for (size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].Number(), (6 + int(i)) % 8);
        EXPECT_TRUE(events[i].good) << Describe(events[i]);
        EXPECT_EQ(events[i].final, i == 2);
        joined += events[i].text;
    }
    EXPECT_EQ(joined, text);
}

// A stream with every kind of event; it must give the same events however
// it is cut into pieces.
const std::string kStream = std::string("xy\x05") + CAstmFrame{1, "P|1", false}.Bytes() + "\n" +
                            CAstmFrame{2, "L|1\r", true}.Bytes() + "\x06\x15" +
                            "\x02"
                            "3abc\x03"
                            "00\r\n\x04";
const Strings kStreamEvents = {
    "garbage 2 'xy' ignored between frames",
    "ENQ",
    "frame 1 'P|1' ETB good",
    "garbage 1 '<LF>' ignored between frames",
    "frame 2 'L|1<CR>' ETX good",
    "ACK",
    "NAK",
    "frame 3 'abc' ETX 00/5C ",
    "EOT",
};

TEST(AstmFrameParser, SameEventsAtEverySplitPositionAndByteByByte) {
    ASSERT_EQ(FeedInPieces({kStream}), kStreamEvents);
    const std::string_view all = kStream;
    for (size_t cut = 1; cut < all.size(); ++cut)
        ASSERT_EQ(FeedInPieces({all.substr(0, cut), all.substr(cut)}), kStreamEvents) << cut;
    std::vector<std::string_view> bytes;
    for (size_t i = 0; i < all.size(); ++i)
        bytes.push_back(all.substr(i, 1));
    EXPECT_EQ(FeedInPieces(bytes), kStreamEvents);
}

TEST(AstmFrameParser, BrokenFramesAreReportedAndTheStreamGoesOn) {
    struct Row {
        const char* name;
        std::string bytes;
        Strings events;
    } rows[] = {
        {"cut by ENQ",
         "\x02"
         "1ab\x05",
         {"garbage 4 '<STX>1ab' frame cut short by <ENQ>", "ENQ"}},
        {"new STX",
         "\x02"
         "1a\x02"
         "1abc\x03"
         "5A\r\n",
         {"garbage 3 '<STX>1a' frame cut short by <STX>", "frame 1 'abc' ETX good"}},
        {"no CR LF",
         "\x02"
         "1abc\x03"
         "5A\x04",
         {"frame 1 'abc' ETX 5A/5A frame cut short after its end mark", "EOT"}},
        {"LF CR",
         "\x02"
         "1abc\x03"
         "5A\n\r",
         {"frame 1 'abc' ETX 5A/5A checksum not followed by <CR><LF>"}},
        {"lower case",
         "\x02"
         "1abc\x03"
         "5a\r\n",
         {"frame 1 'abc' ETX good"}},
        {"no number",
         "\x02\x03"
         "03\r\n",
         {"frame <NUL> '' ETX good"}},
        {"bad number",
         "\x02"
         "9\x03"
         "3C\r\n",
         {"frame 9 '' ETX good"}},
        {"open at flush",
         "\x02"
         "1ab",
         {"garbage 4 '<STX>1ab' frame incomplete when the line went quiet"}},
        {"long garbage",
         std::string(40, 'z'),
         {"garbage 40 'zzzzzzzzzzzzzzzz' ignored between frames"}},
        {"endless frame",
         "\x02" + std::string(5000, 'q') +
             "\x03"
             "00\r\n",
         {"garbage 4098 '<STX>qqqqqqqqqqqqqqq' frame without end after 4096 bytes",
          "garbage 908 'qqqqqqqqqqqqqqqq' ignored between frames"}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(FeedInPieces({r.bytes}, true), r.events) << r.name;
}

}  // namespace
}  // namespace qelvor::astm
