#include "traffic/session_file.h"

#include <unistd.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <random>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace qelvor {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempFolder;
using testing_support::WriteFile;

constexpr size_t kRecords = 100;

std::string Frame(size_t i) {
    return "frame " + std::to_string(i) + std::string(i % 7, '\0');
}

class SessionFileOnDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        std::deque<CMsgRecord> records;
        for (size_t i = 0; i < kRecords; ++i)
            records.emplace_back('R', Frame(i), SystemTime{2026, 12, 1, 7, 10, 0, 0, 0});
        CSessionFile file;
        ASSERT_TRUE(file.Create(data_, 1765000000)) << file.Error();
        ASSERT_TRUE(file.Append(records, 0, 60) && file.Append(records, 60, kRecords));
    }
    // Where record i starts in the capture file.
    static uint64_t OffsetOf(size_t i) {
        uint64_t offset = CSessionFile::kDataHeaderSize;
        for (size_t k = 0; k < i; ++k)
            offset += CSessionFile::kRecordHeaderSize + Frame(k).size();
        return offset;
    }
    void Cut(const std::string& path, uint64_t size) { fs::resize_file(path, size); }
    void ExpectWholeRecords(size_t count, uint64_t lost) {
        CSessionFile file;
        ASSERT_TRUE(file.OpenForReading(data_)) << file.Error();
        EXPECT_EQ(file.Count(), count);
        EXPECT_EQ(file.LostBytes(), lost);
        for (size_t i = 0; i < file.Count(); ++i)
            ASSERT_EQ(file.Read(i).Data(), Frame(i)) << i;
        EXPECT_EQ(file.Read(count).Type(), 'I');  // past the end: a record that says so
    }

    TempFolder folder_;
    const std::string data_ = folder_.File("s.qcap");
    const std::string index_ = folder_.File("s.qidx");
};

TEST_F(SessionFileOnDisk, ADamagedFileOpensUpToItsLastWholeRecord) {
    const std::string index = ReadFile(index_);
    const struct {
        const char* what;
        std::function<void()> damage;
        size_t count;
        uint64_t lost;
    } cases[] = {
        {"intact", [] {}, kRecords, 0},
        {"cut inside record 50", [&] { Cut(data_, OffsetOf(50) + 5); }, 50, 5},
        {"index lost", [&] { fs::remove(index_); }, kRecords, 0},
        {"index behind the records", [&] { Cut(index_, 16 + 8 * 40 + 3); }, kRecords, 0},
        {"index of wild offsets",
         [&] { WriteFile(index_, index.substr(0, 16) + std::string(800, '\x7f')); }, kRecords, 0},
        {"garbage after the records",
         [&] { std::ofstream(data_, std::ios::app) << std::string(37, '\xee'); }, kRecords, 37},
    };
    const std::string data = ReadFile(data_);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(data_, data);
        WriteFile(index_, index);
        c.damage();
        ExpectWholeRecords(c.count, c.lost);
        ExpectWholeRecords(c.count, c.lost);  // the repaired index is used the second time
    }
}

TEST_F(SessionFileOnDisk, AnIndexEntryOutsideTheRecordsReadsAsAnInformationRecord) {
    std::string index = ReadFile(index_);
    index.replace(16 + 8 * 5, 8, std::string(8, '\x40'));
    WriteFile(index_, index);
    CSessionFile file;
    ASSERT_TRUE(file.OpenForReading(data_));
    EXPECT_EQ(file.Read(5).Type(), 'I');
    EXPECT_EQ(file.Read(5).Data(), "capture file: record 6 could not be read back");
    EXPECT_EQ(file.Read(6).Data(), Frame(6));
}

TEST_F(SessionFileOnDisk, WhatIsNoCaptureFileIsRefusedWithItsReason) {
    std::string data = ReadFile(data_);
    std::mt19937 random(7);
    std::string noise(4096, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    const struct {
        std::string bytes;
        const char* reason;
    } cases[] = {{noise, "not a capture file"},
                 {"", "not a capture file"},
                 {data.replace(8, 1, "\x09"), "written by a newer version of the program"}};
    for (const auto& c : cases) {
        WriteFile(data_, c.bytes);
        CSessionFile file;
        EXPECT_FALSE(file.OpenForReading(data_));
        EXPECT_NE(file.Error().find(c.reason), std::string::npos) << file.Error();
    }
    CSessionFile missing;
    EXPECT_FALSE(missing.OpenForReading(folder_.File("none.qcap")));
    EXPECT_NE(missing.Error().find("none.qcap: No such file"), std::string::npos);
}

}  // namespace
}  // namespace qelvor
