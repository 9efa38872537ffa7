#include "traffic/traffic_stats.h"

#include <map>
#include <string>

#include <gtest/gtest.h>

namespace qelvor {
namespace {

using std::chrono::seconds;

// A second's bytes as "in/out", so that a whole series compares at once.
std::string Text(const CTrafficStats::Second& s) {
    return std::to_string(s.in) + "/" + std::to_string(s.out);
}

TEST(TrafficStats, TheLast60SecondsRollAndQuietSecondsAreZero) {
    CTrafficStats stats;
    const CTrafficStats::Clock::time_point t0{seconds(1000)};
    stats.OnRecord('R', std::string(10, 'r'), t0);
    stats.OnRecord('S', "abc", t0 + std::chrono::milliseconds(999));
    stats.OnRecord('R', std::string(7, 'r'), t0 + seconds(1));
    stats.OnRecord('I', "not traffic", t0 + seconds(1));
    // The series at a time, oldest first, with only the seconds named set.
    auto expectSeries = [&](int at, std::map<int, std::string> set) {
        const CTrafficStats::Series series = stats.LastSeconds(t0 + seconds(at));
        for (int i = 0; i < CTrafficStats::kSeconds; ++i)
            EXPECT_EQ(Text(series[size_t(i)]), set.count(i) ? set[i] : "0/0") << at << ":" << i;
    };
    expectSeries(1, {{58, "10/3"}, {59, "7/0"}});
    EXPECT_EQ(Text(stats.Rate(t0 + seconds(2))), "7/0");  // the last whole second
    EXPECT_EQ(Text(stats.Rate(t0 + seconds(3))), "0/0");
    expectSeries(60, {{0, "7/0"}});  // the first second has left the window
    // After a pause the seconds passed over are empty, the recent ones kept.
    stats.OnRecord('S', "xy", t0 + seconds(30));
    expectSeries(30, {{29, "10/3"}, {30, "7/0"}, {59, "0/2"}});
    stats.OnRecord('R', "z", t0 + seconds(500));  // a long pause empties the ring
    expectSeries(500, {{59, "1/0"}});
    // A tap's sides: A's bytes come in, B's go out, each also counted alone.
    stats.OnRecord('A', "\x05", t0 + seconds(501));
    stats.OnRecord('B', "\x15\x06", t0 + seconds(501));
    expectSeries(502, {{57, "1/0"}, {58, "1/2"}});
    const CTrafficStats::Totals& totals = stats.Counts();
    EXPECT_EQ(std::make_tuple(totals.bytesFromA, totals.bytesFromB, totals.enqReceived),
              std::make_tuple(1u, 2u, 1u));
}

}  // namespace
}  // namespace qelvor
