// The port interface that every port kind implements: configure, open, poll,
// read, write and close one serial line, TCP connection or UDP socket.
// Every call is made from the user-interface thread; ports that must block to
// receive do so on a worker thread of their own.
#pragma once

#include <cstdint>
#include <string>

namespace StreamPort {

// What ControlLines is asked to do with the modem control lines.
enum class ControlRequest {
    GetLines,  // read every line into the bits below
    SetDtr,
    ClearDtr,
    SetRts,
    ClearRts,
    BreakOn,  // hold the transmit line in the break state
    BreakOff,
};

// The bits ControlLines reports; DTR and RTS are outputs, the rest inputs.
inline constexpr int kLineDtr = 1 << 0;
inline constexpr int kLineRts = 1 << 1;
inline constexpr int kLineCts = 1 << 2;
inline constexpr int kLineDsr = 1 << 3;
inline constexpr int kLineDcd = 1 << 4;
inline constexpr int kLineRi = 1 << 5;

// The results of ControlLines.
inline constexpr int kLinesDone = 1;
inline constexpr int kLinesFailed = 0;
inline constexpr int kLinesNotAvailable = -1;

// What a port is: the caller asks instead of comparing objects.
enum class PortKind { Serial, TcpServer, TcpClient, Udp, Pty };

class CStreamPort {
  public:
    virtual ~CStreamPort() = default;

    // Serial: port number (0 = use the name), baud rate, device name. Returns 1.
    virtual int SetComParam(int portNumber, int baudRate, const char* portName) = 0;
    // TCP: mode, port, server address; UDP: local port, remote port, remote
    // address. The address is IPv4 in network byte order. Returns 1.
    virtual int SetNetParam(int first, int second, uint32_t address) = 0;
    // 1 = open (also when it already was), 0 = failed.
    virtual int Open() = 0;
    virtual int IsOpen() = 0;
    // Always 1; waits for the port's worker thread to end.
    virtual int Close() = 0;
    virtual void SetFormat(uint8_t byteSize, uint8_t stopBitCode, uint8_t parityCode) = 0;
    // Text owned by the port object, or nullptr.
    virtual const char* GetDescription() = 0;
    virtual int GetState(int selector) = 0;
    // 1 or more = data can be read now; 0 or less = nothing to read. With a
    // time-out of 0 it never blocks.
    virtual int WaitForData(int timeoutMs) = 0;
    // Bytes placed in the buffer; 0 = none. Never blocks after WaitForData
    // reported data.
    virtual int Read(char* buffer, int size) = 0;
    // Sends exactly the bytes of the string; returns what Write returns.
    virtual int WriteString(const std::string& bytes) = 0;
    // Bytes written; 0 or less = nothing written.
    virtual int Write(const char* bytes, int length) = 0;
    // Writes what the port takes now, never waiting for room: the count
    // taken (0 when it has no room yet), -1 when it can take nothing (closed,
    // not connected, broken). A datagram port sends the bytes as one
    // datagram, whole or not at all.
    virtual int TryWrite(const char* bytes, int length) = 0;
    // Whether a long write may go out through TryWrite in pieces now: a
    // connected stream or an open line. A datagram port answers false, since
    // each piece would arrive as a datagram of its own.
    virtual bool WritesInPieces() = 0;
    // The descriptor that polls writable when TryWrite would take bytes, so
    // that a relay can wait for room instead of trying again later; -1 when
    // the port is closed or has none to offer (datagrams).
    virtual int WritableFd() { return -1; }
    // Serial, TCP server or client (as SetNetParam last chose), or UDP.
    virtual PortKind Kind() const = 0;
    // Reads (GetLines: into lines, as kLine* bits) or drives the modem
    // control lines of an open port. kLinesDone, kLinesFailed (closed, or
    // the device failed), or kLinesNotAvailable for a port or device that
    // has no such lines. Never blocks.
    virtual int ControlLines(ControlRequest request, int& lines) = 0;
};

}  // namespace StreamPort
