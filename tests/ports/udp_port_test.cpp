// The UDP port on 127.0.0.1: its peers, failed opens, and the receive queue's cap.
#include "ports/udp_port.h"

#include <gtest/gtest.h>

#include "ports/port_test_probes.h"
#include "support/loopback.h"

namespace {

using loopback::Peer;
using namespace porttest;

class UdpPort : public ::testing::Test {
  protected:
    void Open(int local, int remote) {
        port_.SetNetParam(local, remote, kLoopback);
        ASSERT_EQ(port_.Open(), 1);
    }

    StreamPort::CUDPPort port_;
    Peer peer_ = Peer::Bound(SOCK_DGRAM);
    int local_ = loopback::FreePort(SOCK_DGRAM), from_ = 0;
    std::string remote_ = "UDP(Remote(127.0.0.1:" + std::to_string(peer_.Port());
    std::string localText_ = ",Local(" + std::to_string(local_) + ")";
};

// Answer mode: whole datagrams, in order, to the last sender; short reads take one in pieces.
TEST_F(UdpPort, AnswersTheLastSenderOrSendsToTheFixedRemote) {
    Open(local_, -1);
    EXPECT_EQ(port_.GetDescription(), "UDP(Remote(127.0.0.1:-1 )" + localText_);
    ASSERT_TRUE(WaitUntil([&] { return port_.GetState(0) == 2; }));
    EXPECT_EQ(port_.Write("early", 5), -1);  // nobody to answer yet
    ASSERT_TRUE(peer_.Send(std::string("\x05q\x00", 3), local_));
    EXPECT_EQ(Collect(port_), std::string("\x05q\x00", 3));
    EXPECT_EQ(port_.GetState(0), 3);
    EXPECT_EQ(port_.GetDescription(), remote_ + "*)" + localText_);
    const std::string largest(65507, 'L');  // the most one IPv4 datagram carries
    ASSERT_TRUE(peer_.Send(largest, local_));
    EXPECT_EQ(Collect(port_), largest);
    EXPECT_EQ(port_.WriteString(largest), 65507);
    EXPECT_EQ(peer_.ReceiveFrom(&from_), largest);
    EXPECT_EQ(from_, local_);
    for (const char* d : {"", "0123456789", "next"})
        ASSERT_TRUE(peer_.Send(d, local_));
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == 2; }));
    char buf[4];
    for (std::string piece : {"0123", "4567", "89", "next", ""}) {  // "": the empty remainder
        ASSERT_EQ(port_.Read(buf, 4), int(piece.size()));
        EXPECT_EQ(std::string(buf, piece.size()), piece);
    }
    EXPECT_EQ(port_.WaitForData(0), 0);
    // A fixed remote is sent to, with or without a local port.
    port_.Close();
    const std::set<int> threadsBefore = ThreadIds();
    Open(0, peer_.Port());
    EXPECT_EQ(port_.GetState(0), 1);  // receives only after the first Write
    EXPECT_EQ(ThreadsSince(threadsBefore), 0u);
    EXPECT_EQ(port_.GetDescription(), remote_ + " )");
    EXPECT_EQ(port_.WriteString("hello"), 5);
    EXPECT_EQ(peer_.ReceiveFrom(&from_), "hello");
    ASSERT_TRUE(peer_.Send("answer", from_));
    EXPECT_EQ(Collect(port_), "answer");
    port_.Close();
    port_.SetRemoteAddressText("localhost");
    Open(local_, peer_.Port());
    EXPECT_EQ(port_.Write("to peer", 7), 7);
    EXPECT_EQ(peer_.ReceiveFrom(&from_), "to peer");
    ASSERT_TRUE(peer_.Send("to port", local_));
    EXPECT_EQ(Collect(port_), "to port");
    EXPECT_EQ(port_.GetDescription(),
              "UDP(Remote(localhost:" + std::to_string(peer_.Port()) + " )" +
                  localText_);  // the configured remote, not the last sender
}

TEST_F(UdpPort, BadPortsFailToOpenAndCloseKeepsTheQueueAndNoThread) {
    // Local, remote, GetState after: no port; a bound local port; free only modulo 65536.
    const int cases[][3] = {
        {0, 0, 0}, {peer_.Port(), -1, -1}, {local_ + 65536, -1, 0}, {0, local_ + 65536, 0}};
    for (const auto& c : cases) {
        port_.SetNetParam(c[0], c[1], kLoopback);
        EXPECT_EQ(port_.Open(), 0) << c[0] << "," << c[1];
        EXPECT_EQ(port_.GetState(0), c[2]);
        EXPECT_EQ(port_.Close(), 1);
    }
    const std::set<int> threadsBefore = ThreadIds();
    Open(local_, -1);
    EXPECT_EQ(port_.Open(), 1);
    EXPECT_EQ(ThreadsSince(threadsBefore), 1u);
    ASSERT_TRUE(peer_.Send("one", local_) && peer_.Send("two", local_));
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == 2; }));
    for (int i = 0; i < 100; ++i) {  // Close must unblock the receive thread each time
        ASSERT_EQ(port_.Close(), 1);
        EXPECT_EQ(port_.Write("x", 1), -1);
        Open(local_, -1);
    }
    EXPECT_EQ(Collect(port_), "one");
    EXPECT_EQ(Collect(port_), "two");
    EXPECT_EQ(port_.Close(), 1);
    EXPECT_TRUE(NoThreadSince(threadsBefore));
}

// A flood the poll does not read: each datagram beyond the cap is dropped and counted, a run told
// at half the cap (or every second). Each is sent once the last is taken: the kernel drops none.
TEST_F(UdpPort, QueueStopsAtItsCapAndCountsEachRunOfDrops) {
    Open(local_, -1);
    const std::string datagram(65000, 'f');
    const size_t cost = datagram.size() + StreamPort::CUDPPort::kQueueItemCost;
    const int fit = int(StreamPort::CUDPPort::kQueueCap / cost);
    for (int i = 1; i <= fit; ++i) {
        ASSERT_TRUE(peer_.Send(datagram, local_));
        ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == i; })) << i;
    }
    size_t dropped = 0;
    for (size_t i = 1; i <= 3; ++i) {
        ASSERT_TRUE(peer_.Send(datagram, local_));
        ASSERT_TRUE(WaitUntil([&] { return (dropped += port_.TakeDrops(true).items) == i; }));
    }
    EXPECT_EQ(port_.WaitForData(0), fit);
    EXPECT_EQ(port_.QueuedBytes(), size_t(fit) * cost);
    // Two more dropped; a small datagram after them does not end their run, half the cap does.
    // (Asked as of before the run began, a run is never due for its age on a slow machine.)
    ASSERT_GT(StreamPort::CUDPPort::kQueueCap - size_t(fit) * cost, 3 + cost - datagram.size());
    const auto beforeRun = StreamPort::CDropRun::Clock::now();
    ASSERT_TRUE(peer_.Send(datagram, local_) && peer_.Send(datagram, local_));
    ASSERT_TRUE(peer_.Send("one", local_));
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == fit + 1; }));
    EXPECT_EQ(port_.TakeDrops(false, beforeRun).items, 0u) << "told while the queue is full";
    for (int i = 0; i <= fit / 2; ++i)
        ASSERT_EQ(Collect(port_), datagram);
    ASSERT_TRUE(peer_.Send("two", local_));
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == fit - fit / 2 + 1; }));
    const StreamPort::CDropRun::Totals run = port_.TakeDrops(false, beforeRun);
    EXPECT_EQ(std::make_tuple(run.items, run.bytes), std::make_tuple(2u, 2 * datagram.size()));
}

}  // namespace
