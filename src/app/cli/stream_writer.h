// Writes to one standard stream of qelvor-cli without ever waiting for its
// reader, whatever the stream is (a file, a pipe, a FIFO, a terminal, a
// socket), and without changing the flags of the open file the stream shares
// with the shell. Owning thread only.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>

namespace qelvor {

class CStreamWriter {
  public:
    explicit CStreamWriter(int fd);
    ~CStreamWriter();
    CStreamWriter(const CStreamWriter&) = delete;
    CStreamWriter& operator=(const CStreamWriter&) = delete;

    // Writes what the stream takes now: the bytes written, 0 when it takes
    // none at the moment, -1 when its reader has gone (EPIPE) or it failed.
    ssize_t WriteSome(const char* data, size_t size);
    // Waits at most limit for the stream to take bytes again; false when the
    // time ran out or stopFd became readable first.
    bool WaitForRoom(int stopFd, std::chrono::milliseconds limit) const;

  private:
    enum class Mode { Unknown, Plain, Socket, OwnDescriptor, PollFirst, BriefNonBlocking };

    // Picks the way to write on first use: the runner puts /dev/null in
    // place of a closed stream only when it starts.
    void ChooseMode();
    ssize_t WriteNow(const char* data, size_t size);
    bool HasRoom() const;
    ssize_t WriteBrieflyNonBlocking(const char* data, size_t size);

    int fd_;
    int own_ = -1;  // the stream opened anew, non-blocking (Mode::OwnDescriptor)
    Mode mode_ = Mode::Unknown;
};

}  // namespace qelvor
