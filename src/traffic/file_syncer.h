// Puts a capture file's written pages on the disk (fdatasync) at most once a
// period, on a thread of its own, so that the thread that appends never waits
// for the disk. It works on duplicates of the descriptors it is given: the
// owner may close its own at any time. Watch, Written and Release from one
// thread; the syncing runs on the syncer's.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace qelvor {

class CFileSyncer {
  public:
    explicit CFileSyncer(std::chrono::milliseconds period = std::chrono::milliseconds(1000));
    ~CFileSyncer();
    CFileSyncer(const CFileSyncer&) = delete;
    CFileSyncer& operator=(const CFileSyncer&) = delete;

    // The two files to sync from now on (either may be -1).
    void Watch(int dataFd, int indexFd);
    // Something new was written to the watched files.
    void Written();
    // Stops watching; a sync under way finishes on its own copies.
    void Release();
    // How many syncs have run; for tests.
    unsigned Syncs() const;

  private:
    struct Files;
    void Run();

    const std::chrono::milliseconds period_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::shared_ptr<Files> files_;
    bool dirty_ = false;
    bool stop_ = false;
    unsigned syncs_ = 0;
    std::thread thread_;
};

}  // namespace qelvor
