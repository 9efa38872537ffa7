// One HL7 v2 message split into segments and fields, as a receiver reads it
// and a sender completes it. Fields are kept as sent (escapes and the
// repetition, component and subcomponent delimiters in place); the value
// readers split and decode them. Not thread safe; copies are independent.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/text_split.h"
#include "hl7/hl7_encoding.h"

namespace qelvor::hl7 {

// How the segments of a received message were ended. HL7 wants CR; LF and
// CR LF are taken, and the caller warns of them.
enum class SegmentEnds { kCr, kLf, kCrLf, kMixed };

struct Hl7Segment {
    std::string name;  // "MSH", "PID"
    // fields[n] is field n as sent; fields[0] is the name. In MSH the
    // numbering is the standard's: fields[1] is the field separator itself
    // and fields[2] the encoding characters.
    std::vector<std::string> fields;

    // Field n as sent; empty when the segment has fewer fields.
    std::string_view Field(size_t n) const;
};

class CHl7Message {
  public:
    // Splits text into segments at CR, LF or CR LF (empty lines skipped)
    // and each segment into fields. Empty, with why, when the text does not
    // start with an MSH segment with valid encoding characters, or a
    // segment's name is not three letters or digits.
    static std::optional<CHl7Message> Parse(std::string_view text, std::string& why);

    const Hl7Encoding& Encoding() const { return encoding_; }
    const std::vector<Hl7Segment>& Segments() const { return segments_; }
    SegmentEnds Ends() const { return ends_; }
    // The first segment of that name; nullptr when there is none.
    const Hl7Segment* Find(std::string_view name) const;

    // A value of the first segment of that name, escapes decoded: field n
    // (its first repetition), component c and subcomponent s counted from 1;
    // 0 takes the whole field or component. Empty when absent.
    std::string Value(std::string_view segment, size_t field, size_t component = 0,
                      size_t subcomponent = 0) const;

    // MSH shortcuts. MessageType joins MSH-9's first two components with the
    // component delimiter ("ORU^R01"; "ACK" when it has one).
    std::string MessageType() const;
    std::string ControlId() const { return Value("MSH", 10); }      // MSH-10
    std::string ProcessingId() const { return Value("MSH", 11); }   // MSH-11
    std::string Version() const { return Value("MSH", 12); }        // MSH-12
    std::string AcceptAckType() const { return Value("MSH", 15); }  // MSH-15
    std::string AppAckType() const { return Value("MSH", 16); }     // MSH-16
    // "app/facility" of MSH-3 and MSH-4 (their first components), "app" when
    // the facility is empty, empty when both are.
    std::string Sender() const;

    // Sets field n of the MSH segment as sent (escapes and delimiters are
    // the caller's), adding empty fields up to it.
    void SetHeaderField(size_t n, std::string raw);
    // The message with every segment ended by CR, as it goes on the line.
    std::string Text() const;

  private:
    Hl7Encoding encoding_;
    std::vector<Hl7Segment> segments_;
    SegmentEnds ends_ = SegmentEnds::kCr;
};

}  // namespace qelvor::hl7
