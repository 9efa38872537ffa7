#include "hl7/hl7_message_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "hl7/hl7_field_names.h"

namespace qelvor::hl7 {
namespace {

// The tree one line a node, indented by depth: "kind label number [name] value".
// Fields left empty are left out to keep the expectations short; their
// numbering shows in the positions of the fields after them.
std::string Rendered(const Hl7TreeNode& node, size_t depth = 0) {
    if (node.kind == Hl7TreeNode::kField && node.value.empty() && node.children.empty()) return "";
    std::string out = std::string(depth * 2, ' ') + "MSFRCs"[node.kind] + ' ';
    if (!node.label.empty()) out += node.label + ' ';
    out += std::to_string(node.number);
    if (!node.name.empty()) out += " [" + node.name + ']';
    out += ' ' + node.value + '\n';
    for (const Hl7TreeNode& child : node.children)
        out += Rendered(child, depth + 1);
    return out;
}

// A result message: repetitions, subcomponents, every escape, an unknown
// segment and a field later versions added, framed as it was received.
TEST(Hl7MessageTree, SegmentsFieldsAndPiecesOfAResultMessage) {
    const std::string message =
        "MSH|^~\\&|LAB|ANALYZER|||20240102||ORU^R01|MSG123|P|2.5.1\r"
        "PID|1||P1^^^H&1.2&ISO~P2||Doe^Jane\r"
        "OBX|1|ST|GLU^Glucose||a\\F\\b\\S\\c\\T\\d\\R\\e\\E\\f\\X41\\" +
        std::string(19, '|') +
        "LAB2\r"
        "ZXY|x^y\\S\\z\r";
    const std::optional<std::string> text = Hl7MessageTextOf('R', "\x0b" + message + "\x1c\r");
    ASSERT_EQ(text, message);
    std::string why;
    const std::optional<CHl7Message> parsed = CHl7Message::Parse(*text, why);
    ASSERT_TRUE(parsed) << why;
    const Hl7TreeNode tree = Hl7MessageTree(*parsed);
    EXPECT_EQ(Rendered(tree),
              "M ORU^R01 0 MSG123\n"
              "  S MSH 1 [Message Header] \n"
              "    F MSH-1 1 [Field Separator] |\n"
              "    F MSH-2 2 [Encoding Characters] ^~\\&\n"
              "    F MSH-3 3 [Sending Application] LAB\n"
              "    F MSH-4 4 [Sending Facility] ANALYZER\n"
              "    F MSH-7 7 [Date/Time of Message] 20240102\n"
              "    F MSH-9 9 [Message Type] ORU^R01\n"
              "      C 1 ORU\n      C 2 R01\n"
              "    F MSH-10 10 [Message Control ID] MSG123\n"
              "    F MSH-11 11 [Processing ID] P\n"
              "    F MSH-12 12 [Version ID] 2.5.1\n"
              "  S PID 2 [Patient Identification] \n"
              "    F PID-1 1 [Set ID - PID] 1\n"
              "    F PID-3 3 [Patient Identifier List] P1^^^H&1.2&ISO~P2\n"
              "      R 1 P1^^^H&1.2&ISO\n"
              "        C 1 P1\n        C 2 \n        C 3 \n"
              "        C 4 H&1.2&ISO\n          s 1 H\n          s 2 1.2\n          s 3 ISO\n"
              "      R 2 P2\n"
              "    F PID-5 5 [Patient Name] Doe^Jane\n"
              "      C 1 Doe\n      C 2 Jane\n"
              "  S OBX 3 [Observation/Result] \n"
              "    F OBX-1 1 [Set ID - OBX] 1\n"
              "    F OBX-2 2 [Value Type] ST\n"
              "    F OBX-3 3 [Observation Identifier] GLU^Glucose\n"
              "      C 1 GLU\n      C 2 Glucose\n"
              "    F OBX-5 5 [Observation Value] a|b^c&d~e\\fA\n"
              "    F OBX-24 24 LAB2\n"
              "  S ZXY 4 \n"
              "    F ZXY-1 1 x^y\\S\\z\n"
              "      C 1 x\n      C 2 y^z\n");
    // Empty fields keep their places: OBX has all 24 up to the last one sent.
    ASSERT_EQ(tree.children.size(), 4u);
    EXPECT_EQ(tree.children[2].children.size(), 24u);
    EXPECT_EQ(tree.children[1].children.size(), 5u);
}

TEST(Hl7MessageTree, MessageTextOfTrafficRecords) {
    const std::string msh = "MSH|^~\\&|A\rPID|1\r";
    const std::optional<std::string> none;
    // clang-format off
    const struct { char type; std::string data; std::optional<std::string> text; } cases[] = {
        {'R', "\x0b" + msh + "\x1c\r", msh}, {'S', "\x0b" + msh + "\x1c\r", msh},
        {'R', msh, msh},                     // the part between the blocks alone
        {'R', "\x0b" + msh, msh},            // a frame cut short
        {'R', "\x0b" "MSH|^~\\&\x1c", "MSH|^~\\&"},
        {'I', "\x0b" + msh + "\x1c\r", none}, {'R', "\x0bPID|1\x1c\r", none},
        {'R', "\x0b\x1c\r", none},           {'R', "", none},
        {'S', "x\x0b" + msh + "\x1c\r", none}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(Hl7MessageTextOf(c.type, c.data), c.text) << c.data;
}

// The tables' names at their places, each table's last field the last one
// named: an entry left out or doubled shifts every name after it.
TEST(Hl7MessageTree, FieldNamesOfTheLabSegments) {
    // clang-format off
    const struct { std::string_view segment; size_t field; std::string_view name; } cases[] = {
        {"MSH", 21, "Message Profile Identifier"}, {"MSA", 6, "Error Condition"},
        {"ERR", 3, "HL7 Error Code"}, {"ERR", 12, "Help Desk Contact Point"},
        {"EVN", 7, "Event Facility"}, {"PID", 8, "Administrative Sex"},
        {"PID", 18, "Patient Account Number"}, {"PID", 39, "Tribal Citizenship"},
        {"PV1", 19, "Visit Number"}, {"PV1", 44, "Admit Date/Time"},
        {"PV1", 52, "Other Healthcare Provider"}, {"ORC", 12, "Ordering Provider"},
        {"ORC", 31, "Parent Universal Service Identifier"},
        {"OBR", 4, "Universal Service Identifier"}, {"OBR", 25, "Result Status"},
        {"OBR", 49, "Result Handling"}, {"OBX", 11, "Observation Result Status"},
        {"OBX", 19, "Date/Time of the Analysis"}, {"NTE", 4, "Comment Type"},
        {"SPM", 4, "Specimen Type"}, {"SPM", 29, "Specimen Child Role"},
        {"SAC", 3, "Container Identifier"}, {"SAC", 44, "Other Environmental Factors"},
        {"QPD", 3, "User Parameters"}, {"QAK", 2, "Query Response Status"},
        {"QAK", 6, "Hits Remaining"}, {"RCP", 7, "Segment Group Inclusion"}};
    // clang-format on
    // Each segment's highest field listed is its table's last.
    std::map<std::string_view, size_t> lasts;
    for (const auto& c : cases) {
        EXPECT_EQ(Hl7FieldName(c.segment, c.field), c.name) << c.segment << '-' << c.field;
        EXPECT_FALSE(Hl7SegmentName(c.segment).empty()) << c.segment;
        lasts[c.segment] = std::max(lasts[c.segment], c.field);
    }
    EXPECT_EQ(lasts.size(), 15u);
    for (const auto& [segment, last] : lasts)
        EXPECT_EQ(Hl7FieldName(segment, last + 1), "") << segment;
    EXPECT_EQ(Hl7FieldName("PID", 0), "");
    EXPECT_EQ(Hl7SegmentName("ZXY"), "");
}

}  // namespace
}  // namespace qelvor::hl7
