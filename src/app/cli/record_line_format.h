// How qelvor-cli prints one traffic record as a line: the log-line format
// ("<hh:mm:ss.mmm>R:data" with control bytes in notation), with the data as
// hexadecimal pairs or without the time stamp on request, and with the bytes
// a terminal would obey as controls escaped. Pure; any thread.
#pragma once

#include <string>
#include <string_view>

#include "traffic/msg_record.h"

namespace qelvor {

struct CRecordLineFormat {
    bool hex = false;     // 'S' and 'R' data as "02 41 03"; 'I' texts stay text
    bool noTime = false;  // no "<hh:mm:ss.mmm>" in front
    // Standard output is a terminal: bytes 0x7F to 0x9F are written as
    // "<DEL>" and "<x9B>", so that a peer cannot steer the user's terminal.
    bool terminal = false;
    // The terminal's character set is UTF-8: whole characters of U+00A0 and
    // above keep their bytes (Chinese text stays readable); only stray bytes
    // and the C1 controls U+0080 to U+009F are escaped, and so are the
    // bidirectional controls U+202A to U+202E and U+2066 to U+2069 ("<U+202E>"),
    // which would reorder what the line shows.
    bool utf8 = false;
};

// The format for printing to fd: hexadecimal and time as asked, and the
// escapes of a terminal when fd is one (in UTF-8 when the locale's is).
CRecordLineFormat LineFormatFor(int fd, bool hex, bool noTime);

// The line for record, without a line end.
std::string FormatRecordLine(const CMsgRecord& record, const CRecordLineFormat& format);

// Text with the bytes 0x7F to 0x9F (and, in UTF-8, the bidirectional
// controls) escaped for a terminal (see utf8 above).
std::string EscapeForTerminal(std::string_view text, bool utf8);

}  // namespace qelvor
