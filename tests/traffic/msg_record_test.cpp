#include "traffic/msg_record.h"

#include <malloc.h>

#include <string>

#include <gtest/gtest.h>

namespace qelvor {
namespace {

SystemTime MakeTime(uint16_t year, uint16_t month, uint16_t dayOfWeek, uint16_t day, uint16_t hour,
                    uint16_t minute, uint16_t second, uint16_t milliseconds) {
    SystemTime t;
    t.wYear = year;
    t.wMonth = month;
    t.wDayOfWeek = dayOfWeek;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    t.wMilliseconds = milliseconds;
    return t;
}

TEST(MsgRecord, PackedTimeKeepsEveryFieldAtItsLimits) {
    const SystemTime cases[] = {
        MakeTime(2024, 1, 2, 2, 3, 4, 5, 6),
        MakeTime(65535, 12, 6, 31, 23, 59, 59, 999),
        MakeTime(1601, 1, 0, 1, 0, 0, 0, 0),
        MakeTime(0, 0, 0, 0, 0, 0, 0, 0),
    };
    for (const SystemTime& time : cases) {
        for (const char type : {'R', '\0', '\xFF'}) {
            const CMsgRecord record(type, "data", time);
            EXPECT_EQ(record.Time(), time) << time.wYear;
            EXPECT_EQ(record.Type(), type);
        }
    }
}

TEST(MsgRecord, KeepsTypeAndCountedBytes) {
    const std::string bytes("a\0b\0", 4);
    const CMsgRecord record('S', bytes, MakeTime(2024, 5, 1, 1, 0, 0, 0, 0));
    EXPECT_EQ(record.Type(), 'S');
    EXPECT_EQ(record.Data(), bytes);
    const CMsgRecord copy = record;
    EXPECT_EQ(copy.Data().size(), 4u);
    EXPECT_EQ(copy.Time(), record.Time());
}

TEST(MsgRecord, NewRecordCarriesTheClockTime) {
    const SystemTime before = SystemTime::Now();
    const CMsgRecord record('I', "now");
    const SystemTime stamped = record.Time();
    EXPECT_GE(stamped.wYear, before.wYear);
    EXPECT_GE(stamped.wMonth, 1);
    EXPECT_LE(stamped.wMonth, 12);
    EXPECT_GE(stamped.wDay, 1);
    EXPECT_LE(stamped.wDay, 31);
    EXPECT_LE(stamped.wDayOfWeek, 6);
    EXPECT_LE(stamped.wHour, 23);
    EXPECT_LE(stamped.wMinute, 59);
    EXPECT_LE(stamped.wSecond, 60);
    EXPECT_LE(stamped.wMilliseconds, 999);
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kPlainMalloc = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kPlainMalloc = false;
#else
constexpr bool kPlainMalloc = true;
#endif
#else
constexpr bool kPlainMalloc = true;
#endif

TEST(MsgRecord, StoreCostsAtMost64BytesPerRecordBeyondItsData) {
    if (!kPlainMalloc) GTEST_SKIP() << "a sanitizer's allocator does not report to mallinfo2";
    constexpr size_t kRecords = 100000;
    constexpr size_t kDataSize = 100;
    const size_t before = mallinfo2().uordblks;
    {
        MsgRecords store;
        const SystemTime time = SystemTime::Now();
        for (size_t i = 0; i < kRecords; ++i)
            store.emplace_back('R', std::string(kDataSize, 'x'), time);
        const size_t used = mallinfo2().uordblks - before;
        EXPECT_LE(used / kRecords, kDataSize + 64) << used / kRecords << " bytes a record";
    }
}

}  // namespace
}  // namespace qelvor
