// Helpers for every test program: a temporary folder, whole-file reads and writes, listings,
// permission bits, a scoped environment variable, a bounded wait, a step that must not block.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace qelvor::testing_support {

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = ::testing::TempDir() + "qelvor_test_XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern + "/";
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder, ending in "/".
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + name; }

  private:
    std::string path_;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// Sets (or, with nullopt, removes) a variable and puts the old value back.
class ScopedEnv {
  public:
    ScopedEnv(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
        if (const char* old = std::getenv(name_.c_str())) old_ = old;
        Set(value);
    }
    ~ScopedEnv() { Set(old_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void Set(const std::optional<std::string>& value) {
        value ? setenv(name_.c_str(), value->c_str(), 1) : unsetenv(name_.c_str());
    }

    std::string name_;
    std::optional<std::string> old_;
};

// True for anything at path, a dangling link included.
inline bool Exists(const std::string& path) {
    return std::filesystem::exists(std::filesystem::symlink_status(path));
}

// Calls done (which may also do a step of work) until it holds, for at most
// limitMs; its last result.
inline bool WaitUntil(const std::function<bool()>& done, int limitMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return true;
}

// The names in a folder, sorted.
inline std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The permission bits of a file; 0 when there is none.
inline mode_t Permissions(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 0;
}

// Runs a step that must never wait on a named pipe; one stuck after 5 s is let go by opening
// the reading end (kept open until the step ends: no SIGPIPE) and fails instead of hanging.
inline bool FinishesWithoutAReader(const std::string& fifo, const std::function<void()>& step) {
    auto done = std::async(std::launch::async, step);
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return true;
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    done.wait();
    if (reader >= 0) ::close(reader);
    return false;
}

}  // namespace qelvor::testing_support
