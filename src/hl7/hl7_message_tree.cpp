#include "hl7/hl7_message_tree.h"

#include "hl7/hl7_field_names.h"

namespace qelvor::hl7 {

namespace {

constexpr char kStartBlock = '\x0b';
constexpr char kEndBlock = '\x1c';

// The delimiters that cut a field, from the outermost in.
enum Level { kRepetitions, kComponents, kSubcomponents, kLeaf };

char DelimiterOf(Level level, const Hl7Encoding& encoding) {
    switch (level) {
        case kRepetitions:
            return encoding.repetition;
        case kComponents:
            return encoding.component;
        default:
            return encoding.subcomponent;
    }
}

// The kind of the pieces that level cuts.
Hl7TreeNode::Kind PieceKind(Level level) {
    switch (level) {
        case kRepetitions:
            return Hl7TreeNode::kRepetition;
        case kComponents:
            return Hl7TreeNode::kComponent;
        default:
            return Hl7TreeNode::kSubcomponent;
    }
}

// Fills node from text cut at level and the levels below it. A level with a
// single piece adds no nodes of its own: its one piece is cut at the next.
void Cut(Hl7TreeNode& node, std::string_view text, Level level, const Hl7Encoding& encoding) {
    if (level == kLeaf) {
        node.value = Unescape(text, encoding);
        return;
    }
    const std::vector<std::string_view> pieces = SplitAt(text, DelimiterOf(level, encoding));
    const Level next = static_cast<Level>(level + 1);
    if (pieces.size() == 1) {
        Cut(node, text, next, encoding);
        return;
    }
    node.value = std::string(text);
    for (size_t i = 0; i < pieces.size(); ++i) {
        Hl7TreeNode piece{PieceKind(level), {}, i + 1, {}, {}, {}};
        Cut(piece, pieces[i], next, encoding);
        node.children.push_back(std::move(piece));
    }
}

Hl7TreeNode FieldNode(const Hl7Segment& segment, size_t position, const Hl7Encoding& encoding) {
    Hl7TreeNode node{Hl7TreeNode::kField,
                     segment.name + '-' + std::to_string(position),
                     position,
                     std::string(Hl7FieldName(segment.name, position)),
                     {},
                     {}};
    const std::string_view text = segment.Field(position);
    // The separator and the encoding characters are the delimiters
    // themselves: nothing to cut or decode.
    if (segment.name == "MSH" && position <= 2) {
        node.value = std::string(text);
        return node;
    }
    Cut(node, text, kRepetitions, encoding);
    return node;
}

Hl7TreeNode SegmentNode(const Hl7Segment& segment, size_t place, const Hl7Encoding& encoding) {
    Hl7TreeNode node{Hl7TreeNode::kSegment,
                     segment.name,
                     place,
                     std::string(Hl7SegmentName(segment.name)),
                     {},
                     {}};
    for (size_t position = 1; position < segment.fields.size(); ++position)
        node.children.push_back(FieldNode(segment, position, encoding));
    return node;
}

}  // namespace

std::optional<std::string> Hl7MessageTextOf(char type, std::string_view data) {
    if (type != 'R' && type != 'S' && type != 'A' && type != 'B') return std::nullopt;
    if (!data.empty() && data.front() == kStartBlock) data.remove_prefix(1);
    // A frame ends at its end block; a CR after it is the frame's, not a
    // segment's end.
    data = data.substr(0, data.find(kEndBlock));
    if (data.substr(0, 3) != "MSH") return std::nullopt;
    return std::string(data);
}

Hl7TreeNode Hl7MessageTree(const CHl7Message& message) {
    Hl7TreeNode root{Hl7TreeNode::kMessage, message.MessageType(), 0, {}, message.ControlId(), {}};
    const std::vector<Hl7Segment>& segments = message.Segments();
    for (size_t i = 0; i < segments.size(); ++i)
        root.children.push_back(SegmentNode(segments[i], i + 1, message.Encoding()));
    return root;
}

}  // namespace qelvor::hl7
