#include "traffic/traffic_stats.h"

#include <string>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "ports/serial_port.h"
#include "support/pty_pair.h"
#include "traffic/msg_exchange.h"

namespace qelvor {
namespace {

using Clock = CTrafficStats::Clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

bool operator==(const CTrafficStats::Second& a, const CTrafficStats::Second& b) {
    return a.in == b.in && a.out == b.out;
}

// A known exchange through the store over a real pty: what the splitter cut
// and what was written is counted; information records and failed writes
// are not traffic.
TEST(TrafficStats, CountsWhatTheStoreRecordsInAKnownExchange) {
    testing_support::PtyDevice pty;
    StreamPort::CSerialPort port;
    port.SetComParam(0, 9600, pty.path.c_str());
    ASSERT_EQ(port.Open(), 1);
    CComSetting settings;  // the default split strings cut at CR LF, ENQ and NAK
    CMsgExchange exchange(settings);
    exchange.InitExchange(nullptr, nullptr, &port);
    EXPECT_EQ(exchange.SendBytes("hello", true), 5);
    const std::string received = "ABC\r\n\x05\x15xy";
    exchange.OnReceive(received.data(), static_cast<int>(received.size()));
    exchange.FlushPending();  // "xy" becomes a record of its own
    exchange.AddRecord('I', "a note");
    exchange.Stats().AddBadFrame();
    exchange.Stats().AddBadFrame(2);
    port.Close();
    EXPECT_LT(exchange.SendBytes("lost", true), 1);
    ASSERT_EQ(exchange.RecordCount(), 7u);  // S, 4 R, I, the failed write's I

    const CTrafficStats::Totals& t = exchange.Stats().Counts();
    EXPECT_EQ(t.bytesSent, 5u);
    EXPECT_EQ(t.recordsSent, 1u);
    EXPECT_EQ(t.bytesReceived, received.size());
    EXPECT_EQ(t.recordsReceived, 4u);
    EXPECT_EQ(t.enqReceived, 1u);
    EXPECT_EQ(t.nakReceived, 1u);
    EXPECT_EQ(t.badCheckFrames, 3u);
    const CTrafficStats::Second now = exchange.Stats().LastSeconds(Clock::now()).back();
    const CTrafficStats::Second before = exchange.Stats().LastSeconds(Clock::now())[58];
    // The exchange took well under a second, but may have crossed into the next.
    EXPECT_EQ(now.in + before.in, received.size());
    EXPECT_EQ(now.out + before.out, 5u);
    // Clearing the store keeps the statistics; Reset clears them.
    exchange.ClearAll();
    EXPECT_EQ(exchange.Stats().Counts().bytesSent, 5u);
    exchange.Stats().Reset();
    EXPECT_EQ(exchange.Stats().Counts().bytesReceived, 0u);
    EXPECT_EQ(exchange.Stats().Counts().badCheckFrames, 0u);
    EXPECT_TRUE(exchange.Stats().LastSeconds(Clock::now()).back() == CTrafficStats::Second{});
}

TEST(TrafficStats, TheLast60SecondsRollAndQuietSecondsAreZero) {
    CTrafficStats stats;
    const Clock::time_point t0{seconds(1000)};
    stats.OnRecord('R', std::string(10, 'r'), t0);
    stats.OnRecord('S', "abc", t0 + milliseconds(999));
    stats.OnRecord('R', std::string(7, 'r'), t0 + seconds(1));
    stats.OnRecord('I', "not traffic", t0 + seconds(1));

    CTrafficStats::Series series = stats.LastSeconds(t0 + seconds(1));
    EXPECT_TRUE(series[59] == (CTrafficStats::Second{7, 0}));
    EXPECT_TRUE(series[58] == (CTrafficStats::Second{10, 3}));
    EXPECT_TRUE(series[57] == CTrafficStats::Second{});
    EXPECT_TRUE(stats.Rate(t0 + seconds(1)) == (CTrafficStats::Second{10, 3}));
    EXPECT_TRUE(stats.Rate(t0 + seconds(2)) == (CTrafficStats::Second{7, 0}));
    EXPECT_TRUE(stats.Rate(t0 + seconds(3)) == CTrafficStats::Second{});  // a quiet second

    // 59 seconds on, the first second is gone and the second is the oldest.
    series = stats.LastSeconds(t0 + seconds(60));
    EXPECT_TRUE(series[0] == (CTrafficStats::Second{7, 0}));
    EXPECT_TRUE(stats.LastSeconds(t0 + seconds(61))[0] == CTrafficStats::Second{});
    // Traffic after a pause empties the slots of the seconds it passed over
    // and keeps the seconds still within the last 60.
    stats.OnRecord('S', "xy", t0 + seconds(30));
    series = stats.LastSeconds(t0 + seconds(30));
    for (size_t i = 0; i < 60; ++i) {
        const CTrafficStats::Second want = i == 29   ? CTrafficStats::Second{10, 3}
                                           : i == 30 ? CTrafficStats::Second{7, 0}
                                           : i == 59 ? CTrafficStats::Second{0, 2}
                                                     : CTrafficStats::Second{};
        EXPECT_TRUE(series[i] == want) << i;
    }
    // A long pause empties the ring.
    stats.OnRecord('R', "z", t0 + seconds(500));
    series = stats.LastSeconds(t0 + seconds(500));
    for (size_t i = 0; i < 59; ++i)
        EXPECT_TRUE(series[i] == CTrafficStats::Second{}) << i;
    EXPECT_TRUE(series[59] == (CTrafficStats::Second{1, 0}));
    EXPECT_EQ(stats.Counts().bytesReceived, 18u);
    EXPECT_EQ(stats.Counts().bytesSent, 5u);
}

}  // namespace
}  // namespace qelvor
