#include "traffic/file_syncer.h"

#include <fcntl.h>
#include <unistd.h>

namespace qelvor {

struct CFileSyncer::Files {
    Files(int data, int index)
        : dataFd(data >= 0 ? fcntl(data, F_DUPFD_CLOEXEC, 0) : -1),
          indexFd(index >= 0 ? fcntl(index, F_DUPFD_CLOEXEC, 0) : -1) {}
    ~Files() {
        if (dataFd >= 0) close(dataFd);
        if (indexFd >= 0) close(indexFd);
    }
    Files(const Files&) = delete;
    Files& operator=(const Files&) = delete;

    void Sync() const {
        if (dataFd >= 0) fdatasync(dataFd);
        if (indexFd >= 0) fdatasync(indexFd);
    }

    int dataFd;
    int indexFd;
};

CFileSyncer::CFileSyncer(std::chrono::milliseconds period) : period_(period) {}

CFileSyncer::~CFileSyncer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void CFileSyncer::Watch(int dataFd, int indexFd) {
    auto files = std::make_shared<Files>(dataFd, indexFd);
    std::lock_guard<std::mutex> lock(mutex_);
    files_ = std::move(files);
    dirty_ = false;
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void CFileSyncer::Written() {
    std::lock_guard<std::mutex> lock(mutex_);
    dirty_ = true;
}

void CFileSyncer::Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    files_.reset();
    dirty_ = false;
}

unsigned CFileSyncer::Syncs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return syncs_;
}

void CFileSyncer::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        wake_.wait_for(lock, period_, [this] { return stop_; });
        // The last writes before the end are synced too.
        if (!dirty_ || files_ == nullptr) continue;
        dirty_ = false;
        const std::shared_ptr<Files> files = files_;
        lock.unlock();
        files->Sync();
        lock.lock();
        ++syncs_;
    }
}

}  // namespace qelvor
