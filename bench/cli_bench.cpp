// qelvor-cli as a user runs it: a loopback TCP peer floods it with 100-byte
// CR LF frames and every record line goes to standard output, a pipe read
// here. The figure is the peer's bytes a second once every record line has
// arrived; the poll's ceiling is one 64 KiB block a 1 ms tick, 65.5 MB/s.
// And its standard input flooded with no client to send to: its peak memory.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>

#include "bench_support.h"

namespace {

constexpr size_t kFloodBytes = 32u * 1024 * 1024;
using bench::kFrameSize;
constexpr double kCeilingMBps = 65.536;

std::string WriteSettings(const std::string& folder, int port) {
    const std::string path = folder + "/cli-bench.ini";
    std::ofstream(path) << "[ComSet]\r\nWorkMode=1\r\nSvrIPAddr=127.0.0.1\r\nIPPort=" << port
                        << "\r\nHandShake=0\r\nAutoSaveLog=0\r\n";
    return path;
}

void Flood(int fd) {
    std::string frame(kFrameSize - 2, 'x');
    frame += "\r\n";
    std::string block;
    while (block.size() < 64 * 1024)
        block += frame;
    for (size_t sent = 0; sent < kFloodBytes;) {
        const size_t size = std::min(block.size(), kFloodBytes - sent);
        const ssize_t put = send(fd, block.data(), size, MSG_NOSIGNAL);
        if (put <= 0) return;
        sent += static_cast<size_t>(put);
    }
}

// Reads record lines until every frame has been printed, or none came for
// quietMs (lines a slow reader missed are dropped, and told on standard
// error); the count seen.
size_t CountRecordLines(int fd, size_t frames, int quietMs = -1) {
    size_t lines = 0;
    char buffer[1 << 16];
    while (lines < frames) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, quietMs) <= 0) break;
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) break;
        for (ssize_t i = 0; i < got; ++i)
            lines += buffer[i] == '\n';
    }
    return lines;
}

void BM_CliTcpFlood(benchmark::State& state) {
    const std::string folder = std::filesystem::temp_directory_path() / "qelvor-cli-bench";
    std::filesystem::create_directories(folder);
    const size_t frames = kFloodBytes / kFrameSize;
    size_t printed = 0;
    for (auto _ : state) {
        const int listener = bench::ListenOnLoopback();
        const int port = bench::PortOf(listener);
        int out = -1;
        const pid_t pid = bench::SpawnCli(WriteSettings(folder, port), nullptr, &out);
        const int peer = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        const auto start = std::chrono::steady_clock::now();
        std::thread sender(Flood, peer);
        printed = CountRecordLines(out, frames);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        sender.join();
        state.SetIterationTime(elapsed.count());
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        close(out);
        close(peer);
        close(listener);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frames * kFrameSize));
    state.counters["records_printed"] = static_cast<double>(printed);
    state.counters["records_sent"] = static_cast<double>(frames);
    state.counters["ceiling_MBps"] = kCeilingMBps;
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CliTcpFlood)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);

// Standard input flooded for kStdinFlood while no client is connected, so
// no line can be sent: the figure is the peak resident memory of qelvor-cli,
// which stays flat because reading pauses while its input queue is full (a
// pipe writer as fast as it can be then waits), and the input bytes taken.
constexpr auto kStdinFlood = std::chrono::seconds(3);

// A TCP server nobody connects to, its standard input on a pipe; the write end.
pid_t StartServerCli(const std::string& folder, int& inFd) {
    const int probe = bench::ListenOnLoopback();
    const int port = bench::PortOf(probe);
    close(probe);
    const std::string ini = folder + "/cli-stdin.ini";
    std::ofstream(ini) << "[ComSet]\r\nWorkMode=0\r\nIPPort=" << port << "\r\nAutoSaveLog=0\r\n";
    return bench::SpawnCli(ini, &inFd, nullptr);
}

// Writes lines of 100 bytes into fd for kStdinFlood, never waiting longer
// than 10 ms at a time; the bytes the reader took.
size_t FloodInput(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    const std::string block = bench::FramesOf(64 * 1024);
    const auto end = std::chrono::steady_clock::now() + kStdinFlood;
    size_t taken = 0;
    while (std::chrono::steady_clock::now() < end) {
        const ssize_t put = write(fd, block.data(), block.size());
        if (put > 0) taken += static_cast<size_t>(put);
        if (put < 0 && errno != EAGAIN) break;
        if (put < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return taken;
}

void BM_CliStdinFloodWithoutClient(benchmark::State& state) {
    const std::string folder = std::filesystem::temp_directory_path() / "qelvor-cli-bench-in";
    std::filesystem::create_directories(folder);
    size_t taken = 0;
    double peak = 0;
    for (auto _ : state) {
        int in = -1;
        const pid_t pid = StartServerCli(folder, in);
        taken = FloodInput(in);
        peak = bench::PeakResidentMiB(pid);
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        close(in);
    }
    state.counters["stdin_MB_taken"] = static_cast<double>(taken) / 1e6;
    state.counters["peak_rss_MiB"] = peak;
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CliStdinFloodWithoutClient)->Iterations(1)->Unit(benchmark::kMillisecond);

// QELVOR_GROWTH_RECORDS records of 100 bytes (default 5 million; 100 million
// is the capture a weekend makes) through TCP loopback into qelvor-cli, its
// record lines read from a pipe: the rate and the anonymous memory it holds
// at the end, which must not grow with the records.
void BM_CliRecordsAHugeCapture(benchmark::State& state) {
    const char* set = std::getenv("QELVOR_GROWTH_RECORDS");
    const size_t frames = set != nullptr && std::atol(set) > 0 ? size_t(std::atol(set)) : 5000000;
    const std::string folder = std::filesystem::temp_directory_path() / "qelvor-cli-bench-huge";
    std::filesystem::create_directories(folder);
    const std::string block = bench::FramesOf(10000 * kFrameSize);
    for (auto _ : state) {
        const int listener = bench::ListenOnLoopback();
        int out = -1;
        const pid_t pid =
            bench::SpawnCli(WriteSettings(folder, bench::PortOf(listener)), nullptr, &out);
        const int peer = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        const auto start = std::chrono::steady_clock::now();
        std::thread sender([&] {
            for (size_t sent = 0; sent < frames * kFrameSize; sent += block.size())
                if (send(peer, block.data(), block.size(), MSG_NOSIGNAL) <= 0) break;
        });
        const size_t printed = CountRecordLines(out, frames, 3000);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        sender.join();
        state.SetIterationTime(elapsed.count());
        state.counters["records_printed"] = static_cast<double>(printed);
        state.counters["records_sent"] = static_cast<double>(frames);
        state.counters["MB_per_s"] =
            static_cast<double>(printed * kFrameSize) / 1e6 / elapsed.count();
        state.counters["rss_anon_MiB"] = bench::StatusMiB(pid, "RssAnon");
        state.counters["peak_rss_MiB"] = bench::PeakResidentMiB(pid);
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        close(out);
        close(peer);
        close(listener);
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CliRecordsAHugeCapture)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
