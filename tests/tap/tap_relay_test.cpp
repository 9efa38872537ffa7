// The relay between two real serial ports on ptys: both directions delivered
// and cut into frames, a slow side held back without loss, injected bytes;
// and between the two ends of one loopback TCP connection: a tick's rounds.
#include "tap/tap_relay.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>
#include <utility>

#include <gtest/gtest.h>

#include "config/setting_keys.h"
#include "ports/serial_port.h"
#include "ports/tcp_port.h"
#include "support/loopback.h"
#include "support/pty_pair.h"

namespace qelvor::tap {
namespace {

using Strings = std::vector<std::string>;

struct FrameRecorder : ITapSink {
    void OnFrame(Side from, std::string frame) override {
        (from == Side::kA ? fromA : fromB).push_back(std::move(frame));
    }
    void OnInjected(Side to, std::string bytes) override {
        injected.push_back((to == Side::kA ? "A:" : "B:") + bytes);
    }
    Strings fromA, fromB, injected;
};

// An endpoint: a serial port on a pty's device; the test plays the far end
// on the pty's master.
struct Endpoint {
    Endpoint() {
        port.SetComParam(0, 115200, pty.path.c_str());
        port.SetFormat(8, 0, 0);
        opened = port.Open() == 1;
    }
    // Reads what reached the far end, while the relay polls, until count bytes came.
    std::string Receive(size_t count, const std::function<void()>& poll) {
        std::string got;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        char buffer[65536];
        while (got.size() < count && std::chrono::steady_clock::now() < limit) {
            poll();
            const ssize_t n = read(pty.master, buffer, sizeof buffer);
            if (n > 0) got.append(buffer, static_cast<size_t>(n));
        }
        return got;
    }

    testing_support::PtyDevice pty;
    StreamPort::CSerialPort port;
    bool opened = false;
};

class TapRelayTest : public testing::Test {
  protected:
    TapRelayTest() : relay(sink) {
        relay.SetSplits({"\r\n", "\x06", "\x15", "\x05", "\x04"});
        relay.SetPorts(&a.port, &b.port);
    }
    void Poll() { relay.Poll(); }
    bool PollUntil(const std::function<bool()>& done) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done() && std::chrono::steady_clock::now() < limit)
            relay.Poll();
        return done();
    }

    Endpoint a, b;
    FrameRecorder sink;
    CTapRelay relay;
};

// An analyzer on A sends a message with one bad checksum, the host on B
// answers each piece: every byte arrives both ways, each cut as a frame.
TEST_F(TapRelayTest, AnalyzerAndHostHearEachOtherAndEveryFrameIsRecordedOnce) {
    ASSERT_TRUE(a.opened && b.opened);
    const Strings analyzer = {"\x05",
                              "\x02"
                              "1H|\\^&\r\x03"
                              "00\r\n",
                              "\x02"
                              "1H|\\^&\r\x03"
                              "3C\r\n",
                              "\x04"};
    const Strings host = {"\x06", "\x15", "\x06"};
    for (size_t i = 0; i < analyzer.size(); ++i) {
        ASSERT_TRUE(a.pty.Feed(analyzer[i]));
        EXPECT_EQ(b.Receive(analyzer[i].size(), [&] { Poll(); }), analyzer[i]);
        if (i >= host.size()) continue;
        ASSERT_TRUE(b.pty.Feed(host[i]));
        EXPECT_EQ(a.Receive(1, [&] { Poll(); }), host[i]);
    }
    EXPECT_EQ(sink.fromA, analyzer);
    EXPECT_EQ(sink.fromB, host);
    EXPECT_EQ(relay.Relayed(Side::kA), 2u + 2 * analyzer[1].size());
}

