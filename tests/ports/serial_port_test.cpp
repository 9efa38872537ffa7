#include "ports/serial_port.h"

#include <grp.h>
#include <linux/netlink.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

#include <filesystem>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ports/port_test_util.h"
#include "ports/serial_port_enum.h"
#include "ports/serial_port_watcher.h"
#include "support/pty_pair.h"
#include "support/temp_folder.h"

namespace {

using porttest::WaitUntil;
using StreamPort::CSerialPort;

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    return bytes;
}

// Polls as the main window does until count bytes came or 20 s passed.
std::string Collect(CSerialPort& port, size_t count) {
    std::string got;
    std::vector<char> buf(65536);
    WaitUntil(
        [&] {
            int r = port.WaitForData(0) > 0 ? port.Read(buf.data(), 65536) : 0;
            if (r > 0) got.append(buf.data(), static_cast<size_t>(r));
            return got.size() >= count;
        },
        20000);
    return got;
}

class Pty : public ::testing::Test {
  protected:
    void SetUp() override { port_.SetComParam(0, 115200, pty_.path.c_str()); }
    qelvor::testing_support::PtyDevice pty_;
    CSerialPort port_;
};

// Raw mode: bytes arrive and leave as sent (CR, LF, NUL, 0xff), nothing is
// echoed. (A stalled device's partial write: ExchangeTest.PartialWrite...)
TEST_F(Pty, RawBytesTravelBothWays) {
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(port_.Open(), 1);  // already open: nothing new
    EXPECT_EQ(port_.WaitForData(0), 0);
    // A buffer shorter than what waits leaves the rest for the next Read.
    ASSERT_TRUE(pty_.Feed(std::string_view("0123\r\n\x03\x7f\x00\xff", 10)));
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == 10; }));
    char buf[8];
    ASSERT_TRUE(WaitUntil([&] { return port_.Read(buf, 4) == 4; }));
    EXPECT_EQ(std::string(buf, 4), "0123");
    EXPECT_EQ(Collect(port_, 6), std::string("\r\n\x03\x7f\x00\xff", 6));
    EXPECT_LT(read(pty_.master, buf, sizeof buf), 0);
    EXPECT_EQ(port_.WriteString(std::string("\x05\r\n\x00\xff", 5)), 5);
    ASSERT_TRUE(WaitUntil([&] { return read(pty_.master, buf, sizeof buf) == 5; }));
    EXPECT_EQ(std::string(buf, 5), std::string("\x05\r\n\x00\xff", 5));
}

// A full queue stops the reading (the pty then holds the writer back) until
// Read makes room: nothing is lost and the queue stays within its bound.
TEST_F(Pty, FullQueueHoldsTheDeviceBackAndLosesNothing) {
    CSerialPort small(64 * 1024);
    small.SetComParam(0, 115200, pty_.path.c_str());
    ASSERT_EQ(small.Open(), 1);
    const std::string flood = Pattern(1 << 20);
    std::thread feeder([&] { pty_.Feed(flood); });
    EXPECT_TRUE(WaitUntil([&] { return small.WaitForData(0) >= 64 * 1024; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // nobody reads meanwhile
    EXPECT_LE(small.WaitForData(0), 64 * 1024 + 4096);           // the queue and the tty's buffer
    EXPECT_TRUE(Collect(small, flood.size()) == flood);
    feeder.join();
}

// A pty forces CS8 without parity enable (so parity shows in PARODD/CMSPAR),
// and 5 data bits open although CS5 is 0. Rates without a B constant read
// back as BOTHER (CBAUDEX here). SetFormat while open is ignored.
TEST_F(Pty, LineFormatRateAndFlowControlReachTheDriver) {
    const tcflag_t kLineBits = PARODD | CMSPAR | CSTOPB | CRTSCTS;
    // clang-format off
    const struct Row {
        int rate; uint8_t byteSize, stopCode, parityCode; int flow;
        tcflag_t cflags, iflags; speed_t constant; const char* description;
    } rows[] = {
        {250000, 7, 2, 1, 0, PARODD | CSTOPB, 0, CBAUDEX, "250000 7-O-2"},
        {9600, 8, 1, 3, 0, PARODD | CMSPAR | CSTOPB, 0, B9600, "9600 8-M-5"},
        {115200, 8, 0, 4, 0, CMSPAR, 0, B115200, "115200 8-S-1"},
        {921600, 6, 2, 2, 2, CSTOPB | CRTSCTS, 0, B921600, "921600 6-E-2"},
        {9600, 5, 7, 9, 1, 0, IXON | IXOFF, B9600, "9600 5-N-1"}};
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(r.description);
        port_.SetComParam(0, r.rate, pty_.path.c_str());
        port_.SetFormat(r.byteSize, r.stopCode, r.parityCode);
        port_.SetFlowControl(r.flow);
        ASSERT_EQ(port_.Open(), 1) << port_.LastOpenErrorText();
        port_.SetFormat(6, 0, 4);
        termios t{};
        ASSERT_EQ(tcgetattr(pty_.slave, &t), 0);
        EXPECT_EQ(t.c_cflag & kLineBits, r.cflags);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), r.iflags);
        EXPECT_EQ((t.c_lflag & (ICANON | ECHO)) | (t.c_oflag & OPOST), 0u);  // raw
        EXPECT_EQ(cfgetospeed(&t), r.constant);
        EXPECT_EQ(porttest::ReadTtyRate(pty_.slave), static_cast<unsigned>(r.rate));
        EXPECT_STREQ(port_.GetDescription(), r.description);
        port_.Close();
    }
    termios t{};
    ASSERT_TRUE(port_.Open() == 1 && tcgetattr(pty_.slave, &t) == 0);
    EXPECT_EQ(t.c_cflag & kLineBits, rows[4].cflags);  // not the space parity set while open
}

