// One serial line (a tty device: a UART, a USB adapter or a pty) behind the
// port interface. It has no worker thread: every call, including Open and
// Close, is made from the user-interface thread, and only Write may wait.
#pragma once

#include <cstdint>
#include <string>

#include "ports/stream_port.h"

namespace StreamPort {

class CSerialPort : public CStreamPort {
  public:
    CSerialPort() = default;
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;
    ~CSerialPort() override;

    // Stores the number and the rate; the name only when the number is 0
    // (cut to 259 characters), otherwise the name is cleared. Returns 1.
    int SetComParam(int portNumber, int baudRate, const char* portName) override;
    int SetNetParam(int first, int second, uint32_t address) override;
    // Opens the device exclusively, raw, with the stored line format. Fails
    // (0) for an unknown device, a busy one, a byte size Linux lacks (4), a
    // rate the driver refuses or a device that is not a tty.
    int Open() override;
    int IsOpen() override;
    int Close() override;
    // Ignored while the port is open.
    void SetFormat(uint8_t byteSize, uint8_t stopBitCode, uint8_t parityCode) override;
    // "%d %d-%c-%s": rate, byte size, parity letter, stop-bit text ("115200 7-E-2").
    const char* GetDescription() override;
    // 0: 1 when open; 1: byte size; 2: stop-bit code; 3: parity code; other: -1.
    int GetState(int selector) override;
    // Bytes waiting in the driver's input queue; never blocks.
    int WaitForData(int timeoutMs) override;
    // Reads without blocking until the buffer is full or nothing more waits.
    int Read(char* buffer, int size) override;
    int WriteString(const std::string& bytes) override;
    // Waits at most 5000 ms in all for the driver to take the bytes and
    // returns how many it took (0 when none, for a stalled or vanished device).
    int Write(const char* bytes, int length) override;

    // Flow control applied at the next Open: 0 none, 1 XON/XOFF, 2 RTS/CTS.
    void SetFlowControl(int flowCtrl) { flowCtrl_ = flowCtrl; }
    // The device path Open uses: ComPort n is /dev/ttyS(n-1); 0 takes the
    // name, a path when it starts with "/", else /dev/NAME. Empty when there
    // is none (a negative number, or 0 with an empty name).
    std::string DevicePath() const;
    // errno of the last failed Open (EBUSY: held by another program; EACCES:
    // this user may not open it), 0 after a successful one.
    int LastOpenError() const { return lastOpenError_; }
    // A short text for the last failed Open: "busy", "permission denied (group
    // dialout)", or the system's own error text. Empty after success.
    std::string LastOpenErrorText() const;

  private:
    int ConfigureLine();
    void FailOpen(int error);
    void ReleaseDevice();

    int portNumber_ = -1;
    int baudRate_ = 9600;
    uint8_t stopBitCode_ = 0;
    uint8_t byteSize_ = 8;
    uint8_t parityCode_ = 0;
    int flowCtrl_ = 0;
    std::string portName_;
    std::string description_;
    int fd_ = -1;
    bool exclusive_ = false;  // this object set the tty's exclusive mark
    int open_ = 0;
    int lastOpenError_ = 0;
    std::string lastOpenPath_;
};

}  // namespace StreamPort
