#include "ports/serial_port.h"

#include <grp.h>
#include <linux/netlink.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <future>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ports/serial_port_enum.h"
#include "ports/serial_port_watcher.h"
#include "ports/tcp_port.h"
#include "ports/udp_port.h"
#include "support/loopback.h"
#include "support/pty_pair.h"
#include "support/temp_folder.h"

// The rate of the tty at fd, also one without a B constant; 0 when fd is no
// tty or input and output rates differ. Read through the kernel's termios2 in
// tty_settings.cpp, whose header cannot share a file with <termios.h>.
namespace porttest {
unsigned ReadTtyRate(int fd);
}

namespace {

using qelvor::testing_support::WaitUntil;
using StreamPort::CSerialPort;

// The threads of this process. A sanitizer's runtime starts a helper thread
// when the first thread is made, so one is made and joined before counting.
// The ids of this process's threads now. A thread made and joined first
// brings up any helper thread of the runtime (ThreadSanitizer's starts with
// the first thread), so that it never counts as the port's.
std::set<int> ThreadIds() {
    std::thread([] {}).join();
    std::set<int> ids;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        ids.insert(std::stoi(task.path().filename().string()));
    return ids;
}

// How many threads run now that did not before. A count of all threads
// would race with a thread of an earlier test that is still ending, and a
// joined thread stays listed for a moment: checks that a thread is gone wait.
size_t ThreadsSince(const std::set<int>& before) {
    const std::set<int> now = ThreadIds();
    return static_cast<size_t>(
        std::count_if(now.begin(), now.end(), [&](int id) { return before.count(id) == 0; }));
}

bool NoThreadSince(const std::set<int>& before) {
    return WaitUntil([&] { return ThreadsSince(before) == 0; });
}

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    return bytes;
}

// Polls as the main window does until count bytes came or 20 s passed; each
// Read of a datagram port takes one datagram.
std::string Collect(StreamPort::CStreamPort& port, size_t count = 1) {
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

// Bytes arrive and leave as sent; a buffer shorter than what waits leaves
// the rest for the next Read. (Raw mode's flags: LineFormat... below; a
// stalled device's partial write: ExchangeTest.PartialWrite...)
TEST_F(Pty, RawBytesTravelBothWaysAndAFullQueueHoldsTheDeviceBack) {
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(port_.Open(), 1);  // already open: nothing new
    ASSERT_TRUE(pty_.Feed(std::string_view("0123\r\n\x00\xff", 8)));
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == 8; }));
    char buf[8];
    ASSERT_TRUE(WaitUntil([&] { return port_.Read(buf, 4) == 4; }));
    EXPECT_EQ(std::string(buf, 4) + Collect(port_, 4), std::string("0123\r\n\x00\xff", 8));
    EXPECT_EQ(port_.WriteString("\r\n"), 2);
    ASSERT_TRUE(WaitUntil([&] { return read(pty_.master, buf, sizeof buf) == 2; }));
    EXPECT_EQ(std::string(buf, 2), "\r\n");
    // A full queue stops the reading (the pty then holds the writer back) until
    // Read makes room: nothing is lost and the queue stays within its bound.
    port_.Close();
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
    const std::set<int> before = ThreadIds();
    ASSERT_EQ(port_.Open(), 1);
    EXPECT_EQ(ThreadsSince(before), 1u);
    pty_.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return port_.GetState(0) == -1; }));
    EXPECT_TRUE(NoThreadSince(before));
    EXPECT_EQ(port_.IsOpen(), 1);  // stays open until the user closes it
    EXPECT_EQ(port_.Write("hello", 5) + port_.WaitForData(0), 0);
    EXPECT_EQ(port_.LastOpenErrorText(), pty_.path +
                                             ": the device vanished (Input/output error); "
                                             "close the port and open it again once the "
                                             "device is back");
    // Reopening once the device is back: Reconnect.AVanishedSerialDevice...
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
    std::pair<std::string, int> rows[] = {{"      4242\n", 4242},
                                          {binary(31337), 31337},
                                          {binary(-5), 0},
                                          {"pid 12\n", 0},
                                          {"99999999999999999999", 0}};
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
    EXPECT_TRUE(WaitUntil([&] { return watcher.DrainEvents(); }));
}

using loopback::Peer;
using StreamPort::CTCPPort;
const uint32_t kLoopback = htonl(INADDR_LOOPBACK);

