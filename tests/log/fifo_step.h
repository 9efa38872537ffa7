// Runs a step that must never wait on a named pipe, with a time limit, from
// the test's thread: a step stuck opening the pipe is let go by opening the
// pipe's reading end, so such a fault fails the test instead of hanging it.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>

namespace qelvor::testing_support {

// True when the step ended within five seconds with no reader on fifo.
inline bool FinishesWithoutAReader(const std::string& fifo, const std::function<void()>& step) {
    auto done = std::async(std::launch::async, step);
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return true;
    // The reader stays open until the step ends, so nothing it writes meets SIGPIPE.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    done.wait();
    if (reader >= 0) ::close(reader);
    return false;
}

}  // namespace qelvor::testing_support
