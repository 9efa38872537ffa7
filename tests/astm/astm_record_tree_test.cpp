#include "astm/astm_record_tree.h"

#include <gtest/gtest.h>

#include "astm/astm_frame.h"

namespace qelvor::astm {
namespace {

// The tree as one line a node, indented by depth: "kind number value".
std::string Rendered(const AstmTreeNode& node, size_t depth = 0) {
    std::string out = std::string(depth * 2, ' ') + "TFRC"[node.kind] + ' ';
    out += node.kind == AstmTreeNode::kRecord ? std::string(1, static_cast<char>(node.number))
                                              : std::to_string(node.number) + ' ' + node.value;
    out += '\n';
    for (const AstmTreeNode& child : node.children)
        out += Rendered(child, depth + 1);
    return out;
}

TEST(AstmRecordTree, FieldsUnderTheRecordAndTheRecordTextOfFrames) {
    EXPECT_EQ(Rendered(AstmRecordTree("O|1|s1^^^x|a\\b^c||x&F&y", {})),
              "T O\n"
              "  F 2 1\n"
              "  F 3 s1^^^x\n"
              "    C 1 s1\n    C 2 \n    C 3 \n    C 4 x\n"
              "  F 4 a\\b^c\n"
              "    R 1 a\n"
              "    R 2 b^c\n      C 1 b\n      C 2 c\n"
              "  F 5 \n"
              "  F 6 x|y\n");
    // The header's own marks win over those passed in, and its delimiter
    // definition stays one field.
    EXPECT_EQ(Rendered(AstmRecordTree("H#~@$#id@2", {})),
              "T H\n  F 2 ~@$\n  F 3 id@2\n    C 1 id\n    C 2 2\n");
    // Any other record is split with the delimiters given (the last header's).
    EXPECT_EQ(Rendered(AstmRecordTree("R#1#a@b|c", {'#', '~', '@', '$'})),
              "T R\n  F 2 1\n  F 3 a@b|c\n    C 1 a\n    C 2 b|c\n");
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

}  // namespace
}  // namespace qelvor::astm
