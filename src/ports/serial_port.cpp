#include "ports/serial_port.h"

// The kernel's termios2 (with BOTHER for any rate) clashes with the C
// library's <termios.h>, so only the kernel's header is used here.
#include <asm/termbits.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace StreamPort {

namespace {

constexpr size_t kMaxNameLength = 259;
constexpr std::chrono::milliseconds kWriteTimeout{5000};

// Character-size bits for 5 to 8 data bits; 0 for sizes Linux has not.
tcflag_t CharSizeFlag(uint8_t byteSize) {
    switch (byteSize) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        case 8:
            return CS8;
        default:
            return 0;
    }
}

// Mark and space parity are odd and even parity with the parity bit stuck
// (CMSPAR): mark sends a constant 1, space a constant 0.
tcflag_t ParityFlags(uint8_t parityCode) {
    switch (parityCode) {
        case 1:
            return PARENB | PARODD;
        case 2:
            return PARENB;
        case 3:
            return PARENB | PARODD | CMSPAR;
        case 4:
            return PARENB | CMSPAR;
        default:
            return 0;
    }
}

char ParityLetter(uint8_t parityCode) {
    static const char kLetters[] = {'N', 'O', 'E', 'M', 'S'};
    return parityCode < sizeof kLetters ? kLetters[parityCode] : 'N';
}

const char* StopBitText(uint8_t stopBitCode) {
    switch (stopBitCode) {
        case 1:
            return "5";
        case 2:
            return "2";
        default:
            return "1";
    }
}

// Raw mode: no echo, no line editing, no signals, no translation of bytes,
// reads return at once with whatever has arrived.
void MakeRaw(termios2& tio) {
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag |= CREAD | CLOCAL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
}

int64_t MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? left.count() : 0;
}

}  // namespace

CSerialPort::~CSerialPort() {
    Close();
}

int CSerialPort::SetComParam(int portNumber, int baudRate, const char* portName) {
    portNumber_ = portNumber;
    baudRate_ = baudRate;
    portName_.clear();
    if (portNumber == 0 && portName != nullptr) {
        portName_.assign(portName, strnlen(portName, kMaxNameLength));
    }
    return 1;
}

int CSerialPort::SetNetParam(int, int, uint32_t) {
    return 1;
}

std::string CSerialPort::DevicePath() const {
    if (portNumber_ > 0) return "/dev/ttyS" + std::to_string(portNumber_ - 1);
    if (portNumber_ < 0 || portName_.empty()) return std::string();
    if (portName_[0] == '/') return portName_;
    return "/dev/" + portName_;
}

void CSerialPort::FailOpen(int error) {
    lastOpenError_ = error;
    ReleaseDevice();
}

// The exclusive mark belongs to the tty, not to this descriptor: it outlives
// the close while any other descriptor of the tty stays open, and would then
// refuse every later open but root's. So it is taken off before closing.
void CSerialPort::ReleaseDevice() {
    if (fd_ >= 0) {
        if (exclusive_) ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }
    fd_ = -1;
    exclusive_ = false;
}

int CSerialPort::Open() {
    if (open_) return 1;
    lastOpenPath_ = DevicePath();
    if (lastOpenPath_.empty()) {
        lastOpenError_ = ENOENT;
        return 0;
    }
    fd_ = ::open(lastOpenPath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        FailOpen(errno);
        return 0;
    }
    // TIOCEXCL refuses further opens by other programs (but not by root), so
    // the flock, which every careful serial program takes, is held as well.
    // Root gets through another program's exclusive mark: that port is busy,
    // and its mark is left alone.
    int excl = 0;
    if (::ioctl(fd_, TIOCGEXCL, &excl) == 0 && excl != 0) {
        FailOpen(EBUSY);
        return 0;
    }
    if (::ioctl(fd_, TIOCEXCL) != 0) {
        FailOpen(errno);
        return 0;
    }
    exclusive_ = true;
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        FailOpen(errno == EWOULDBLOCK ? EBUSY : errno);
        return 0;
    }
    int error = ConfigureLine();
    if (error != 0) {
        FailOpen(error);
        return 0;
    }
    lastOpenError_ = 0;
    open_ = 1;
    return 1;
}