// Polls like the main window (relisten: with RestartListening) until
// WaitForData(0) gives code.
bool PollUntilCode(CTCPPort& port, int code, bool relisten = true) {
    return WaitUntil([&] {
        if (relisten) port.RestartListening();
        return port.WaitForData(0) == code;
    });
}

// A listening server on a free port of 127.0.0.1, opened by each test.
class TcpServer : public ::testing::Test {
  protected:
    void SetUp() override {
        server_.SetNetParam(0, port_, kLoopback);
        ASSERT_EQ(server_.Open(), 1);
    }
    // A client is taken at once; it is served once the accept thread handed
    // it over.
    Peer ConnectServed(int receiveBuffer = 0) {
        server_.RestartListening();
        Peer client = Peer::Connect(port_, receiveBuffer);
        EXPECT_TRUE(WaitUntil([&] { return server_.GetState(0) == CTCPPort::kConnected; }));
        return client;
    }

    const std::set<int> threads_ = ThreadIds();
    int port_ = loopback::FreePort(SOCK_STREAM);
    CTCPPort server_;
};

TEST_F(TcpServer, ServesOneClientAtATimeAndListensAgainWhenThePollAsks) {
    EXPECT_EQ(server_.GetState(0), CTCPPort::kListening);
    EXPECT_EQ(server_.WaitForData(0), -2);
    char buf[8];
    sockaddr_in peer{};
    EXPECT_EQ(server_.Read(buf, 8) + server_.Write("x", 1) + server_.GetPeerAddress(&peer), 0);
    Peer first = ConnectServed();
    EXPECT_EQ(server_.GetPeerAddress(&peer), 1);
    EXPECT_EQ(ntohs(peer.sin_port), first.Port());
    EXPECT_EQ(server_.WaitForData(0), 0);
    EXPECT_FALSE(Peer::Connect(port_).Valid());  // one client at a time
    EXPECT_EQ(server_.WriteString(std::string("\x06\x00", 2)), 2);
    EXPECT_EQ(first.Receive(2), std::string("\x06\x00", 2));
    // Data sent before the peer closed is read before the close is reported;
    // WaitForData alone never listens again, the poll's RestartListening does.
    ASSERT_TRUE(first.Send(std::string("last\0words", 10)));
    first.Reset();
    EXPECT_EQ(Collect(server_), std::string("last\0words", 10));
    ASSERT_TRUE(PollUntilCode(server_, -8, false));
    EXPECT_EQ(server_.WaitForData(0), -1);
    EXPECT_FALSE(Peer::Connect(port_).Valid());
    EXPECT_EQ(server_.RestartListening(), 1);
    EXPECT_EQ(server_.RestartListening(), 0);
    ConnectServed().Reset(true);
    EXPECT_TRUE(PollUntilCode(server_, -6, false));
}

TEST_F(TcpServer, CloseUnblocksTheAcceptThreadAndLeavesNoThread) {
    EXPECT_EQ(ThreadsSince(threads_), 1u);
    EXPECT_EQ(server_.Close(), 1);  // a Close that does not wake accept hangs
    EXPECT_TRUE(NoThreadSince(threads_));
    EXPECT_EQ(server_.GetState(0) + server_.RestartListening(), CTCPPort::kClosed);
    EXPECT_FALSE(Peer::Connect(port_).Valid());  // closed stays closed
    for (int i = 0; i < 200; ++i) {              // Close racing the accept thread's start
        ASSERT_EQ(server_.Open(), 1);
        ASSERT_EQ(server_.Close(), 1);
    }
    EXPECT_TRUE(NoThreadSince(threads_));
    // Reopened at once, while the old connection lingers in TIME_WAIT.
    ASSERT_EQ(server_.Open(), 1);
    Peer client = ConnectServed();
    server_.Close();
    EXPECT_EQ(client.Receive(1), "");
    ASSERT_EQ(server_.Open(), 1);
    EXPECT_EQ(server_.GetState(0), CTCPPort::kListening);
}

