// What several benchmarks share: a stream of 100-byte CR LF frames, a TCP
// listener on an ephemeral port of 127.0.0.1, qelvor-cli started as a user
// starts it, and a process's peak resident memory.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

extern char** environ;

namespace bench {

inline constexpr size_t kFrameSize = 100;

// total bytes of frames of kFrameSize bytes ending in CR LF, the last cut.
inline std::string FramesOf(size_t total) {
    std::string frame(kFrameSize - 2, 'A');
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<char>('A' + i % 26);
    frame += "\r\n";
    std::string all;
    all.reserve(total);
    while (all.size() < total)
        all += frame;
    all.resize(total);
    return all;
}

inline int PortOf(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

inline int ListenOnLoopback() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(fd, 1);
    return fd;
}

// How long a flood runs: the default, or QELVOR_FLOOD_SECONDS for a quick look.
inline std::chrono::seconds FloodTime(int defaultSeconds) {
    const char* set = std::getenv("QELVOR_FLOOD_SECONDS");
    const int seconds = set != nullptr ? std::atoi(set) : 0;
    return std::chrono::seconds(seconds > 0 ? seconds : defaultSeconds);
}

// Sends frames of kFrameSize bytes into the socket at bytesPerSecond for the
// time, as a device would; the bytes sent.
inline size_t PacedFrames(int fd, double bytesPerSecond, std::chrono::seconds time) {
    using Clock = std::chrono::steady_clock;
    const std::string block = FramesOf(50 * kFrameSize);
    const auto start = Clock::now();
    size_t sent = 0;
    while (Clock::now() - start < time) {
        const double due =
            std::chrono::duration<double>(Clock::now() - start).count() * bytesPerSecond;
        if (static_cast<double>(sent) >= due) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        const ssize_t put = send(fd, block.data(), block.size(), MSG_NOSIGNAL);
        if (put <= 0) break;
        sent += static_cast<size_t>(put);
    }
    return sent;
}

// The peak resident size of process pid in MiB (VmHWM); 0 when unknown.
inline double PeakResidentMiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    }
    return 0;
}

// A line of /proc/PID/status in MiB ("VmHWM", "RssAnon"); 0 when unknown.
inline double StatusMiB(pid_t pid, const std::string& key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(key + ":", 0) == 0) return std::atof(line.c_str() + key.size() + 1) / 1024.0;
    }
    return 0;
}

#ifdef QELVOR_CLI_PATH
// Starts qelvor-cli with "--ini ini". Its standard input, and its standard
// output, is a new pipe when inFd, or outFd, is given (the pipe's other end
// goes there), else /dev/null; its standard error is /dev/null. -1 when it
// could not be started.
inline pid_t SpawnCli(const std::string& ini, int* inFd, int* outFd) {
    int in[2] = {-1, -1}, out[2] = {-1, -1};
    if ((inFd != nullptr && pipe2(in, O_CLOEXEC) != 0) ||
        (outFd != nullptr && pipe2(out, O_CLOEXEC) != 0))
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (inFd != nullptr) {
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    if (outFd != nullptr) {
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string program = QELVOR_CLI_PATH, option = "--ini", path = ini;
    char* argv[] = {program.data(), option.data(), path.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (inFd != nullptr) {
        close(in[0]);
        *inFd = in[1];
    }
    if (outFd != nullptr) {
        close(out[1]);
        *outFd = out[0];
    }
    return pid;
}
#endif

}  // namespace bench
