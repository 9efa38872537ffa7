#include "astm/astm_record_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "astm/astm_field_names.h"
#include "astm/astm_frame.h"

namespace qelvor::astm {
namespace {

// The tree as one line a node, indented by depth: "kind number [name] value".
std::string Rendered(const AstmTreeNode& node, size_t depth = 0) {
    std::string out = std::string(depth * 2, ' ') + "TFRC"[node.kind] + ' ';
    out += node.kind == AstmTreeNode::kRecord ? std::string(1, static_cast<char>(node.number))
                                              : std::to_string(node.number);
    if (!node.name.empty()) out += " [" + node.name + ']';
    if (node.kind != AstmTreeNode::kRecord) out += ' ' + node.value;
    out += '\n';
    for (const AstmTreeNode& child : node.children)
        out += Rendered(child, depth + 1);
    return out;
}

TEST(AstmRecordTree, FieldsUnderTheRecordAndTheRecordTextOfFrames) {
    EXPECT_EQ(Rendered(AstmRecordTree("O|1|s1^^^x|a\\b^c||x&F&y", {})),
              "T O [Order]\n"
              "  F 2 [Sequence Number] 1\n"
              "  F 3 [Specimen ID] s1^^^x\n"
              "    C 1 s1\n    C 2 \n    C 3 \n    C 4 x\n"
              "  F 4 [Instrument Specimen ID] a\\b^c\n"
              "    R 1 a\n"
              "    R 2 b^c\n      C 1 b\n      C 2 c\n"
              "  F 5 [Universal Test ID] \n"
              "  F 6 [Priority] x|y\n");
    // The header's own marks win over those passed in, and its delimiter
    // definition stays one field.
    EXPECT_EQ(Rendered(AstmRecordTree("H#~@$#id@2", {})),
              "T H [Header]\n  F 2 [Delimiter Definition] ~@$\n"
              "  F 3 [Message Control ID] id@2\n    C 1 id\n    C 2 2\n");
    // Any other record is split with the delimiters given (the last header's).
    EXPECT_EQ(Rendered(AstmRecordTree("R#1#a@b|c", {'#', '~', '@', '$'})),
              "T R [Result]\n  F 2 [Sequence Number] 1\n"
              "  F 3 [Universal Test ID] a@b|c\n    C 1 a\n    C 2 b|c\n");
    // Fields beyond a layout (a maker's own), and unknown types, go by number.
    EXPECT_EQ(Rendered(AstmRecordTree("L|1|N|x", {})),
              "T L [Terminator]\n  F 2 [Sequence Number] 1\n  F 3 [Termination Code] N\n"
              "  F 4 x\n");
    EXPECT_EQ(Rendered(AstmRecordTree("M|1|BX", {})),
              "T M [Manufacturer Information]\n  F 2 [Sequence Number] 1\n  F 3 BX\n");
    EXPECT_EQ(Rendered(AstmRecordTree("X|1", {})), "T X\n  F 2 1\n");
    EXPECT_EQ(Rendered(AstmRecordTree("", {})), "T ?\n");
    // The record text of frames and reassembled records.
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

// Each layout's names at their places, its last field the last one named:
// an entry left out or doubled shifts every name after it.
TEST(AstmRecordTree, FieldNamesAtTheirPositions) {
    // clang-format off
    const struct { char type; size_t field; std::string_view name; } cases[] = {
        {'H', 5, "Sender Name or ID"}, {'H', 14, "Date and Time of Message"},
        {'P', 3, "Practice Assigned Patient ID"}, {'P', 6, "Patient Name"},
        {'P', 26, "Location"}, {'P', 35, "Dosage Category"},
        {'O', 16, "Specimen Descriptor"}, {'O', 26, "Report Types"},
        {'O', 31, "Specimen Institution"}, {'R', 4, "Data or Measurement Value"},
        {'R', 9, "Result Status"}, {'R', 14, "Instrument Identification"},
        {'C', 4, "Comment Text"}, {'C', 5, "Comment Type"},
        {'Q', 5, "Universal Test ID"}, {'Q', 13, "Request Information Status Codes"},
        {'S', 13, "Result"}, {'S', 21, "Patient Race"},
        {'L', 3, "Termination Code"}, {'M', 2, "Sequence Number"}};
    // clang-format on
    // Each type's highest field listed is its layout's last.
    std::map<char, size_t> lasts;
    for (const auto& c : cases) {
        EXPECT_EQ(AstmFieldName(c.type, c.field), c.name) << c.type << '-' << c.field;
        lasts[c.type] = std::max(lasts[c.type], c.field);
    }
    EXPECT_EQ(lasts.size(), 9u);
    for (const auto& [type, last] : lasts)
        EXPECT_EQ(AstmFieldName(type, last + 1), "") << type;
    EXPECT_EQ(AstmFieldName('P', 0), "");
    EXPECT_EQ(AstmRecordName('Q'), "Request Information");
    EXPECT_EQ(AstmRecordName('h'), "");
}

}  // namespace
}  // namespace qelvor::astm
