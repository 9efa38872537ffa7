#include "ports/serial_port_enum.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <future>
#include <string>

#include "ports/port_test_util.h"
#include "ports/serial_port.h"
#include "ports/serial_port_watcher.h"
#include "support/pty_pair.h"
#include "support/temp_folder.h"

namespace {

using StreamPort::CheckPortUse;
using StreamPort::CSerialPortInfo;
using StreamPort::PortUse;

TEST(EnumSerialPorts, ListsOnlyDevicesWithAParentAndReplacesTheList) {
    std::list<CSerialPortInfo> list{{"/dev/stale", "stale", 1, ""}};
    ASSERT_EQ(StreamPort::EnumSerialPorts(list, false), 1);
    if (list.empty()) GTEST_SKIP() << "this machine has no serial device (udev lists none)";
    for (const auto& info : list) {
        struct stat st {};
        EXPECT_EQ(stat(info.devicePath.c_str(), &st), 0) << info.devicePath;
        EXPECT_TRUE(S_ISCHR(st.st_mode)) << info.devicePath;
        EXPECT_NE(info.displayName.find(info.devicePath.substr(5)), std::string::npos);
        for (const char* never : {"/dev/stale", "/dev/tty0", "/dev/ptmx", "/dev/console"})
            EXPECT_NE(info.devicePath, never);
    }
    std::list<CSerialPortInfo> checked;
    ASSERT_EQ(StreamPort::EnumSerialPorts(checked, true), 1);
    EXPECT_LE(checked.size(), list.size());  // the use check only removes entries
}

class PtyUse : public ::testing::Test {
  protected:
    qelvor::testing_support::PtyDevice pty_;
    qelvor::testing_support::TempFolder locks_;
    const std::string path_ = pty_.Path();
    const std::string lockFile_ = locks_.Path() + "LCK.." + path_.substr(path_.rfind('/') + 1);
};

// The list and Open make one decision: each way of holding the port makes it
// busy in both, and Open's reason names the holder where one can be found.
TEST_F(PtyUse, EachHolderMakesThePortBusyInTheListAndInOpen) {
    const std::string byMe = "busy: locked by process " + std::to_string(getpid());
    const int holder = open(path_.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    StreamPort::CSerialPort other;
    struct Row {
        const char* what;
        std::function<void()> take, release;
        std::string want;
    } rows[] = {
        {"exclusive mark", [&] { ioctl(holder, TIOCEXCL); }, [&] { ioctl(holder, TIOCNXCL); },
         "busy: held exclusively by another program"},
        {"flock", [&] { flock(holder, LOCK_EX); }, [&] { flock(holder, LOCK_UN); }, byMe},
        {"lock file",
         [&] { qelvor::testing_support::WriteFile(lockFile_, std::to_string(getpid()) + "\n"); },
         [&] { unlink(lockFile_.c_str()); }, byMe},
        {"serial port", [&] { other.SetComParam(0, 9600, path_.c_str()), other.Open(); },
         [&] { other.Close(); }, byMe},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        StreamPort::CSerialPort port;
        port.SetComParam(0, 9600, path_.c_str());
        port.SetLockFolders({locks_.Path()});
        r.take();
        EXPECT_EQ(CheckPortUse(path_, nullptr, {locks_.Path()}), PortUse::InUse);
        EXPECT_EQ(port.Open(), 0);
        EXPECT_EQ(port.LastOpenErrorText(), r.want);
        r.release();
        EXPECT_EQ(CheckPortUse(path_, nullptr, {locks_.Path()}), PortUse::Free);
        EXPECT_EQ(port.Open(), 1);
    }
    close(holder);
    EXPECT_EQ(CheckPortUse("/dev/ttyNoSuchDevice9", nullptr), PortUse::Gone);
}

TEST_F(PtyUse, PortThisUserMayNotOpenIsListedWithItsGroup) {
    if (getuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
    // A pty slave belongs to its creator and is closed to everyone else.
    struct stat st {};
    ASSERT_EQ(stat(path_.c_str(), &st), 0);
    const group* owner = getgrgid(st.st_gid);
    ASSERT_NE(owner, nullptr);
    const std::string want = owner->gr_name;
    pid_t child = fork();
    if (child == 0) {  // the child drops to "nobody"; its exit status tells what failed
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(9);
        std::string group;
        if (CheckPortUse(path_, &group) != PortUse::NoAccess) _exit(1);
        if (group != want) _exit(2);
        StreamPort::CSerialPort port;
        port.SetComParam(0, 9600, path_.c_str());
        if (port.Open() != 0 || port.LastOpenError() != EACCES) _exit(3);
        _exit(port.LastOpenErrorText() == "permission denied: " + path_ + " belongs to group " +
                                              want + "; add your user to it (`sudo usermod -aG " +
                                              want + " $USER`) and log in again"
                  ? 0
                  : 4);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Anyone may leave a FIFO in the lock folder; opening it to read would wait
// for a writer.
TEST_F(PtyUse, AFifoInTheLockFolderCannotHangTheCheck) {
    ASSERT_EQ(mkfifo(lockFile_.c_str(), 0600), 0);
    auto check = std::async(std::launch::async,
                            [&] { return CheckPortUse(path_, nullptr, {locks_.Path()}); });
    bool returned = check.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    EXPECT_TRUE(returned);
    while (check.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        close(open(lockFile_.c_str(), O_WRONLY | O_NONBLOCK));  // lets a stuck check go on
    EXPECT_EQ(check.get(), PortUse::Free);
}

TEST(ParseLockFilePid, ReadsTheAsciiAndTheBinaryForm) {
    auto binary = [](int32_t pid) { return std::string(reinterpret_cast<char*>(&pid), 4); };
    std::pair<std::string, int> rows[] = {{"      4242\n", 4242},
                                          {"17", 17},
                                          {binary(31337), 31337},
                                          {binary(-5), 0},
                                          {"", 0},
                                          {"   \n", 0},
                                          {"pid 12\n", 0},
                                          {"99999999999999999999", 0}};
    for (const auto& [text, pid] : rows)
        EXPECT_EQ(StreamPort::ParseLockFilePid(text), pid) << text;
}

TEST(PortListLine, MarksPortsInUseAndPortsWithoutAccess) {
    CSerialPortInfo free{"/dev/ttyUSB0", "FT232R (ttyUSB0)", 0, ""};
    CSerialPortInfo held{"/dev/ttyUSB1", "CP2102 (ttyUSB1)", 1, ""};
    CSerialPortInfo locked{"/dev/ttyACM0", "ttyACM0", 0, "dialout"};
    EXPECT_EQ(StreamPort::PortListLine(free, "In Used"), "FT232R (ttyUSB0)");
    EXPECT_EQ(StreamPort::PortListLine(held, "In Used"), "CP2102 (ttyUSB1)\t\t In Used");
    EXPECT_EQ(StreamPort::PortListLine(locked, "In Used", "No access"),
              "ttyACM0\t\t No access (dialout)");
}

// Asks the kernel to announce a tty again ("add" written to its uevent file);
// false where no such file may be written (no root, a read-only /sys).
bool AnnounceATty() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/tty", error)) {
        const int fd = open((entry.path() / "uevent").c_str(), O_WRONLY | O_CLOEXEC);
        const bool written = fd >= 0 && write(fd, "add\n", 4) == 4;
        if (fd >= 0) close(fd);
        if (written) return true;
    }
    return false;
}

// A plain listener of the kernel's device events tells whether any reach
// this process at all (they do not cross into another network namespace).
TEST(SerialPortWatcher, ReportsATtyThatIsAnnounced) {
    StreamPort::CSerialPortWatcher watcher;
    ASSERT_GE(watcher.Fd(), 0);
    EXPECT_NE(fcntl(watcher.Fd(), F_GETFL, 0) & O_NONBLOCK, 0);
    const int raw = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    sockaddr_nl groups{AF_NETLINK, 0, 0, 1};
    const bool listening =
        raw >= 0 && bind(raw, reinterpret_cast<sockaddr*>(&groups), sizeof groups) == 0;
    const bool announced = listening && AnnounceATty();
    pollfd kernel{raw, POLLIN, 0};
    const bool heard = announced && poll(&kernel, 1, 2000) == 1;
    if (raw >= 0) close(raw);
    if (!announced) GTEST_SKIP() << "no tty's uevent file is writable here (needs root and /sys)";
    if (!heard) GTEST_SKIP() << "the kernel's device events do not reach this network namespace";
    EXPECT_TRUE(
        porttest::WaitUntil([&] { return watcher.DrainEvents(); }, std::chrono::seconds(3)));
}

}  // namespace
