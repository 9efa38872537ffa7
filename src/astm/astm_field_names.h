// The names of the ASTM E1394 record types and of their fields, as the
// laboratory standard's record layouts call them, for the detail view.
// Constant tables: any thread.
#pragma once

#include <cstddef>
#include <string_view>

namespace qelvor::astm {

// "Header", "Patient", "Order" ... for the type character; empty for a type
// the standard does not define.
std::string_view AstmRecordName(char type);

// The name of field (counted from 1, field 1 being the record type) of a
// record of that type: 'P', 3 gives "Practice Assigned Patient ID". Empty
// for an unknown type or a field beyond the record's layout (the fields a
// manufacturer record defines itself, for one).
std::string_view AstmFieldName(char type, size_t field);

}  // namespace qelvor::astm
