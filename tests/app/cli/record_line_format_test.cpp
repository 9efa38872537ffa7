#include "app/cli/record_line_format.h"

#include <string>

#include <gmock/gmock.h>

namespace qelvor::test {
namespace {

// The log-line format; hex data, no time and the terminal's escaping on request.
TEST(CliOptions, RecordLinesInEachForm) {
    const SystemTime at{2026, 12, 1, 7, 9, 5, 3, 42};
    const CMsgRecord received('R', "\002A\177\233\302\233\346\226\207\342\202", at);
    const CMsgRecord info('I', "note \x85", at);
    // The default, hexadecimal and plain terminal forms: the runs below.
    const CRecordLineFormat hexNoTime{true, true}, utf8{false, true, true, true};
    const std::tuple<CRecordLineFormat, const CMsgRecord*, std::string> cases[] = {
        {hexNoTime, &info, "I:note \x85"},
        // UTF-8: whole characters stay; a C1 control and a cut character do not.
        {utf8, &received, "R:<STX>A<DEL><x9B>\xC2<x9B>\xE6\x96\x87\xE2<x82>"},
        {utf8, &info, "I:note <x85>"}};
    for (const auto& [format, record, expected] : cases)
        EXPECT_EQ(FormatRecordLine(*record, format), expected);
    // Overlong forms and surrogates are no characters.
    EXPECT_EQ(EscapeForTerminal("\xF0\x9F\x98\x80\xE0\x80\x80\xED\xA0\x80", true),
              "\xF0\x9F\x98\x80\xE0<x80><x80>\xED\xA0<x80>");
    // The bidirectional controls are named; their neighbours U+2029,
    // U+202F, U+2065 and U+206A stay as they are.
    const std::string bidi = "\u202A\u202E\u2066\u2069", near = "\u2029\u202F\u2065\u206A";
    EXPECT_EQ(EscapeForTerminal(near + bidi, true), near + "<U+202A><U+202E><U+2066><U+2069>");
    EXPECT_EQ(EscapeForTerminal("\u202E", false), "\xE2<x80>\xAE");
}

}  // namespace
}  // namespace qelvor::test
