// The fields of one received ASTM E1394 record as a tree for the detail view:
// the record type named at the root, each field numbered and named under it,
// and a field's repeats and components under the field when it has more than
// one.
// Pure functions: any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "astm/astm_record.h"

namespace qelvor::astm {

// The view words its nodes in the user's language from these parts.
struct AstmTreeNode {
    enum Kind { kRecord, kField, kRepeat, kComponent };
    Kind kind = kRecord;
    // kRecord: the record type character ('?' for an empty record); kField:
    // the field's position counted from 1; kRepeat, kComponent: from 1.
    size_t number = 0;
    // kRecord: the record type's name ("Patient"); kField: the field's name
    // in the record's layout ("Practice Assigned Patient ID"). Empty for
    // repeats, components and what the layouts do not define.
    std::string name;
    // The text as it was sent: a field's repeats and components joined with
    // their delimiters, so that a field's line reads like the record.
    std::string value;
    std::vector<AstmTreeNode> children;
};

// The record text a traffic record carries in the ASTM mode: the text of a
// received frame ('R', STX through ETX or ETB, without the record's closing
// CR), or of a reassembled record (an 'I' record "record: ..."). Empty when
// the record is neither.
std::optional<std::string> AstmRecordTextOf(char type, std::string_view data);

// The tree of one record. A header is split with the delimiters it declares
// itself; any other record with those given (the last header's).
AstmTreeNode AstmRecordTree(std::string_view record, const AstmDelimiters& delimiters);

}  // namespace qelvor::astm
