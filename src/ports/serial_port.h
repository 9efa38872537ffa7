// One serial line (a tty device: a UART, a USB adapter or a pty) behind the
// port interface. Every public call is made from the user-interface thread;
// while the port is open a receive thread of its own moves the device's bytes
// into a bounded queue as they arrive, so that a stall of the caller's thread
// loses nothing. Only Write and Close wait.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ports/descriptor_receiver.h"
#include "ports/stream_port.h"

namespace StreamPort {

class CSerialPort : public CStreamPort {
  public:
    // The receive thread queues at most queueCapacity bytes for Read.
    explicit CSerialPort(size_t queueCapacity = kDefaultQueueCapacity);
    // At 921600 baud about ten minutes of input: a stalled window loses
    // nothing the device sends.
    static constexpr size_t kDefaultQueueCapacity = 64u * 1024 * 1024;
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;
    ~CSerialPort() override;

    // Stores the number and the rate; the name only when the number is 0
    // (cut to 259 characters), otherwise the name is cleared. Returns 1.
    int SetComParam(int portNumber, int baudRate, const char* portName) override;
    int SetNetParam(int first, int second, uint32_t address) override;
    // Opens the device exclusively, raw, with the stored line format, and
    // starts the receive thread. Fails (0) for an unknown device, a busy one,
    // a byte size Linux lacks (4), a rate the driver refuses or a device that
    // is not a tty. A port whose device vanished is closed and opened anew.
    int Open() override;
    // 1 from a successful Open to Close, also after the device vanished.
    int IsOpen() override;
    // Ends and joins the receive thread and releases the device. Returns 1.
    int Close() override;
    // Ignored while the port is open.
    void SetFormat(uint8_t byteSize, uint8_t stopBitCode, uint8_t parityCode) override;
    // "%d %d-%c-%s": rate, byte size, parity letter, stop-bit text ("115200 7-E-2").
    const char* GetDescription() override;
    // 0: 1 when open, -1 when the device vanished while open (until Close),
    // 0 when closed; 1: byte size; 2: stop-bit code; 3: parity code; other: -1.
    int GetState(int selector) override;
    // Bytes queued by the receive thread plus those still in the driver;
    // never blocks.
    int WaitForData(int timeoutMs) override;
    // Takes at most size queued bytes without blocking.
    int Read(char* buffer, int size) override;
    int WriteString(const std::string& bytes) override;
    // Waits at most 5000 ms in all for the driver to take the bytes and
    // returns how many it took (0 when none, for a stalled or vanished device).
    int Write(const char* bytes, int length) override;
    // Hands the driver what it has room for now, at most length bytes, never
    // waiting: the count taken (0 when its buffer is full), -1 when the port
    // is closed or the device failed.
    int TryWrite(const char* bytes, int length) override;
    // While open.
    bool WritesInPieces() override { return IsOpen() != 0; }
    int WritableFd() override { return open_ ? fd_ : -1; }
    PortKind Kind() const override { return PortKind::Serial; }
    // TIOCMGET, TIOCMBIS/TIOCMBIC and TIOCSBRK/TIOCCBRK. A device without
    // modem lines (a pty) answers kLinesNotAvailable to every request.
    int ControlLines(ControlRequest request, int& lines) override;

    // Flow control applied at the next Open: 0 none, 1 XON/XOFF, 2 RTS/CTS.
    void SetFlowControl(int flowCtrl) { flowCtrl_ = flowCtrl; }
    // The DTR and RTS levels set at the next Open. The kernel raises both as
    // it opens the device, so a board that resets on DTR still sees a short
    // pulse; clearing them at once keeps it from being held in reset.
    void SetLinesAtOpen(bool dtr, bool rts) {
        dtrAtOpen_ = dtr;
        rtsAtOpen_ = rts;
    }
    // Where Open looks for other programs' lock files (LCK..name).
    void SetLockFolders(std::vector<std::string> folders) { lockFolders_ = std::move(folders); }
    // The device path Open uses: ComPort n is /dev/ttyS(n-1); 0 takes the
    // name, a path when it starts with "/", else /dev/NAME. Empty when there
    // is none (a negative number, or 0 with an empty name).
    std::string DevicePath() const;
    // errno of the last failed Open (EBUSY: held by another program; EACCES:
    // this user may not open it), 0 after a successful one.
    int LastOpenError() const { return lastOpenError_; }
    // Why the last Open failed, naming the device and a way out ("busy:
    // locked by process 1234", "/dev/ttyS4: no such device"), or why an open
    // port failed (its device vanished). Empty while the port works.
    std::string LastOpenErrorText() const;

  private:
    std::string CheckSettings() const;
    std::string OpenDevice();
    std::string OpenErrorText(int error) const;
    int ConfigureLine();
    void ApplyLinesAtOpen();
    int ChangeLines(unsigned long request, int bits);
    void FailOpen(int error, std::string text);
    void ReleaseDevice();

    int portNumber_ = -1;
    int baudRate_ = 9600;
    uint8_t stopBitCode_ = 0;
    uint8_t byteSize_ = 8;
    uint8_t parityCode_ = 0;
    int flowCtrl_ = 0;
    bool dtrAtOpen_ = true;
    bool rtsAtOpen_ = true;
    bool hasModemLines_ = false;  // the open device answered TIOCMGET
    std::string portName_;
    std::string description_;
    int fd_ = -1;
    bool exclusive_ = false;  // this object set the tty's exclusive mark
    int open_ = 0;
    int lastOpenError_ = 0;
    std::string lastOpenPath_;
    std::string lastOpenErrorText_;
    std::vector<std::string> lockFolders_;

    CDescriptorReceiver receiver_;
};

}  // namespace StreamPort
