#include "ports/udp_port.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "ports/port_test_util.h"

namespace {

using porttest::Loopback;
using porttest::LoopbackAddress;
using porttest::WaitUntil;
using StreamPort::CUDPPort;

// A test peer: a UDP socket on 127.0.0.1 with an ephemeral port of its own.
class Peer {
  public:
    Peer() {
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
    int fd_ = socket(AF_INET, SOCK_DGRAM, 0);
};

class UdpPort : public ::testing::Test {
  protected:
    // Polls as the main window does, then reads the front datagram whole.
    std::string ReadOne() {
        if (!WaitUntil([&] { return port_.WaitForData(0) > 0; })) return "<nothing>";
        std::vector<char> buf(65536);
        int n = port_.Read(buf.data(), 65536);
        return std::string(buf.data(), static_cast<size_t>(n > 0 ? n : 0));
    }
    std::string Description() { return port_.GetDescription(); }

    CUDPPort port_;
    Peer peer_;
    int local_ = porttest::FreePort(SOCK_DGRAM);
    std::string localText_ = std::to_string(local_);
};

TEST_F(UdpPort, AnswerModeRepliesToTheLastSender) {
    port_.SetNetParam(local_, -1, LoopbackAddress());
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(Description(), "UDP(Remote(127.0.0.1:-1 ),Local(" + localText_ + ")");
    ASSERT_TRUE(WaitUntil([&] { return port_.GetState(0) == 2; }));
    EXPECT_EQ(port_.Write("early", 5), -1);  // nobody to answer yet

    peer_.SendTo(local_, std::string("\x05q\x00", 3));
    EXPECT_EQ(ReadOne(), std::string("\x05q\x00", 3));
    EXPECT_EQ(port_.GetState(0), 3);
    EXPECT_EQ(Description(), "UDP(Remote(127.0.0.1:" + std::to_string(peer_.Port()) + "*),Local(" +
                                 localText_ + ")");
    EXPECT_EQ(port_.WriteString("\x06"), 1);
    EXPECT_EQ(peer_.Receive(), std::make_pair(std::string("\x06"), local_));
}

TEST_F(UdpPort, LongDatagramIsReadInPiecesAndAnEmptyOneIsSkipped) {
    port_.SetNetParam(local_, -1, LoopbackAddress());
    ASSERT_EQ(port_.Open(), 1);
    peer_.SendTo(local_, "");  // must not end the receive thread
    peer_.SendTo(local_, "0123456789");
    peer_.SendTo(local_, "next");
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == 2; }));
    char buf[4];
    for (const char* piece : {"0123", "4567", "89", "next"}) {
        EXPECT_EQ(port_.Read(buf, 4), static_cast<int>(strlen(piece)));
        EXPECT_EQ(std::string(buf, strlen(piece)), piece);
    }
    // A piece exactly the buffer's size leaves an empty remainder behind.
    EXPECT_EQ(port_.WaitForData(0), 1);
    EXPECT_EQ(port_.Read(buf, 4), 0);
    EXPECT_EQ(port_.WaitForData(0), 0);
    peer_.SendTo(local_, "still");
    EXPECT_EQ(ReadOne(), "still");
}

TEST_F(UdpPort, EveryDatagramOfABurstArrivesWholeAndInOrder) {
    port_.SetNetParam(local_, -1, LoopbackAddress());
    ASSERT_EQ(port_.Open(), 1);
    ASSERT_TRUE(WaitUntil([&] { return port_.GetState(0) == 2; }));
    auto datagram = [](int i) {
        return std::to_string(i) + std::string(static_cast<size_t>(i % 1400), 'd');
    };
    constexpr int kCount = 2000;
    for (int i = 0; i < kCount; ++i)
        peer_.SendTo(local_, datagram(i));
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(ReadOne(), datagram(i)) << "datagram " << i;
    EXPECT_EQ(port_.WaitForData(0), 0);
}

TEST_F(UdpPort, FixedRemoteIsSentToWithOrWithoutALocalPort) {
    const std::string remote = std::to_string(peer_.Port());
    port_.SetNetParam(0, peer_.Port(), LoopbackAddress());
    int threadsBefore = porttest::BaselineThreadCount();
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(port_.GetState(0), 1);  // receives only after the first Write
    EXPECT_EQ(porttest::ThreadCount(), threadsBefore);
    EXPECT_EQ(Description(), "UDP(Remote(127.0.0.1:" + remote + " )");
    EXPECT_EQ(port_.WriteString("hello"), 5);
    auto [bytes, from] = peer_.Receive();
    EXPECT_EQ(bytes, "hello");
    peer_.SendTo(from, "answer");
    EXPECT_EQ(ReadOne(), "answer");
    EXPECT_EQ(port_.GetState(0), 3);
    port_.Close();

    port_.SetNetParam(local_, peer_.Port(), LoopbackAddress());
    port_.SetRemoteAddressText("localhost");
    ASSERT_EQ(port_.Open(), 1);
    const std::string want = "UDP(Remote(localhost:" + remote + " ),Local(" + localText_ + ")";
    EXPECT_EQ(Description(), want);
    EXPECT_EQ(port_.Write("to peer", 7), 7);
    EXPECT_EQ(peer_.Receive().first, "to peer");
    peer_.SendTo(local_, "to port");
    EXPECT_EQ(ReadOne(), "to port");
    EXPECT_EQ(Description(), want);  // the configured remote wins over the last sender
}

TEST_F(UdpPort, OpenAndCloseKeepQueuedDatagramsAndLeaveNoThread) {
    EXPECT_EQ(Description(), "UDP(Remote(127.0.0.1:9000 ),Local(9000)");
    port_.SetNetParam(0, 0, LoopbackAddress());
    EXPECT_EQ(port_.Open(), 0);  // needs a local or a remote port
    EXPECT_EQ(port_.GetState(0), 0);

    Peer holder;
    port_.SetNetParam(holder.Port(), -1, LoopbackAddress());
    EXPECT_EQ(port_.Open(), 0);
    EXPECT_EQ(port_.GetState(0), -1);
    EXPECT_EQ(port_.IsOpen(), 0);
    EXPECT_EQ(port_.Close(), 1);
    EXPECT_EQ(port_.GetState(0), 0);

    port_.SetNetParam(local_, -1, LoopbackAddress());
    int threadsBefore = porttest::BaselineThreadCount();
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(port_.Open(), 1);
    EXPECT_EQ(porttest::ThreadCount(), threadsBefore + 1);
    peer_.SendTo(local_, "one");
    peer_.SendTo(local_, "two");
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
