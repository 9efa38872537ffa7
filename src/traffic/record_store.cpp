#include "traffic/record_store.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "config/app_paths.h"

namespace qelvor {

namespace {

// What a record held in memory costs: its bytes and the record itself.
size_t Cost(const CMsgRecord& record) {
    return record.Data().size() + sizeof(CMsgRecord) + 8;
}

}  // namespace

CRecordStore::CRecordStore(std::initializer_list<CMsgRecord> records) {
    for (const CMsgRecord& record : records)
        Append(record);
}

CRecordStore::~CRecordStore() {
    EndSession();
}

void CRecordStore::Append(CMsgRecord record) {
    memoryBytes_ += Cost(record);
    memory_.push_back(std::move(record));
    if (Writing()) {
        if (memoryBytes_ > kPendingLimit) WritePending();
        return;
    }
    if (memoryBytes_ > limits_.memoryCap) DropOldest();
}

CMsgRecord CRecordStore::operator[](size_t index) const {
    if (index < fileCount_) return file_->Read(index);
    return memory_[index - fileCount_];
}

CMsgRecord CRecordStore::Header(size_t index) const {
    uint64_t packed = 0;
    if (index >= fileCount_)
        return CMsgRecord::FromPacked(memory_[index - fileCount_].Packed(), {});
    if (!file_->ReadPacked(index, &packed)) return file_->Read(index);
    return CMsgRecord::FromPacked(packed, {});
}

void CRecordStore::DropOldest() {
    size_t count = 0;
    while (!memory_.empty() && memoryBytes_ > limits_.memoryCap / 4 * 3) {
        memoryBytes_ -= Cost(memory_.front());
        memory_.pop_front();
        ++count;
    }
    dropped_ += count;
    ++generation_;
    notes_.push_back("capture: the oldest " + std::to_string(count) +
                     " records held in memory were dropped to keep memory bounded");
}

bool CRecordStore::WritePending() {
    if (memory_.empty()) return true;
    if (!file_->Append(memory_, 0, memory_.size())) {
        OnWriteFailed();
        return false;
    }
    fileCount_ = file_->Count();
    memory_.clear();
    memoryBytes_ = 0;
    syncer_.Written();
    return true;
}

void CRecordStore::OnWriteFailed() {
    failed_ = true;
    retryAt_ = Clock::now() + limits_.retryPeriod;
    const int error = file_->ErrorNumber();
    notes_.push_back("capture file: " +
                     (error == ENOSPC || error == EDQUOT || error == EFBIG
                          ? std::string("disk full")
                          : file_->Error()) +
                     ", keeping the newest records in memory");
    if (memoryBytes_ > limits_.memoryCap) DropOldest();
}

std::vector<std::string> CRecordStore::Flush() {
    if (Writing()) {
        WritePending();
    } else if (failed_ && HasFile() && !readOnly_ && Clock::now() >= retryAt_) {
        if (file_->Append(memory_, 0, memory_.size())) {
            fileCount_ = file_->Count();
            memory_.clear();
            memoryBytes_ = 0;
            failed_ = false;
            syncer_.Written();
            notes_.push_back(
                "capture file: writing again" +
                (dropped_ == 0 ? std::string()
                               : ", " + std::to_string(dropped_) + " records were lost meanwhile"));
            dropped_ = 0;
        } else {
            retryAt_ = Clock::now() + limits_.retryPeriod;
        }
    }
    std::vector<std::string> notes;
    notes.swap(notes_);
    return notes;
}

void CRecordStore::Clear() {
    memory_.clear();
    memoryBytes_ = 0;
    dropped_ = 0;
    ++generation_;
    if (!HasFile()) return;
    if (readOnly_ || keep_) {
        EndSession();
        if (!folder_.empty()) StartSession(folder_, keepNext_);
        return;
    }
    fileCount_ = 0;
    if (!file_->Truncate()) {
        OnWriteFailed();
        return;
    }
    failed_ = false;
}

std::string CRecordStore::NewSessionPath() const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = folder_ + "qelvor-" + stamp + "-" + std::to_string(getpid());
    std::string path = base + CSessionFile::kDataSuffix;
    for (int n = 2; access(path.c_str(), F_OK) == 0 && n < 1000; ++n)
        path = base + "-" + std::to_string(n) + CSessionFile::kDataSuffix;
    return path;
}

bool CRecordStore::StartSession(const std::string& folder, bool keep) {
    EndSession();
    folder_ = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    keepNext_ = keep;
    const int error = CreateFolder(folder_);
    auto file = std::make_unique<CSessionFile>();
    if (error != 0 || !file->Create(NewSessionPath(), std::time(nullptr))) {
        notes_.push_back("capture file: " +
                         (error != 0 ? folder_ + ": " + std::strerror(error) : file->Error()) +
                         ", keeping the newest records in memory");
        return false;
    }
    file_ = std::move(file);
    keep_ = keep;
    readOnly_ = false;
    failed_ = false;
    fileCount_ = 0;
    syncer_.Watch(file_->DataFd(), file_->IndexFd());
    return true;
}

bool CRecordStore::OpenSession(const std::string& path) {
    auto file = std::make_unique<CSessionFile>();
    if (!file->OpenForReading(path)) {
        notes_.push_back("capture file: " + file->Error());
        return false;
    }
    EndSession();
    memory_.clear();
    memoryBytes_ = 0;
    ++generation_;
    file_ = std::move(file);
    readOnly_ = true;
    fileCount_ = file_->Count();
    if (file_->LostBytes() > 0) notes_.push_back(file_->LostBytesNote());
    return true;
}

void CRecordStore::SetKeep(bool keep) {
    keep_ = keep;
}

void CRecordStore::EndSession() {
    if (!HasFile()) return;
    const bool live = !readOnly_;
    if (live && !failed_) WritePending();
    if (live && keep_) file_->SetFlags(CSessionFile::kFlagClosed | CSessionFile::kFlagKept);
    syncer_.Release();
    const std::string path = file_->Path();
    ForgetFile();
    if (live && !keep_) {
        unlink(path.c_str());
        unlink(CSessionFile::IndexPathOf(path).c_str());
    }
}

void CRecordStore::ForgetFile() {
    file_.reset();
    // The records the file held are gone from the store with it.
    if (fileCount_ > 0) ++generation_;
    fileCount_ = 0;
    readOnly_ = false;
    failed_ = false;
}

}  // namespace qelvor
