#include "traffic/record_store.h"

#include <malloc.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "support/full_disk.h"
#include "support/temp_folder.h"
#include "traffic/record_timing.h"

namespace qelvor {
namespace {

namespace fs = std::filesystem;
using testing_support::TempFolder;
using namespace std::string_literals;

// Every type, the time at its limits, NUL and high bytes, an empty record and
// one larger than the reader's blocks.
std::vector<CMsgRecord> Samples() {
    return {CMsgRecord('S', "\x02\x41\x03"s, {2026, 12, 1, 7, 23, 59, 59, 999}),
            CMsgRecord('R', "ok\r\n\0\xAB\xFF"s, {2026, 1, 0, 1, 0, 0, 0, 0}),
            CMsgRecord('I', ""s, {}), CMsgRecord('R', std::string(300000, '\x7f'), {}),
            CMsgRecord('R', "tail"s, {65535, 12, 6, 31, 23, 59, 60, 1})};
}

void ExpectRecords(const CRecordStore& store, const std::vector<CMsgRecord>& expected) {
    ASSERT_EQ(store.size(), expected.size());
    size_t index = 0;
    for (const CMsgRecord& record : store) {
        EXPECT_EQ(record.Packed(), expected[index].Packed()) << index;
        EXPECT_EQ(record.Data(), expected[index].Data()) << index;
        ++index;
    }
}

std::string OnlyCapture(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == CSessionFile::kDataSuffix) found.push_back(entry.path());
    return found.size() == 1 ? found[0] : std::string();
}

uint64_t SizeOf(const std::string& path) {
    return fs::file_size(path);
}

TEST(RecordStore, RecordsComeBackFromFileAndMemoryInOrderAndClearEmptiesTheFile) {
    TempFolder folder;
    CRecordStore store;
    ASSERT_TRUE(store.StartSession(folder.Path(), false));
    const std::vector<CMsgRecord> samples = Samples();
    for (size_t i = 0; i < samples.size(); ++i) {
        store.Append(samples[i]);
        if (i == 2) {
            EXPECT_TRUE(store.Flush().empty());
        }
    }
    ExpectRecords(store, samples);  // three from the file, two still in memory
    EXPECT_TRUE(store.Flush().empty());
    ExpectRecords(store, samples);

    // Each record costs its bytes and 20 on disk.
    const std::string capture = OnlyCapture(folder.Path());
    uint64_t bytes = 0;
    for (const CMsgRecord& record : samples)
        bytes += record.Data().size();
    EXPECT_EQ(SizeOf(capture) + SizeOf(CSessionFile::IndexPathOf(capture)),
              CSessionFile::kDataHeaderSize + CSessionFile::kIndexHeaderSize + bytes +
                  20 * samples.size());

    const uint64_t generation = store.Generation();
    store.Clear();
    EXPECT_TRUE(store.empty());
    EXPECT_GT(store.Generation(), generation);
    EXPECT_EQ(SizeOf(capture), CSessionFile::kDataHeaderSize);
    store.Append(samples[1]);
    store.Flush();
    ExpectRecords(store, {samples[1]});

    store.EndSession();  // not kept: nothing is left behind
    EXPECT_TRUE(fs::is_empty(folder.Path()));
}

// The gap column walks back over headers alone, and only so far.
TEST(RecordStore, HeadersCarryTypeAndTimeAndTheGapWalkIsBounded) {
    TempFolder folder;
    CRecordStore store;
    ASSERT_TRUE(store.StartSession(folder.Path(), false));
    store.emplace_back('S', "first"s, SystemTime{2026, 12, 1, 7, 10, 0, 0, 0});
    for (size_t i = 0; i < kGapWalkLimit; ++i)
        store.emplace_back('R', ""s, SystemTime{2026, 12, 1, 7, 10, 0, 1, 0});
    store.Flush();
    store.emplace_back('S', "last"s, SystemTime{2026, 12, 1, 7, 10, 0, 2, 5});
    store.emplace_back('S', "after"s, SystemTime{2026, 12, 1, 7, 10, 0, 2, 7});
    const size_t last = store.size() - 2;
    EXPECT_EQ(store.Header(0).Packed(), store[0].Packed());
    EXPECT_EQ(store.Header(0).Data(), "");
    EXPECT_EQ(store.Header(last).Type(), 'S');  // from memory
    EXPECT_EQ(MillisSincePrevious(store, last, GapScope::kAnyRecord), 1005);
    EXPECT_EQ(MillisSincePrevious(store, last + 1, GapScope::kSameType), 2);
    // The first 'S' lies kGapWalkLimit + 1 records back: out of reach.
    EXPECT_EQ(MillisSincePrevious(store, last, GapScope::kSameType), std::nullopt);
}

TEST(RecordStore, HeapStaysFlatWhileTheCaptureFileGrows) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's allocator does not report to mallinfo2";
#endif
    TempFolder folder;
    CRecordStore store;
    ASSERT_TRUE(store.StartSession(folder.Path(), false));
    const size_t before = mallinfo2().uordblks;
    constexpr size_t kRecords = 200000;
    for (size_t i = 0; i < kRecords; ++i) {
        store.emplace_back('R', std::to_string(i) + std::string(94, 'x'), SystemTime{});
        if (i % 1000 == 999) store.Flush();
    }
    const size_t used = mallinfo2().uordblks - before;
    EXPECT_LT(used, size_t{1} << 20) << used << " bytes of heap for 20 MB of records";
    EXPECT_EQ(store[123456].Data().substr(0, 6), "123456");
}

