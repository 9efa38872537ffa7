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
#include <future>
#include <string>

#include "ports/serial_port.h"
#include "ports/serial_port_watcher.h"

namespace {

using StreamPort::CheckPortUse;
using StreamPort::CSerialPortInfo;
using StreamPort::PortUse;

TEST(EnumSerialPorts, ListsOnlyDevicesWithAParentAndReplacesTheList) {
    std::list<CSerialPortInfo> list{{"/dev/stale", "stale", 1, ""}};
    ASSERT_EQ(StreamPort::EnumSerialPorts(list, true), 1);
    for (const auto& info : list) {
        EXPECT_EQ(info.devicePath.rfind("/dev/", 0), 0u) << info.devicePath;
        EXPECT_FALSE(info.displayName.empty());
        for (const char* never : {"/dev/stale", "/dev/tty0", "/dev/ptmx", "/dev/console"})
            EXPECT_NE(info.devicePath, never);
    }
    std::list<CSerialPortInfo> unchecked;
    ASSERT_EQ(StreamPort::EnumSerialPorts(unchecked, false), 1);
    EXPECT_GE(unchecked.size(), list.size());  // the use check only removes entries
}

class PtyUse : public ::testing::Test {
  protected:
    void SetUp() override {
        int slave = -1;
        ASSERT_EQ(openpty(&master_, &slave, nullptr, nullptr, nullptr), 0);
        path_ = ttyname(slave);
        close(slave);
    }
    void TearDown() override { close(master_); }
    int master_ = -1;
    std::string path_;
};

TEST_F(PtyUse, PortHeldByASerialPortOrAFlockIsInUseUntilReleased) {
    std::string group = "untouched";
    EXPECT_EQ(CheckPortUse(path_, &group), PortUse::Free);
    StreamPort::CSerialPort port;
    port.SetComParam(0, 9600, path_.c_str());
    ASSERT_EQ(port.Open(), 1);
    EXPECT_EQ(CheckPortUse(path_, &group), PortUse::InUse);
    EXPECT_EQ(port.Write("x", 1), 1);  // the check did not disturb the holder
    port.Close();
    EXPECT_EQ(group, "untouched");

    int holder = open(path_.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(CheckPortUse(path_, nullptr), PortUse::InUse);
    flock(holder, LOCK_UN);
    EXPECT_EQ(CheckPortUse(path_, nullptr), PortUse::Free);
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
        _exit(port.LastOpenErrorText() == "permission denied (group " + want + ")" ? 0 : 4);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(PtyUse, LockFileOfALiveProcessMarksThePortAndAFifoThereCannotHang) {
    const std::string lock = "/run/lock/LCK.." + path_.substr(path_.rfind('/') + 1);
    if (access("/run/lock", W_OK) != 0) GTEST_SKIP() << "the lock folder is not writable";
    struct Remove {
        std::string path;
        ~Remove() { unlink(path.c_str()); }
    } remove{lock};
    FILE* f = fopen(lock.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fprintf(f, "%10d\n", static_cast<int>(getpid()));
    fclose(f);
    EXPECT_EQ(CheckPortUse(path_, nullptr), PortUse::InUse);

    // Anyone may leave a FIFO there; opening it to read would wait for a writer.
    unlink(lock.c_str());
    ASSERT_EQ(mkfifo(lock.c_str(), 0600), 0);
    auto check = std::async(std::launch::async, [&] { return CheckPortUse(path_, nullptr); });
    bool returned = check.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    EXPECT_TRUE(returned);
    while (check.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        close(open(lock.c_str(), O_WRONLY | O_NONBLOCK));  // lets a stuck check go on
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

TEST(SerialPortWatcher, DescriptorIsNonBlockingAndQuietWhenNothingChanged) {
    StreamPort::CSerialPortWatcher watcher;
    ASSERT_GE(watcher.Fd(), 0);
    EXPECT_NE(fcntl(watcher.Fd(), F_GETFL, 0) & O_NONBLOCK, 0);
    EXPECT_FALSE(watcher.DrainEvents());
}

}  // namespace