TEST_F(TcpServer, WritesFailOrGiveUpWithoutSigpipeOrInterleaving) {
    std::signal(SIGPIPE, SIG_DFL);  // a SIGPIPE would kill the test program
    ConnectServed().Reset();
    const std::string block(65536, 'z');
    int last = 1;  // the peer answers the first block with a reset
    for (int i = 0; i < 200 && server_.GetState(0) == CTCPPort::kConnected; ++i) {
        last = server_.WriteString(block);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(server_.GetState(0), CTCPPort::kClosed);
    EXPECT_LT(last, int(block.size()));
    // A peer that never reads: the send gives up once its time-out passed and
    // says what it took. The peer's large fixed buffer takes all that is in
    // flight at once, so the second send call finds no room and only that
    // one waits the time-out again.
    Peer idle = ConnectServed(1 << 20);
    const int sent = server_.WriteString(std::string(16 << 20, 'y'));
    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, 16 << 20);
    EXPECT_EQ(server_.GetState(0), CTCPPort::kConnected);
    idle.Reset();
    ASSERT_TRUE(PollUntilCode(server_, -2));
    Peer client = ConnectServed();
    constexpr size_t kBlock = 100000, kBlocks = 40;
    auto writer = [&](char c) {
        for (size_t i = 0; i < kBlocks; ++i)
            EXPECT_EQ(server_.WriteString(std::string(kBlock, c)), int(kBlock));
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    std::string got = client.Receive(2 * kBlock * kBlocks);
    a.join();
    b.join();
    ASSERT_EQ(got.size(), 2 * kBlock * kBlocks);
    for (size_t at = 0; at < got.size(); at += kBlock)  // whole blocks only
        ASSERT_EQ(got.substr(at, kBlock), std::string(kBlock, got[at])) << at;
}

// A client's Open never waits for the peer: a connect that fails does so at
// once or at a later PollConnect, with the reason in LastError.
TEST(TcpPort, ClientConnectsOrFailsForRefusedUnansweredAndOutOfRangePorts) {
    loopback::DroppingListener full;
    Peer listener = Peer::Bound(SOCK_STREAM);
    const int p = listener.Port();  // 65536 more must not reach it
    // clang-format off
    const int cases[][3] = {{1, loopback::FreePort(SOCK_STREAM), ECONNREFUSED}, {1, full.Port(), ETIMEDOUT},
                            {1, p + 65536, EINVAL}, {0, p + 65536, EINVAL}, {0, p - 65536, EINVAL}, {0, 0, EINVAL}};
    // clang-format on
    for (const auto& c : cases) {  // mode, port, error
        CTCPPort port;
        port.SetNetParam(c[0], c[1], kLoopback);
        const bool started = port.Open() == 1;
        EXPECT_TRUE(c[2] != EINVAL || !started) << c[1];
        // A request the full listener drops cannot have been answered yet.
        EXPECT_TRUE(c[2] != ETIMEDOUT || (started && port.GetState(0) == CTCPPort::kConnecting));
        EXPECT_TRUE(!started || WaitUntil([&] { return port.PollConnect() == -1; }, 7000)) << c[1];
        EXPECT_EQ(port.LastError(), c[2]) << c[1];
        EXPECT_EQ(port.GetState(0), CTCPPort::kClosed);
        EXPECT_EQ(port.WaitForData(0), c[0] == 1 ? -3 : -1) << c[1];
    }
    // The listener's answer completes the same connect, at once or at a poll;
    // the peer's close then gives -8, and -3 on every later call.
    CTCPPort client;
    client.SetNetParam(1, p, kLoopback);
    ASSERT_EQ(client.Open(), 1);
    EXPECT_TRUE(WaitUntil([&] { return client.PollConnect() == 1; }));
    EXPECT_EQ(client.GetState(0) + client.LastError(), CTCPPort::kConnected);
    Peer peer(accept(listener.Fd(), nullptr, nullptr));
    EXPECT_EQ(client.WriteString("hi"), 2);
    EXPECT_EQ(peer.Receive(2), "hi");
    EXPECT_EQ(client.WaitForData(20), 0);
    std::thread late([&] {  // a wait ends when data comes, not at its time-out
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        peer.Send("!");
        peer.Reset();
    });
    EXPECT_EQ(client.WaitForData(10000), 1);
    late.join();
    EXPECT_EQ(Collect(client), "!");
    EXPECT_EQ(client.WaitForData(0), -8);
    EXPECT_EQ(client.IsOpen(), 0);
    char buf[8];
    EXPECT_EQ(client.WaitForData(0) + client.WaitForData(0), -6);  // -3 on every call
    EXPECT_EQ(client.Write("x", 1) + client.Read(buf, sizeof buf), 0);
}

class UdpPort : public ::testing::Test {
  protected:
    void Open(int local, int remote) {
        port_.SetNetParam(local, remote, kLoopback);
        ASSERT_EQ(port_.Open(), 1);
    }

    StreamPort::CUDPPort port_;
    Peer peer_ = Peer::Bound(SOCK_DGRAM);
    int local_ = loopback::FreePort(SOCK_DGRAM), from_ = 0;
    std::string remote_ = "UDP(Remote(127.0.0.1:" + std::to_string(peer_.Port());
    std::string localText_ = ",Local(" + std::to_string(local_) + ")";
};

// Answer mode: whole datagrams of any size, in order, to the last sender;
// short reads take a datagram in pieces and an empty one ends nothing.
TEST_F(UdpPort, AnswersTheLastSenderOrSendsToTheFixedRemote) {
    Open(local_, -1);
    EXPECT_EQ(port_.GetDescription(), "UDP(Remote(127.0.0.1:-1 )" + localText_);
    ASSERT_TRUE(WaitUntil([&] { return port_.GetState(0) == 2; }));
    EXPECT_EQ(port_.Write("early", 5), -1);  // nobody to answer yet
    ASSERT_TRUE(peer_.Send(std::string("\x05q\x00", 3), local_));
    EXPECT_EQ(Collect(port_), std::string("\x05q\x00", 3));
    EXPECT_EQ(port_.GetState(0), 3);
    EXPECT_EQ(port_.GetDescription(), remote_ + "*)" + localText_);
    const std::string largest(65507, 'L');  // the most one IPv4 datagram carries
    ASSERT_TRUE(peer_.Send(largest, local_));
    EXPECT_EQ(Collect(port_), largest);
    EXPECT_EQ(port_.WriteString(largest), 65507);
    EXPECT_EQ(peer_.ReceiveFrom(&from_), largest);
    EXPECT_EQ(from_, local_);
    auto datagram = [](int i) { return std::to_string(i) + std::string(size_t(i % 1400), 'd'); };
    // A burst the kernel's buffer holds even when a sanitizer slows the
    // receive thread down; what is under test is the queue's order.
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(peer_.Send(datagram(i), local_));
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(Collect(port_), datagram(i)) << i;
    for (const char* d : {"", "0123456789", "next"})
        ASSERT_TRUE(peer_.Send(d, local_));
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == 2; }));
    char buf[4];
    for (std::string piece : {"0123", "4567", "89", "next", ""}) {  // "": the empty remainder
        ASSERT_EQ(port_.Read(buf, 4), int(piece.size()));
        EXPECT_EQ(std::string(buf, piece.size()), piece);
    }
    EXPECT_EQ(port_.WaitForData(0), 0);
    // A fixed remote is sent to, with or without a local port.
    port_.Close();
    const std::set<int> threadsBefore = ThreadIds();
    Open(0, peer_.Port());
    EXPECT_EQ(port_.GetState(0), 1);  // receives only after the first Write
    EXPECT_EQ(ThreadsSince(threadsBefore), 0u);
    EXPECT_EQ(port_.GetDescription(), remote_ + " )");
    EXPECT_EQ(port_.WriteString("hello"), 5);
    EXPECT_EQ(peer_.ReceiveFrom(&from_), "hello");
    ASSERT_TRUE(peer_.Send("answer", from_));
    EXPECT_EQ(Collect(port_), "answer");
    port_.Close();
    port_.SetRemoteAddressText("localhost");
    Open(local_, peer_.Port());
    EXPECT_EQ(port_.Write("to peer", 7), 7);
    EXPECT_EQ(peer_.ReceiveFrom(&from_), "to peer");
    ASSERT_TRUE(peer_.Send("to port", local_));
    EXPECT_EQ(Collect(port_), "to port");
    EXPECT_EQ(port_.GetDescription(),
              "UDP(Remote(localhost:" + std::to_string(peer_.Port()) + " )" +
                  localText_);  // the configured remote, not the last sender
}

