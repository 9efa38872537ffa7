// The heart of a tap between two endpoints A and B: every byte one side
// sends is written to the other unchanged and in order, in the same poll
// tick when the other side takes it, and each direction is cut into frames
// for the record by its own cutter. What a side cannot take yet waits in a
// bounded queue; while that queue is full the relay stops reading the
// sending side, so the kernel and the port's own queue hold the sender back
// and nothing is lost. Engine thread only: the ports' reading threads are
// the only others, behind the port interface.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "traffic/frame_cutter.h"

namespace StreamPort {
class CStreamPort;
}

namespace qelvor::tap {

enum class Side { kA, kB };

// Where the relay's frames go; called from within Poll and Flush.
class ITapSink {
  public:
    virtual ~ITapSink() = default;
    // A frame that side sent, as its cutter ended it.
    virtual void OnFrame(Side from, std::string frame) = 0;
    // Bytes injected into side (the send box's) went out to it.
    virtual void OnInjected(Side to, std::string bytes) = 0;
};

class CTapRelay {
  public:
    // Bytes waiting for one side; the relay reads no more for it beyond.
    static constexpr size_t kQueueCap = 1u << 20;
    // At most this many bytes are read from one side in one round of a
    // tick, so that a flood one way cannot hold up the other.
    static constexpr size_t kReadBudget = 1u << 20;
    // A tick goes on reading and writing in rounds while a side takes bytes,
    // for at most this long (and one round more). A pty takes only some
    // 14 KB while its reader is behind: one write a tick would hold it to
    // a fraction of what its reader reads.
    static constexpr std::chrono::microseconds kRoundsTime{500};

    explicit CTapRelay(ITapSink& sink);

    // The split strings both directions are cut at.
    void SetSplits(const std::vector<std::string>& splits);
    // The two ports; either may be null (a side not open).
    void SetPorts(StreamPort::CStreamPort* a, StreamPort::CStreamPort* b);

    // One tick: moves what each side sent to the other and records it;
    // the count of bytes written.
    size_t Poll();
    // Waits, until at most the given time, for room in a side that has
    // bytes waiting for it, the way a relay between ticks keeps a slow
    // reader's line full; true when one has room now. False at once when no
    // side waits, or a side's port offers no descriptor to wait on.
    bool WaitForRoom(std::chrono::steady_clock::time_point until) const;
    // The waiting bytes of the side's frame become a frame (silence, or
    // the side went away).
    void Flush(Side from);
    // Queues bytes to be written into a side, behind what the other side
    // sent. False, counted as dropped, when they do not fit the queue.
    bool Inject(Side to, std::string bytes);
    // A side that went away: what waited for it is dropped and counted.
    void Abandon(Side to);

    size_t Waiting(Side to) const { return End(to).Pending(); }
    // Bytes meant for a side that were not delivered: sent while it was
    // away, waiting when it went, or injected beyond the queue.
    uint64_t Dropped(Side to) const { return End(to).dropped; }
    uint64_t Relayed(Side from) const { return End(from).relayed; }

  private:
    struct Endpoint {
        StreamPort::CStreamPort* port = nullptr;
        CFrameCutter cutter;
        // Bytes for this side from waiting[sent] on; the written ones are
        // cut off the front only now and then, so that a write costs no
        // move of everything behind it. Injected bytes are told to the
        // sink once written.
        std::string waiting;
        size_t sent = 0;
        struct Injection {
            size_t end;  // its last byte's place among the pending bytes, plus one
            std::string bytes;
        };
        std::vector<Injection> injections;
        uint64_t dropped = 0;
        uint64_t relayed = 0;  // bytes this side sent that were relayed

        size_t Pending() const { return waiting.size() - sent; }
        void Consume(size_t count);
        void Discard();
    };

    Endpoint& End(Side side) { return side == Side::kA ? a_ : b_; }
    const Endpoint& End(Side side) const { return side == Side::kA ? a_ : b_; }
    static Side Other(Side side) { return side == Side::kA ? Side::kB : Side::kA; }
    void Read(Side from);
    size_t Write(Side to);
    void Cut(Side from, std::string_view bytes);

    ITapSink& sink_;
    Endpoint a_, b_;
    std::vector<char> buffer_;
};

}  // namespace qelvor::tap
