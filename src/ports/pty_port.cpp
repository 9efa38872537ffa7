#include "ports/pty_port.h"

// The kernel's termios2 reports any rate as a number; it clashes with the C
// library's <termios.h>, so only the kernel's header is used here.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace StreamPort {

namespace {

constexpr std::chrono::milliseconds kWriteTimeout{5000};

// Raw mode, as cfmakeraw makes it: no echo, no line editing, no signals, no
// translation of bytes either way, 8 data bits.
void MakeRaw(termios2& tio) {
    tio.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
}

char ParityLetter(tcflag_t cflag) {
    const bool odd = (cflag & PARODD) != 0, stuck = (cflag & CMSPAR) != 0;
    if (stuck) return odd ? 'M' : 'S';
    if (odd) return 'O';
    return (cflag & PARENB) ? 'E' : 'N';
}

int DataBits(tcflag_t cflag) {
    switch (cflag & CSIZE) {
        case CS5:
            return 5;
        case CS6:
            return 6;
        case CS7:
            return 7;
        default:
            return 8;
    }
}

int64_t MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? left.count() : 0;
}

}  // namespace

CPtyPort::CPtyPort(size_t queueCapacity) : receiver_(queueCapacity) {}

CPtyPort::~CPtyPort() {
    Close();
}

std::string CPtyPort::LinkPath() const {
    if (!link_.Path().empty()) return link_.Path();
    return linkPath_.empty() ? CPtyLink::DefaultPath() : linkPath_;
}

int CPtyPort::SetComParam(int, int, const char*) {
    return 1;
}

int CPtyPort::SetNetParam(int, int, uint32_t) {
    return 1;
}

void CPtyPort::SetFormat(uint8_t, uint8_t, uint8_t) {}

int CPtyPort::Open() {
    if (open_ && receiver_.Error() == 0) return 1;
    Close();
    receiver_.Clear();
    std::string problem = OpenPty();
    if (problem.empty()) problem = link_.Create(linkPath_, ptsPath_);
    if (problem.empty() && !receiver_.Start(master_))
        problem = std::string("cannot start receiving: ") + std::strerror(errno);
    if (!problem.empty()) {
        lastOpenErrorText_ = std::move(problem);
        link_.Remove();
        ReleasePty();
        return 0;
    }
    lastLine_ = LineText();
    lastOpenErrorText_.clear();
    open_ = 1;
    return 1;
}

// Makes the pty pair, raw, and opens its slave side; empty on success, else
// why it failed.
std::string CPtyPort::OpenPty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) return std::string("cannot create a pty: ") + std::strerror(errno);
    char name[128];
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0)
        return std::string("cannot set up the pty: ") + std::strerror(errno);
    ptsPath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios2 tio{};
    if (slave_ < 0 || ::ioctl(slave_, TCGETS2, &tio) != 0)
        return ptsPath_ + ": " + std::strerror(errno);
    MakeRaw(tio);
    if (::ioctl(slave_, TCSETS2, &tio) != 0) return ptsPath_ + ": " + std::strerror(errno);
    return std::string();
}

void CPtyPort::ReleasePty() {
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
    slave_ = master_ = -1;
    ptsPath_.clear();
}

int CPtyPort::Close() {
    link_.Remove();
    receiver_.Stop();
    ReleasePty();
    open_ = 0;
    return 1;
}

const char* CPtyPort::GetDescription() {
    description_ = "PTY:" + LinkPath();
    if (!ptsPath_.empty()) description_ += " (" + ptsPath_ + ")";
    return description_.c_str();
}

int CPtyPort::GetState(int selector) {
    if (selector != 0) return -1;
    if (!open_) return 0;
    return receiver_.Error() == 0 ? 1 : -1;
}

int CPtyPort::ControlLines(ControlRequest, int&) {
    return open_ ? kLinesNotAvailable : kLinesFailed;
}

// "9600 8N1": what the slave side's settings say now; empty when unreadable.
std::string CPtyPort::LineText() const {
    termios2 tio{};
    if (slave_ < 0 || ::ioctl(slave_, TCGETS2, &tio) != 0) return std::string();
    return std::to_string(tio.c_ospeed) + " " + std::to_string(DataBits(tio.c_cflag)) +
           ParityLetter(tio.c_cflag) + ((tio.c_cflag & CSTOPB) ? "2" : "1");
}

std::optional<std::string> CPtyPort::TakeLineChange() {
    if (!open_) return std::nullopt;
    std::string line = LineText();
    if (line.empty() || line == lastLine_) return std::nullopt;
    lastLine_ = line;
    return line;
}

std::string CPtyPort::LastOpenErrorText() const {
    const int error = open_ ? receiver_.Error() : 0;
    if (error == 0) return lastOpenErrorText_;
    return ptsPath_ + ": the pty failed (" + std::strerror(error) + ")";
}

int CPtyPort::WaitForData(int) {
    if (!open_) return 0;
    const size_t waiting = receiver_.Waiting();
    return waiting > INT_MAX ? INT_MAX : static_cast<int>(waiting);
}

int CPtyPort::Read(char* buffer, int size) {
    if (!open_ || buffer == nullptr || size <= 0) return 0;
    return static_cast<int>(receiver_.Take(buffer, static_cast<size_t>(size)));
}

int CPtyPort::WriteString(const std::string& bytes) {
    return Write(bytes.data(), static_cast<int>(bytes.size()));
}

int CPtyPort::Write(const char* bytes, int length) {
    if (bytes == nullptr) return 0;
    const auto deadline = std::chrono::steady_clock::now() + kWriteTimeout;
    int total = 0;
    while (total < length) {
        const int put = TryWrite(bytes + total, length - total);
        if (put < 0) break;
        total += put;
        pollfd pfd{master_, POLLOUT, 0};
        const int64_t left = MillisecondsLeft(deadline);
        if (put == 0 && (left == 0 || ::poll(&pfd, 1, static_cast<int>(left)) <= 0)) break;
    }
    return total;
}

int CPtyPort::TryWrite(const char* bytes, int length) {
    if (!open_ || master_ < 0 || receiver_.Error() != 0) return -1;
    if (bytes == nullptr || length < 1) return 0;
    int total = 0;
    while (total < length) {
        const ssize_t put = ::write(master_, bytes + total, static_cast<size_t>(length - total));
        if (put > 0) {
            total += static_cast<int>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && errno != EAGAIN) return total > 0 ? total : -1;
        break;  // the pty is full: the rest goes at a later tick
    }
    return total;
}

}  // namespace StreamPort
