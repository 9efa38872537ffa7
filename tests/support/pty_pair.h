// A pty pair as a serial device (not copyable): the port opens the slave, the test plays master.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

namespace qelvor::testing_support {

struct PtyDevice {
    PtyDevice() {
        if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return;
        path = ttyname(slave);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL, 0) | O_NONBLOCK);
    }
    ~PtyDevice() {
        CloseMaster();
        close(slave);
    }
    // The device vanishes: the slave side hangs up.
    void CloseMaster() {
        if (master >= 0) close(std::exchange(master, -1));
    }
    // Writes all bytes, waiting at most 5 s at a time while the pty is full.
    bool Feed(std::string_view bytes) const {
        for (size_t done = 0; done < bytes.size();) {
            const ssize_t n = write(master, bytes.data() + done, bytes.size() - done);
            if (n > 0) done += static_cast<size_t>(n);
            pollfd room{master, POLLOUT, 0};
            if (n < 0 && (errno != EAGAIN || poll(&room, 1, 5000) != 1)) return false;
        }
        return true;
    }

    int master = -1, slave = -1;
    std::string path;
};

// Closes master on a thread once its waiting bytes stop growing (or after 5 s): a far
// end that stops reading and goes away, so that a writer stalls and is cut off.
inline std::thread CloseOnceStalled(int master) {
    return std::thread([master] {
        for (int i = 0, last = -1, now = 0; i < 250 && (now == 0 || now != last); ++i) {
            last = now;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ioctl(master, FIONREAD, &now);
        }
        close(master);
    });
}

}  // namespace qelvor::testing_support
