// Helpers of the port tests: bounded waiting, a count of the process's
// threads and a tty's rate.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

namespace porttest {

// Calls poll until it returns true or the limit has passed; its last result.
inline bool WaitUntil(const std::function<bool()>& poll,
                      std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!poll()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline int ThreadCount() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                          std::filesystem::directory_iterator()));
}

// A sanitizer's runtime starts a helper thread when the first thread is made,
// so one thread is made and joined before the count to compare with.
inline int BaselineThreadCount() {
    std::thread([] {}).join();
    return ThreadCount();
}

// The rate of the tty at fd, also one without a B constant; 0 when fd is no
// tty or input and output rates differ. Read through the kernel's termios2
// in tty_settings.cpp, whose header cannot share a file with <termios.h>.
unsigned ReadTtyRate(int fd);

}  // namespace porttest
