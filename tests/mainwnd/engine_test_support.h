// Real parts for the engine tests: a temporary folder, a view that records
// what the engine tells it and lets the test fire timers by hand, TCP and UDP
// peers on 127.0.0.1 and pty pairs standing in for serial lines.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "mainwnd/main_view.h"

namespace qelvor::test {

class TempDir {
  public:
    TempDir() {
        std::string pattern = testing::TempDir() + "qelvor_engine_XXXXXX";
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
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// A file of the size that holds no disk blocks: its bytes are all 0x00.
inline bool MakeSparseFile(const std::string& path, off_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    const bool ok = ftruncate(fd, size) == 0;
    close(fd);
    return ok;
}

struct MessageBoxCall {
    std::string text;
    std::string caption;
    MsgIcon icon;
    MsgButtons buttons;
};

class RecordingView : public IMainView {
  public:
    void OnStateChanged(unsigned what) override {
        changes |= what;
        ++notifications;
        if (onChange) onChange(what);
    }
    void StartTimer(int id, int64_t periodMs) override {
        timers[id] = periodMs;
        started.push_back(id);
    }
    void StopTimer(int id) override { timers.erase(id); }
    MsgResult ShowMessageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                             MsgButtons buttons) override {
        boxes.push_back({text, caption, icon, buttons});
        return MsgResult::Ok;
    }

    bool Running(int id) const { return timers.count(id) != 0; }
    int64_t Period(int id) const { return timers.count(id) ? timers.at(id) : -1; }

    std::function<void(unsigned)> onChange;  // a test's look at each change
    unsigned changes = 0;
    int notifications = 0;
    std::map<int, int64_t> timers;
    std::vector<int> started;
    std::vector<MessageBoxCall> boxes;
};

// Runs step until done() holds, for at most limitMs; the result of done().
inline bool RunUntil(const std::function<void()>& step, const std::function<bool()>& done,
                     int limitMs = 3000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        step();
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return true;
}

inline sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

inline int LocalPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// A port number that was free a moment ago: bound to port 0, then released.
inline int FreeTcpPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int port = LocalPort(fd);
    close(fd);
    return port;
}

// One connected or listening socket, closed with the object.
class Socket {
  public:
    explicit Socket(int fd = -1) : fd_(fd) {}
    ~Socket() { Reset(); }
    Socket(Socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Socket& operator=(Socket&& other) noexcept {
        Reset();
        fd_ = other.fd_;
        other.fd_ = -1;
        return *this;
    }
    int Fd() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Reset() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

    // A TCP listener on an ephemeral port of 127.0.0.1.
    static Socket Listen() {
        Socket s(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        const int on = 1;
        setsockopt(s.fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address = Loopback(0);
        if (bind(s.fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(s.fd_, 4) != 0) {
            s.Reset();
        }
        return s;
    }
    static Socket Connect(int port) {
        Socket s(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address = Loopback(port);
        if (connect(s.fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) s.Reset();
        return s;
    }
    static Socket Udp(int port = 0) {
        Socket s(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        sockaddr_in address = Loopback(port);
        if (bind(s.fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) s.Reset();
        return s;
    }

    // Waits at most limitMs for a client; an invalid socket when none came.
    Socket Accept(int limitMs = 3000) const {
        pollfd waiting{fd_, POLLIN, 0};
        if (poll(&waiting, 1, limitMs) != 1) return Socket();
        return Socket(accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
    }
    int Port() const { return LocalPort(fd_); }

    bool SendAll(const std::string& bytes) const {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    bool SendTo(const std::string& bytes, int port) const {
        sockaddr_in to = Loopback(port);
        return sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to),
                      sizeof to) == static_cast<ssize_t>(bytes.size());
    }

    // Whatever arrives within limitMs, up to count bytes; stops early once
    // count bytes are there.
    std::string Receive(size_t count, int limitMs = 3000) const {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd waiting{fd_, POLLIN, 0};
            if (poll(&waiting, 1, static_cast<int>(left.count())) != 1) break;
            char buffer[65536];
            const ssize_t n = read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0) break;
            got.append(buffer, static_cast<size_t>(n));
        }
        return got;
    }

  private:
    int fd_ = -1;
};

// A pty pair: the engine opens the device path, the test talks on the master.
class PtyPair {
  public:
    PtyPair() {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) == 0) path_ = name;
    }
    ~PtyPair() {
        if (master_ >= 0) close(master_);
        if (slave_ >= 0) close(slave_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& Path() const { return path_; }
    int Master() const { return master_; }
    // The test keeps the slave open only until the engine opened it, so that
    // the engine's exclusive open is the one that matters.
    void CloseSlave() {
        if (slave_ >= 0) close(slave_);
        slave_ = -1;
    }
    bool Write(const std::string& bytes) const {
        return write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    std::string Read(size_t count, int limitMs = 3000) const {
        Socket borrowed(dup(master_));
        return borrowed.Receive(count, limitMs);
    }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

}  // namespace qelvor::test
