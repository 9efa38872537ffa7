#include "traffic/record_timing.h"

#include <chrono>

namespace qelvor {

int64_t StampMillis(const SystemTime& time) {
    using namespace std::chrono;
    const year_month_day date{year{time.wYear}, month{time.wMonth}, day{time.wDay}};
    const int64_t days = sys_days{date}.time_since_epoch().count();
    const int64_t seconds = days * 86400 + time.wHour * 3600 + time.wMinute * 60 + time.wSecond;
    return seconds * 1000 + time.wMilliseconds;
}

std::optional<int64_t> MillisSincePrevious(const CRecordStore& records, size_t index,
                                           GapScope scope) {
    if (index >= records.size()) return std::nullopt;
    const CMsgRecord& record = records[index];
    // Walks back to the previous record of the scope; for a rare type in a
    // long run of the others this is a long walk, but it reads nothing but
    // each record's type.
    for (size_t before = index; before-- > 0;) {
        const CMsgRecord& previous = records[before];
        if (scope == GapScope::kSameType && previous.Type() != record.Type()) continue;
        return StampMillis(record.Time()) - StampMillis(previous.Time());
    }
    return std::nullopt;
}

std::string FormatGap(std::optional<int64_t> millis) {
    return millis ? std::to_string(*millis) : std::string();
}

}  // namespace qelvor
