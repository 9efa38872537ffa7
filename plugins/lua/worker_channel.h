// Frames that carry lines and answers between the plug-in and its script
// worker process over a stream socket: one kind byte, a 4-byte length (least
// significant byte first), the bytes. Plain functions; any thread may call
// them, one caller a socket at a time.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace qelvor::lua {

using Deadline = std::chrono::steady_clock::time_point;
// For the worker, which waits for its next line as long as the plug-in lives.
inline constexpr Deadline kNoDeadline = Deadline::max();

struct Frame {
    char kind = 0;
    std::string bytes;
};

enum class ChannelResult { Done, TimedOut, Closed, Failed };

// Sends the whole frame before the deadline; never raises SIGPIPE.
ChannelResult SendFrame(int socket, const Frame& frame, Deadline deadline);
// Reads one whole frame before the deadline. A frame announcing more than
// maxBytes is Failed without reading it, so a confused peer cannot make us
// allocate what it likes.
ChannelResult ReceiveFrame(int socket, Frame& frame, size_t maxBytes, Deadline deadline);

}  // namespace qelvor::lua
