#include "astm/astm_record_tree.h"

#include "astm/astm_field_names.h"
#include "astm/astm_frame.h"

namespace qelvor::astm {

namespace {

constexpr std::string_view kRecordNotePrefix = "record: ";

// "value", or the components joined again with the component delimiter when
// there are several, so that a field's line reads as it was sent.
std::string Joined(const std::vector<std::string>& parts, char delimiter) {
    std::string joined;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) joined += delimiter;
        joined += parts[i];
    }
    return joined;
}

AstmTreeNode RepeatNode(AstmTreeNode::Kind kind, size_t number,
                        const CAstmRecord::Components& components,
                        const AstmDelimiters& delimiters) {
    AstmTreeNode node{kind, number, {}, Joined(components, delimiters.component), {}};
    if (components.size() < 2) return node;
    for (size_t c = 0; c < components.size(); ++c) {
        node.children.push_back({AstmTreeNode::kComponent, c + 1, {}, components[c], {}});
    }
    return node;
}

AstmTreeNode FieldNode(char type, size_t position, const CAstmRecord::Field& field,
                       const AstmDelimiters& delimiters) {
    const std::string name(AstmFieldName(type, position));
    if (field.size() == 1) {
        AstmTreeNode node = RepeatNode(AstmTreeNode::kField, position, field[0], delimiters);
        node.name = name;
        return node;
    }
    std::vector<std::string> repeats;
    for (const auto& components : field)
        repeats.push_back(Joined(components, delimiters.component));
    AstmTreeNode node{AstmTreeNode::kField, position, name, Joined(repeats, delimiters.repeat), {}};
    for (size_t r = 0; r < field.size(); ++r) {
        node.children.push_back(RepeatNode(AstmTreeNode::kRepeat, r + 1, field[r], delimiters));
    }
    return node;
}

}  // namespace

std::optional<std::string> AstmRecordTextOf(char type, std::string_view data) {
    if (type == 'I') {
        if (data.substr(0, kRecordNotePrefix.size()) != kRecordNotePrefix) return std::nullopt;
        return std::string(data.substr(kRecordNotePrefix.size()));
    }
    // A frame: STX, its number, the text, then ETX or ETB.
    const bool received = type == 'R' || type == 'A' || type == 'B';
    if (!received || data.size() < 3 || data[0] != kStx) return std::nullopt;
    const size_t end = data.find_first_of(std::string_view("\x03\x17", 2), 2);
    if (end == std::string_view::npos) return std::nullopt;
    std::string_view text = data.substr(2, end - 2);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    return std::string(text);
}

AstmTreeNode AstmRecordTree(std::string_view record, const AstmDelimiters& delimiters) {
    AstmDelimiters used = delimiters;
    std::string why;
    if (!record.empty() && record[0] == 'H') CAstmRecord::ReadDelimiters(record, used, why);
    const CAstmRecord split = CAstmRecord::Split(record, used);
    const char type = split.Type();
    AstmTreeNode root{AstmTreeNode::kRecord,
                      static_cast<unsigned char>(type == 0 ? '?' : type),
                      std::string(AstmRecordName(type)),
                      std::string(record),
                      {}};
    for (size_t position = 2; position <= split.FieldCount(); ++position) {
        root.children.push_back(FieldNode(type, position, split.FieldAt(position), used));
    }
    return root;
}

}  // namespace qelvor::astm
