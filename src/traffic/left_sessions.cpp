#include "traffic/left_sessions.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "traffic/session_file.h"

namespace qelvor {

namespace {

// Whether a program still writes the capture file: it holds the lock.
bool Held(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true;
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return held;
}

}  // namespace

std::vector<LeftSession> FindLeftSessions(const std::string& folder) {
    std::vector<LeftSession> left;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string path = entry.path();
        if (entry.path().extension() != CSessionFile::kDataSuffix || Held(path)) continue;
        uint32_t flags = 0;
        int64_t created = 0;
        if (!CSessionFile::PeekHeader(path, &flags, &created) ||
            (flags & CSessionFile::kFlagClosed) != 0)
            continue;
        left.push_back({path, created, entry.file_size(error)});
    }
    std::sort(left.begin(), left.end(), [](const LeftSession& a, const LeftSession& b) {
        return a.created != b.created ? a.created < b.created : a.path < b.path;
    });
    return left;
}

bool KeepLeftSession(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const uint32_t flags = CSessionFile::kFlagClosed | CSessionFile::kFlagKept;
    const bool written = pwrite(fd, &flags, sizeof flags, CSessionFile::kFlagsOffset) ==
                         static_cast<ssize_t>(sizeof flags);
    close(fd);
    return written;
}

bool DeleteSession(const std::string& path) {
    unlink(CSessionFile::IndexPathOf(path).c_str());
    return unlink(path.c_str()) == 0;
}

}  // namespace qelvor
