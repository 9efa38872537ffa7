#include "ports/tcp_port.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "ports/port_test_util.h"

namespace {

using porttest::Loopback;
using porttest::LoopbackAddress;
using porttest::WaitUntil;
using StreamPort::CTCPPort;

// A plain blocking client of 127.0.0.1:port; -1 when refused.
int Connect(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to = Loopback(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) return fd;
    close(fd);
    return -1;
}

// A plain listening socket on all interfaces; port 0 picks one.
int Listen(int port, int backlog = 4) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(static_cast<uint16_t>(port));
    if (bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0 && listen(fd, backlog) == 0)
        return fd;
    close(fd);
    return -1;
}

std::string ReceiveExactly(int fd, size_t count) {
    std::string got;
    WaitUntil([&] {
        char buf[65536];
        ssize_t n = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0) got.append(buf, static_cast<size_t>(n));
        return got.size() >= count || n == 0;
    });
    return got;
}

// Polls like the main window until WaitForData(0) gives `code`; the distinct
// codes seen on the way are kept in `seen`.
bool PollUntilCode(CTCPPort& port, int code, std::vector<int>* seen = nullptr) {
    return WaitUntil([&] {
        int rc = port.WaitForData(0);
        if (seen != nullptr && (seen->empty() || seen->back() != rc)) seen->push_back(rc);
        return rc == code;
    });
}

// Reads one receive once the port reports data.
std::string PollRead(CTCPPort& port) {
    if (!PollUntilCode(port, 1)) return "<nothing>";
    char buf[256];
    int n = port.Read(buf, sizeof buf);
    return std::string(buf, static_cast<size_t>(std::max(n, 0)));
}

class TcpServer : public ::testing::Test {
  protected:
    void SetUp() override { server_.SetNetParam(0, port_, LoopbackAddress()); }
    void TearDown() override {
        server_.Close();
        for (int fd : clients_)
            close(fd);
    }
    void OpenListening() {
        ASSERT_EQ(server_.Open(), 1);
        ASSERT_TRUE(PollUntilCode(server_, -2));
        EXPECT_EQ(server_.GetState(0), 0);
    }
    // Connects a client, polling the server meanwhile as the main window
    // does, until the server serves it. The accept thread may start (or
    // retry its bind) a moment after the state shows listening.
    int ConnectServed() {
        int fd = -1;
        EXPECT_TRUE(WaitUntil([&] {
            server_.WaitForData(0);
            if (fd < 0) fd = Connect(port_);
            return fd >= 0 && server_.GetState(0) == 1;
        }));
        clients_.push_back(fd);
        return fd;
    }
    void CloseClient(int fd) {
        close(fd);
        clients_.erase(std::find(clients_.begin(), clients_.end(), fd));
    }

    int port_ = porttest::FreePort(SOCK_STREAM);
    CTCPPort server_;
    std::vector<int> clients_;
};

TEST_F(TcpServer, ServesOneClientAtATimeAndListensAgainWhenItLeaves) {
    OpenListening();
    EXPECT_EQ(server_.IsOpen(), 1);
    char buf[64];
    EXPECT_EQ(server_.Read(buf, sizeof buf), 0);  // listening: nothing moves
    EXPECT_EQ(server_.Write("x", 1), 0);
    sockaddr_in peer{};
    EXPECT_EQ(server_.GetPeerAddress(&peer), 0);
    EXPECT_EQ(server_.GetDescription(), nullptr);

    int first = ConnectServed();
    EXPECT_EQ(server_.GetPeerAddress(&peer), 1);
    EXPECT_EQ(ntohs(peer.sin_port), porttest::LocalPortOf(first));
    EXPECT_EQ(server_.WaitForData(0), 0);
    EXPECT_EQ(Connect(port_), -1);  // one client at a time

    ASSERT_EQ(send(first, "\x02hello\x00\x03", 8, 0), 8);
    EXPECT_EQ(PollRead(server_), std::string("\x02hello\x00\x03", 8));
    EXPECT_EQ(server_.WaitForData(0), 0);
    EXPECT_EQ(server_.WriteString(std::string("\x06\x00", 2)), 2);
    EXPECT_EQ(ReceiveExactly(first, 2), std::string("\x06\x00", 2));

    // Data sent before the peer closed is read before the close is reported.
    ASSERT_EQ(send(first, "last words", 10, 0), 10);
    CloseClient(first);
    EXPECT_EQ(PollRead(server_), "last words");
    std::vector<int> seen;
    ASSERT_TRUE(PollUntilCode(server_, -2, &seen));
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen[0], -8);
    EXPECT_EQ(seen[1], -1);

    int second = ConnectServed();
    ASSERT_EQ(send(second, "2nd", 3, 0), 3);
    EXPECT_EQ(PollRead(server_), "2nd");
    linger reset{1, 0};  // closing with linger 0 sends a reset
    setsockopt(second, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    CloseClient(second);
    seen.clear();
    ASSERT_TRUE(PollUntilCode(server_, -2, &seen));
    EXPECT_EQ(seen.front(), -6);
}

TEST_F(TcpServer, TakenPortShowsMinus2UntilItIsFreeThenListensByItself) {
    int holder = Listen(port_);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(server_.Open(), 1);
    for (int i = 0; i < 3; ++i) {  // every poll retries the bind
        EXPECT_TRUE(WaitUntil([&] {
            server_.WaitForData(0);
            return server_.GetState(0) == -2;
        }));
        EXPECT_EQ(server_.IsOpen(), 0);
    }
    close(holder);
    ConnectServed();
    EXPECT_EQ(server_.GetState(0), 1);
}

