#include "ports/pty_link.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace StreamPort {

namespace {

constexpr const char* kLinkName = "ttyQelvor0";
constexpr const char* kPtsFolder = "/dev/pts/";

std::string ErrorText(const std::string& path, int error) {
    return path + ": " + std::strerror(error);
}

// Where a symbolic link points; empty when path is no link.
std::string LinkTarget(const std::string& path) {
    char buffer[4096];
    const ssize_t length = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

std::string DefaultFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0') return std::string(runtime) + "/qelvor";
    return "/tmp/qelvor-" + std::to_string(::getuid());
}

// The default folder is made private. In a shared /tmp another user could
// have made it first, so one that is not our own directory is refused.
std::string PrepareDefaultFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return ErrorText(folder, errno);
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) return ErrorText(folder, errno);
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return folder + ": not a folder of this user; remove it or set PtyLink";
    return std::string();
}

}  // namespace

std::string CPtyLink::DefaultPath() {
    return DefaultFolder() + "/" + kLinkName;
}

std::string CPtyLink::Create(const std::string& linkPath, const std::string& target) {
    Remove();
    const std::string path = linkPath.empty() ? DefaultPath() : linkPath;
    if (linkPath.empty()) {
        std::string problem = PrepareDefaultFolder(DefaultFolder());
        if (!problem.empty()) return problem;
    }
    std::string problem;
    const NameState state = CheckExisting(path, problem);
    if (state == NameState::Stale) {
        problem = Replace(path, target);
    } else if (state == NameState::Free && ::symlink(target.c_str(), path.c_str()) != 0) {
        // EEXIST: something took the name since it was looked at; it stays.
        problem = ErrorText(path, errno);
    }
    if (!problem.empty()) return problem;
    path_ = path;
    target_ = target;
    return std::string();
}

// Whether the name is free, a link a dead pty left, or taken (why: in why).
CPtyLink::NameState CPtyLink::CheckExisting(const std::string& linkPath, std::string& why) {
    struct stat st {};
    if (::lstat(linkPath.c_str(), &st) != 0) {
        if (errno == ENOENT) return NameState::Free;
        why = ErrorText(linkPath, errno);
        return NameState::Taken;
    }
    const std::string target = S_ISLNK(st.st_mode) ? LinkTarget(linkPath) : std::string();
    if (!S_ISLNK(st.st_mode)) {
        why = linkPath + ": a file of that name exists and is not ours to replace";
    } else if (target.rfind(kPtsFolder, 0) != 0) {
        why = linkPath + ": a link to " + target + " exists and is not ours to replace";
    } else if (::stat(target.c_str(), &st) == 0) {
        // A pts entry lives as long as its pty does.
        why = linkPath + ": in use by " + target + " (another running session holds it)";
    } else {
        return NameState::Stale;
    }
    return NameState::Taken;
}

// A new link is written under a temporary name and renamed over the old one,
// so the name never goes missing in between.
std::string CPtyLink::Replace(const std::string& linkPath, const std::string& target) const {
    const std::string temporary = linkPath + ".new" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0) return ErrorText(temporary, errno);
    if (::rename(temporary.c_str(), linkPath.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return ErrorText(linkPath, error);
    }
    return std::string();
}

void CPtyLink::Remove() {
    if (!path_.empty() && LinkTarget(path_) == target_) ::unlink(path_.c_str());
    path_.clear();
    target_.clear();
}

}  // namespace StreamPort
