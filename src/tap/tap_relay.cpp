#include "tap/tap_relay.h"

#include <poll.h>

#include <algorithm>
#include <utility>

#include "ports/stream_port.h"

namespace qelvor::tap {

namespace {

constexpr size_t kReadPiece = 65536;
// Written bytes are cut off the queue's front once this many have gathered.
constexpr size_t kCompactAfter = 256 * 1024;

}  // namespace

CTapRelay::CTapRelay(ITapSink& sink) : sink_(sink), buffer_(kReadPiece) {}

void CTapRelay::SetSplits(const std::vector<std::string>& splits) {
    a_.cutter.SetSplits(splits);
    b_.cutter.SetSplits(splits);
}

void CTapRelay::SetPorts(StreamPort::CStreamPort* a, StreamPort::CStreamPort* b) {
    a_.port = a;
    b_.port = b;
}

size_t CTapRelay::Poll() {
    // Whatever the other side can take goes first, making room to read.
    size_t written = Write(Side::kA) + Write(Side::kB);
    // Then rounds of reading and writing while a side takes bytes, so that
    // room its reader makes during the tick is filled in the tick.
    const auto end = std::chrono::steady_clock::now() + kRoundsTime;
    size_t moved = 0;
    do {
        Read(Side::kA);
        Read(Side::kB);
        moved = Write(Side::kA) + Write(Side::kB);
        written += moved;
    } while (moved > 0 && std::chrono::steady_clock::now() < end);
    return written;
}

bool CTapRelay::WaitForRoom(std::chrono::steady_clock::time_point until) const {
    pollfd waits[2];
    nfds_t count = 0;
    for (const Endpoint* side : {&a_, &b_}) {
        if (side->port == nullptr || side->Pending() == 0) continue;
        const int fd = side->port->WritableFd();
        if (fd >= 0) waits[count++] = pollfd{fd, POLLOUT, 0};
    }
    const auto left = until - std::chrono::steady_clock::now();
    if (count == 0 || left <= decltype(left)::zero()) return false;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    const timespec timeout{static_cast<time_t>(ns / 1000000000),
                           static_cast<long>(ns % 1000000000)};
    if (ppoll(waits, count, &timeout, nullptr) < 1) return false;
    // A broken line also polls ready; its write fails, and waiting on it
    // again would spin until the tick.
    return std::any_of(waits, waits + count, [](const pollfd& wait) {
        return (wait.revents & POLLOUT) != 0 &&
               (wait.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
    });
}

void CTapRelay::Read(Side from) {
    Endpoint& source = End(from);
    Endpoint& target = End(Other(from));
    if (source.port == nullptr) return;
    size_t budget = kReadBudget;
    while (budget > 0 && target.Pending() < kQueueCap && source.port->WaitForData(0) >= 1) {
        const size_t room = std::min({kQueueCap - target.Pending(), budget, buffer_.size()});
        const int got = source.port->Read(buffer_.data(), static_cast<int>(room));
        if (got < 1) break;
        const std::string_view bytes(buffer_.data(), static_cast<size_t>(got));
        // A side that is not there takes nothing: the bytes are still
        // recorded, and counted as not delivered.
        if (target.port != nullptr) {
            target.waiting.append(bytes);
        } else {
            target.dropped += bytes.size();
        }
        source.relayed += bytes.size();
        budget -= bytes.size();
        Cut(from, bytes);
    }
}

void CTapRelay::Cut(Side from, std::string_view bytes) {
    End(from).cutter.Feed(bytes, [&](std::string frame, const std::string*) {
        sink_.OnFrame(from, std::move(frame));
    });
}

size_t CTapRelay::Write(Side to) {
    Endpoint& target = End(to);
    if (target.port == nullptr || target.Pending() == 0) return 0;
    const int wrote = target.port->TryWrite(target.waiting.data() + target.sent,
                                            static_cast<int>(target.Pending()));
    if (wrote < 1) return 0;
    const size_t written = static_cast<size_t>(wrote);
    target.Consume(written);
    // Injections wholly written are told, in order; the rest move up.
    size_t told = 0;
    for (Endpoint::Injection& injection : target.injections) {
        if (injection.end > written) {
            injection.end -= written;
            continue;
        }
        sink_.OnInjected(to, std::move(injection.bytes));
        ++told;
    }
    target.injections.erase(target.injections.begin(),
                            target.injections.begin() + static_cast<std::ptrdiff_t>(told));
    return written;
}

void CTapRelay::Flush(Side from) {
    std::string frame = End(from).cutter.TakePending();
    if (!frame.empty()) sink_.OnFrame(from, std::move(frame));
}

bool CTapRelay::Inject(Side to, std::string bytes) {
    Endpoint& target = End(to);
    if (target.port == nullptr || target.Pending() + bytes.size() > kQueueCap) {
        target.dropped += bytes.size();
        return false;
    }
    target.waiting += bytes;
    target.injections.push_back({target.Pending(), std::move(bytes)});
    Write(to);
    return true;
}

void CTapRelay::Abandon(Side to) {
    Endpoint& target = End(to);
    target.dropped += target.Pending();
    target.Discard();
    target.injections.clear();
}

void CTapRelay::Endpoint::Consume(size_t count) {
    sent += count;
    if (sent == waiting.size()) return Discard();
    if (sent < kCompactAfter) return;
    waiting.erase(0, sent);
    sent = 0;
}

void CTapRelay::Endpoint::Discard() {
    waiting.clear();
    sent = 0;
}

}  // namespace qelvor::tap