TEST_F(UdpPort, BadPortsFailToOpenAndCloseKeepsTheQueueAndNoThread) {
    // Local, remote, GetState after: no port at all; a local port already
    // bound; numbers that only modulo 65536 would be free ports.
    const int cases[][3] = {
        {0, 0, 0}, {peer_.Port(), -1, -1}, {local_ + 65536, -1, 0}, {0, local_ + 65536, 0}};
    for (const auto& c : cases) {
        port_.SetNetParam(c[0], c[1], kLoopback);
        EXPECT_EQ(port_.Open(), 0) << c[0] << "," << c[1];
        EXPECT_EQ(port_.GetState(0), c[2]);
        EXPECT_EQ(port_.Close(), 1);
    }
    const std::set<int> threadsBefore = ThreadIds();
    Open(local_, -1);
    EXPECT_EQ(port_.Open(), 1);
    EXPECT_EQ(ThreadsSince(threadsBefore), 1u);
    ASSERT_TRUE(peer_.Send("one", local_) && peer_.Send("two", local_));
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == 2; }));
    for (int i = 0; i < 100; ++i) {  // Close must unblock the receive thread each time
        ASSERT_EQ(port_.Close(), 1);
        EXPECT_EQ(port_.Write("x", 1), -1);
        Open(local_, -1);
    }
    EXPECT_EQ(Collect(port_), "one");
    EXPECT_EQ(Collect(port_), "two");
    EXPECT_EQ(port_.Close(), 1);
    EXPECT_TRUE(NoThreadSince(threadsBefore));
}

