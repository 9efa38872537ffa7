#include "ports/tcp_port.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "ports/port_test_util.h"

namespace {

using porttest::Loopback;
using porttest::WaitUntil;
using StreamPort::CTCPPort;

// A plain blocking client connected to 127.0.0.1:port; -1 when refused.
int Connect(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to = Loopback(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// A plain listening socket on all interfaces; port 0 picks one.
int Listen(int port, int backlog = 4) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(static_cast<uint16_t>(port));
    if (bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 || listen(fd, backlog) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Closing with linger 0 sends a reset instead of an orderly close.
void CloseWithReset(int fd) {
    linger lg{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
    close(fd);
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

// Polls like the main window until the port's code is `code`; every code
// seen on the way is kept in `seen`.
bool PollUntilCode(CTCPPort& port, int code, std::vector<int>* seen = nullptr) {
    return WaitUntil([&] {
        int rc = port.WaitForData(0);
        if (seen != nullptr && (seen->empty() || seen->back() != rc)) seen->push_back(rc);
        return rc == code;
    });
}

class TcpServer : public ::testing::Test {
  protected:
    void SetUp() override {
        port_ = porttest::FreePort(SOCK_STREAM);
        server_.SetNetParam(0, port_, porttest::LoopbackAddress());
    }
    void TearDown() override {
        server_.Close();
        for (int fd : clients_)
            close(fd);
    }
    // Opens the server and waits until it listens.
    void OpenListening() {
        ASSERT_EQ(server_.Open(), 1);
        ASSERT_TRUE(PollUntilCode(server_, -2));
        EXPECT_EQ(server_.GetState(0), 0);
    }
    // Connects a client and polls until the server has it.
    int ConnectServed() {
        // State 0 is shown at once; the accept thread listens a moment later.
        // The poll goes on meanwhile, as it does in the main window.
        int fd = -1;
        EXPECT_TRUE(WaitUntil([&] {
            server_.WaitForData(0);
            return (fd = Connect(port_)) >= 0;
        }));
        clients_.push_back(fd);
        EXPECT_TRUE(WaitUntil([&] {
            server_.WaitForData(0);
            return server_.GetState(0) == 1;
        }));
        return fd;
    }

    int port_ = 0;
    CTCPPort server_;
    std::vector<int> clients_;
};

TEST_F(TcpServer, ServesAClientBothWaysThroughThePollContract) {
    EXPECT_EQ(server_.IsOpen(), 0);
    OpenListening();
    EXPECT_EQ(server_.IsOpen(), 1);
    char buf[64];
    EXPECT_EQ(server_.Read(buf, sizeof buf), 0);  // listening: no receive
    EXPECT_EQ(server_.Write("x", 1), 0);
    sockaddr_in peer{};
    EXPECT_EQ(server_.GetPeerAddress(&peer), 0);

    int client = ConnectServed();
    EXPECT_EQ(server_.GetPeerAddress(&peer), 1);
    EXPECT_EQ(peer.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(ntohs(peer.sin_port), porttest::LocalPortOf(client));
    EXPECT_EQ(server_.WaitForData(0), 0);

    const std::string hello("\x02hello\x00\x03", 8);
    ASSERT_EQ(send(client, hello.data(), hello.size(), 0), 8);
    ASSERT_TRUE(WaitUntil([&] { return server_.WaitForData(0) == 1; }));
    EXPECT_EQ(server_.Read(buf, sizeof buf), 8);
    EXPECT_EQ(std::string(buf, 8), hello);
    EXPECT_EQ(server_.WaitForData(0), 0);

    EXPECT_EQ(server_.WriteString(std::string("\x06\x00", 2)), 2);
    EXPECT_EQ(ReceiveExactly(client, 2), std::string("\x06\x00", 2));
    EXPECT_EQ(server_.Write("abc", 0), 0);
    EXPECT_EQ(server_.GetDescription(), nullptr);
}

TEST_F(TcpServer, SecondClientIsRefusedWhileOneIsServed) {
    OpenListening();
    int first = ConnectServed();
    EXPECT_EQ(Connect(port_), -1);

    close(first);
    clients_.erase(clients_.begin());
    std::vector<int> seen;
    ASSERT_TRUE(PollUntilCode(server_, -2, &seen));
    // The close is seen, then the server listens again by itself.
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen[0], -8);
    EXPECT_EQ(seen[1], -1);

    int second = ConnectServed();
    EXPECT_EQ(server_.GetState(0), 1);
    ASSERT_EQ(send(second, "2nd", 3, 0), 3);
    ASSERT_TRUE(WaitUntil([&] { return server_.WaitForData(0) == 1; }));
    char buf[8];
    EXPECT_EQ(server_.Read(buf, sizeof buf), 3);
}

TEST_F(TcpServer, DataSentBeforeThePeerClosedIsReadBeforeTheClose) {
    OpenListening();
    int client = ConnectServed();
    ASSERT_EQ(send(client, "last words", 10, 0), 10);
    close(client);
    clients_.clear();
    ASSERT_TRUE(WaitUntil([&] { return server_.WaitForData(0) == 1; }));
    char buf[64];
    EXPECT_EQ(server_.Read(buf, sizeof buf), 10);
    EXPECT_EQ(server_.WaitForData(0), -8);
    EXPECT_EQ(server_.GetState(0), -1);
    EXPECT_EQ(server_.IsOpen(), 0);
}

TEST_F(TcpServer, ResetByThePeerIsSeenAndTheServerListensAgain) {
    OpenListening();
    int client = ConnectServed();
    CloseWithReset(client);
    clients_.clear();
    std::vector<int> seen;
    ASSERT_TRUE(PollUntilCode(server_, -2, &seen));
    EXPECT_EQ(seen.front(), -6);
    EXPECT_EQ(server_.GetState(0), 0);
}

TEST_F(TcpServer, TakenPortGivesMinus2UntilItIsFreeThenListens) {
    int holder = Listen(port_);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(server_.Open(), 1);
    ASSERT_TRUE(WaitUntil([&] {
        server_.WaitForData(0);
        return server_.GetState(0) == -2;
    }));
    EXPECT_EQ(server_.IsOpen(), 0);
    // Every poll retries the bind; while taken the state comes back to -2.
    for (int i = 0; i < 20; ++i)
        server_.WaitForData(0);
    EXPECT_TRUE(WaitUntil([&] {
        server_.WaitForData(0);
        return server_.GetState(0) == -2;
    }));

    // An accept thread started while the port was taken may still fail its
    // bind after this; the polls that follow retry until a client gets in.
    close(holder);
    ConnectServed();
    EXPECT_EQ(server_.GetState(0), 1);
}

TEST_F(TcpServer, ReopenedRightAfterCloseIsNotKeptFromItsPort) {
    OpenListening();
    int client = ConnectServed();
    // The server closes first, so its side of the connection lingers in
    // TIME_WAIT on the port.
    server_.Close();
    EXPECT_EQ(ReceiveExactly(client, 1), "");
    close(client);
    clients_.clear();
    ASSERT_EQ(server_.Open(), 1);
    ASSERT_TRUE(PollUntilCode(server_, -2));
    EXPECT_EQ(server_.GetState(0), 0);
}

TEST_F(TcpServer, CloseWhileAcceptBlocksReturnsPromptlyAndLeavesNoThread) {
    int threadsBefore = porttest::BaselineThreadCount();
    OpenListening();
    EXPECT_EQ(porttest::ThreadCount(), threadsBefore + 1);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(server_.Close(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(porttest::ThreadCount(), threadsBefore);
    EXPECT_EQ(server_.GetState(0), -1);
    EXPECT_EQ(Connect(port_), -1);  // nobody listens any more
    EXPECT_EQ(server_.Close(), 1);
}

TEST_F(TcpServer, CloseRacingTheStartOfTheAcceptThreadNeverHangs) {
    int threadsBefore = porttest::BaselineThreadCount();
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(server_.Open(), 1);
        ASSERT_EQ(server_.Close(), 1);
    }
    EXPECT_EQ(porttest::ThreadCount(), threadsBefore);
    EXPECT_EQ(server_.GetState(0), -1);
}

TEST_F(TcpServer, WriteToAClosedPeerFailsWithoutSigpipe) {
    std::signal(SIGPIPE, SIG_DFL);
    OpenListening();
    int client = ConnectServed();
    close(client);
    clients_.clear();
    // The peer answers the first block with a reset; the next send then
    // fails with EPIPE, which without MSG_NOSIGNAL kills the test by SIGPIPE.
    std::string block(65536, 'z');
    int last = 1;
    for (int i = 0; i < 200 && server_.GetState(0) == 1; ++i) {
        last = server_.WriteString(block);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(server_.GetState(0), -1);
    EXPECT_LT(last, static_cast<int>(block.size()));
    EXPECT_EQ(server_.Write("a", 1), 0);
    // The server goes back to listening.
    EXPECT_TRUE(PollUntilCode(server_, -2));
}

TEST_F(TcpServer, PeerThatStopsReadingCannotBlockWriteForever) {
    OpenListening();
    ConnectServed();  // this client never reads
    std::string block(64 << 20, 'y');
    auto start = std::chrono::steady_clock::now();
    int sent = server_.WriteString(block);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, static_cast<int>(block.size()));
    EXPECT_EQ(server_.GetState(0), 1);  // the connection itself is still there
}

TEST_F(TcpServer, ConcurrentWritersNeverInterleaveTheirBlocks) {
    OpenListening();
    int client = ConnectServed();
    constexpr size_t kBlock = 100000;
    constexpr int kBlocks = 40;
    auto writer = [&](char c) {
        std::string block(kBlock, c);
        for (int i = 0; i < kBlocks; ++i)
            ASSERT_EQ(server_.WriteString(block), int(kBlock));
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    std::string got = ReceiveExactly(client, 2 * kBlock * kBlocks);
    a.join();
    b.join();
    ASSERT_EQ(got.size(), 2 * kBlock * kBlocks);
    EXPECT_EQ(std::count(got.begin(), got.end(), 'a'), static_cast<long>(kBlock * kBlocks));
    for (size_t at = 0; at < got.size(); at += kBlock) {
        auto begin = got.begin() + static_cast<long>(at);
        ASSERT_EQ(std::count(begin, begin + kBlock, got[at]), static_cast<long>(kBlock))
            << "block at " << at << " is mixed";
    }
}

TEST(TcpClient, ConnectsTalksAndSeesPeerCloseAsMinus8ThenMinus3) {
    int listener = Listen(0);
    ASSERT_GE(listener, 0);
    CTCPPort client;
    client.SetNetParam(1, porttest::LocalPortOf(listener), porttest::LoopbackAddress());
    ASSERT_EQ(client.Open(), 1);
    EXPECT_EQ(client.GetState(0), 1);
    EXPECT_EQ(client.Open(), 1);
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
    char bang;
    EXPECT_EQ(client.Read(&bang, 1), 1);
    ASSERT_EQ(send(peer, "pong", 4, 0), 4);
    close(peer);
    ASSERT_TRUE(WaitUntil([&] { return client.WaitForData(0) == 1; }));
    char buf[16];
    EXPECT_EQ(client.Read(buf, sizeof buf), 4);
    EXPECT_EQ(client.WaitForData(0), -8);
    EXPECT_EQ(client.GetState(0), -1);
    EXPECT_EQ(client.IsOpen(), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(client.WaitForData(0), -3);
    EXPECT_EQ(client.Write("x", 1), 0);
    EXPECT_EQ(client.Read(buf, sizeof buf), 0);
    close(listener);
}

TEST(TcpClient, OpenFailsWhenNobodyListens) {
    CTCPPort client;
    client.SetNetParam(1, porttest::FreePort(SOCK_STREAM), porttest::LoopbackAddress());
    EXPECT_EQ(client.Open(), 0);
    EXPECT_EQ(client.GetState(0), -1);
    EXPECT_EQ(client.IsOpen(), 0);
    EXPECT_EQ(client.WaitForData(0), -3);
    EXPECT_EQ(client.Close(), 1);
}

TEST(TcpClient, OpenGivesUpOnAServerThatNeverAnswers) {
    // A listener whose accept queue is full drops further connection
    // requests, so a connect to it would wait for the system's full retry
    // time.
    int listener = Listen(0, 0);
    ASSERT_GE(listener, 0);
    int port = porttest::LocalPortOf(listener);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in to = Loopback(port);
        connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
        fillers.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    CTCPPort client;
    client.SetNetParam(1, port, porttest::LoopbackAddress());
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.Open(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    EXPECT_EQ(client.GetState(0), -1);
    for (int fd : fillers)
        close(fd);
    close(listener);
}

TEST(TcpPort, NeverOpenedPortClosesQuietlyAndIgnoresSerialCalls) {
    CTCPPort port;
    EXPECT_EQ(port.Close(), 1);
    EXPECT_EQ(port.GetState(0), -1);
    EXPECT_EQ(port.GetState(7), -1);
    EXPECT_EQ(port.SetComParam(3, 9600, "x"), 1);
    port.SetFormat(7, 2, 2);
    EXPECT_EQ(port.GetDescription(), nullptr);
    sockaddr_in peer;
    peer.sin_port = 77;
    EXPECT_EQ(port.GetPeerAddress(&peer), 0);
    EXPECT_EQ(peer.sin_port, 0);
}

}  // namespace
