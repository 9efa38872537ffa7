// qelvor-cli as a user runs it: a loopback TCP peer floods it with 100-byte
// CR LF frames and every record line goes to standard output, a pipe read
// here. The figure is the peer's bytes a second once every record line has
// arrived; the poll's ceiling is one 64 KiB block a 1 ms tick, 65.5 MB/s.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>

#include "bench_support.h"

extern char** environ;

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

// Starts qelvor-cli with its standard output on a pipe; the read end.
pid_t StartCli(const std::string& ini, int& outFd) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string program = QELVOR_CLI_PATH, option = "--ini", path = ini;
    char* argv[] = {program.data(), option.data(), path.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    outFd = out[0];
    return pid;
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

// Reads record lines until every frame has been printed; the count seen.
size_t CountRecordLines(int fd, size_t frames) {
    size_t lines = 0;
    char buffer[1 << 16];
    while (lines < frames) {
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
        const pid_t pid = StartCli(WriteSettings(folder, port), out);
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

}  // namespace
