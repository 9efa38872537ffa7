// The serial port list, and who holds a port: exclusive marks, flock, lock files, permissions.
#include "ports/serial_port_enum.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <future>

#include <gtest/gtest.h>

#include "ports/serial_port.h"
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
        EXPECT_TRUE(stat(info.devicePath.c_str(), &st) == 0 && S_ISCHR(st.st_mode))
            << info.devicePath;
        EXPECT_NE(info.displayName.find(info.devicePath.substr(5)), std::string::npos);
        for (const char* never : {"/dev/stale", "/dev/tty0", "/dev/ptmx", "/dev/console"})
            EXPECT_NE(info.devicePath, never);
    }
    std::list<CSerialPortInfo> checked;  // the use check only removes entries
    ASSERT_EQ(StreamPort::EnumSerialPorts(checked, true), 1);
    EXPECT_LE(checked.size(), list.size());
}

class PtyUse : public ::testing::Test {
  protected:
    qelvor::testing_support::PtyDevice pty_;
    qelvor::testing_support::TempFolder locks_;
    const std::string path_ = pty_.path;
    const std::string lockFile_ = locks_.Path() + "LCK.." + path_.substr(path_.rfind('/') + 1);
    const std::vector<std::string> folders_{locks_.Path()};
};

// Open names the holder where one is known and leaves its exclusive mark alone.
TEST_F(PtyUse, EachHolderMakesThePortBusyInTheListAndInOpen) {
    const std::string byMe = "busy: locked by process " + std::to_string(getpid());
    const int holder = open(path_.c_str(), O_RDWR | O_NOCTTY);
    StreamPort::CSerialPort other;
    other.SetComParam(0, 9600, path_.c_str());
    const struct Row {
        std::function<void()> take, release;
        std::string want;
        int marked;
    } rows[] = {{[&] { ioctl(holder, TIOCEXCL); }, [&] { ioctl(holder, TIOCNXCL); },
                 "busy: held exclusively by another program", 1},
                {[&] { flock(holder, LOCK_EX); }, [&] { flock(holder, LOCK_UN); }, byMe, 0},
                {[&] { qelvor::testing_support::WriteFile(lockFile_, std::to_string(getpid())); },
                 [&] { unlink(lockFile_.c_str()); }, byMe, 0},
                {[&] { other.Open(); }, [&] { other.Close(); }, byMe, 1}};
    for (const Row& r : rows) {
        SCOPED_TRACE(&r - rows);
        StreamPort::CSerialPort port;
        port.SetComParam(0, 9600, path_.c_str());
        port.SetLockFolders(folders_);
        r.take();
        EXPECT_EQ(CheckPortUse(path_, nullptr, folders_), PortUse::InUse);
        EXPECT_EQ(port.Open(), 0);
        EXPECT_EQ(port.LastOpenErrorText(), r.want);
        int marked = 0;
        EXPECT_EQ(ioctl(holder, TIOCGEXCL, &marked) == 0 ? marked : -1, r.marked);
        r.release();
        EXPECT_EQ(CheckPortUse(path_, nullptr, folders_), PortUse::Free);
        EXPECT_EQ(port.Open(), 1);
    }
    close(holder);
    EXPECT_EQ(CheckPortUse("/dev/ttyNoSuchDevice9", nullptr), PortUse::Gone);
    // Anyone may leave a FIFO as a lock file; opening it to read must not wait.
    ASSERT_EQ(mkfifo(lockFile_.c_str(), 0600), 0);
    auto check =
        std::async(std::launch::async, [&] { return CheckPortUse(path_, nullptr, folders_); });
    EXPECT_EQ(check.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    while (check.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        close(open(lockFile_.c_str(), O_WRONLY | O_NONBLOCK));  // lets a stuck check go on
    EXPECT_EQ(check.get(), PortUse::Free);
}

TEST_F(PtyUse, PortThisUserMayNotOpenIsListedWithItsGroup) {
    if (getuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
    // A pty slave belongs to its creator and is closed to everyone else.
    struct stat st {};
    ASSERT_EQ(stat(path_.c_str(), &st), 0);
    const std::string group = getgrgid(st.st_gid)->gr_name;
    const std::string want = "permission denied: " + path_ + " belongs to group " + group +
                             "; add your user to it (`sudo usermod -aG " + group +
                             " $USER`) and log in again";
    pid_t child = fork();
    if (child == 0) {  // the child drops to "nobody"; its exit status tells what failed
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(9);
        std::string found;
        StreamPort::CSerialPort port;
        port.SetComParam(0, 9600, path_.c_str());
        if (CheckPortUse(path_, &found) != PortUse::NoAccess || found != group) _exit(1);
        _exit(port.Open() == 0 && port.LastOpenError() == EACCES ? port.LastOpenErrorText() != want
                                                                 : 3);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(ParseLockFilePid, ReadsTheAsciiAndTheBinaryForm) {
    auto binary = [](int32_t pid) { return std::string(reinterpret_cast<char*>(&pid), 4); };
    std::pair<std::string, int> rows[] = {{"      4242\n", 4242},
                                          {binary(31337), 31337},
                                          {binary(-5), 0},
                                          {"pid 12\n", 0},
                                          {"99999999999999999999", 0}};
    for (const auto& [text, pid] : rows)
        EXPECT_EQ(StreamPort::ParseLockFilePid(text), pid) << text;
}

}  // namespace
