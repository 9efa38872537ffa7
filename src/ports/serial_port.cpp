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

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>

#include "ports/serial_port_enum.h"

namespace StreamPort {

namespace {

constexpr size_t kMaxNameLength = 259;
constexpr std::chrono::milliseconds kWriteTimeout{5000};
// One read takes what the tty holds (about 4 KiB); a pass of the thread
// reads at most this much before it looks at the wake-up descriptor again.

// CS5 is 0, so "no such size" cannot be told by the flag; false for sizes
// Linux has not.
bool CharSizeFlag(uint8_t byteSize, tcflag_t* flag) {
    static const tcflag_t kFlags[] = {CS5, CS6, CS7, CS8};
    if (byteSize < 5 || byteSize > 8) return false;
    *flag = kFlags[byteSize - 5];
    return true;
}

// The B constant of a standard rate, so that stty and other tools read the
// rate back; BOTHER for any other rate, passed as a number.
tcflag_t RateConstant(int rate) {
    static const struct {
        int rate;
        tcflag_t constant;
    } kRates[] = {
        {50, B50},           {75, B75},           {110, B110},         {150, B150},
        {200, B200},         {300, B300},         {600, B600},         {1200, B1200},
        {1800, B1800},       {2400, B2400},       {4800, B4800},       {9600, B9600},
        {19200, B19200},     {38400, B38400},     {57600, B57600},     {115200, B115200},
        {230400, B230400},   {460800, B460800},   {500000, B500000},   {576000, B576000},
        {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
        {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000},
        {4000000, B4000000}};
    for (const auto& entry : kRates) {
        if (entry.rate == rate) return entry.constant;
    }
    return BOTHER;
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

std::string PermissionText(const std::string& path) {
    struct stat st {};
    const group* gr = ::stat(path.c_str(), &st) == 0 ? ::getgrgid(st.st_gid) : nullptr;
    if (gr == nullptr) return "permission denied: " + path;
    const std::string name = gr->gr_name;
    return "permission denied: " + path + " belongs to group " + name +
           "; add your user to it (`sudo usermod -aG " + name + " $USER`) and log in again";
}

}  // namespace

CSerialPort::CSerialPort(size_t queueCapacity)
    : lockFolders_(DefaultLockFolders()), receiver_(queueCapacity) {}

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

void CSerialPort::FailOpen(int error, std::string text) {
    lastOpenError_ = error;
    lastOpenErrorText_ = std::move(text);
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
    if (open_ && receiver_.Error() == 0) return 1;
    Close();  // a port whose device vanished lets go of it before trying anew
    lastOpenPath_ = DevicePath();
    std::string problem = CheckSettings();
    if (!problem.empty()) {
        FailOpen(lastOpenPath_.empty() ? ENOENT : EINVAL, std::move(problem));
        return 0;
    }
    if (!OpenDevice().empty()) return 0;
    receiver_.Clear();
    if (!receiver_.Start(fd_)) {
        const int error = errno;
        FailOpen(error, std::string("cannot start receiving: ") + std::strerror(error));
        return 0;
    }
    lastOpenError_ = 0;
    lastOpenErrorText_.clear();
    open_ = 1;
    return 1;
}

// The settings that no device can take, named as the settings call them.
std::string CSerialPort::CheckSettings() const {
    if (lastOpenPath_.empty())
        return "no serial port chosen: set ComPort, or ComName with ComPort 0";
    tcflag_t flag = 0;
    if (baudRate_ <= 0) return "invalid BaudRate " + std::to_string(baudRate_);
    if (!CharSizeFlag(byteSize_, &flag)) {
        return "invalid ByteSize " + std::to_string(byteSize_) + ": Linux supports 5 to 8";
    }
    return std::string();
}

std::string CSerialPort::OpenErrorText(int error) const {
    if (error == ENOENT || error == ENODEV || error == ENXIO) {
        return lastOpenPath_ + ": no such device";
    }
    if (error == EACCES) return PermissionText(lastOpenPath_);
    if (error == EBUSY) return PortBusyReason(-1, lastOpenPath_, lockFolders_);
    if (error == ENOTTY) return lastOpenPath_ + ": not a serial device";
    return lastOpenPath_ + ": " + std::strerror(error);
}

// Opens, checks and configures the device; on failure releases it and
// returns the reason, else an empty text.
std::string CSerialPort::OpenDevice() {
    fd_ = ::open(lastOpenPath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    int error = fd_ < 0 ? errno : 0;
    if (error == 0) {
        // The same decision as the port list's: an exclusive mark, a flock
        // or a live lock file of another program makes the port busy. The
        // flock taken here is held until the port closes.
        std::string busy = PortBusyReason(fd_, lastOpenPath_, lockFolders_);
        if (!busy.empty()) {
            FailOpen(EBUSY, busy);
            return lastOpenErrorText_;
        }
        // TIOCEXCL refuses further opens by other programs (but not by root).
        error = ::ioctl(fd_, TIOCEXCL) == 0 ? 0 : errno;
    }
    if (error == 0) {
        exclusive_ = true;
        error = ConfigureLine();
    }
    if (error == 0) {
        ApplyLinesAtOpen();
        return std::string();
    }
    if (error == EINVAL) {
        FailOpen(error, lastOpenPath_ + ": the driver refused " + GetDescription() + " (" +
                            std::strerror(error) + ")");
    } else {
        FailOpen(error, OpenErrorText(error));
    }
    return lastOpenErrorText_;
}

// Applies rate, format and flow control; 0 on success, else an errno value.
int CSerialPort::ConfigureLine() {
    tcflag_t charSize = 0;
    CharSizeFlag(byteSize_, &charSize);
    termios2 tio{};
    if (::ioctl(fd_, TCGETS2, &tio) != 0) return errno;
    MakeRaw(tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= charSize | ParityFlags(parityCode_);
    // Linux has no one and a half stop bits; drivers take it as two.
    if (stopBitCode_ == 1 || stopBitCode_ == 2) tio.c_cflag |= CSTOPB;
    if (flowCtrl_ == 1) tio.c_iflag |= IXON | IXOFF;
    if (flowCtrl_ == 2) tio.c_cflag |= CRTSCTS;
    // An empty input-rate field makes input run at the output rate.
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | CIBAUD);
    tio.c_cflag |= RateConstant(baudRate_);
    tio.c_ispeed = static_cast<speed_t>(baudRate_);
    tio.c_ospeed = static_cast<speed_t>(baudRate_);
    if (::ioctl(fd_, TCSETS2, &tio) != 0) return errno;
    return 0;
}

// Whether the device has modem lines is learnt once, at open: a pty or a
// console answers TIOCMGET with ENOTTY or EINVAL. Setting the levels is best
// effort; a device that refuses still opens.
void CSerialPort::ApplyLinesAtOpen() {
    int bits = 0;
    hasModemLines_ = ::ioctl(fd_, TIOCMGET, &bits) == 0;
    if (!hasModemLines_) return;
    ChangeLines(dtrAtOpen_ ? TIOCMBIS : TIOCMBIC, TIOCM_DTR);
    ChangeLines(rtsAtOpen_ ? TIOCMBIS : TIOCMBIC, TIOCM_RTS);
}

int CSerialPort::ChangeLines(unsigned long request, int bits) {
    return ::ioctl(fd_, request, &bits) == 0 ? kLinesDone : kLinesFailed;
}

int CSerialPort::ControlLines(ControlRequest request, int& lines) {
    if (!open_ || fd_ < 0) return kLinesFailed;
    if (!hasModemLines_) return kLinesNotAvailable;
    switch (request) {
        case ControlRequest::GetLines: {
            int bits = 0;
            if (::ioctl(fd_, TIOCMGET, &bits) != 0) return kLinesFailed;
            lines = ((bits & TIOCM_DTR) ? kLineDtr : 0) | ((bits & TIOCM_RTS) ? kLineRts : 0) |
                    ((bits & TIOCM_CTS) ? kLineCts : 0) | ((bits & TIOCM_DSR) ? kLineDsr : 0) |
                    ((bits & TIOCM_CAR) ? kLineDcd : 0) | ((bits & TIOCM_RNG) ? kLineRi : 0);
            return kLinesDone;
        }
        case ControlRequest::SetDtr:
            return ChangeLines(TIOCMBIS, TIOCM_DTR);
        case ControlRequest::ClearDtr:
            return ChangeLines(TIOCMBIC, TIOCM_DTR);
        case ControlRequest::SetRts:
            return ChangeLines(TIOCMBIS, TIOCM_RTS);
        case ControlRequest::ClearRts:
            return ChangeLines(TIOCMBIC, TIOCM_RTS);
        case ControlRequest::BreakOn:
            return ::ioctl(fd_, TIOCSBRK) == 0 ? kLinesDone : kLinesFailed;
        case ControlRequest::BreakOff:
            return ::ioctl(fd_, TIOCCBRK) == 0 ? kLinesDone : kLinesFailed;
    }
    return kLinesFailed;
}

int CSerialPort::IsOpen() {
    return open_;
}

int CSerialPort::Close() {
    receiver_.Stop();
    ReleaseDevice();  // closing also releases the flock
    open_ = 0;
    hasModemLines_ = false;
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
            if (!open_) return 0;
            return receiver_.Error() == 0 ? 1 : -1;
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
    if (!open_) return 0;
    const size_t waiting = receiver_.Waiting();
    return waiting > INT_MAX ? INT_MAX : static_cast<int>(waiting);
}

int CSerialPort::Read(char* buffer, int size) {
    if (!open_ || buffer == nullptr || size <= 0) return 0;
    return static_cast<int>(receiver_.Take(buffer, static_cast<size_t>(size)));
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

int CSerialPort::TryWrite(const char* bytes, int length) {
    if (!open_ || fd_ < 0) return -1;
    if (bytes == nullptr || length < 1) return 0;
    int total = 0;
    while (total < length) {
        const ssize_t put = ::write(fd_, bytes + total, static_cast<size_t>(length - total));
        if (put > 0) {
            total += static_cast<int>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && errno != EAGAIN) return total > 0 ? total : -1;
        break;  // the driver's buffer is full: the rest goes at a later tick
    }
    return total;
}

std::string CSerialPort::LastOpenErrorText() const {
    const int error = open_ ? receiver_.Error() : 0;
    if (error == 0) return lastOpenErrorText_;
    return lastOpenPath_ + ": the device vanished (" + std::strerror(error) +
           "); close the port and open it again once the device is back";
}

}  // namespace StreamPort
