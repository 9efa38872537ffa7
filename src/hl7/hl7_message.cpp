#include "hl7/hl7_message.h"

#include <algorithm>
#include <utility>

namespace qelvor::hl7 {

namespace {

// A message of more fields is refused: each field costs a string, so a
// stream of bare separators could otherwise take some thirty times its own
// size in memory. Real messages stay far below.
constexpr size_t kMaxFields = 1u << 18;

// The ends seen while cutting a text into lines, one bit each.
enum EndSeen : unsigned { kSeenCr = 1, kSeenLf = 2, kSeenCrLf = 4 };

SegmentEnds EndsOf(unsigned seen) {
    switch (seen) {
        case 0:  // one segment without an end
        case kSeenCr:
            return SegmentEnds::kCr;
        case kSeenLf:
            return SegmentEnds::kLf;
        case kSeenCrLf:
            return SegmentEnds::kCrLf;
        default:
            return SegmentEnds::kMixed;
    }
}

// The non-empty lines of text, cut at CR, LF or CR LF; seen collects the
// kinds of end met.
std::vector<std::string_view> Lines(std::string_view text, unsigned& seen) {
    std::vector<std::string_view> lines;
    size_t from = 0;
    while (from < text.size()) {
        const size_t end = text.find_first_of("\r\n", from);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(from));
            break;
        }
        if (end > from) lines.push_back(text.substr(from, end - from));
        const bool crLf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
        seen |= crLf ? kSeenCrLf : text[end] == '\r' ? kSeenCr : kSeenLf;
        from = end + (crLf ? 2 : 1);
    }
    return lines;
}

bool ValidName(std::string_view line) {
    if (line.size() < 3) return false;
    for (size_t i = 0; i < 3; ++i) {
        const char c = line[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    }
    return true;
}

// The start of a line for an error text, its unprintable bytes as '?'.
std::string Shown(std::string_view line) {
    std::string shown(line.substr(0, 12));
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '?';
    return shown;
}

// The piece n (from 0) of text cut at delimiter; empty when there are fewer.
std::string_view PieceAt(std::string_view text, char delimiter, size_t n) {
    size_t from = 0;
    for (; n > 0; --n) {
        const size_t at = text.find(delimiter, from);
        if (at == std::string_view::npos) return {};
        from = at + 1;
    }
    return text.substr(from, text.find(delimiter, from) - from);
}

// A segment cut into fields. MSH counts its field separator as field 1 and
// the encoding characters that follow it as field 2.
Hl7Segment SplitSegment(std::string_view line, char field) {
    Hl7Segment segment;
    segment.name = std::string(line.substr(0, 3));
    segment.fields.push_back(segment.name);
    std::string_view rest = line.substr(std::min<size_t>(line.size(), 4));
    if (segment.name == "MSH") segment.fields.emplace_back(1, field);
    if (line.size() <= 3) return segment;
    for (const std::string_view piece : SplitAt(rest, field))
        segment.fields.emplace_back(piece);
    return segment;
}

}  // namespace

std::string_view Hl7Segment::Field(size_t n) const {
    return n < fields.size() ? std::string_view(fields[n]) : std::string_view();
}

std::optional<CHl7Message> CHl7Message::Parse(std::string_view text, std::string& why) {
    unsigned seen = 0;
    const std::vector<std::string_view> lines = Lines(text, seen);
    CHl7Message message;
    if (lines.empty()) {
        why = "no MSH segment at the start: the message is empty";
        return std::nullopt;
    }
    if (!Hl7Encoding::Read(lines.front(), message.encoding_, why)) return std::nullopt;
    message.segments_.reserve(lines.size());
    size_t fields = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        fields +=
            2 + static_cast<size_t>(std::count(line.begin(), line.end(), message.encoding_.field));
        if (fields > kMaxFields) {
            why = "more than " + std::to_string(kMaxFields) + " fields";
            return std::nullopt;
        }
        if (!ValidName(line) || (line.size() > 3 && line[3] != message.encoding_.field)) {
            why = "segment " + std::to_string(i + 1) +
                  " has no name of three letters or digits: \"" + Shown(line) + "\"";
            return std::nullopt;
        }
        message.segments_.push_back(SplitSegment(line, message.encoding_.field));
    }
    message.ends_ = EndsOf(seen);
    return message;
}

const Hl7Segment* CHl7Message::Find(std::string_view name) const {
    for (const Hl7Segment& segment : segments_)
        if (segment.name == name) return &segment;
    return nullptr;
}

std::string CHl7Message::Value(std::string_view segment, size_t field, size_t component,
                               size_t subcomponent) const {
    const Hl7Segment* found = Find(segment);
    if (found == nullptr) return {};
    std::string_view value = found->Field(field);
    // The delimiters themselves are no text to cut or decode.
    if (found->name == "MSH" && (field == 1 || field == 2)) return std::string(value);
    value = PieceAt(value, encoding_.repetition, 0);
    if (component > 0) value = PieceAt(value, encoding_.component, component - 1);
    if (subcomponent > 0) value = PieceAt(value, encoding_.subcomponent, subcomponent - 1);
    return Unescape(value, encoding_);
}

std::string CHl7Message::MessageType() const {
    const std::string code = Value("MSH", 9, 1);
    const std::string trigger = Value("MSH", 9, 2);
    return trigger.empty() ? code : code + encoding_.component + trigger;
}

std::string CHl7Message::Sender() const {
    const std::string application = Value("MSH", 3, 1);
    const std::string facility = Value("MSH", 4, 1);
    return facility.empty() ? application : application + "/" + facility;
}

void CHl7Message::SetHeaderField(size_t n, std::string raw) {
    if (n < 3) return;  // the name and the delimiters belong to the encoding
    if (segments_.empty() || segments_.front().name != "MSH") {
        Hl7Segment header{"MSH", {"MSH", std::string(1, encoding_.field), encoding_.Characters()}};
        segments_.insert(segments_.begin(), std::move(header));
    }
    std::vector<std::string>& fields = segments_.front().fields;
    if (fields.size() <= n) fields.resize(n + 1);
    fields[n] = std::move(raw);
}

std::string CHl7Message::Text() const {
    std::string text;
    for (const Hl7Segment& segment : segments_) {
        text += segment.name;
        const bool header = segment.name == "MSH";
        for (size_t i = 1; i < segment.fields.size(); ++i) {
            // MSH-1 is the separator itself; MSH-2 follows it directly.
            if (header && i == 1) {
                text += encoding_.field;
                continue;
            }
            if (!(header && i == 2)) text += encoding_.field;
            text += segment.fields[i];
        }
        text += '\r';
    }
    return text;
}

}  // namespace qelvor::hl7
