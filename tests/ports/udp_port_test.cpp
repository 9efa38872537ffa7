#include "ports/udp_port.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ports/port_test_util.h"
#include "support/loopback.h"

namespace {

using loopback::Peer;
using porttest::WaitUntil;

class UdpPort : public ::testing::Test {
  protected:
    // Polls as the main window does, then reads the front datagram.
    std::string ReadOne() {
        if (!WaitUntil([&] { return port_.WaitForData(0) > 0; })) return "<nothing>";
        std::vector<char> buf(65536);
        return std::string(buf.data(), size_t(std::max(port_.Read(buf.data(), 65536), 0)));
    }
    void Open(int local, int remote) {
        port_.SetNetParam(local, remote, htonl(INADDR_LOOPBACK));
        ASSERT_EQ(port_.Open(), 1);
    }
    std::string Described() { return port_.GetDescription(); }

    StreamPort::CUDPPort port_;
    Peer peer_ = Peer::Bound(SOCK_DGRAM);
    int local_ = loopback::FreePort(SOCK_DGRAM), from_ = 0;
    std::string remote_ = "UDP(Remote(127.0.0.1:" + std::to_string(peer_.Port());
    std::string localText_ = ",Local(" + std::to_string(local_) + ")";
};

// Answer mode: whole datagrams of any size, in order, to the last sender;
// short reads take a datagram in pieces and an empty one ends nothing.
TEST_F(UdpPort, AnswersTheLastSenderWithWholeDatagramsInOrder) {
    Open(local_, -1);
    EXPECT_EQ(Described(), "UDP(Remote(127.0.0.1:-1 )" + localText_);
    ASSERT_TRUE(WaitUntil([&] { return port_.GetState(0) == 2; }));
    EXPECT_EQ(port_.Write("early", 5), -1);  // nobody to answer yet
    ASSERT_TRUE(peer_.Send(std::string("\x05q\x00", 3), local_));
    EXPECT_EQ(ReadOne(), std::string("\x05q\x00", 3));
    EXPECT_EQ(port_.GetState(0), 3);
    EXPECT_EQ(Described(), remote_ + "*)" + localText_);
    const std::string largest(65507, 'L');  // the most one IPv4 datagram carries
    ASSERT_TRUE(peer_.Send(largest, local_));
    EXPECT_EQ(ReadOne(), largest);
    EXPECT_EQ(port_.WriteString(largest), 65507);
    EXPECT_EQ(peer_.ReceiveFrom(&from_), largest);
    EXPECT_EQ(from_, local_);
    auto datagram = [](int i) { return std::to_string(i) + std::string(size_t(i % 1400), 'd'); };
    // In bursts the kernel's buffer holds even when a sanitizer slows the
    // receive thread down; what is under test is the queue's order.
    for (int burst = 0; burst < 2000; burst += 200) {
        for (int i = burst; i < burst + 200; ++i)
            ASSERT_TRUE(peer_.Send(datagram(i), local_));
        for (int i = burst; i < burst + 200; ++i)
            ASSERT_EQ(ReadOne(), datagram(i)) << i;
    }
    for (const char* d : {"", "0123456789", "next"})
        ASSERT_TRUE(peer_.Send(d, local_));
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == 2; }));
    char buf[4];
    for (std::string piece : {"0123", "4567", "89", "next", ""}) {  // "": the empty remainder
        ASSERT_EQ(port_.Read(buf, 4), int(piece.size()));
        EXPECT_EQ(std::string(buf, piece.size()), piece);
    }
    EXPECT_EQ(port_.WaitForData(0), 0);
}

TEST_F(UdpPort, FixedRemoteIsSentToWithOrWithoutALocalPort) {
    int threadsBefore = porttest::BaselineThreadCount();
    Open(0, peer_.Port());
    EXPECT_EQ(port_.GetState(0), 1);  // receives only after the first Write
    EXPECT_EQ(porttest::ThreadCount(), threadsBefore);
    EXPECT_EQ(Described(), remote_ + " )");
    EXPECT_EQ(port_.WriteString("hello"), 5);
    EXPECT_EQ(peer_.ReceiveFrom(&from_), "hello");
    ASSERT_TRUE(peer_.Send("answer", from_));
    EXPECT_EQ(ReadOne(), "answer");
    port_.Close();
    port_.SetRemoteAddressText("localhost");
    Open(local_, peer_.Port());
    EXPECT_EQ(port_.Write("to peer", 7), 7);
    EXPECT_EQ(peer_.ReceiveFrom(&from_), "to peer");
    ASSERT_TRUE(peer_.Send("to port", local_));
    EXPECT_EQ(ReadOne(), "to port");
    EXPECT_EQ(Described(), "UDP(Remote(localhost:" + std::to_string(peer_.Port()) + " )" +
                               localText_);  // the configured remote, not the last sender
}

TEST_F(UdpPort, BadPortsFailToOpenAndCloseKeepsTheQueueAndNoThread) {
    // Local, remote, GetState after: no port at all; a local port already
    // bound; numbers that only modulo 65536 would be free ports.
    const int cases[][3] = {
        {0, 0, 0}, {peer_.Port(), -1, -1}, {local_ + 65536, -1, 0}, {0, local_ + 65536, 0}};
    for (const auto& c : cases) {
        port_.SetNetParam(c[0], c[1], htonl(INADDR_LOOPBACK));
        EXPECT_EQ(port_.Open(), 0) << c[0] << "," << c[1];
        EXPECT_EQ(port_.GetState(0), c[2]);
        EXPECT_EQ(port_.Close(), 1);
    }
    int threadsBefore = porttest::BaselineThreadCount();
    Open(local_, -1);
    EXPECT_EQ(port_.Open(), 1);
    EXPECT_EQ(porttest::ThreadCount(), threadsBefore + 1);
    ASSERT_TRUE(peer_.Send("one", local_) && peer_.Send("two", local_));
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == 2; }));
    for (int i = 0; i < 100; ++i) {  // Close must unblock the receive thread each time
        ASSERT_EQ(port_.Close(), 1);
        EXPECT_EQ(port_.Write("x", 1), -1);
        Open(local_, -1);
    }
    EXPECT_EQ(ReadOne(), "one");
    EXPECT_EQ(ReadOne(), "two");
    EXPECT_EQ(port_.Close(), 1);
    EXPECT_EQ(porttest::ThreadCount(), threadsBefore);
}

}  // namespace
