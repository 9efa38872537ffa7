// Real parts for the traffic tests: a temporary folder, a view that records
// what the exchange tells it, and a UDP peer on 127.0.0.1 that receives the
// exchange's responses as datagrams.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "traffic/exchange_view.h"

namespace qelvor::test {

class TempDir {
  public:
    TempDir() {
        std::string pattern = testing::TempDir() + "qelvor_traffic_XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // The folder, without a trailing "/".
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

class RecordingView : public IExchangeView {
  public:
    void OnRecordCountChanged(size_t count) override { counts.push_back(count); }
    void ScrollToNewest() override { ++scrolls; }
    std::string GetSendText() override { return sendText; }
    void SetSendText(const std::string& text) override { sendText = text; }
    void SetBufferText(const std::string& text) override { bufferText = text; }

    std::vector<size_t> counts;
    int scrolls = 0;
    std::string sendText;
    std::string bufferText;
};

// A datagram socket bound to an ephemeral port of 127.0.0.1.
class UdpPeer {
  public:
    UdpPeer() {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
    }
    ~UdpPeer() {
        if (fd_ >= 0) close(fd_);
    }
    UdpPeer(const UdpPeer&) = delete;
    UdpPeer& operator=(const UdpPeer&) = delete;

    int Port() const { return port_; }

    // Every datagram that arrives until none has come for waitMs.
    std::vector<std::string> Drain(int waitMs = 100) {
        std::vector<std::string> datagrams;
        pollfd entry{fd_, POLLIN, 0};
        while (poll(&entry, 1, waitMs) == 1) {
            std::string buffer(70000, '\0');
            const ssize_t n = recv(fd_, buffer.data(), buffer.size(), 0);
            if (n < 0) break;
            buffer.resize(static_cast<size_t>(n));
            datagrams.push_back(std::move(buffer));
        }
        return datagrams;
    }

  private:
    int fd_ = -1;
    int port_ = 0;
};

// A port number of 127.0.0.1 that was free a moment ago.
inline int FreeUdpPort() {
    UdpPeer probe;
    return probe.Port();
}

}  // namespace qelvor::test
