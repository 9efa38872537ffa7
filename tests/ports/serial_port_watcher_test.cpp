// The watcher of serial devices coming and going, told by the kernel.
#include "ports/serial_port_watcher.h"

#include <fcntl.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace {

using qelvor::testing_support::WaitUntil;

// "add" written to a tty's uevent file (root, writable /sys) makes the kernel
// announce it; a plain listener tells whether such events reach this process.
TEST(SerialPortWatcher, ReportsATtyThatIsAnnounced) {
    StreamPort::CSerialPortWatcher watcher;
    ASSERT_GE(watcher.Fd(), 0);
    EXPECT_NE(fcntl(watcher.Fd(), F_GETFL, 0) & O_NONBLOCK, 0);
    const int raw = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    sockaddr_nl groups{AF_NETLINK, 0, 0, 1};
    const bool listening = bind(raw, reinterpret_cast<sockaddr*>(&groups), sizeof groups) == 0;
    bool announced = false;
    for (const auto& tty : std::filesystem::directory_iterator("/sys/class/tty")) {
        const int fd = listening ? open((tty.path() / "uevent").c_str(), O_WRONLY) : -1;
        announced = fd >= 0 && write(fd, "add\n", 4) == 4;
        close(fd);
        if (announced || !listening) break;
    }
    pollfd kernel{raw, POLLIN, 0};
    const bool heard = announced && poll(&kernel, 1, 2000) == 1;
    close(raw);
    if (!announced) GTEST_SKIP() << "no tty's uevent file is writable here";
    if (!heard) GTEST_SKIP() << "the kernel's device events do not reach this network namespace";
    EXPECT_TRUE(WaitUntil([&] { return watcher.DrainEvents(); }));
}

}  // namespace
