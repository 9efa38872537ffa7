#include "traffic/msg_record.h"

#include <utility>

namespace qelvor {

namespace {

// Bit layout of the packed time, lowest bits first. Each field is wide
// enough for every value a real clock gives; larger values are cut to the
// field's width rather than spilling into the next field.
struct Field {
    int shift;
    int width;
};
constexpr Field kMilliseconds{0, 10};
constexpr Field kSecond{10, 6};
constexpr Field kMinute{16, 6};
constexpr Field kHour{22, 5};
constexpr Field kDay{27, 5};
constexpr Field kDayOfWeek{32, 3};
constexpr Field kMonth{35, 4};
constexpr Field kYear{39, 16};

uint64_t Put(Field f, uint16_t value) {
    const uint64_t mask = (uint64_t{1} << f.width) - 1;
    return (uint64_t{value} & mask) << f.shift;
}

uint16_t Get(Field f, uint64_t packed) {
    const uint64_t mask = (uint64_t{1} << f.width) - 1;
    return static_cast<uint16_t>((packed >> f.shift) & mask);
}

uint64_t Pack(const SystemTime& t) {
    return Put(kMilliseconds, t.wMilliseconds) | Put(kSecond, t.wSecond) | Put(kMinute, t.wMinute) |
           Put(kHour, t.wHour) | Put(kDay, t.wDay) | Put(kDayOfWeek, t.wDayOfWeek) |
           Put(kMonth, t.wMonth) | Put(kYear, t.wYear);
}

}  // namespace

CMsgRecord::CMsgRecord(char type, std::string data)
    : CMsgRecord(type, std::move(data), SystemTime::Now()) {}

CMsgRecord::CMsgRecord(char type, std::string data, const SystemTime& time)
    : data_(std::move(data)),
      packed_(Pack(time) | (uint64_t{static_cast<uint8_t>(type)} << kTypeShift)) {}

CMsgRecord CMsgRecord::FromPacked(uint64_t packed, std::string data) {
    CMsgRecord record;
    record.data_ = std::move(data);
    record.packed_ = packed;
    return record;
}

bool CMsgRecord::PlausiblePacked(uint64_t packed) {
    const auto type = static_cast<uint8_t>(packed >> kTypeShift);
    const bool unusedClear = ((packed >> 55) & 1) == 0;
    return type > 0x20 && type < 0x7f && unusedClear && Get(kMilliseconds, packed) < 1000 &&
           Get(kSecond, packed) <= 60 && Get(kMinute, packed) < 60 && Get(kHour, packed) < 24 &&
           Get(kDayOfWeek, packed) < 7 && Get(kMonth, packed) <= 12;
}

SystemTime CMsgRecord::Time() const {
    SystemTime t;
    t.wYear = Get(kYear, packed_);
    t.wMonth = Get(kMonth, packed_);
    t.wDayOfWeek = Get(kDayOfWeek, packed_);
    t.wDay = Get(kDay, packed_);
    t.wHour = Get(kHour, packed_);
    t.wMinute = Get(kMinute, packed_);
    t.wSecond = Get(kSecond, packed_);
    t.wMilliseconds = Get(kMilliseconds, packed_);
    return t;
}

}  // namespace qelvor
