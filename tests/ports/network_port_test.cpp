#include "ports/tcp_port.h"

#include <algorithm>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ports/port_test_util.h"
#include "ports/udp_port.h"
#include "support/loopback.h"

namespace {

using loopback::Peer;
using porttest::WaitUntil;
using StreamPort::CTCPPort;
const uint32_t kLoopback = htonl(INADDR_LOOPBACK);

// Polls like the main window (relisten: with RestartListening) until
// WaitForData(0) gives code.
bool PollUntilCode(CTCPPort& port, int code, bool relisten = true) {
    return WaitUntil([&] {
        if (relisten) port.RestartListening();
        return port.WaitForData(0) == code;
    });
}

std::string PollRead(CTCPPort& port) {
    if (!PollUntilCode(port, 1)) return "<nothing>";
    char buf[256];
    return std::string(buf, size_t(std::max(port.Read(buf, sizeof buf), 0)));
}

// A listening server on a free port of 127.0.0.1, opened by each test.
class TcpServer : public ::testing::Test {
  protected:
    void SetUp() override {
        server_.SetNetParam(0, port_, kLoopback);
        ASSERT_EQ(server_.Open(), 1);
    }
    // A client is taken at once; it is served once the accept thread handed
    // it over.
    Peer ConnectServed(int receiveBuffer = 0) {
        server_.RestartListening();
        Peer client = Peer::Connect(port_, receiveBuffer);
        EXPECT_TRUE(WaitUntil([&] { return server_.GetState(0) == CTCPPort::kConnected; }));
        return client;
    }

