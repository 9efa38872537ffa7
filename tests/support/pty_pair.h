// A pty pair standing in for a serial device in tests: the port under test
// opens the slave by its path, the test plays the device on the master and
// keeps a slave descriptor of its own to look at the line settings.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string>
#include <utility>

namespace qelvor::testing_support {

class PtyDevice {
  public:
    PtyDevice() {
        if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) return;
        path_ = ttyname(slave_);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL, 0) | O_NONBLOCK);
    }
    ~PtyDevice() {
        CloseMaster();
        if (slave_ >= 0) close(slave_);
    }
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    const std::string& Path() const { return path_; }
    int Master() const { return master_; }
    int Slave() const { return slave_; }
    // The device vanishes: the slave side hangs up.
    void CloseMaster() {
        if (master_ >= 0) close(std::exchange(master_, -1));
    }
    // Writes all bytes, waiting at most limitMs at a time while the pty is
    // full; how many were written.
    size_t Feed(const char* bytes, size_t length, int limitMs = 5000) const {
        size_t done = 0;
        while (done < length) {
            const ssize_t n = write(master_, bytes + done, length - done);
            if (n > 0) done += static_cast<size_t>(n);
            if (n > 0 || (n < 0 && errno == EINTR)) continue;
            pollfd room{master_, POLLOUT, 0};
            if (n < 0 && errno != EAGAIN) break;
            if (poll(&room, 1, limitMs) != 1 || (room.revents & POLLOUT) == 0) break;
        }
        return done;
    }
    bool Feed(const std::string& bytes) const {
        return Feed(bytes.data(), bytes.size()) == bytes.size();
    }
    // Whatever the port wrote that is there now (at most 4 KiB).
    std::string Drain() const {
        char buffer[4096];
        const ssize_t n = read(master_, buffer, sizeof buffer);
        return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
    }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

}  // namespace qelvor::testing_support