// B stops reading: what A sends waits up to the cap and A is no longer read,
// while B's bytes still reach A; once B reads again every byte arrives in order.
TEST_F(TapRelayTest, SlowSideIsHeldBackWithoutLossAndWithoutStoppingTheOther) {
    ASSERT_TRUE(a.opened && b.opened);
    std::string flood(3 * CTapRelay::kQueueCap, '\0');
    for (size_t i = 0; i < flood.size(); ++i)
        flood[i] = static_cast<char>('a' + i % 23);
    std::thread feeder([&] { a.pty.Feed(flood); });
    ASSERT_TRUE(PollUntil([&] { return relay.Waiting(Side::kB) >= CTapRelay::kQueueCap; }));
    for (int i = 0; i < 50; ++i)
        Poll();
    EXPECT_LE(relay.Waiting(Side::kB), CTapRelay::kQueueCap);
    // Between ticks the relay waits for B's room: none while B does not read,
    // some as soon as it reads a piece.
    using std::chrono::steady_clock;
    EXPECT_FALSE(relay.WaitForRoom(steady_clock::now() + std::chrono::milliseconds(20)));
    char piece[65536];
    const ssize_t got = read(b.pty.master, piece, sizeof piece);
    ASSERT_GT(got, 0);
    EXPECT_TRUE(relay.WaitForRoom(steady_clock::now() + std::chrono::seconds(10)));
    const std::string taken(piece, static_cast<size_t>(got));
    ASSERT_TRUE(b.pty.Feed("ping"));
    EXPECT_EQ(a.Receive(4, [&] { Poll(); }), "ping");
    EXPECT_EQ(taken + b.Receive(flood.size() - taken.size(), [&] { Poll(); }), flood);
    feeder.join();
    EXPECT_EQ(std::make_pair(relay.Dropped(Side::kB), relay.Relayed(Side::kA)),
              std::make_pair(uint64_t{0}, uint64_t{flood.size()}));
}

// Injected bytes go out behind what the other side sent and are told once
// written; a side that is not open takes nothing, yet its peer is recorded.
TEST_F(TapRelayTest, InjectedBytesFollowRelayedOnesAndAMissingSideTakesNothing) {
    ASSERT_TRUE(a.opened && b.opened);
    ASSERT_TRUE(a.pty.Feed("one\r\n"));
    ASSERT_TRUE(PollUntil([&] { return sink.fromA.size() == 1; }));
    EXPECT_TRUE(relay.Inject(Side::kB, "two"));
    EXPECT_EQ(b.Receive(8, [&] { Poll(); }), "one\r\ntwo");
    EXPECT_EQ(sink.injected, Strings{"B:two"});
    relay.SetPorts(&a.port, nullptr);
    EXPECT_FALSE(relay.Inject(Side::kB, "lost"));
    ASSERT_TRUE(a.pty.Feed("three"));
    ASSERT_TRUE(PollUntil([&] { return relay.Relayed(Side::kA) == 10; }));
    relay.Flush(Side::kA);
    EXPECT_EQ(sink.fromA, (Strings{"one\r\n", "three"}));
    EXPECT_EQ(std::make_pair(relay.Waiting(Side::kB), relay.Dropped(Side::kB)),
              std::make_pair(size_t{0}, uint64_t{4 + 5}));
}

// A is a TCP server and B the client connected to it, so what the relay
// writes into B comes back out of A at once: bytes that arrive during a tick
// move on in it, many times over, yet the tick ends, and nothing changes.
TEST_F(TapRelayTest, BytesArrivingDuringATickMoveInItAndTheTickStillEnds) {
    const int port = loopback::FreePort(SOCK_STREAM);
    StreamPort::CTCPPort server, client;
    server.SetNetParam(kWorkModeTcpServer, port, inet_addr("127.0.0.1"));
    client.SetNetParam(kWorkModeTcpClient, port, inet_addr("127.0.0.1"));
    ASSERT_EQ(server.Open() + client.Open(), 2);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((client.PollConnect() != 1 || server.GetState(0) != StreamPort::CTCPPort::kConnected) &&
           std::chrono::steady_clock::now() < limit)
        std::this_thread::yield();
    ASSERT_EQ(server.GetState(0), StreamPort::CTCPPort::kConnected);
    relay.SetPorts(&server, &client);
    ASSERT_TRUE(relay.Inject(Side::kB, "ping\r\n"));
    constexpr int kTicks = 10;
    for (int tick = 0; tick < kTicks; ++tick)
        Poll();
    // One pass a tick would have relayed the 6 bytes kTicks times.
    EXPECT_GT(relay.Relayed(Side::kA), uint64_t{6 * kTicks});
    EXPECT_EQ(std::count(sink.fromA.begin(), sink.fromA.end(), "ping\r\n") * 6,
              static_cast<std::ptrdiff_t>(relay.Relayed(Side::kA)));
}

}  // namespace
}  // namespace qelvor::tap
