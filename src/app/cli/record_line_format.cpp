#include "app/cli/record_line_format.h"

#include <langinfo.h>
#include <unistd.h>

#include <cstring>

#include "data/ctrl_char_notation.h"
#include "log/log_writer.h"

namespace qelvor {

namespace {

bool IsTerminalControl(unsigned char byte) {
    return byte >= 0x7F && byte <= 0x9F;
}

// The length of the well-formed UTF-8 character at text[pos] whose code
// point is U+00A0 or above, with its code point; 0 when there is none there.
size_t PrintableUtf8Length(std::string_view text, size_t pos, uint32_t& code) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    const size_t length = lead < 0xC2    ? 0
                          : lead < 0xE0  ? 2
                          : lead < 0xF0  ? 3
                          : lead <= 0xF4 ? 4
                                         : 0;
    if (length == 0 || pos + length > text.size()) return 0;
    code = lead & (0x7Fu >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3Fu);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are no characters.
    const uint32_t lowest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < lowest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    return code >= 0xA0 ? length : 0;
}

// The embeddings, overrides and isolates that reorder the text after them:
// a peer could make a line read as something else than it holds.
bool IsBidiControl(uint32_t code) {
    return (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

}  // namespace

std::string EscapeForTerminal(std::string_view text, bool utf8) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        uint32_t code = 0;
        const size_t whole = utf8 ? PrintableUtf8Length(text, i, code) : 0;
        if (whole > 0 && IsBidiControl(code)) {
            out.append("<U+").append({kDigits[code >> 12], kDigits[(code >> 8) & 0xF],
                                      kDigits[(code >> 4) & 0xF], kDigits[code & 0xF], '>'});
        } else if (whole > 0) {
            out.append(text.substr(i, whole));
        }
        if (whole > 0) {
            i += whole;
            continue;
        }
        const auto byte = static_cast<unsigned char>(text[i++]);
        if (!IsTerminalControl(byte)) {
            out.push_back(static_cast<char>(byte));
        } else if (byte == 0x7F) {
            out.append("<DEL>");
        } else {
            out.append("<x").push_back(kDigits[byte >> 4]);
            out.push_back(kDigits[byte & 0x0F]);
            out.push_back('>');
        }
    }
    return out;
}

CRecordLineFormat LineFormatFor(int fd, bool hex, bool noTime) {
    CRecordLineFormat format;
    format.hex = hex;
    format.noTime = noTime;
    // Only a terminal obeys the bytes a peer sends; files and pipes get the
    // log lines as they are.
    format.terminal = isatty(fd) == 1;
    format.utf8 = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    return format;
}

std::string FormatRecordLine(const CMsgRecord& record, const CRecordLineFormat& format) {
    std::string line = CLogWriter::FormatLine(record);
    // The log line is "<hh:mm:ss.mmm>T:" and the data; its head has a fixed size.
    const size_t head = line.find('>') + 1;
    if (format.hex && record.Type() != 'I')
        line = line.substr(0, head + 2) + BytesToHexPairs(record.Data());
    if (format.noTime) line.erase(0, head);
    return format.terminal ? EscapeForTerminal(line, format.utf8) : line;
}

}  // namespace qelvor
