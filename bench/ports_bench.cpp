// Throughput of the network ports' receive paths against plain socket loops
// over the same loopback traffic.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ports/tcp_port.h"
#include "ports/udp_port.h"

namespace {

constexpr size_t kTcpChunk = 64 * 1024;
constexpr size_t kDatagram = 1400;

sockaddr_in Loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

int PortOf(int fd) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
}

int FreePort(int type) {
    int fd = socket(AF_INET, type, 0);
    sockaddr_in a = Loopback(0);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int port = PortOf(fd);
    close(fd);
    return port;
}

// Writes 64 KiB blocks to fd until stopped or the connection breaks.
std::thread StartTcpWriter(int fd, std::atomic<bool>& stop) {
    return std::thread([fd, &stop] {
        std::vector<char> block(kTcpChunk, 'x');
        while (!stop.load(std::memory_order_relaxed)) {
            if (send(fd, block.data(), block.size(), MSG_NOSIGNAL) <= 0) break;
        }
    });
}

// A connected pair on loopback: {writer's socket, reader's socket}.
std::pair<int, int> TcpPair() {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = Loopback(0);
    bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(listener, 1);
    int reader = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to = Loopback(PortOf(listener));
    connect(reader, reinterpret_cast<sockaddr*>(&to), sizeof to);
    int writer = accept(listener, nullptr, nullptr);
    close(listener);
    return {writer, reader};
}

void BM_TcpRawRead(benchmark::State& state) {
    auto [writer, reader] = TcpPair();
    std::atomic<bool> stop{false};
    std::thread feeder = StartTcpWriter(writer, stop);
    std::vector<char> buf(kTcpChunk);
    int64_t bytes = 0;
    for (auto _ : state) {
        ssize_t n = recv(reader, buf.data(), buf.size(), 0);
        if (n <= 0) break;
        bytes += n;
    }
    stop.store(true);
    shutdown(reader, SHUT_RDWR);
    feeder.join();
    close(reader);
    close(writer);
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_TcpRawRead)->MinTime(2.0)->UseRealTime();

// The main window's poll: WaitForData(0), then Read only when it reports data.
void BM_TcpPortRead(benchmark::State& state) {
    int port = FreePort(SOCK_STREAM);
    StreamPort::CTCPPort server;
    server.SetNetParam(0, port, htonl(INADDR_LOOPBACK));
    server.Open();
    int writer = -1;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (server.GetState(0) != 1 && std::chrono::steady_clock::now() < end) {
        server.WaitForData(0);
        if (writer < 0) {
            writer = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in to = Loopback(port);
            if (connect(writer, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
                close(writer);
                writer = -1;
            }
        }
    }
    if (server.GetState(0) != 1) {
        state.SkipWithError("server did not accept");
        return;
    }
    std::atomic<bool> stop{false};
    std::thread feeder = StartTcpWriter(writer, stop);
    std::vector<char> buf(kTcpChunk);
    int64_t bytes = 0;
    for (auto _ : state) {
        int n = 0;
        while (n <= 0) {
            if (server.WaitForData(0) >= 1) {
                n = server.Read(buf.data(), static_cast<int>(buf.size()));
            } else {
                // Like the main window between ticks, an idle poll leaves the
                // processor to others (here: the writer).
                std::this_thread::yield();
            }
        }
        bytes += n;
    }
    stop.store(true);
    server.Close();
    feeder.join();
    close(writer);
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_TcpPortRead)->MinTime(2.0)->UseRealTime();

// Sends numbered 1400-byte datagrams to port as fast as it can until
// stopped; the count sent goes to *sent.
std::thread StartUdpSender(int port, std::atomic<bool>& stop, std::atomic<int64_t>& sent) {
    return std::thread([port, &stop, &sent] {
        int fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to = Loopback(port);
        std::vector<char> datagram(kDatagram, 'u');
        int64_t n = 0;
        while (!stop.load(std::memory_order_relaxed)) {
            std::memcpy(datagram.data(), &n, sizeof n);
            if (sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to),
                       sizeof to) == static_cast<ssize_t>(kDatagram)) {
                ++n;
            }
        }
        sent.store(n);
        close(fd);
    });
}

