// A pty pair standing in for a serial device in tests (not copyable): the port
// under test opens the slave by its path, the test plays the device on the
// non-blocking master and keeps a slave descriptor to read the line settings.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
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

}  // namespace qelvor::testing_support
