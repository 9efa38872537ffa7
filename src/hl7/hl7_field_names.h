// The names of the HL7 v2.5.1 segments a laboratory link carries and of their
// fields, as the standard's segment tables call them, for the detail view.
// Constant tables: any thread.
#pragma once

#include <cstddef>
#include <string_view>

namespace qelvor::hl7 {

// "Patient Identification" for "PID"; empty for a segment not in the tables
// (a Z segment, one of another domain).
std::string_view Hl7SegmentName(std::string_view segment);

// The name of field n (counted from 1, MSH-1 being the field separator) of
// the segment: "PID", 5 gives "Patient Name". Empty for an unknown segment
// or a field beyond the segment's table, as later versions add fields.
std::string_view Hl7FieldName(std::string_view segment, size_t field);

}  // namespace qelvor::hl7
