// A traffic store with sent, received and information records holding control
// bytes, CR LF, 0x00 and bytes above 0x7F, and its five layouts written out
// by hand.
#pragma once

#include <string>

#include "traffic/msg_record.h"
#include "traffic/system_time.h"

namespace qelvor::testing_support {

inline SystemTime At(int h, int m, int s, int ms) {
    SystemTime t;
    t.wYear = 2026;
    t.wMonth = 12;
    t.wDay = 6;
    t.wHour = static_cast<uint16_t>(h);
    t.wMinute = static_cast<uint16_t>(m);
    t.wSecond = static_cast<uint16_t>(s);
    t.wMilliseconds = static_cast<uint16_t>(ms);
    return t;
}

inline MsgRecords SampleStore() {
    using namespace std::string_literals;
    MsgRecords records;
    records.emplace_back('S',
                         "\x02"
                         "A\x03"s,
                         At(8, 15, 2, 45));
    records.emplace_back('R', "ok\r\n\0\xAB\xFF"s, At(8, 15, 3, 500));
    records.emplace_back('I', "Send data,but error!"s, At(23, 59, 59, 999));
    records.emplace_back('R', ""s, At(0, 0, 0, 0));
    records.emplace_back('R', "\x01\xAB"s, At(12, 0, 0, 7));
    return records;
}

inline std::string SampleFmt() {
    return "S:<STX>A<ETX>\r\n"
           "R:ok<CR><LF><NUL>\xAB\xFF\r\n"
           "I:Send data,but error!\r\n"
           "R:\r\n"
           "R:<SOH>\xAB\r\n";
}

inline std::string SampleFmtWithTime() {
    return "[08:15:02.045]S:<STX>A<ETX>\r\n"
           "[08:15:03.500]R:ok<CR><LF><NUL>\xAB\xFF\r\n"
           "[23:59:59.999]I:Send data,but error!\r\n"
           "[00:00:00.000]R:\r\n"
           "[12:00:00.007]R:<SOH>\xAB\r\n";
}

inline std::string SampleRaw() {
    using namespace std::string_literals;
    return "ok\r\n\0\xAB\xFF\x01\xAB"s;
}

inline std::string SampleHex() {
    return "6F 6B 0D 0A 00 AB FF \r\n"
           "\r\n"
           "01 AB \r\n";
}

// The Txt records after the header line.
inline std::string SampleTxtBody() {
    using namespace std::string_literals;
    return "S:\x02"
           "A\x03R:ok\r\r\n\0\xAB\xFFI:Send data,but error!R:R:\x01\xAB\r\n"s;
}

inline std::string SampleFmtBinary() {
    return "<STX>A<ETX>ok<CR><LF><NUL>\xAB\xFFSend data,but error!<SOH>\xAB";
}

}  // namespace qelvor::testing_support
