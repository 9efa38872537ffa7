// Helpers of the port tests: bounded waiting, loopback endpoints and a count
// of the process's threads.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

namespace porttest {

constexpr std::chrono::seconds kDeadline{5};

// Calls poll until it returns true or the limit has passed; its last result.
inline bool WaitUntil(const std::function<bool()>& poll,
                      std::chrono::milliseconds limit = kDeadline) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!poll()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline uint32_t LoopbackAddress() {
    return htonl(INADDR_LOOPBACK);
}

inline sockaddr_in Loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = LoopbackAddress();
    return a;
}

inline int LocalPortOf(int fd) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    return getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0 ? ntohs(a.sin_port) : -1;
}

// A port number that was free a moment ago, for the kind of socket given.
inline int FreePort(int type) {
    int fd = socket(AF_INET, type, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any);
    int port = LocalPortOf(fd);
    close(fd);
    return port;
}

inline int ThreadCount() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                          std::filesystem::directory_iterator()));
}

// A sanitizer's runtime starts a helper thread when the first thread is made,
// so one thread is made and joined before the count to compare with.
inline int BaselineThreadCount() {
    std::thread([] {}).join();
    return ThreadCount();
}

}  // namespace porttest
