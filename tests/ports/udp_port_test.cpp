#include "ports/udp_port.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "ports/port_test_util.h"

namespace {

using porttest::Loopback;
using porttest::WaitUntil;
using StreamPort::CUDPPort;

// A test peer: a UDP socket on 127.0.0.1 with a port of its own.
class Peer {
  public:
    Peer() {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in self = Loopback(0);
        bind(fd_, reinterpret_cast<sockaddr*>(&self), sizeof self);
        timeval tv{porttest::kDeadline.count(), 0};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    ~Peer() { close(fd_); }
    int Port() const { return porttest::LocalPortOf(fd_); }
    void SendTo(int port, const std::string& bytes) {
        sockaddr_in to = Loopback(port);
        ASSERT_EQ(
            sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
            static_cast<ssize_t>(bytes.size()));
    }
    // The next datagram and the port it came from; ("", -1) after the deadline.
    std::pair<std::string, int> Receive() {
        char buf[65536];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) return {"", -1};
        return {std::string(buf, static_cast<size_t>(n)), ntohs(from.sin_port)};
    }

  private:
    int fd_;
};

std::string ReadOne(CUDPPort& port, int size = 65536) {
    if (!WaitUntil([&] { return port.WaitForData(0) > 0; })) return "<nothing>";
    std::vector<char> buf(static_cast<size_t>(size));
    int n = port.Read(buf.data(), size);
    return std::string(buf.data(), static_cast<size_t>(n > 0 ? n : 0));
}

class UdpPort : public ::testing::Test {
  protected:
    void SetUp() override { local_ = porttest::FreePort(SOCK_DGRAM); }
    CUDPPort port_;
    Peer peer_;
    int local_ = 0;
};

TEST_F(UdpPort, AnswerModeRepliesToTheLastSender) {
    port_.SetNetParam(local_, -1, porttest::LoopbackAddress());
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(port_.IsOpen(), 1);
    std::string before = port_.GetDescription();
    EXPECT_EQ(before, "UDP(Remote(127.0.0.1:-1 ),Local(" + std::to_string(local_) + ")");
    ASSERT_TRUE(WaitUntil([&] { return port_.GetState(0) == 2; }));
    EXPECT_EQ(port_.Write("early", 5), -1);  // nobody to answer yet

    peer_.SendTo(local_, std::string("\x05q\x00", 3));
    EXPECT_EQ(ReadOne(port_), std::string("\x05q\x00", 3));
    EXPECT_EQ(port_.GetState(0), 3);
    EXPECT_EQ(std::string(port_.GetDescription()),
              "UDP(Remote(127.0.0.1:" + std::to_string(peer_.Port()) + "*),Local(" +
                  std::to_string(local_) + ")");

    EXPECT_EQ(port_.WriteString("\x06"), 1);
    auto [bytes, from] = peer_.Receive();
    EXPECT_EQ(bytes, "\x06");
    EXPECT_EQ(from, local_);
}

TEST_F(UdpPort, LongDatagramIsReadInPiecesBeforeTheNextOne) {
    port_.SetNetParam(local_, -1, porttest::LoopbackAddress());
    ASSERT_EQ(port_.Open(), 1);
    peer_.SendTo(local_, "0123456789");
    peer_.SendTo(local_, "next");
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == 2; }));
    char buf[4];
    EXPECT_EQ(port_.Read(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "0123");
    EXPECT_EQ(port_.Read(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "4567");
    EXPECT_EQ(port_.Read(buf, 4), 2);
    EXPECT_EQ(std::string(buf, 2), "89");
    EXPECT_EQ(port_.Read(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "next");
    // A piece exactly the buffer's size leaves an empty remainder behind.
    EXPECT_EQ(port_.WaitForData(0), 1);
    EXPECT_EQ(port_.Read(buf, 4), 0);
    EXPECT_EQ(port_.WaitForData(0), 0);
    EXPECT_EQ(port_.Read(buf, 4), 0);
}

TEST_F(UdpPort, EveryDatagramOfABurstArrivesWholeAndInOrder) {
    port_.SetNetParam(local_, -1, porttest::LoopbackAddress());
    ASSERT_EQ(port_.Open(), 1);
    ASSERT_TRUE(WaitUntil([&] { return port_.GetState(0) == 2; }));
    constexpr int kCount = 2000;
    for (int i = 0; i < kCount; ++i) {
        peer_.SendTo(local_, std::to_string(i) + std::string(static_cast<size_t>(i % 1400), 'd'));
    }
    for (int i = 0; i < kCount; ++i) {
        std::string got = ReadOne(port_);
        ASSERT_EQ(got, std::to_string(i) + std::string(static_cast<size_t>(i % 1400), 'd'))
            << "datagram " << i;
    }
    EXPECT_EQ(port_.WaitForData(0), 0);
}

TEST_F(UdpPort, FixedRemoteWithoutLocalPortReceivesAnswersAfterTheFirstWrite) {
    port_.SetNetParam(0, peer_.Port(), porttest::LoopbackAddress());
    int threadsBefore = porttest::BaselineThreadCount();
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(port_.GetState(0), 1);  // open, nothing received on yet
    EXPECT_EQ(porttest::ThreadCount(), threadsBefore);
    EXPECT_EQ(std::string(port_.GetDescription()),
              "UDP(Remote(127.0.0.1:" + std::to_string(peer_.Port()) + " )");

    EXPECT_EQ(port_.WriteString("hello"), 5);
    auto [bytes, from] = peer_.Receive();
    EXPECT_EQ(bytes, "hello");
    ASSERT_GT(from, 0);
    peer_.SendTo(from, "answer");
    EXPECT_EQ(ReadOne(port_), "answer");
    EXPECT_EQ(port_.GetState(0), 3);
}

TEST_F(UdpPort, FixedRemoteWithLocalPortSendsFromASeparateSocket) {
    port_.SetNetParam(local_, peer_.Port(), porttest::LoopbackAddress());
    port_.SetRemoteAddressText("localhost");
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(std::string(port_.GetDescription()),
              "UDP(Remote(localhost:" + std::to_string(peer_.Port()) + " ),Local(" +
                  std::to_string(local_) + ")");
    EXPECT_EQ(port_.Write("to peer", 7), 7);
    EXPECT_EQ(peer_.Receive().first, "to peer");
    peer_.SendTo(local_, "to port");
    EXPECT_EQ(ReadOne(port_), "to port");
    // The configured remote wins over the last sender in the description.
    EXPECT_EQ(std::string(port_.GetDescription()).find('*'), std::string::npos);
}

TEST_F(UdpPort, OpenNeedsALocalOrARemotePortAndOpensOnce) {
    port_.SetNetParam(0, 0, porttest::LoopbackAddress());
    EXPECT_EQ(port_.Open(), 0);
    EXPECT_EQ(port_.GetState(0), 0);
    EXPECT_EQ(port_.IsOpen(), 0);

    port_.SetNetParam(local_, -1, porttest::LoopbackAddress());
    int threadsBefore = porttest::BaselineThreadCount();
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(port_.Open(), 1);
    EXPECT_EQ(porttest::ThreadCount(), threadsBefore + 1);
    EXPECT_EQ(port_.Close(), 1);
    EXPECT_EQ(porttest::ThreadCount(), threadsBefore);
    EXPECT_EQ(port_.GetState(0), 0);
    EXPECT_EQ(port_.Close(), 1);
}

TEST_F(UdpPort, TakenLocalPortFailsTheOpenWithStateMinus1) {
    Peer holder;
    port_.SetNetParam(holder.Port(), -1, porttest::LoopbackAddress());
    EXPECT_EQ(port_.Open(), 0);
    EXPECT_EQ(port_.GetState(0), -1);
    EXPECT_EQ(port_.IsOpen(), 0);
    EXPECT_EQ(port_.Close(), 1);
    EXPECT_EQ(port_.GetState(0), 0);
}

TEST_F(UdpPort, DatagramsQueuedBeforeCloseAreReadAfterTheNextOpen) {
    port_.SetNetParam(local_, -1, porttest::LoopbackAddress());
    ASSERT_EQ(port_.Open(), 1);
    peer_.SendTo(local_, "one");
    peer_.SendTo(local_, "two");
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == 2; }));
    port_.Close();
    EXPECT_EQ(port_.WaitForData(0), 2);
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(ReadOne(port_), "one");
    EXPECT_EQ(ReadOne(port_), "two");
}

