#include "hl7/hl7_ack.h"

#include <vector>

namespace qelvor::hl7 {

namespace {

constexpr std::string_view kDefaultVersion = "2.5.1";
constexpr std::string_view kDefaultProcessingId = "P";

// Error codes of table 0357 used in the ERR segment.
constexpr std::string_view kSequenceError = "100^Segment sequence error^HL70357";
constexpr std::string_view kDataTypeError = "102^Data type error^HL70357";
constexpr std::string_view kInternalError = "207^Application internal error^HL70357";

// Only a negative answer explains itself in an ERR segment.
bool NeedsErr(const AckRequest& request) {
    const std::string& c = request.code;
    return !request.errorText.empty() && (c == "AE" || c == "AR" || c == "CE" || c == "CR");
}

// A code written with "^" as the component delimiter, in the ACK's own.
std::string WithComponent(std::string_view code, char component) {
    std::string written(code);
    for (char& c : written)
        if (c == '^') c = component;
    return written;
}

// One segment: its name and fields joined by the field separator.
std::string Segment(std::string_view name, const std::vector<std::string>& fields, char separator) {
    std::string text(name);
    for (const std::string& field : fields) {
        text += separator;
        text += field;
    }
    return text + '\r';
}

std::string ErrSegment(const AckRequest& request, std::string_view code,
                       const Hl7Encoding& encoding) {
    if (!NeedsErr(request)) return {};
    return Segment("ERR",
                   {"", "", WithComponent(code, encoding.component), "E", "", "", "",
                    Escape(request.errorText, encoding)},
                   encoding.field);
}

struct Header {
    std::string sendingApp, sendingFacility, receivingApp, receivingFacility;
    std::string trigger, processingId, version;
};

std::string HeaderAndMsa(const Header& h, const AckRequest& request, std::string_view acked,
                         const Hl7Encoding& encoding) {
    std::string type = "ACK";
    if (!h.trigger.empty()) type += encoding.component + h.trigger + encoding.component + "ACK";
    const std::string msh =
        "MSH" + std::string(1, encoding.field) + encoding.Characters() +
        Segment("",
                {h.sendingApp, h.sendingFacility, h.receivingApp, h.receivingFacility,
                 Escape(request.time, encoding), "", type, Escape(request.controlId, encoding),
                 h.processingId, h.version},
                encoding.field);
    return msh +
           Segment("MSA", {Escape(request.code, encoding), std::string(acked)}, encoding.field);
}

// The raw MSH-10 of bytes that start with an MSH segment, split with the
// field separator they declare; empty otherwise.
std::string_view RawControlId(std::string_view bytes) {
    const size_t start = bytes.find_first_not_of("\r\n");
    if (start == std::string_view::npos) return {};
    const std::string_view line = bytes.substr(start, bytes.find_first_of("\r\n", start) - start);
    if (line.size() < 4 || line.substr(0, 3) != "MSH") return {};
    // After "MSH" and the separator come MSH-2, MSH-3 ...: MSH-10 is the ninth.
    const std::vector<std::string_view> fields = SplitAt(line.substr(4), line[3]);
    return fields.size() > 8 ? fields[8] : std::string_view();
}

}  // namespace

std::string BuildAck(const CHl7Message& message, const AckRequest& request) {
    const Hl7Segment* msh = message.Find("MSH");
    const auto raw = [msh](size_t n) {
        return msh == nullptr ? std::string() : std::string(msh->Field(n));
    };
    const Hl7Encoding& encoding = message.Encoding();
    Header header{raw(5), raw(6), raw(3), raw(4), {}, raw(11), raw(12)};
    const std::string type = raw(9);
    const auto components = SplitAt(SplitAt(type, encoding.repetition)[0], encoding.component);
    if (components.size() > 1) header.trigger = components[1];
    if (header.processingId.empty()) header.processingId = kDefaultProcessingId;
    if (header.version.empty()) header.version = kDefaultVersion;
    return HeaderAndMsa(header, request, raw(10), encoding) +
           ErrSegment(request, kInternalError, encoding);
}

std::string BuildReject(std::string_view bytes, const AckRequest& request) {
    const Hl7Encoding encoding;
    const std::string_view id = RawControlId(bytes);
    const size_t start = bytes.find_first_not_of("\r\n");
    const bool hasMsh = start != std::string_view::npos && bytes.substr(start, 3) == "MSH";
    Header header;
    header.processingId = kDefaultProcessingId;
    header.version = kDefaultVersion;
    return HeaderAndMsa(header, request, Escape(id, encoding), encoding) +
           ErrSegment(request, hasMsh ? kDataTypeError : kSequenceError, encoding);
}

std::optional<AckReading> ReadAck(const CHl7Message& message) {
    if (message.Find("MSA") == nullptr) return std::nullopt;
    AckReading reading{message.Value("MSA", 1), message.Value("MSA", 2), message.Value("MSA", 3)};
    if (reading.text.empty()) reading.text = message.Value("ERR", 8);
    return reading;
}

}  // namespace qelvor::hl7
