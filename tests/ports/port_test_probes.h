// What the port tests look at besides the port: this process's threads, and the
// bytes a port delivers when polled as the main window polls it. Test thread only.
#pragma once

#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ports/stream_port.h"
#include "support/temp_folder.h"

namespace porttest {

using qelvor::testing_support::WaitUntil;
const uint32_t kLoopback = htonl(INADDR_LOOPBACK);

// The tty's rate, also one without a B constant; 0: no tty, or input and output differ.
// Read through termios2 in tty_settings.cpp, whose header cannot share a file with <termios.h>.
unsigned ReadTtyRate(int fd);

// The ids of this process's threads now; a thread made and joined first brings up
// any helper thread of the runtime (ThreadSanitizer's), which is not the port's.
// A joined thread can stay listed a moment after its join, so the ids of these
// probe threads are left out of every list.
inline std::set<int> ThreadIds() {
    static std::set<int> probes;
    int probe = 0;
    std::thread([&probe] { probe = static_cast<int>(gettid()); }).join();
    probes.insert(probe);
    std::set<int> ids;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        ids.insert(std::stoi(task.path().filename().string()));
    for (int id : probes) ids.erase(id);
    return ids;
}

// How many threads run now that did not before (a count of all would race with an
// earlier test's ending thread); a joined thread stays listed a moment, so wait.
inline size_t ThreadsSince(const std::set<int>& before) {
    const std::set<int> now = ThreadIds();
    return static_cast<size_t>(
        std::count_if(now.begin(), now.end(), [&](int id) { return before.count(id) == 0; }));
}

inline bool NoThreadSince(const std::set<int>& before) {
    return WaitUntil([&] { return ThreadsSince(before) == 0; });
}

// Polls as the main window does until count bytes came (a datagram a Read) or 20 s passed.
inline std::string Collect(StreamPort::CStreamPort& port, size_t count = 1) {
    std::string got;
    std::vector<char> buf(65536);
    WaitUntil(
        [&] {
            int r = port.WaitForData(0) > 0 ? port.Read(buf.data(), 65536) : 0;
            if (r > 0) got.append(buf.data(), static_cast<size_t>(r));
            return got.size() >= count;
        },
        20000);
    return got;
}

}  // namespace porttest
