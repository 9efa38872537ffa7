// The receive side of a port read through one descriptor (a serial device,
// a pty): a thread of its own moves what the driver holds into a bounded
// queue, so that the poll never waits on the peer. Start, Stop and Clear
// come from the port's owning thread; Waiting, Take and Error from any.
#pragma once

#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

#include "ports/byte_queue.h"

namespace StreamPort {

class CDescriptorReceiver {
  public:
    explicit CDescriptorReceiver(size_t queueCapacity) : queue_(queueCapacity) {}
    ~CDescriptorReceiver() { Stop(); }
    CDescriptorReceiver(const CDescriptorReceiver&) = delete;
    CDescriptorReceiver& operator=(const CDescriptorReceiver&) = delete;

    // Starts reading fd; false when the thread's wake descriptor cannot be
    // made. The queue keeps what it holds: Clear empties it.
    bool Start(int fd);
    // Ends the thread and forgets its error. The descriptor is the caller's
    // to close, afterwards.
    void Stop();
    void Clear() { queue_.Clear(); }

    // The errno that ended the receiving (the device failed or hung up);
    // 0 while it runs.
    int Error() const { return error_.load(); }
    // Bytes queued and those the driver still holds.
    size_t Waiting() const;
    // Moves at most size queued bytes into buffer; how many.
    size_t Take(char* buffer, size_t size);

  private:
    void Run();
    bool ReceiveOnce(std::vector<char>& buffer);
    bool MoveBytes(std::vector<char>& buffer, bool hungUp);
    bool RoomOrWaitForIt();
    void Wake() const;

    CByteQueue queue_;
    std::thread thread_;
    int fd_ = -1;
    int wakeFd_ = -1;  // an eventfd: Stop, and Take freeing room, wake the thread
    std::atomic<bool> stop_{false};
    std::atomic<bool> waitingForRoom_{false};
    std::atomic<int> error_{0};
};

}  // namespace StreamPort
