#include "ports/serial_port_enum.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>

#include "ports/serial_port.h"
#include "ports/serial_port_watcher.h"

namespace {

using StreamPort::CheckPortUse;
using StreamPort::CSerialPortInfo;
using StreamPort::PortUse;

TEST(EnumSerialPorts, ListsOnlyRealDevicesAndReplacesTheList) {
    std::list<CSerialPortInfo> list;
    list.push_back({"/dev/stale", "stale", 1, ""});
    ASSERT_EQ(StreamPort::EnumSerialPorts(list, true), 1);
    for (const auto& info : list) {
        EXPECT_EQ(info.devicePath.rfind("/dev/", 0), 0u) << info.devicePath;
        EXPECT_NE(info.devicePath, "/dev/stale");
        EXPECT_FALSE(info.displayName.empty());
        // Virtual consoles and the pty multiplexer have no parent device.
        EXPECT_EQ(info.devicePath.rfind("/dev/tty0", 0), std::string::npos);
        EXPECT_NE(info.devicePath, "/dev/ptmx");
        EXPECT_NE(info.devicePath, "/dev/console");
    }
    std::list<CSerialPortInfo> again;
    ASSERT_EQ(StreamPort::EnumSerialPorts(again, false), 1);
    EXPECT_GE(again.size(), list.size());  // the check only removes entries
}

class PtyUse : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
        path_ = ttyname(slave_);
        close(slave_);
    }
    void TearDown() override { close(master_); }
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

TEST_F(PtyUse, PortHeldByAnOpenSerialPortIsInUseUntilClosed) {
    std::string group = "untouched";
    EXPECT_EQ(CheckPortUse(path_, &group), PortUse::Free);
    StreamPort::CSerialPort port;
    port.SetComParam(0, 9600, path_.c_str());
    ASSERT_EQ(port.Open(), 1);
    EXPECT_EQ(CheckPortUse(path_, &group), PortUse::InUse);
    EXPECT_EQ(port.Write("x", 1), 1);  // the check did not disturb the holder
    port.Close();
    EXPECT_EQ(CheckPortUse(path_, &group), PortUse::Free);
    EXPECT_EQ(group, "untouched");
}

TEST_F(PtyUse, FlockOfAnotherProgramCountsAsInUse) {
    int holder = open(path_.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(CheckPortUse(path_, nullptr), PortUse::InUse);
    flock(holder, LOCK_UN);
    EXPECT_EQ(CheckPortUse(path_, nullptr), PortUse::Free);
    close(holder);
}

// Runs check in a child process that has dropped to the "nobody" user; the
// child's exit status is check's result.
int AsNobody(const std::function<int()>& check) {
    pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(99);
        _exit(check());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

TEST_F(PtyUse, PortThisUserMayNotOpenIsListedWithItsGroup) {
    if (getuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
    // A pty slave belongs to its creator, readable by no one else.
    struct stat st {};
    ASSERT_EQ(stat(path_.c_str(), &st), 0);
    const group* owner = getgrgid(st.st_gid);
    ASSERT_NE(owner, nullptr);
    const std::string expectedGroup = owner->gr_name;
    int result = AsNobody([&] {
        std::string group;
        if (CheckPortUse(path_, &group) != PortUse::NoAccess) return 1;
        if (group != expectedGroup) return 2;
        StreamPort::CSerialPort port;
        port.SetComParam(0, 9600, path_.c_str());
        if (port.Open() != 0 || port.LastOpenError() != EACCES) return 3;
        if (port.LastOpenErrorText() != "permission denied (group " + expectedGroup + ")") {
            return 4;
        }
        return 0;
    });
    EXPECT_EQ(result, 0);
}

TEST(CheckPortUse, VanishedDeviceIsGone) {
    EXPECT_EQ(CheckPortUse("/dev/ttyNoSuchDevice9", nullptr), PortUse::Gone);
}

TEST(ParseLockFilePid, ReadsTheAsciiAndTheBinaryForm) {
    EXPECT_EQ(StreamPort::ParseLockFilePid("      4242\n"), 4242);
    EXPECT_EQ(StreamPort::ParseLockFilePid("17"), 17);
    int32_t binary = 31337;
    EXPECT_EQ(StreamPort::ParseLockFilePid(std::string(reinterpret_cast<char*>(&binary), 4)),
              31337);
    int32_t negative = -5;
    EXPECT_EQ(StreamPort::ParseLockFilePid(std::string(reinterpret_cast<char*>(&negative), 4)), 0);
    EXPECT_EQ(StreamPort::ParseLockFilePid(""), 0);
    EXPECT_EQ(StreamPort::ParseLockFilePid("   \n"), 0);
    EXPECT_EQ(StreamPort::ParseLockFilePid("pid 12\n"), 0);
    EXPECT_EQ(StreamPort::ParseLockFilePid("99999999999999999999"), 0);
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

TEST(SerialPortWatcher, DescriptorNeverBlocksWhenNothingChanged) {
    StreamPort::CSerialPortWatcher watcher;
    int fd = watcher.Fd();
    ASSERT_GE(fd, 0);
    EXPECT_NE(fcntl(fd, F_GETFL, 0) & O_NONBLOCK, 0);
    pollfd pfd{fd, POLLIN, 0};
    EXPECT_GE(poll(&pfd, 1, 0), 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(watcher.DrainEvents());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

}  // namespace
