#include "traffic/msg_record.h"

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

}  // namespace
}  // namespace qelvor
