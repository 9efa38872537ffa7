#include "ports/udp_port.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ports/port_test_util.h"
#include "support/loopback.h"

namespace {

using loopback::Peer;
using porttest::WaitUntil;
using StreamPort::CUDPPort;
const uint32_t kLoopback = htonl(INADDR_LOOPBACK);

class UdpPort : public ::testing::Test {
  protected:
    // Polls as the main window does, then reads the front datagram.
    std::string ReadOne() {
        if (!WaitUntil([&] { return port_.WaitForData(0) > 0; })) return "<nothing>";
        std::vector<char> buf(65536);
        return std::string(buf.data(), size_t(std::max(port_.Read(buf.data(), 65536), 0)));
    }
    std::string Description(const std::string& remote, const std::string& local = "") {
        return "UDP(Remote(127.0.0.1:" + remote + ")" +
               (local.empty() ? "" : ",Local(" + local + ")");
    }

    CUDPPort port_;
    Peer peer_ = Peer::Bound(SOCK_DGRAM);
    int local_ = loopback::FreePort(SOCK_DGRAM);
    std::string localText_ = std::to_string(local_);
};

TEST_F(UdpPort, AnswersTheLastSenderWithWholeDatagramsOfAnySize) {
    port_.SetNetParam(local_, -1, kLoopback);
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(port_.GetDescription(), Description("-1 ", localText_));
    ASSERT_TRUE(WaitUntil([&] { return port_.GetState(0) == 2; }));
    EXPECT_EQ(port_.Write("early", 5), -1);  // nobody to answer yet
    ASSERT_TRUE(peer_.SendTo(local_, std::string("\x05q\x00", 3)));
    EXPECT_EQ(ReadOne(), std::string("\x05q\x00", 3));
    EXPECT_EQ(port_.GetState(0), 3);
    EXPECT_EQ(port_.GetDescription(), Description(std::to_string(peer_.Port()) + "*", localText_));
    // The largest datagram IPv4 carries goes both ways in one piece.
    const std::string largest(65507, 'L');
    ASSERT_TRUE(peer_.SendTo(local_, largest));
    EXPECT_EQ(ReadOne(), largest);
    EXPECT_EQ(port_.WriteString(largest), 65507);
    int from = 0;
    EXPECT_EQ(peer_.Receive(65536, 5000, &from), largest);
    EXPECT_EQ(from, local_);
}

TEST_F(UdpPort, BurstsArriveInOrderAndShortReadsTakeDatagramsInPieces) {
    port_.SetNetParam(local_, -1, kLoopback);
    ASSERT_EQ(port_.Open(), 1);
    ASSERT_TRUE(WaitUntil([&] { return port_.GetState(0) == 2; }));
    auto datagram = [](int i) { return std::to_string(i) + std::string(size_t(i % 1400), 'd'); };
    for (int i = 0; i < 2000; ++i)
        ASSERT_TRUE(peer_.SendTo(local_, datagram(i)));
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(ReadOne(), datagram(i)) << i;
    for (const char* d : {"", "0123456789", "next"})  // an empty one must not end receiving
        ASSERT_TRUE(peer_.SendTo(local_, d));
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == 2; }));
    char buf[4];
    for (std::string piece : {"0123", "4567", "89", "next", ""}) {  // "": the empty remainder
        ASSERT_EQ(port_.Read(buf, 4), int(piece.size()));
        EXPECT_EQ(std::string(buf, piece.size()), piece);
    }
    EXPECT_EQ(port_.WaitForData(0), 0);
}

TEST_F(UdpPort, FixedRemoteIsSentToWithOrWithoutALocalPort) {
    const std::string remote = std::to_string(peer_.Port());
    port_.SetNetParam(0, peer_.Port(), kLoopback);
    int threadsBefore = porttest::BaselineThreadCount();
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(port_.GetState(0), 1);  // receives only after the first Write
    EXPECT_EQ(porttest::ThreadCount(), threadsBefore);
    EXPECT_EQ(port_.GetDescription(), Description(remote + " "));
    EXPECT_EQ(port_.WriteString("hello"), 5);
    int from = 0;
    EXPECT_EQ(peer_.Receive(65536, 5000, &from), "hello");
    ASSERT_TRUE(peer_.SendTo(from, "answer"));
    EXPECT_EQ(ReadOne(), "answer");
    port_.Close();

    port_.SetNetParam(local_, peer_.Port(), kLoopback);
    port_.SetRemoteAddressText("localhost");
    ASSERT_EQ(port_.Open(), 1);
    const std::string want = "UDP(Remote(localhost:" + remote + " ),Local(" + localText_ + ")";
    EXPECT_EQ(port_.Write("to peer", 7), 7);
    EXPECT_EQ(peer_.Receive(), "to peer");
    ASSERT_TRUE(peer_.SendTo(local_, "to port"));
    EXPECT_EQ(ReadOne(), "to port");
    EXPECT_EQ(port_.GetDescription(), want);  // the configured remote wins
}

TEST_F(UdpPort, BadPortsFailToOpenAndCloseKeepsTheQueueAndNoThread) {
    EXPECT_EQ(std::string(port_.GetDescription()), Description("9000 ", "9000"));
    // Neither port; one already bound; numbers that only modulo 65536 are free.
    // GetState: -1 after a failed bind, else 0 (closed).
    const int cases[][3] = {
        {0, 0, 0}, {peer_.Port(), -1, -1}, {local_ + 65536, -1, 0}, {0, local_ + 65536, 0}};
    for (const auto& c : cases) {
        port_.SetNetParam(c[0], c[1], kLoopback);
        EXPECT_EQ(port_.Open(), 0) << c[0] << "," << c[1];
        EXPECT_EQ(port_.GetState(0), c[2]);
        EXPECT_EQ(port_.Close(), 1);
    }
    port_.SetNetParam(local_, -1, kLoopback);
    int threadsBefore = porttest::BaselineThreadCount();
    ASSERT_EQ(port_.Open() + port_.Open(), 2);
    EXPECT_EQ(porttest::ThreadCount(), threadsBefore + 1);
    ASSERT_TRUE(peer_.SendTo(local_, "one") && peer_.SendTo(local_, "two"));
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == 2; }));
    for (int i = 0; i < 100; ++i) {  // Close must unblock the receive thread each time
        ASSERT_EQ(port_.Close(), 1);
        EXPECT_EQ(port_.Write("x", 1), -1);
        ASSERT_EQ(port_.Open(), 1);
    }
    EXPECT_EQ(ReadOne(), "one");
    EXPECT_EQ(ReadOne(), "two");
    EXPECT_EQ(port_.Close(), 1);
    EXPECT_EQ(porttest::ThreadCount(), threadsBefore);
    EXPECT_EQ(port_.GetState(0), 0);
}

}  // namespace
