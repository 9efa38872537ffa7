// UDP datagrams behind the port interface: receives on a local port of
// 127.0.0.1 on a worker thread that queues each datagram whole, and sends to
// a configured endpoint or answers the last sender. Every public call is made
// from the user-interface thread.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "ports/drop_run.h"
#include "ports/safe_pipe.h"
#include "ports/stream_port.h"

namespace StreamPort {

class CUDPPort : public CStreamPort {
  public:
    CUDPPort();
    CUDPPort(const CUDPPort&) = delete;
    CUDPPort& operator=(const CUDPPort&) = delete;
    ~CUDPPort() override;

    int SetComParam(int portNumber, int baudRate, const char* portName) override;
    // Local port (0 or below: none), remote port (0 or below: answer the last
    // sender), remote address (IPv4, network byte order). Returns 1.
    int SetNetParam(int localPort, int remotePort, uint32_t address) override;
    // Fails (0) without a local or a remote port, for a port above 65535, or
    // when the local port cannot be bound (see LastError).
    int Open() override;
    int IsOpen() override;
    // Unblocks and joins the receive thread, closes the sockets; the queue
    // keeps its datagrams. Returns 1.
    int Close() override;
    void SetFormat(uint8_t byteSize, uint8_t stopBitCode, uint8_t parityCode) override;
    // "UDP(Remote(%s:%d%c),Local(%d)" or, without a local port,
    // "UDP(Remote(%s:%d%c)"; '*' marks the last sender's port in answer mode.
    const char* GetDescription() override;
    // The receive state plus one: -1 bind failed, 0 closed, 1 open, 2 waiting
    // for the first datagram, 3 datagrams have arrived.
    int GetState(int selector) override;
    // Number of queued datagrams; never blocks.
    int WaitForData(int timeoutMs) override;
    // Takes the front datagram, or its first size bytes (the rest stays in
    // front for the next Read).
    int Read(char* buffer, int size) override;
    int WriteString(const std::string& bytes) override;
    // One datagram; returns the sendto result (-1 on failure).
    int Write(const char* bytes, int length) override;
    // One datagram, as Write never waits: its length, or -1 when it did not go.
    int TryWrite(const char* bytes, int length) override;
    bool WritesInPieces() override { return false; }
    PortKind Kind() const override { return PortKind::Udp; }
    // A network socket has no modem control lines.
    int ControlLines(ControlRequest, int&) override { return kLinesNotAvailable; }

    // The remote address text shown by GetDescription (the configured
    // SvrIPAddr text); "127.0.0.1" until set.
    void SetRemoteAddressText(std::string text);
    // errno of the bind that made the last Open fail (EADDRINUSE: another
    // program has the local port), else 0.
    int LastError() const { return lastError_; }

    // The most the queue of received datagrams may hold, each datagram
    // counted with kQueueItemCost bytes of its own: under a flood that the
    // poll cannot keep up with, further datagrams are dropped and counted.
    static constexpr size_t kQueueCap = 32 * 1024 * 1024;
    static constexpr size_t kQueueItemCost = 64;
    // What the queue holds now, counted as against its cap.
    size_t QueuedBytes() const { return queuedBytes_.load(); }
    // The datagrams dropped at the cap, in runs (see CDropRun).
    CDropRun::Totals TakeDrops(bool closing,
                               CDropRun::Clock::time_point now = CDropRun::Clock::now()) {
        return drops_.Take(closing, now);
    }

  private:
    int StartRecvThread();
    void RecvThreadProc();
    void Queue(const char* bytes, size_t size);
    int SendTo(int fd, const sockaddr_in& to, const char* bytes, int length);
    sockaddr_in LastSender();
    void SetLastSender(const sockaddr_in& from);
    static void ShutdownSocket(int fd);

    threadsafe::CSafePipe<std::string> queue_;
    std::atomic<size_t> queuedBytes_{0};
    CDropRun drops_;
    int localPort_ = 9000;
    int remotePort_ = 9000;
    uint32_t remoteAddress_;
    int recvFd_ = -1;
    int sendFd_ = -1;
    int lastError_ = 0;
    sockaddr_in lastSender_{};
    std::mutex senderLock_;
    std::atomic<int8_t> state_{-1};
    std::string description_;
    std::string remoteText_ = "127.0.0.1";
    std::thread recvThread_;
    std::atomic<bool> recvRunning_{false};
    std::atomic<bool> stopRecv_{false};
};

}  // namespace StreamPort