TEST_F(UdpPort, EmptyDatagramDoesNotSilenceThePort) {
    port_.SetNetParam(local_, -1, porttest::LoopbackAddress());
    ASSERT_EQ(port_.Open(), 1);
    peer_.SendTo(local_, "");
    peer_.SendTo(local_, "after");
    EXPECT_EQ(ReadOne(port_), "after");
    EXPECT_EQ(port_.WaitForData(0), 0);  // the empty one is not queued
    EXPECT_EQ(port_.GetState(0), 3);
    peer_.SendTo(local_, "still");
    EXPECT_EQ(ReadOne(port_), "still");
}

TEST_F(UdpPort, CloseUnblocksTheReceiveThreadAndLeavesNone) {
    int threadsBefore = porttest::BaselineThreadCount();
    port_.SetNetParam(local_, -1, porttest::LoopbackAddress());
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(port_.Open(), 1);
        if (i % 10 == 0) {
            ASSERT_TRUE(WaitUntil([&] { return port_.GetState(0) == 2; }));
        }
        ASSERT_EQ(port_.Close(), 1);
    }
    EXPECT_EQ(porttest::ThreadCount(), threadsBefore);
    EXPECT_EQ(port_.GetState(0), 0);
    EXPECT_EQ(port_.Write("x", 1), -1);
}

TEST(UdpPortDefaults, ReceiveOn9000AndSendTo9000OfTheLoopback) {
    CUDPPort port;
    EXPECT_STREQ(port.GetDescription(), "UDP(Remote(127.0.0.1:9000 ),Local(9000)");
    EXPECT_EQ(port.GetState(0), 0);
    EXPECT_EQ(port.SetComParam(1, 2, "x"), 1);
    char buf[4];
    EXPECT_EQ(port.Read(buf, 4), 0);
    EXPECT_EQ(port.Write("", 0), 0);
}

}  // namespace
