// What several benchmarks share: a stream of 100-byte CR LF frames and a TCP
// listener on an ephemeral port of 127.0.0.1.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstddef>
#include <string>

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

}  // namespace bench