// A flood the poll does not read: the queue stops at its cap, and each
// datagram beyond it is dropped and counted; a run of drops is told once
// the reader has emptied the queue to half its cap, or every second while
// it goes on. Each datagram is sent once the last is taken or counted, so
// the kernel drops none.
TEST_F(UdpPort, QueueStopsAtItsCapAndCountsEachRunOfDrops) {
    Open(local_, -1);
    const std::string datagram(65000, 'f');
    const size_t cost = datagram.size() + StreamPort::CUDPPort::kQueueItemCost;
    const int fit = int(StreamPort::CUDPPort::kQueueCap / cost);
    for (int i = 1; i <= fit; ++i) {
        ASSERT_TRUE(peer_.Send(datagram, local_));
        ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == i; })) << i;
    }
    size_t dropped = 0;
    for (size_t i = 1; i <= 3; ++i) {
        ASSERT_TRUE(peer_.Send(datagram, local_));
        ASSERT_TRUE(WaitUntil([&] { return (dropped += port_.TakeDrops(true).items) == i; }));
    }
    EXPECT_EQ(port_.WaitForData(0), fit);
    EXPECT_EQ(port_.QueuedBytes(), size_t(fit) * cost);
    // Two more dropped. A small datagram still fits in what the cap leaves
    // beside the full ones: taken after the two, it does not end their run;
    // a queue read down to half its cap does. (Asked as of a moment before
    // the run began, a run is never due for its age, however slow the
    // machine.)
    ASSERT_GT(StreamPort::CUDPPort::kQueueCap - size_t(fit) * cost, 3 + cost - datagram.size());
    const auto beforeRun = StreamPort::CDropRun::Clock::now();
    ASSERT_TRUE(peer_.Send(datagram, local_) && peer_.Send(datagram, local_));
    ASSERT_TRUE(peer_.Send("one", local_));
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == fit + 1; }));
    EXPECT_EQ(port_.TakeDrops(false, beforeRun).items, 0u) << "told while the queue is full";
    for (int i = 0; i <= fit / 2; ++i)
        ASSERT_EQ(Collect(port_), datagram);
    ASSERT_TRUE(peer_.Send("two", local_));
    ASSERT_TRUE(WaitUntil([&] { return port_.WaitForData(0) == fit - fit / 2 + 1; }));
    const StreamPort::CDropRun::Totals run = port_.TakeDrops(false, beforeRun);
    EXPECT_EQ(run.items, 2u);
    EXPECT_EQ(run.bytes, 2 * datagram.size());
    // A run that goes on is told once a second.
    StreamPort::CDropRun longRun;
    longRun.Drop(7);
    EXPECT_EQ(longRun.Take(false).items, 0u);
    const auto later = StreamPort::CDropRun::Clock::now() + StreamPort::CDropRun::kReportEvery;
    EXPECT_EQ(longRun.Take(false, later).bytes, 7u);
    EXPECT_EQ(longRun.Take(true).items, 0u);
}

}  // namespace
