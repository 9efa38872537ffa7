// Floods that no reader keeps up with, for as long as a capture runs: the
// UDP port's queue of datagrams under a 60 s flood of 64 KiB datagrams read
// one a 1 ms tick as the poll reads them (its peak against its cap, what it
// dropped), and qelvor-cli under the same flood and under a 10 min TCP flood
// of 100-byte frames at 5 MB/s (its peak resident memory, records lost).
// QELVOR_FLOOD_SECONDS shortens every flood for a quick look.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "ports/udp_port.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kDatagramSize = 65000;
constexpr double kTcpRateBytesPerSecond = 5e6;

int UdpSocket() {
    return socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}

int FreeUdpPort() {
    const int fd = UdpSocket();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int port = bench::PortOf(fd);
    close(fd);
    return port;
}

// Sends datagrams to 127.0.0.1:port as fast as the kernel takes them until
// stop is set; the count sent.
size_t FloodDatagrams(int port, const std::atomic<bool>& stop) {
    const int fd = UdpSocket();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string datagram(kDatagramSize, 'u');
    size_t sent = 0;
    while (!stop.load()) {
        if (sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to),
                   sizeof to) > 0)
            ++sent;
    }
    close(fd);
    return sent;
}

void BM_UdpQueueUnderAFlood(benchmark::State& state) {
    const auto flood = bench::FloodTime(60);
    for (auto _ : state) {
        const int port = FreeUdpPort();
        StreamPort::CUDPPort udp;
        udp.SetNetParam(port, -1, htonl(INADDR_LOOPBACK));
        udp.Open();
        std::atomic<bool> stop{false};
        size_t sent = 0;
        std::thread sender([&] { sent = FloodDatagrams(port, stop); });
        std::vector<char> buffer(65536);
        size_t peak = 0, read = 0, dropped = 0;
        const auto end = Clock::now() + flood;
        while (Clock::now() < end) {
            peak = std::max(peak, udp.QueuedBytes());
            if (udp.WaitForData(0) > 0 && udp.Read(buffer.data(), 65536) > 0) ++read;
            dropped += udp.TakeDrops(false).items;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        stop.store(true);
        sender.join();
        udp.Close();
        dropped += udp.TakeDrops(true).items;
        state.counters["queue_peak_MiB"] = static_cast<double>(peak) / 1048576.0;
        state.counters["queue_cap_MiB"] =
            static_cast<double>(StreamPort::CUDPPort::kQueueCap) / 1048576.0;
        state.counters["datagrams_sent"] = static_cast<double>(sent);
        state.counters["datagrams_read"] = static_cast<double>(read);
        state.counters["dropped_at_cap"] = static_cast<double>(dropped);
    }
}
BENCHMARK(BM_UdpQueueUnderAFlood)->Iterations(1)->Unit(benchmark::kSecond);

// Reads qelvor-cli's record lines until the pipe ends: how many began with
// the type, and how many information lines held the text.
struct LineCount {
    size_t typed = 0;
    size_t noted = 0;
};
LineCount CountLines(int fd, char type, const std::string& note) {
    LineCount count;
    std::string line;
    char buffer[1 << 16];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) {
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] != '\n') {
                if (line.size() < 200) line += buffer[i];
                continue;
            }
            if (line.find(std::string(1, type) + ":") != std::string::npos) ++count.typed;
            if (line.find(note) != std::string::npos) ++count.noted;
            line.clear();
        }
    }
    return count;
}

std::string SettingsFile(const std::string& name, const std::string& keys) {
    const std::string path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path) << "[ComSet]\r\nAutoSaveLog=0\r\nHandShake=0\r\n" << keys;
    return path;
}

// Ends qelvor-cli and collects its figures.
void StopCli(pid_t pid, benchmark::State& state) {
    state.counters["peak_rss_MiB"] = bench::PeakResidentMiB(pid);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    state.counters["exit_status"] = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_CliUnderAUdpFlood(benchmark::State& state) {
    const auto flood = bench::FloodTime(60);
    for (auto _ : state) {
        const int port = FreeUdpPort();
        const std::string ini = SettingsFile(
            "qelvor-flood-udp.ini",
            "WorkMode=2\r\nUDPLocalPort=" + std::to_string(port) + "\r\nUDPRemotePort=-1\r\n");
        int out = -1;
        const pid_t pid = bench::SpawnCli(ini, nullptr, &out);
        LineCount lines;
        std::thread reader([&] { lines = CountLines(out, 'R', "UDP receive queue full"); });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::atomic<bool> stop{false};
        size_t sent = 0;
        std::thread sender([&] { sent = FloodDatagrams(port, stop); });
        std::this_thread::sleep_for(flood);
        stop.store(true);
        sender.join();
        StopCli(pid, state);
        reader.join();
        close(out);
        state.counters["datagrams_sent"] = static_cast<double>(sent);
        state.counters["records_printed"] = static_cast<double>(lines.typed);
        state.counters["drop_notes"] = static_cast<double>(lines.noted);
        std::filesystem::remove(ini);
    }
}
BENCHMARK(BM_CliUnderAUdpFlood)->Iterations(1)->Unit(benchmark::kSecond);

void BM_CliUnderATcpFloodAt5MBps(benchmark::State& state) {
    const auto flood = bench::FloodTime(600);
    for (auto _ : state) {
        const int listener = bench::ListenOnLoopback();
        const std::string ini = SettingsFile("qelvor-flood-tcp.ini",
                                             "WorkMode=1\r\nSvrIPAddr=127.0.0.1\r\nIPPort=" +
                                                 std::to_string(bench::PortOf(listener)) + "\r\n");
        int out = -1;
        const pid_t pid = bench::SpawnCli(ini, nullptr, &out);
        const int peer = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        LineCount lines;
        std::thread reader([&] { lines = CountLines(out, 'R', "not sent"); });
        const size_t sent = bench::PacedFrames(peer, kTcpRateBytesPerSecond, flood);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        StopCli(pid, state);
        reader.join();
        close(out);
        close(peer);
        close(listener);
        const size_t frames = sent / bench::kFrameSize;
        state.counters["frames_sent"] = static_cast<double>(frames);
        state.counters["records_printed"] = static_cast<double>(lines.typed);
        state.counters["records_lost"] =
            static_cast<double>(frames > lines.typed ? frames - lines.typed : 0);
        std::filesystem::remove(ini);
    }
}
BENCHMARK(BM_CliUnderATcpFloodAt5MBps)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
