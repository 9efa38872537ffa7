// The capture files that a run of the program left behind without ending
// them (it crashed or was killed): found in the sessions folder by their
// header, which a normal end marks closed, and by their lock, which a
// running program holds. Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qelvor {

struct LeftSession {
    std::string path;
    int64_t created = 0;  // seconds since 1970, as the header holds it
    uint64_t bytes = 0;   // the capture file's size
};

// Oldest first.
std::vector<LeftSession> FindLeftSessions(const std::string& folder);
// Marks a left capture file ended and kept, so that it is not offered
// again; false when it cannot be written.
bool KeepLeftSession(const std::string& path);
// Removes a capture file and its index; false when the capture file stays.
bool DeleteSession(const std::string& path);

}  // namespace qelvor
