// One TCP connection behind the port interface: a server that serves one
// client at a time (accepting on a worker thread) or a client. Every public
// call is made from the user-interface thread; Write may also be called from
// other threads, and a lock keeps concurrent writers' bytes apart.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "ports/stream_port.h"

namespace StreamPort {

class CTCPPort : public CStreamPort {
  public:
    CTCPPort();
    CTCPPort(const CTCPPort&) = delete;
    CTCPPort& operator=(const CTCPPort&) = delete;
    ~CTCPPort() override;

    int SetComParam(int portNumber, int baudRate, const char* portName) override;
    // mode (low 8 bits; 1 = client, else server), port, server address
    // (IPv4, network byte order). Returns 1.
    int SetNetParam(int mode, int port, uint32_t address) override;
    // Server: starts listening on a worker thread and returns 1. Client:
    // connects, giving up after 5 s; 1 when connected, else 0.
    int Open() override;
    // True while listening or connected.
    int IsOpen() override;
    // Unblocks and joins the accept thread, closes every socket. Returns 1.
    int Close() override;
    void SetFormat(uint8_t byteSize, uint8_t stopBitCode, uint8_t parityCode) override;
    // Always nullptr: the main window builds the TCP texts itself.
    const char* GetDescription() override;
    // -2 bind/listen failed, -1 closed or lost, 0 listening, 1 connected.
    int GetState(int selector) override;
    // 1 readable; 0 nothing now; -1 server not connected (accept restarted)
    // or probe failure; -2 listening; -3 no connected socket; -5 poll failed;
    // -6 connection reset; -7 reading the socket state failed; -8 peer closed.
    // With a time-out of 0 it never blocks.
    int WaitForData(int timeoutMs) override;
    // One receive of at most size bytes; never blocks. -1 on a socket error.
    int Read(char* buffer, int size) override;
    int WriteString(const std::string& bytes) override;
    // Sends all bytes unless a send fails (each waits at most 5000 ms for
    // room); returns the bytes sent.
    int Write(const char* bytes, int length) override;

    // Fills out with the connected peer's address and returns 1; when not
    // connected (or getpeername fails) zero-fills it and returns 0.
    int GetPeerAddress(sockaddr_in* out);

  private:
    int OpenClient();
    int StartAcceptThread();
    void AcceptThreadProc();
    int CreateListenSocket();
    int AcceptClient(int listenFd);
    void CloseConnected();
    void DropStaleSocket();
    void ReleaseSocket(int fd);
    void ShutdownListen();
    void JoinAcceptThread();
    int ProbeReadable(int fd);

    std::recursive_mutex writeLock_;
    // Guards handing descriptors between the accept thread and the caller, so
    // that no descriptor is shut down or closed after the other side closed it.
    std::mutex fdLock_;
    int port_ = 9000;
    uint32_t address_;
    uint8_t mode_ = 0;
    int listenFd_ = -1;
    std::atomic<int> fd_{-1};
    sockaddr_in endpoint_{};
    std::atomic<int8_t> state_{-1};
    std::thread acceptThread_;
    std::atomic<bool> acceptRunning_{false};
    std::atomic<bool> stopAccept_{false};
};

}  // namespace StreamPort
