#include "traffic/msg_record.h"

#include <malloc.h>

#include <gtest/gtest.h>

namespace qelvor {
namespace {

// Every field of the packed time at its largest, and types above 0x7F and 0.
TEST(MsgRecord, PackedTimeAndTypeSurviveAtTheirLimits) {
    const SystemTime top{65535, 12, 6, 31, 23, 59, 59, 999};
    for (const char type : {'R', '\0', '\xFF'}) {
        const CMsgRecord record(type, std::string("a\0b", 3), top);
        EXPECT_TRUE(record.Time() == top && record.Type() == type) << int{type};
        EXPECT_EQ(record.Data(), std::string("a\0b", 3));
    }
}

TEST(MsgRecord, StoreCostsAtMost64BytesPerRecordBeyondItsData) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's allocator does not report to mallinfo2";
#endif
    constexpr size_t kRecords = 100000, kDataSize = 100;
    const size_t before = mallinfo2().uordblks;
    MsgRecords store;
    for (size_t i = 0; i < kRecords; ++i)
        store.emplace_back('R', std::string(kDataSize, 'x'), SystemTime{});
    const size_t used = mallinfo2().uordblks - before;
    EXPECT_LE(used / kRecords, kDataSize + 64) << used / kRecords << " bytes a record";
}

}  // namespace
}  // namespace qelvor
