// A virtual serial port: a pty that this program creates and holds, found by
// another program under a link name and opened there as a serial device.
// Every public call is made from the user-interface thread; while the port is
// open a receive thread of its own moves the peer's bytes into a bounded
// queue, so nothing here waits on the peer but Write and Close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ports/descriptor_receiver.h"
#include "ports/pty_link.h"
#include "ports/stream_port.h"

namespace StreamPort {

class CPtyPort : public CStreamPort {
  public:
    explicit CPtyPort(size_t queueCapacity = kDefaultQueueCapacity);
    static constexpr size_t kDefaultQueueCapacity = 64u * 1024 * 1024;
    CPtyPort(const CPtyPort&) = delete;
    CPtyPort& operator=(const CPtyPort&) = delete;
    ~CPtyPort() override;

    // The link name the next Open creates; empty: CPtyLink::DefaultPath().
    void SetLinkPath(std::string linkPath) { linkPath_ = std::move(linkPath); }
    // The link of the open port (or the one the next Open makes).
    std::string LinkPath() const;
    // The /dev/pts path of the open port; empty while closed.
    const std::string& PtsPath() const { return ptsPath_; }

    // Ignored: a pty is named by its link. Return 1.
    int SetComParam(int portNumber, int baudRate, const char* portName) override;
    int SetNetParam(int first, int second, uint32_t address) override;
    // Creates the pty (raw, its slave side held open here as well, so that a
    // peer that closes it and comes back finds it working) and its link, and
    // starts the receive thread. 0 when the link name is taken or the pty
    // cannot be made: LastOpenErrorText says why.
    int Open() override;
    int IsOpen() override { return open_; }
    // Removes the link (if it is still ours), ends the receive thread and
    // lets go of the pty. Returns 1.
    int Close() override;
    // Ignored: the peer chooses the line settings (TakeLineChange).
    void SetFormat(uint8_t byteSize, uint8_t stopBitCode, uint8_t parityCode) override;
    // "PTY:LINK (/dev/pts/N)" while open, "PTY:LINK" while closed.
    const char* GetDescription() override;
    // 0: 1 open, -1 the pty failed (until Close), 0 closed; others: -1.
    int GetState(int selector) override;
    int WaitForData(int timeoutMs) override;
    int Read(char* buffer, int size) override;
    int WriteString(const std::string& bytes) override;
    // Waits at most 5000 ms in all for a peer that does not read.
    int Write(const char* bytes, int length) override;
    // What the pty takes now, never waiting; -1 when closed or failed.
    int TryWrite(const char* bytes, int length) override;
    bool WritesInPieces() override { return IsOpen() != 0; }
    int WritableFd() override { return open_ && receiver_.Error() == 0 ? master_ : -1; }
    PortKind Kind() const override { return PortKind::Pty; }
    // A pty has no modem lines: kLinesNotAvailable while open.
    int ControlLines(ControlRequest request, int& lines) override;

    // The line settings the peer set, as "9600 8N1", when the rate, data
    // bits, parity or stop bits changed since the last call (or the open).
    // A pty keeps the rate, the stop bits and odd, mark and space parity;
    // it forces 8 data bits and drops the parity-enable bit, so even parity
    // reads as none.
    std::optional<std::string> TakeLineChange();
    // Why the last Open failed, or why the open port failed; empty otherwise.
    std::string LastOpenErrorText() const;

  private:
    std::string OpenPty();
    void ReleasePty();
    std::string LineText() const;

    std::string linkPath_;
    CPtyLink link_;
    std::string ptsPath_;
    std::string description_;
    int master_ = -1;
    int slave_ = -1;  // held so that the peer's close never hangs the pty up
    int open_ = 0;
    std::string lastOpenErrorText_;
    std::string lastLine_;  // the line settings TakeLineChange last saw

    CDescriptorReceiver receiver_;
};

}  // namespace StreamPort
