// The TCP port on 127.0.0.1: a server serving one client at a time, and a client.
#include "ports/tcp_port.h"

#include <csignal>

#include <gtest/gtest.h>

#include "ports/port_test_probes.h"
#include "support/loopback.h"

namespace {

using namespace porttest;
using loopback::Peer;
using StreamPort::CTCPPort;

// Polls like the main window (relisten: with RestartListening) until WaitForData(0) is code.
bool PollUntilCode(CTCPPort& port, int code, bool relisten = true) {
    return WaitUntil([&] {
        if (relisten) port.RestartListening();
        return port.WaitForData(0) == code;
    });
}

// A listening server on a free port of 127.0.0.1, opened by each test.
class TcpServer : public ::testing::Test {
  protected:
    void SetUp() override {
        server_.SetNetParam(0, port_, kLoopback);
        ASSERT_EQ(server_.Open(), 1);
    }
    // A client is taken at once, and served once the accept thread handed it over.
    Peer ConnectServed(int receiveBuffer = 0) {
        server_.RestartListening();
        Peer client = Peer::Connect(port_, receiveBuffer);
        EXPECT_TRUE(WaitUntil([&] { return server_.GetState(0) == CTCPPort::kConnected; }));
        return client;
    }

    const std::set<int> threads_ = ThreadIds();
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
    EXPECT_EQ((std::tuple{server_.GetPeerAddress(&peer), int(ntohs(peer.sin_port)),
                          server_.WaitForData(0)}),
              std::make_tuple(1, first.Port(), 0));
    EXPECT_FALSE(Peer::Connect(port_).Valid());  // one client at a time
    EXPECT_EQ(server_.WriteString(std::string("\x06\x00", 2)), 2);
    EXPECT_EQ(first.Receive(2), std::string("\x06\x00", 2));
    // Data sent before the peer closed is read before the close is reported;
    // WaitForData alone never listens again, the poll's RestartListening does.
    ASSERT_TRUE(first.Send(std::string("last\0words", 10)));
    first.Reset();
    EXPECT_EQ(Collect(server_), std::string("last\0words", 10));
    ASSERT_TRUE(PollUntilCode(server_, -8, false));
    EXPECT_EQ(server_.WaitForData(0), -1);
    EXPECT_FALSE(Peer::Connect(port_).Valid());
    EXPECT_EQ(server_.RestartListening(), 1);
    EXPECT_EQ(server_.RestartListening(), 0);
    ConnectServed().Reset(true);
    EXPECT_TRUE(PollUntilCode(server_, -6, false));
}

TEST_F(TcpServer, CloseUnblocksTheAcceptThreadAndLeavesNoThread) {
    EXPECT_EQ(ThreadsSince(threads_), 1u);
    EXPECT_EQ(server_.Close(), 1);  // a Close that does not wake accept hangs
    EXPECT_TRUE(NoThreadSince(threads_));
    EXPECT_EQ(server_.GetState(0) + server_.RestartListening(), CTCPPort::kClosed);
    EXPECT_FALSE(Peer::Connect(port_).Valid());  // closed stays closed
    for (int i = 0; i < 200; ++i)                // Close racing the accept thread's start
        ASSERT_TRUE(server_.Open() == 1 && server_.Close() == 1) << i;
    EXPECT_TRUE(NoThreadSince(threads_));
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
    // A peer that never reads: the send gives up after its time-out and says what it
    // took (the peer's large buffer takes all in flight, so only one call waits).
    Peer idle = ConnectServed(1 << 20);
    const int sent = server_.WriteString(std::string(16 << 20, 'y'));
    EXPECT_TRUE(sent > 0 && sent < 16 << 20) << sent;
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

// Open never waits: a failing connect fails at once or at a later PollConnect (LastError).
TEST(TcpPort, ClientConnectsOrFailsForRefusedUnansweredAndOutOfRangePorts) {
    loopback::DroppingListener full;
    Peer listener = Peer::Bound(SOCK_STREAM);
    const int p = listener.Port();  // 65536 more must not reach it
    // clang-format off
    const int cases[][3] = {{1, loopback::FreePort(SOCK_STREAM), ECONNREFUSED}, {1, full.Port(), ETIMEDOUT},
                            {1, p + 65536, EINVAL}, {0, p + 65536, EINVAL}, {0, p - 65536, EINVAL}, {0, 0, EINVAL}};
    // clang-format on
    for (const auto& c : cases) {  // mode, port, error
        CTCPPort port;
        port.SetNetParam(c[0], c[1], kLoopback);
        const bool started = port.Open() == 1;
        EXPECT_TRUE(c[2] != EINVAL || !started) << c[1];
        // A request the full listener drops cannot have been answered yet.
        EXPECT_TRUE(c[2] != ETIMEDOUT || (started && port.GetState(0) == CTCPPort::kConnecting));
        EXPECT_TRUE(!started || WaitUntil([&] { return port.PollConnect() == -1; }, 7000)) << c[1];
        EXPECT_EQ((std::tuple{port.LastError(), port.GetState(0), port.WaitForData(0)}),
                  std::make_tuple(c[2], CTCPPort::kClosed, c[0] == 1 ? -3 : -1))
            << c[1];
    }
    // The listener's answer completes the same connect, at once or at a poll;
    // the peer's close then gives -8, and -3 on every later call.
    CTCPPort client;
    client.SetNetParam(1, p, kLoopback);
    ASSERT_EQ(client.Open(), 1);
    EXPECT_TRUE(WaitUntil([&] { return client.PollConnect() == 1; }));
    EXPECT_EQ(client.GetState(0) + client.LastError(), CTCPPort::kConnected);
    Peer peer(accept(listener.Fd(), nullptr, nullptr));
    EXPECT_EQ(client.WriteString("hi"), 2);
    EXPECT_EQ(peer.Receive(2), "hi");
    EXPECT_EQ(client.WaitForData(20), 0);
    std::thread late([&] {  // a wait ends when data comes, not at its time-out
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        peer.Send("!");
        peer.Reset();
    });
    EXPECT_EQ(client.WaitForData(10000), 1);
    late.join();
    EXPECT_EQ((std::tuple{Collect(client), client.WaitForData(0), client.IsOpen()}),
              std::make_tuple("!", -8, 0));
    char buf[8];
    EXPECT_EQ(client.WaitForData(0) + client.WaitForData(0), -6);  // -3 on every call
    EXPECT_EQ(client.Write("x", 1) + client.Read(buf, sizeof buf), 0);
}

}  // namespace
