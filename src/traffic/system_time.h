// A local date and time with milliseconds, in the fields of a SYSTEMTIME.
#pragma once

#include <cstdint>

namespace qelvor {

struct SystemTime {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;
    uint16_t wDayOfWeek = 0;
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;

    // The local time of this moment, from the real-time clock.
    static SystemTime Now();
    bool operator==(const SystemTime&) const = default;
};

}  // namespace qelvor
