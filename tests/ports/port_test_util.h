// Helpers of the port tests: a count of the process's threads and a tty's rate.
#pragma once

#include <filesystem>
#include <thread>

#include "support/temp_folder.h"

namespace porttest {

using qelvor::testing_support::WaitUntil;

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
