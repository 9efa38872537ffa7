#include "traffic/traffic_stats.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "config/com_setting.h"
#include "ports/serial_port.h"
#include "support/pty_pair.h"
#include "traffic/msg_exchange.h"

namespace qelvor {
namespace {

using std::chrono::seconds;

// A second's bytes as "in/out", so that a whole series compares at once.
std::string Text(const CTrafficStats::Second& s) {
    return std::to_string(s.in) + "/" + std::to_string(s.out);
}

// A known exchange over a real pty: what was written and what the splitter
// cut is traffic; information records and failed writes are not.
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
    exchange.Stats().AddBadFrame(2);
    port.Close();
    EXPECT_LT(exchange.SendBytes("lost", true), 1);
    exchange.ClearAll();  // the statistics outlive the store's records
    const CTrafficStats::Totals& t = exchange.Stats().Counts();
    EXPECT_EQ(std::vector<uint64_t>({t.bytesSent, t.recordsSent, t.bytesReceived, t.recordsReceived,
                                     t.enqReceived, t.nakReceived, t.badCheckFrames}),
              std::vector<uint64_t>({5, 1, received.size(), 4, 1, 1, 2}));
    exchange.Stats().Reset();
    EXPECT_EQ(t.bytesReceived + t.badCheckFrames, 0u);
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
}

}  // namespace
}  // namespace qelvor