// Datagrams the kernel dropped for the UDP socket on 127.0.0.1:port, from
// the last column ("drops") of /proc/net/udp.
int64_t KernelDrops(int port) {
    std::ifstream in("/proc/net/udp");
    std::string line;
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", port);
    while (std::getline(in, line)) {
        if (line.find(local) == std::string::npos) continue;
        std::istringstream fields(line);
        std::string field, last;
        while (fields >> field)
            last = field;
        return std::stoll(last);
    }
    return -1;
}

// Reports what the kernel delivered (sent minus its drops) against what the
// reader got; "lost" must be 0.
void ReportUdp(benchmark::State& state, int64_t read, int64_t sent, int64_t drops) {
    state.SetItemsProcessed(read);
    state.counters["sent"] = static_cast<double>(sent);
    state.counters["kernel_drops"] = static_cast<double>(drops);
    state.counters["lost"] = static_cast<double>(sent - drops - read);
}

void BM_UdpRawRecv(benchmark::State& state) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    int size = 4 << 20;
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0) {
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    sockaddr_in a = Loopback(0);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int port = PortOf(fd);
    std::atomic<bool> stop{false};
    std::atomic<int64_t> sent{0};
    std::thread sender = StartUdpSender(port, stop, sent);
    std::vector<char> buf(65536);
    int64_t datagrams = 0;
    int64_t timed = 0;
    for (auto _ : state) {
        if (recv(fd, buf.data(), buf.size(), 0) > 0) ++datagrams;
    }
    timed = datagrams;
    stop.store(true);
    sender.join();
    while (recv(fd, buf.data(), buf.size(), MSG_DONTWAIT) > 0)
        ++datagrams;
    ReportUdp(state, datagrams, sent.load(), KernelDrops(port));
    state.SetItemsProcessed(timed);
    close(fd);
}
BENCHMARK(BM_UdpRawRecv)->MinTime(2.0)->UseRealTime();

void BM_UdpPortRead(benchmark::State& state) {
    int port = FreePort(SOCK_DGRAM);
    StreamPort::CUDPPort udp;
    udp.SetNetParam(port, -1, htonl(INADDR_LOOPBACK));
    if (udp.Open() != 1) {
        state.SkipWithError("open failed");
        return;
    }
    std::atomic<bool> stop{false};
    std::atomic<int64_t> sent{0};
    std::thread sender = StartUdpSender(port, stop, sent);
    std::vector<char> buf(65536);
    int64_t datagrams = 0;
    int64_t outOfOrder = 0;
    int64_t last = -1;
    auto take = [&] {
        int n = udp.Read(buf.data(), static_cast<int>(buf.size()));
        if (n <= 0) return false;
        int64_t seq;
        std::memcpy(&seq, buf.data(), sizeof seq);
        if (seq <= last) ++outOfOrder;
        last = seq;
        ++datagrams;
        return true;
    };
    for (auto _ : state) {
        while (!(udp.WaitForData(0) >= 1 && take()))
            std::this_thread::yield();
    }
    int64_t timed = datagrams;
    stop.store(true);
    sender.join();
    // Whatever the kernel still holds reaches the queue shortly.
    auto quiet = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    while (std::chrono::steady_clock::now() < quiet) {
        if (udp.WaitForData(0) >= 1 && take()) {
            quiet = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
        }
    }
    ReportUdp(state, datagrams, sent.load(), KernelDrops(port));
    state.SetItemsProcessed(timed);
    state.counters["out_of_order"] = static_cast<double>(outOfOrder);
    udp.Close();
}
BENCHMARK(BM_UdpPortRead)->MinTime(2.0)->UseRealTime();

}  // namespace
