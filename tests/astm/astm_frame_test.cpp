#include "astm/astm_frame.h"

#include <gtest/gtest.h>

#include "astm/astm_frame_parser.h"
#include "astm/astm_record.h"
#include "astm/astm_record_tree.h"
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

TEST(AstmFrame, BytesCarryNumberTerminatorAndUpperCaseSum) {
    // 0x37 + 0xC8 + 0x03 = 0x102: bytes add as unsigned, the low byte counts.
    EXPECT_EQ(EscapeCtrlChars(CAstmFrame{7, "\xC8", true}.Bytes()), "<STX>7\xC8<ETX>02<CR><LF>");
    EXPECT_EQ(EscapeCtrlChars(CAstmFrame{9, "abc", false}.Bytes()), "<STX>1abc<ETB>6E<CR><LF>");
    EXPECT_EQ(CAstmFrame::Checksum("\xFF\xFA"), "F9");
    EXPECT_EQ(CAstmFrame::Cut(std::string(240, 'x'), 1).size(), 1u);
    EXPECT_TRUE(CAstmFrame::Cut("", 1).empty());
}

// A 600 character record cut from frame number 7 on, between other events:
// the same events however the bytes are cut in two, and byte by byte.
TEST(AstmFrameParser, CutFramesComeBackAtEverySplitPosition) {
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
}

TEST(AstmFrameParser, BrokenFramesAreReportedAndTheStreamGoesOn) {
    // clang-format off
    const std::pair<std::string, Strings> rows[] = {
        {"<STX>1a<ENQ><STX>1abc<ETX>5a<CR><LF>",  // lower-case digits are good
         {"3 '<STX>1a' frame cut short by <ENQ>", "ENQ", "1abc ETX good"}},
        {"<STX>1abc<ETX>5A<EOT><STX>1abc<ETX>5A<LF><CR><STX>1a",
         {"1abc ETX 5A/5A frame cut short after its end mark", "EOT",
          "1abc ETX 5A/5A checksum not followed by <CR><LF>",
          "3 '<STX>1a' frame incomplete when the line went quiet"}},
        {"<STX>" + std::string(5000, 'q') + "<ETX>00<CR><LF>",
         {"4098 '<STX>qqqqqqqqqqqqqqq' frame without end after 4096 bytes",
          "908 'qqqqqqqqqqqqqqqq' ignored between frames"}},
    };
    // clang-format on
    for (const auto& [notation, events] : rows)
        EXPECT_EQ(Parse({UnescapeCtrlChars(notation)}), events) << notation.substr(0, 30);
}

TEST(AstmRecord, HeaderDeclaresTheDelimitersOrSaysWhyAndChangesNothing) {
    const std::pair<const char*, const char*> rows[] = {
        {"H*~:%*", ""},
        {"P|1", "not a header record"},
        {"H|\\^", "header declares fewer than four delimiters"},
        {"H|a^&|", "header delimiters \"|a^&\" are not four distinct marks"},
        {"H|\\^&x", "header delimiter definition is not followed by the field delimiter"},
    };
    for (const auto& [header, why] : rows) {
        AstmDelimiters d{'!', '@', '#', '$'};
        std::string told;
        EXPECT_EQ(CAstmRecord::ReadDelimiters(header, d, told), *why == '\0') << header;
        EXPECT_EQ(std::string({d.field, d.repeat, d.component, d.escape}), *why ? "!@#$" : "*~:%");
        EXPECT_EQ(told, why);
    }
}

