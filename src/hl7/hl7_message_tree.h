// One HL7 v2 message as a tree for the detail view: its segments, each
// segment's fields by position ("PID-5") and name, and under a field its
// repetitions, components and subcomponents when there is more than one.
// Pure functions: any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hl7/hl7_message.h"

namespace qelvor::hl7 {

// The view words its nodes in the user's language from these parts.
struct Hl7TreeNode {
    enum Kind { kMessage, kSegment, kField, kRepetition, kComponent, kSubcomponent };
    Kind kind = kMessage;
    // kMessage: the message type ("ORU^R01"); kSegment: the segment's id
    // ("PID"); kField: its position ("PID-5"); empty below a field.
    std::string label;
    // kSegment: the segment's place in the message; kField: the field's
    // position; kRepetition, kComponent, kSubcomponent: counted from 1.
    size_t number = 0;
    // The segment's or field's name in the v2.5.1 tables; empty for what
    // they do not define, and below a field.
    std::string name;
    // A piece without pieces under it: its text with the escapes decoded.
    // A piece cut further: its text as sent, delimiters and escapes in
    // place, so that its line reads like the message. kMessage: MSH-10.
    std::string value;
    std::vector<Hl7TreeNode> children;
};

// The message a traffic record carries in the HL7 mode: a frame sent ('S')
// or received ('R'), "<VT>message<FS><CR>" or the message alone. Empty when
// the record holds no text starting with an MSH segment.
std::optional<std::string> Hl7MessageTextOf(char type, std::string_view data);

Hl7TreeNode Hl7MessageTree(const CHl7Message& message);

}  // namespace qelvor::hl7