TEST_F(Pty, FailedOpensHoldNothingAndNameTheSettingOrDevice) {
    qelvor::testing_support::TempFolder folder;
    const std::string plain = folder.File("plain");
    qelvor::testing_support::WriteFile(plain, "x");
    // clang-format off
    const struct Row { int number, rate; uint8_t byteSize; std::string name, want; } rows[] = {
        {0, 115200, 4, pty_.path, "invalid ByteSize 4: Linux supports 5 to 8"},
        {0, 0, 8, pty_.path, "invalid BaudRate 0"},
        {-1, 9600, 8, "", "no serial port chosen: set ComPort, or ComName with ComPort 0"},
        {1000, 9600, 8, "ignored", "/dev/ttyS999: no such device"},
        {0, 9600, 8, "ttyQelvorMissing9", "/dev/ttyQelvorMissing9: no such device"},
        {0, 9600, 8, plain, plain + ": not a serial device"}};
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(r.want);
        port_.SetComParam(r.number, r.rate, r.name.c_str());
        port_.SetFormat(r.byteSize, 0, 0);
        EXPECT_EQ(port_.Open() + port_.IsOpen() + port_.GetState(0) + port_.Write("abc", 3), 0);
        EXPECT_EQ(port_.LastOpenErrorText(), r.want);
    }
    EXPECT_EQ(port_.LastOpenError(), ENOTTY);
    CSerialPort other;  // the failed opens held nothing
    other.SetComParam(0, 9600, pty_.path.c_str());
    EXPECT_EQ(other.Open(), 1);
}

// The pty's master closed while open stands for a pulled USB adapter.
TEST_F(Pty, VanishedDeviceFailsTheOpenPortAndEndsItsThread) {
    const int baseline = porttest::BaselineThreadCount();
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(porttest::ThreadCount(), baseline + 1);
    pty_.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return port_.GetState(0) == -1; }));
    EXPECT_TRUE(WaitUntil([&] { return porttest::ThreadCount() == baseline; }));
    EXPECT_EQ(port_.IsOpen(), 1);  // stays open until the user closes it
    EXPECT_EQ(port_.Write("hello", 5) + port_.WaitForData(0), 0);
    EXPECT_EQ(port_.LastOpenErrorText(), pty_.path +
                                             ": the device vanished (Input/output error); "
                                             "close the port and open it again once the "
                                             "device is back");
    port_.Close();  // reopening once the device is back: Reconnect.AVanishedSerialDevice...
    EXPECT_EQ(porttest::ThreadCount(), baseline);
}

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

// The list and Open decide alike; Open names the holder where one is known
// and leaves the holder's exclusive mark alone.
TEST_F(PtyUse, EachHolderMakesThePortBusyInTheListAndInOpen) {
    const std::string byMe = "busy: locked by process " + std::to_string(getpid());
    const int holder = open(path_.c_str(), O_RDWR | O_NOCTTY);
    StreamPort::CSerialPort other;
    other.SetComParam(0, 9600, path_.c_str());
    // clang-format off
    const struct Row {
        std::function<void()> take, release; std::string want; int marked;
    } rows[] = {
        {[&] { ioctl(holder, TIOCEXCL); }, [&] { ioctl(holder, TIOCNXCL); },
         "busy: held exclusively by another program", 1},
        {[&] { flock(holder, LOCK_EX); }, [&] { flock(holder, LOCK_UN); }, byMe, 0},
        {[&] { qelvor::testing_support::WriteFile(lockFile_, std::to_string(getpid())); },
         [&] { unlink(lockFile_.c_str()); }, byMe, 0},
        {[&] { other.Open(); }, [&] { other.Close(); }, byMe, 1}};
    // clang-format on
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
    std::pair<std::string, int> rows[] = {{"      4242\n", 4242}, {binary(31337), 31337},
                                          {binary(-5), 0},        {"   \n", 0},
                                          {"pid 12\n", 0},        {"99999999999999999999", 0}};
    for (const auto& [text, pid] : rows)
        EXPECT_EQ(StreamPort::ParseLockFilePid(text), pid) << text;
}

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
    EXPECT_TRUE(porttest::WaitUntil([&] { return watcher.DrainEvents(); }));
}

}  // namespace