TEST(RecordStore, WithoutAFileTheNewestRecordsStayWithinTheCap) {
    CRecordStore store({1 << 20, std::chrono::milliseconds(0)});
    constexpr size_t kRecords = 100000;
    for (size_t i = 0; i < kRecords; ++i)
        store.emplace_back('R', std::to_string(i) + std::string(100, 'x'), SystemTime{});
    EXPECT_LT(store.size(), size_t{1 << 20} / 100);
    EXPECT_GT(store.size(), 1000u);
    EXPECT_EQ(store.back().Data().substr(0, 5), std::to_string(kRecords - 1));
    const std::vector<std::string> notes = store.Flush();
    ASSERT_FALSE(notes.empty());
    EXPECT_NE(notes[0].find("were dropped to keep memory bounded"), std::string::npos) << notes[0];
}

TEST(RecordStore, AKeptSessionOpensReadOnlyWithEveryRecord) {
    TempFolder folder;
    const std::vector<CMsgRecord> samples = Samples();
    std::string capture;
    {
        CRecordStore store;
        ASSERT_TRUE(store.StartSession(folder.Path(), false));
        for (const CMsgRecord& record : samples)
            store.Append(record);
        store.SetKeep(true);  // "Keep this session" after the start
        capture = store.SessionPath();
    }
    CRecordStore viewer;
    ASSERT_TRUE(viewer.OpenSession(capture));
    EXPECT_TRUE(viewer.ReadOnly());
    EXPECT_TRUE(viewer.Flush().empty());
    ExpectRecords(viewer, samples);
    const uint64_t size = SizeOf(capture);
    viewer.emplace_back('I', "after the opened ones"s, SystemTime{});
    viewer.Flush();
    EXPECT_EQ(viewer.size(), samples.size() + 1);
    EXPECT_EQ(SizeOf(capture), size);
    viewer.Clear();  // the user's file stays
    EXPECT_TRUE(viewer.empty());
    EXPECT_EQ(SizeOf(capture), size);

    CSessionFile file;
    ASSERT_TRUE(file.OpenForReading(capture));
    EXPECT_EQ(file.Flags(), CSessionFile::kFlagClosed | CSessionFile::kFlagKept);
}

TEST(RecordStore, RecordsUpToTheLastTickSurviveAKill) {
    TempFolder folder;
    const pid_t child = fork();
    if (child == 0) {
        CRecordStore store;
        if (!store.StartSession(folder.Path(), false)) _exit(1);
        for (int i = 0; i < 5000; ++i)
            store.emplace_back('R', "frame " + std::to_string(i), SystemTime{});
        store.Flush();
        store.emplace_back('R', "after the last tick"s, SystemTime{});
        raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    CSessionFile file;
    ASSERT_TRUE(file.OpenForReading(OnlyCapture(folder.Path()))) << file.Error();
    EXPECT_EQ(file.Flags() & CSessionFile::kFlagClosed, 0u);
    ASSERT_EQ(file.Count(), 5000u);
    EXPECT_EQ(file.Read(0).Data(), "frame 0");
    EXPECT_EQ(file.Read(4999).Data(), "frame 4999");
}

TEST(RecordStore, AFullDiskKeepsRecordingInMemoryAndWritesAgainWhenSpaceReturns) {
    testing_support::SmallDisk disk(256);
    if (!disk.Reason().empty()) GTEST_SKIP() << disk.Reason();
    testing_support::WriteFile(disk.File("filler"), std::string(128 * 1024, 'f'));
    CRecordStore store({CRecordStore::kMemoryCap, std::chrono::milliseconds(0)});
    ASSERT_TRUE(store.StartSession(disk.File("sessions/"), false));
    std::vector<std::string> notes;
    size_t appended = 0;
    while (notes.empty() && appended < 1000) {
        store.emplace_back('R', std::to_string(appended++) + std::string(2000, 'r'), SystemTime{});
        notes = store.Flush();
    }
    ASSERT_EQ(notes, std::vector<std::string>{
                         "capture file: disk full, keeping the newest records in memory"});
    for (int i = 0; i < 50; ++i)
        store.emplace_back('R', std::to_string(appended++) + std::string(2000, 'r'), SystemTime{});
    EXPECT_TRUE(store.Flush().empty());  // still full: no second note
    EXPECT_EQ(store.size(), appended);

    fs::remove(disk.File("filler"));
    EXPECT_EQ(store.Flush(), std::vector<std::string>{"capture file: writing again"});
    CSessionFile file;
    ASSERT_TRUE(file.OpenForReading(store.SessionPath()));
    ASSERT_EQ(file.Count(), appended);
    for (size_t i = 0; i < appended; i += 17)
        EXPECT_EQ(file.Read(i).Data().substr(0, std::to_string(i).size()), std::to_string(i));
}

}  // namespace
}  // namespace qelvor
