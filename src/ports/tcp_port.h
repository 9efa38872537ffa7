// One TCP connection behind the port interface: a server that serves one
// client at a time (accepting on a worker thread) or a client, whose connect
// never blocks (the poll finishes it). Every public
// call is made from the user-interface thread; Write may also be called from
// other threads, and a lock keeps concurrent writers' bytes apart.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "ports/stream_port.h"

namespace StreamPort {

class CTCPPort : public CStreamPort {
  public:
    // The connection states GetState reports.
    static constexpr int8_t kListenFailed = -2;  // server: bind or listen refused
    static constexpr int8_t kClosed = -1;        // closed, or the connection was lost
    static constexpr int8_t kListening = 0;      // server: waiting for a client
    static constexpr int8_t kConnecting = 0;     // client: the connect is under way
    static constexpr int8_t kConnected = 1;

    CTCPPort();
    CTCPPort(const CTCPPort&) = delete;
    CTCPPort& operator=(const CTCPPort&) = delete;
    ~CTCPPort() override;

    int SetComParam(int portNumber, int baudRate, const char* portName) override;
    // mode (low 8 bits; 1 = client, else server), port, server address
    // (IPv4, network byte order). Returns 1.
    int SetNetParam(int mode, int port, uint32_t address) override;
    // A port outside 1..65535 fails (0). Server: listens at once and returns
    // 1, also when the port is taken (state kListenFailed; RestartListening
    // retries). Client: starts the connect without waiting and returns 1, in
    // state kConnecting until PollConnect (or WaitForData) finds it done; 0
    // when it failed at once.
    int Open() override;
    // Client: whether the connect started by Open is done, without blocking.
    // 1 connected (also when it already was), 0 still under way, -1 failed
    // or not connecting: refused, no answer within 5 s (ETIMEDOUT) or
    // another error, kept in LastError; the socket is then closed.
    int PollConnect();
    // True while listening, connecting or connected.
    int IsOpen() override;
    // Unblocks and joins the accept thread, closes every socket. Returns 1.
    int Close() override;
    void SetFormat(uint8_t byteSize, uint8_t stopBitCode, uint8_t parityCode) override;
    // Always nullptr: the main window builds the TCP texts itself.
    const char* GetDescription() override;
    // kListenFailed, kClosed, kListening or kConnected; selector ignored.
    int GetState(int selector) override;
    // A connecting client first looks whether its connect is done: 0 while
    // it is under way, -3 when it failed.
    // 1 readable; 0 nothing now; -1 server not connected or probe failure;
    // -2 listening; -3 no connected socket; -5 poll failed; -6 connection
    // reset; -7 reading the socket state failed; -8 peer closed. Never starts
    // listening; with a time-out of 0 it never blocks.
    int WaitForData(int timeoutMs) override;
    // One receive of at most size bytes; never blocks. -1 on a socket error.
    int Read(char* buffer, int size) override;
    int WriteString(const std::string& bytes) override;
    // Sends all bytes unless a send fails (each waits at most 5000 ms for
    // room); returns the bytes sent.
    int Write(const char* bytes, int length) override;
    // A network socket has no modem control lines.
    int ControlLines(ControlRequest, int&) override { return kLinesNotAvailable; }
    // Sends what the socket takes now, at most length bytes, never waiting
    // for room: the count taken (0 when the socket is full), -1 when not
    // connected or the connection broke before any byte went.
    int TryWrite(const char* bytes, int length) override;
    // While connected.
    bool WritesInPieces() override { return state_.load() == kConnected; }
    int WritableFd() override { return state_.load() == kConnected ? fd_.load() : -1; }
    PortKind Kind() const override {
        return IsClient() ? PortKind::TcpClient : PortKind::TcpServer;
    }

    // For the poll of an open server: after a lost connection, or while the
    // port is taken, tries to listen again. Never blocks. 1 when it started
    // listening now, else 0 (client, closed, listening or connected).
    int RestartListening();
    // Ends the connection as a lost one (state kClosed): a server listens
    // again at the next RestartListening. Nothing happens when not connected.
    void DropConnection();
    // Whether the last connection ended by DropConnection, not by the peer
    // or a failure; false again once a connection is made.
    bool DroppedHere() const { return droppedHere_.load(); }
    // Fills out with the connected peer's address and returns 1; when not
    // connected (or getpeername fails) zero-fills it and returns 0.
    int GetPeerAddress(sockaddr_in* out);
    // Server: the IPv4 address (network byte order) to listen on, from the
    // next listen on; all addresses (INADDR_ANY) until set. Close keeps it.
    void SetListenAddress(uint32_t address) { listenAddress_ = address; }
    // errno of the last failed connect or listen (ETIMEDOUT when a connect
    // got no answer in time); 0 after a successful one.
    int LastError() const { return lastError_; }

  private:
    bool IsClient() const { return mode_ == 1; }
    int OpenClient();
    void HoldConnected(int fd);
    int FailConnect(int error);
    int StartListening();
    void AcceptThreadProc(int listenFd);
    void HandOver(int listenFd, int client);
    void LoseConnection();
    void CloseConnected();
    void JoinAcceptThread();
    int ProbeReadable(int fd);
    // After a failed send: a broken connection is marked lost.
    void NoteSendError(int error);

    std::recursive_mutex writeLock_;
    // Held by the accept thread for its one hand-over (listening socket
    // closed, client and state stored) and by Close while it wakes that
    // thread, so neither ever touches a descriptor the other has closed.
    std::mutex acceptLock_;
    int port_ = 9000;
    uint32_t address_;
    uint32_t listenAddress_ = htonl(INADDR_ANY);
    uint8_t mode_ = 0;
    bool serving_ = false;  // a server between Open and Close
    int lastError_ = 0;
    // When a connect under way gives up.
    std::chrono::steady_clock::time_point connectDeadline_{};
    int listenFd_ = -1;  // owned by the accept thread while it runs
    std::atomic<int> fd_{-1};
    std::atomic<bool> droppedHere_{false};
    std::atomic<int8_t> state_{kClosed};
    std::thread acceptThread_;
    bool stopAccept_ = false;  // guarded by acceptLock_
};

}  // namespace StreamPort