// Applies rate, format and flow control; 0 on success, else an errno value.
int CSerialPort::ConfigureLine() {
    tcflag_t charSize = CharSizeFlag(byteSize_);
    if (charSize == 0 || baudRate_ <= 0) return EINVAL;
    termios2 tio{};
    if (::ioctl(fd_, TCGETS2, &tio) != 0) return errno;
    MakeRaw(tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= charSize | ParityFlags(parityCode_);
    // Linux has no one and a half stop bits; drivers take it as two.
    if (stopBitCode_ == 1 || stopBitCode_ == 2) tio.c_cflag |= CSTOPB;
    if (flowCtrl_ == 1) tio.c_iflag |= IXON | IXOFF;
    if (flowCtrl_ == 2) tio.c_cflag |= CRTSCTS;
    // BOTHER passes the rate as a number, so any rate the driver can make
    // works, not only those with a B constant; input runs at the output rate.
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | CIBAUD);
    tio.c_cflag |= BOTHER;
    tio.c_ispeed = static_cast<speed_t>(baudRate_);
    tio.c_ospeed = static_cast<speed_t>(baudRate_);
    if (::ioctl(fd_, TCSETS2, &tio) != 0) return errno;
    return 0;
}

int CSerialPort::IsOpen() {
    return open_;
}

int CSerialPort::Close() {
    if (!open_ || fd_ < 0) return 1;
    ReleaseDevice();  // closing also releases the flock
    open_ = 0;
    return 1;
}

void CSerialPort::SetFormat(uint8_t byteSize, uint8_t stopBitCode, uint8_t parityCode) {
    if (open_) return;
    byteSize_ = byteSize;
    stopBitCode_ = stopBitCode;
    parityCode_ = parityCode;
}

const char* CSerialPort::GetDescription() {
    char text[260];
    std::snprintf(text, sizeof text, "%d %d-%c-%s", baudRate_, byteSize_, ParityLetter(parityCode_),
                  StopBitText(stopBitCode_));
    description_ = text;
    return description_.c_str();
}

int CSerialPort::GetState(int selector) {
    switch (selector) {
        case 0:
            return open_;
        case 1:
            return byteSize_;
        case 2:
            return stopBitCode_;
        case 3:
            return parityCode_;
        default:
            return -1;
    }
}

int CSerialPort::WaitForData(int) {
    if (!open_ || fd_ < 0) return 0;
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) != 0) return 0;
    return waiting;
}

int CSerialPort::Read(char* buffer, int size) {
    if (!open_ || fd_ < 0 || buffer == nullptr || size <= 0) return 0;
    // A tty hands over at most 4 KiB a read, so one read a poll would cap a
    // fast device; read on while bytes wait and the buffer has room.
    int total = 0;
    while (total < size) {
        ssize_t got = ::read(fd_, buffer + total, static_cast<size_t>(size - total));
        if (got > 0) {
            total += static_cast<int>(got);
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        break;  // nothing more waiting (EAGAIN), or the device failed
    }
    return total;
}

int CSerialPort::WriteString(const std::string& bytes) {
    return Write(bytes.data(), static_cast<int>(bytes.size()));
}

int CSerialPort::Write(const char* bytes, int length) {
    if (!open_ || fd_ < 0 || bytes == nullptr || length < 1) return 0;
    auto deadline = std::chrono::steady_clock::now() + kWriteTimeout;
    int total = 0;
    while (total < length) {
        ssize_t put = ::write(fd_, bytes + total, static_cast<size_t>(length - total));
        if (put > 0) {
            total += static_cast<int>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && errno != EAGAIN) break;  // the device failed or vanished
        pollfd pfd{fd_, POLLOUT, 0};
        int64_t left = MillisecondsLeft(deadline);
        if (left == 0 || ::poll(&pfd, 1, static_cast<int>(left)) <= 0) break;
        if (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) break;
    }
    return total;
}

std::string CSerialPort::LastOpenErrorText() const {
    if (lastOpenError_ == 0) return std::string();
    if (lastOpenError_ == EBUSY) return "busy";
    if (lastOpenError_ != EACCES) return std::strerror(lastOpenError_);
    struct stat st {};
    if (::stat(lastOpenPath_.c_str(), &st) == 0) {
        if (const group* gr = ::getgrgid(st.st_gid)) {
            return std::string("permission denied (group ") + gr->gr_name + ")";
        }
    }
    return "permission denied";
}

}  // namespace StreamPort
