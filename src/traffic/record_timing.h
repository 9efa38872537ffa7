// The time between traffic records, from their time stamps: the "+ms" of the
// traffic list, the detail view and the CSV export. The store keeps local
// times to the millisecond, so a gap is a whole number of milliseconds.
// Pure functions; call them where the store may be read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "traffic/record_store.h"

namespace qelvor {

// The previous record of any type, or the previous one of the same type
// ('S' after 'S', 'R' after 'R', 'I' after 'I').
enum class GapScope { kAnyRecord, kSameType };

// How far back the previous record of the same type is looked for.
inline constexpr size_t kGapWalkLimit = 1000000;

// Milliseconds from the previous record in the scope to record index; none
// for the first one, nor when no record of the scope is within
// kGapWalkLimit records before it. A clock set back gives a negative gap,
// shown as it is.
std::optional<int64_t> MillisSincePrevious(const CRecordStore& records, size_t index,
                                           GapScope scope);
// The gap as the column shows it: the whole milliseconds ("5"), empty for
// none.
std::string FormatGap(std::optional<int64_t> millis);

// Milliseconds since 1970-01-01 00:00 of the same clock; the local time is
// taken as it stands, so only differences mean something.
int64_t StampMillis(const SystemTime& time);

}  // namespace qelvor
