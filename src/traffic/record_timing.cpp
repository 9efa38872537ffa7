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
    const CMsgRecord record = records.Header(index);
    // Walks back to the previous record of the scope, reading each record's
    // type and time alone; for a rare type in a long run of the others the
    // walk ends after kGapWalkLimit records, so a drawn row never waits long.
    const size_t stop = index > kGapWalkLimit ? index - kGapWalkLimit : 0;
    for (size_t before = index; before-- > stop;) {
        const CMsgRecord previous = records.Header(before);
        if (scope == GapScope::kSameType && previous.Type() != record.Type()) continue;
        return StampMillis(record.Time()) - StampMillis(previous.Time());
    }
    return std::nullopt;
}

std::string FormatGap(std::optional<int64_t> millis) {
    return millis ? std::to_string(*millis) : std::string();
}

}  // namespace qelvor