TEST_F(TcpServer, CloseUnblocksTheAcceptThreadAndLeavesNoThread) {
    int threadsBefore = porttest::BaselineThreadCount();
    OpenListening();
    EXPECT_EQ(porttest::ThreadCount(), threadsBefore + 1);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(server_.Close(), 1);
    // A generous bound: a Close that does not wake accept waits for ever.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(porttest::ThreadCount(), threadsBefore);
    EXPECT_EQ(server_.GetState(0), -1);
    EXPECT_EQ(Connect(port_), -1);
    // Close racing the start of the accept thread.
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(server_.Open(), 1);
        ASSERT_EQ(server_.Close(), 1);
    }
    EXPECT_EQ(porttest::ThreadCount(), threadsBefore);
    // Reopened right after closing first, while the old connection lingers in
    // TIME_WAIT on the port, the server still gets its port.
    OpenListening();
    int client = ConnectServed();
    server_.Close();
    EXPECT_EQ(ReceiveExactly(client, 1), "");
    OpenListening();
}

TEST_F(TcpServer, WriteToAClosedPeerFailsWithoutSigpipe) {
    std::signal(SIGPIPE, SIG_DFL);  // a SIGPIPE would kill the test program
    OpenListening();
    int client = ConnectServed();
    CloseClient(client);
    // The peer answers the first block with a reset; the next send fails.
    std::string block(65536, 'z');
    int last = 1;
    for (int i = 0; i < 200 && server_.GetState(0) == 1; ++i) {
        last = server_.WriteString(block);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(server_.GetState(0), -1);
    EXPECT_LT(last, static_cast<int>(block.size()));
    EXPECT_EQ(server_.Write("a", 1), 0);
    EXPECT_TRUE(PollUntilCode(server_, -2));
}

TEST_F(TcpServer, PeerThatStopsReadingCannotBlockWriteForever) {
    OpenListening();
    ConnectServed();  // this client never reads
    std::string block(64 << 20, 'y');
    int sent = server_.WriteString(block);
    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, static_cast<int>(block.size()));
    EXPECT_EQ(server_.GetState(0), 1);  // the connection itself is still there
}

TEST_F(TcpServer, ConcurrentWritersNeverInterleaveTheirBlocks) {
    OpenListening();
    int client = ConnectServed();
    constexpr size_t kBlock = 100000, kBlocks = 40;
    auto writer = [&](char c) {
        for (size_t i = 0; i < kBlocks; ++i)
            EXPECT_EQ(server_.WriteString(std::string(kBlock, c)), int(kBlock));
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    std::string got = ReceiveExactly(client, 2 * kBlock * kBlocks);
    a.join();
    b.join();
    ASSERT_EQ(got.size(), 2 * kBlock * kBlocks);
    EXPECT_EQ(std::count(got.begin(), got.end(), 'a'), long(kBlock * kBlocks));
    for (size_t at = 0; at < got.size(); at += kBlock)
        ASSERT_EQ(std::count(got.begin() + long(at), got.begin() + long(at + kBlock), got[at]),
                  long(kBlock))
            << at;
}

TEST(TcpClient, ConnectsTalksAndSeesPeerCloseAsMinus8ThenMinus3) {
    int listener = Listen(0);
    CTCPPort client;
    client.SetNetParam(1, porttest::LocalPortOf(listener), LoopbackAddress());
    ASSERT_EQ(client.Open(), 1);
    EXPECT_EQ(client.GetState(0), 1);
    int peer = accept(listener, nullptr, nullptr);
    ASSERT_GE(peer, 0);
    EXPECT_EQ(client.WriteString("ping"), 4);
    EXPECT_EQ(ReceiveExactly(peer, 4), "ping");

    // A wait with a time-out ends when data comes, not when the time is up.
    EXPECT_EQ(client.WaitForData(20), 0);
    std::thread late([peer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        send(peer, "!", 1, 0);
    });
    EXPECT_EQ(client.WaitForData(10000), 1);
    late.join();
    EXPECT_EQ(PollRead(client), "!");
    ASSERT_EQ(send(peer, "pong", 4, 0), 4);
    close(peer);
    EXPECT_EQ(PollRead(client), "pong");
    EXPECT_EQ(client.WaitForData(0), -8);
    EXPECT_EQ(client.GetState(0), -1);
    EXPECT_EQ(client.IsOpen(), 0);
    EXPECT_EQ(client.WaitForData(0), -3);
    EXPECT_EQ(client.WaitForData(0), -3);
    char buf[8];
    EXPECT_EQ(client.Write("x", 1), 0);
    EXPECT_EQ(client.Read(buf, sizeof buf), 0);
    close(listener);
}

TEST(TcpClient, OpenFailsWhenRefusedOrGivesUpWhenUnanswered) {
    CTCPPort client;
    client.SetNetParam(1, porttest::FreePort(SOCK_STREAM), LoopbackAddress());
    EXPECT_EQ(client.Open(), 0);
    EXPECT_EQ(client.GetState(0), -1);
    EXPECT_EQ(client.WaitForData(0), -3);

    // A listener whose accept queue is full drops further connection requests,
    // so a blocking connect would wait for the system's full SYN retry time.
    int listener = Listen(0, 0);
    int port = porttest::LocalPortOf(listener);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        fillers.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        sockaddr_in to = Loopback(port);
        connect(fillers.back(), reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    client.SetNetParam(1, port, LoopbackAddress());
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.Open(), 0);
    // A generous bound: the system's own retry time is about two minutes.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    EXPECT_EQ(client.GetState(0), -1);
    for (int fd : fillers)
        close(fd);
    close(listener);
}

}  // namespace
