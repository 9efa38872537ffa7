// A full disk played by a file-size limit in a forked child process.
#pragma once

#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <string>

#include "support/temp_folder.h"

namespace qelvor::testing_support {

// Runs body in a forked child whose writes past limit bytes fail with EFBIG, as on a full
// disk (LiftFileLimit lifts it again); what body returns comes back through a pipe.
inline std::string InFullDiskChild(rlim_t limit, const std::function<std::string()>& body) {
    int channel[2];
    if (::pipe(channel) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        ::getrlimit(RLIMIT_FSIZE, &old);
        const rlimit limited{limit, old.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limited);
        const std::string told = body();
        const bool sent = ::write(channel[1], told.data(), told.size()) == ssize_t(told.size());
        ::_exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    std::string told;
    char chunk[4096];
    for (ssize_t n; (n = ::read(channel[0], chunk, sizeof chunk)) > 0;)
        told.append(chunk, static_cast<size_t>(n));
    ::close(channel[0]);
    int status = -1;
    if (child < 0 || ::waitpid(child, &status, 0) != child || status != 0) return "child failed";
    return told;
}

inline void LiftFileLimit() {
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const rlimit lifted{old.rlim_max, old.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &lifted);
}

// A full disk of its own: a tmpfs of the given size mounted on a temporary
// folder (root only); Reason() says why there is none. A filler file makes
// room again when removed.
class SmallDisk {
  public:
    explicit SmallDisk(int kibibytes) {
        const std::string size = "size=" + std::to_string(kibibytes) + "k";
        if (::mount("qelvor", folder_.Path().c_str(), "tmpfs", 0, size.c_str()) != 0)
            reason_ = std::string("no tmpfs can be mounted here: ") + std::strerror(errno);
    }
    ~SmallDisk() {
        if (reason_.empty()) ::umount2(folder_.Path().c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    const std::string& Reason() const { return reason_; }
    std::string File(const std::string& name) const { return folder_.File(name); }

  private:
    TempFolder folder_;
    std::string reason_;
};

}  // namespace qelvor::testing_support