TEST(AstmRecord, MessageRecordsSplitWithTheirHeadersDelimiters) {
    AstmDelimiters d;
    std::string why;
    const CAstmRecord header = CAstmRecord::SplitInMessage("H!@#$!!!LAB#1.0", d, why);
    EXPECT_EQ(header.FieldAt(2), CAstmRecord::Field{{"@#$"}});  // kept unsplit
    EXPECT_EQ(header.FieldAt(5), (CAstmRecord::Field{{"LAB", "1.0"}}));
    const CAstmRecord r =
        CAstmRecord::SplitInMessage("R!1!^^^GLU#x!5.5@6.1!a$F$b$S$c$R$d$E$$X0D$", d, why);
    EXPECT_EQ(std::string(1, r.Type()) + std::to_string(r.FieldCount()), "R5");
    EXPECT_EQ(r.FieldAt(3), (CAstmRecord::Field{{"^^^GLU", "x"}}));
    EXPECT_EQ(r.FieldAt(4), (CAstmRecord::Field{{"5.5"}, {"6.1"}}));
    // The four delimiter escapes become the marks; any other stays as it is.
    EXPECT_EQ(r.Text(5), "a!b#c@d$$X0D$");
    EXPECT_EQ(r.Text(3, 0, 2) + r.Text(6) + r.Text(0), "");
    EXPECT_EQ(CAstmRecord::SplitInMessage("", d, why).Type(), '\0');
}

// The tree as one line a node, indented by depth: "kind number value".
void Render(const AstmTreeNode& node, int depth, std::string& out) {
    const char kinds[] = {'T', 'F', 'R', 'C'};
    out += std::string(static_cast<size_t>(depth) * 2, ' ') + kinds[node.kind] + ' ';
    out += node.kind == AstmTreeNode::kRecord ? std::string(1, static_cast<char>(node.number))
                                              : std::to_string(node.number) + ' ' + node.value;
    out += '\n';
    for (const AstmTreeNode& child : node.children)
        Render(child, depth + 1, out);
}

std::string Rendered(std::string_view record, const AstmDelimiters& delimiters) {
    std::string out;
    Render(AstmRecordTree(record, delimiters), 0, out);
    return out;
}

TEST(AstmRecordTree, FieldsRepeatsAndComponentsUnderTheRecord) {
    EXPECT_EQ(Rendered("O|1|s1^^^x|a\\b^c||x&F&y", {}),
              "T O\n"
              "  F 2 1\n"
              "  F 3 s1^^^x\n"
              "    C 1 s1\n    C 2 \n    C 3 \n    C 4 x\n"
              "  F 4 a\\b^c\n"
              "    R 1 a\n"
              "    R 2 b^c\n      C 1 b\n      C 2 c\n"
              "  F 5 \n"
              "  F 6 x|y\n");
}

TEST(AstmRecordTree, AHeaderUsesTheDelimitersItDeclares) {
    // The header's own marks win over those passed in, and its delimiter
    // definition stays one field.
    EXPECT_EQ(Rendered("H#~@$#id@2", {}), "T H\n  F 2 ~@$\n  F 3 id@2\n    C 1 id\n    C 2 2\n");
    // Any other record is split with the delimiters given (the last header's).
    EXPECT_EQ(Rendered("R#1#a@b|c", {'#', '~', '@', '$'}),
              "T R\n  F 2 1\n  F 3 a@b|c\n    C 1 a\n    C 2 b|c\n");
    EXPECT_EQ(Rendered("", {}), "T ?\n");
}

TEST(AstmRecordTree, RecordTextOfFramesAndReassembledRecords) {
    const std::string final = CAstmFrame{3, "P|1\r", true}.Bytes();
    const std::string middle = CAstmFrame{4, "O|1|part", false}.Bytes();
    const std::optional<std::string> none;
    // clang-format off
    const struct { char type; std::string data; std::optional<std::string> text; } cases[] = {
        {'R', final, "P|1"}, {'R', middle, "O|1|part"}, {'I', "record: L|1|N", "L|1|N"},
        {'I', "frame 3: checksum 00, expected FF: NAK sent", none}, {'S', final, none},
        {'R', "\x05", none}, {'R', "\x02" "1H|no end", none}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(AstmRecordTextOf(c.type, c.data), c.text) << c.data;
}

}  // namespace
}  // namespace qelvor::astm
