// The three ways record bytes are shown: raw, in notation, in hexadecimal.
#pragma once

#include <string>
#include <string_view>

namespace qelvor {

enum DisplayStyle { kStyleRaw = 0, kStyleFmt = 1, kStyleHex = 2 };

// Text of the traffic list's data column for a record of the given type
// ('S', 'R', 'I') in style showDataFmt (any value but 0 and 2 acts as 1).
std::string FormatForDisplay(char recordType, std::string_view bytes, int showDataFmt);
// The detail view's dump: 16 bytes a line, 48 characters of pairs, then the
// printable characters, then CR LF.
std::string FormatHexDump(std::string_view bytes);

}  // namespace qelvor