    const int threads_ = porttest::BaselineThreadCount();
    int port_ = loopback::FreePort(SOCK_STREAM);
    CTCPPort server_;
};

TEST_F(TcpServer, ServesOneClientAtATimeAndListensAgainWhenThePollAsks) {
    EXPECT_EQ(server_.GetState(0), CTCPPort::kListening);
    EXPECT_EQ(server_.WaitForData(0), -2);
    char buf[8];
    sockaddr_in peer{};
    EXPECT_EQ(server_.Read(buf, 8) + server_.Write("x", 1) + server_.GetPeerAddress(&peer), 0);
    Peer first = ConnectServed();
    EXPECT_EQ(server_.GetPeerAddress(&peer), 1);
    EXPECT_EQ(ntohs(peer.sin_port), first.Port());
    EXPECT_EQ(server_.WaitForData(0), 0);
    EXPECT_FALSE(Peer::Connect(port_).Valid());  // one client at a time
    EXPECT_EQ(server_.WriteString(std::string("\x06\x00", 2)), 2);
    EXPECT_EQ(first.Receive(2), std::string("\x06\x00", 2));
    // Data sent before the peer closed is read before the close is reported;
    // WaitForData alone never listens again, the poll's RestartListening does.
    ASSERT_TRUE(first.Send(std::string("last\0words", 10)));
    first.Reset();
    EXPECT_EQ(PollRead(server_), std::string("last\0words", 10));
    ASSERT_TRUE(PollUntilCode(server_, -8, false));
    EXPECT_EQ(server_.WaitForData(0), -1);
    EXPECT_FALSE(Peer::Connect(port_).Valid());
    EXPECT_EQ(server_.RestartListening(), 1);
    EXPECT_EQ(server_.RestartListening(), 0);
    ConnectServed().Reset(true);
    EXPECT_TRUE(PollUntilCode(server_, -6, false));
}

TEST_F(TcpServer, CloseUnblocksTheAcceptThreadAndLeavesNoThread) {
    EXPECT_EQ(porttest::ThreadCount(), threads_ + 1);
    EXPECT_EQ(server_.Close(), 1);  // a Close that does not wake accept hangs
    EXPECT_EQ(porttest::ThreadCount(), threads_);
    EXPECT_EQ(server_.GetState(0) + server_.RestartListening(), CTCPPort::kClosed);
    EXPECT_FALSE(Peer::Connect(port_).Valid());  // closed stays closed
    for (int i = 0; i < 200; ++i) {              // Close racing the accept thread's start
        ASSERT_EQ(server_.Open(), 1);
        ASSERT_EQ(server_.Close(), 1);
    }
    EXPECT_EQ(porttest::ThreadCount(), threads_);
    // Reopened at once, while the old connection lingers in TIME_WAIT.
    ASSERT_EQ(server_.Open(), 1);
    Peer client = ConnectServed();
    server_.Close();
    EXPECT_EQ(client.Receive(1), "");
    ASSERT_EQ(server_.Open(), 1);
    EXPECT_EQ(server_.GetState(0), CTCPPort::kListening);
}

TEST_F(TcpServer, WritesFailOrGiveUpWithoutSigpipeOrInterleaving) {
    std::signal(SIGPIPE, SIG_DFL);  // a SIGPIPE would kill the test program
    ConnectServed().Reset();
    const std::string block(65536, 'z');
    int last = 1;  // the peer answers the first block with a reset
    for (int i = 0; i < 200 && server_.GetState(0) == CTCPPort::kConnected; ++i) {
        last = server_.WriteString(block);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(server_.GetState(0), CTCPPort::kClosed);
    EXPECT_LT(last, int(block.size()));
    // A peer that never reads: the send gives up once its time-out passed and
    // says what it took. The peer's large fixed buffer takes all that is in
    // flight at once, so the second send call finds no room and only that
    // one waits the time-out again.
    Peer idle = ConnectServed(1 << 20);
    const int sent = server_.WriteString(std::string(16 << 20, 'y'));
    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, 16 << 20);
    EXPECT_EQ(server_.GetState(0), CTCPPort::kConnected);
    idle.Reset();
    ASSERT_TRUE(PollUntilCode(server_, -2));
    Peer client = ConnectServed();
    constexpr size_t kBlock = 100000, kBlocks = 40;
    auto writer = [&](char c) {
        for (size_t i = 0; i < kBlocks; ++i)
            EXPECT_EQ(server_.WriteString(std::string(kBlock, c)), int(kBlock));
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    std::string got = client.Receive(2 * kBlock * kBlocks);
    a.join();
    b.join();
    ASSERT_EQ(got.size(), 2 * kBlock * kBlocks);
    for (size_t at = 0; at < got.size(); at += kBlock)  // whole blocks only
        ASSERT_EQ(got.substr(at, kBlock), std::string(kBlock, got[at])) << at;
}

TEST(TcpClient, WaitEndsWhenDataComesAndPeerCloseGivesMinus8ThenMinus3) {
    Peer listener = Peer::Bound(SOCK_STREAM);
    CTCPPort client;
    client.SetNetParam(1, listener.Port(), kLoopback);
    ASSERT_EQ(client.Open(), 1);
    Peer peer(accept(listener.Fd(), nullptr, nullptr));
    EXPECT_EQ(client.WaitForData(20), 0);
    std::thread late([&] {  // a wait ends when data comes, not at its time-out
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        peer.Send("!");
        peer.Reset();
    });
    EXPECT_EQ(client.WaitForData(10000), 1);
    late.join();
    EXPECT_EQ(PollRead(client), "!");
    EXPECT_EQ(client.WaitForData(0), -8);
    EXPECT_EQ(client.IsOpen(), 0);
    char buf[8];
    EXPECT_EQ(client.WaitForData(0) + client.WaitForData(0), -6);  // -3 on every call
    EXPECT_EQ(client.Write("x", 1) + client.Read(buf, sizeof buf), 0);
}

// A client's Open never waits for the peer: a connect that fails does so at
// once or at a later PollConnect, with the reason in LastError.
TEST(TcpPort, OpenFailsForRefusedUnansweredAndOutOfRangePorts) {
    loopback::DroppingListener full;
    Peer listener = Peer::Bound(SOCK_STREAM);
    const int p = listener.Port();  // 65536 more must not reach it
    const int cases[][3] = {{1, loopback::FreePort(SOCK_STREAM), ECONNREFUSED},
                            {1, full.Port(), ETIMEDOUT},
                            {1, p + 65536, EINVAL},
                            {0, p + 65536, EINVAL},
                            {0, p - 65536, EINVAL},
                            {0, 0, EINVAL}};
    for (const auto& c : cases) {  // mode, port, error
        CTCPPort port;
        port.SetNetParam(c[0], c[1], kLoopback);
        const bool started = port.Open() == 1;
        EXPECT_TRUE(c[2] != EINVAL || !started) << c[1];
        // A request the full listener drops cannot have been answered yet.
        EXPECT_TRUE(c[2] != ETIMEDOUT || (started && port.GetState(0) == CTCPPort::kConnecting));
        if (started) {
            EXPECT_EQ(port.IsOpen(), 1);
            EXPECT_TRUE(WaitUntil([&] { return port.PollConnect() != 0; }, 7000));
            EXPECT_EQ(port.PollConnect(), -1) << c[1];
        }
        EXPECT_EQ(port.LastError(), c[2]) << c[1];
        EXPECT_EQ(port.GetState(0), CTCPPort::kClosed);
        EXPECT_EQ(port.WaitForData(0), c[0] == 1 ? -3 : -1) << c[1];
    }
    // A listener's answer makes the same connect succeed, at once or at a poll.
    CTCPPort client;
    client.SetNetParam(1, p, kLoopback);
    ASSERT_EQ(client.Open(), 1);
    EXPECT_TRUE(WaitUntil([&] { return client.PollConnect() == 1; }));
    EXPECT_EQ(client.GetState(0), CTCPPort::kConnected);
    EXPECT_EQ(client.LastError(), 0);
    Peer accepted(accept(listener.Fd(), nullptr, nullptr));
    EXPECT_EQ(client.WriteString("hi"), 2);
    EXPECT_EQ(accepted.Receive(2), "hi");
}

class UdpPort : public ::testing::Test {
  protected:
    // Polls as the main window does, then reads the front datagram.
    std::string ReadOne() {
        if (!WaitUntil([&] { return port_.WaitForData(0) > 0; })) return "<nothing>";
        std::vector<char> buf(65536);
        return std::string(buf.data(), size_t(std::max(port_.Read(buf.data(), 65536), 0)));
    }
    void Open(int local, int remote) {
        port_.SetNetParam(local, remote, kLoopback);
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
        port_.SetNetParam(c[0], c[1], kLoopback);
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
