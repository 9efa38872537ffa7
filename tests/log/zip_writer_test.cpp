#include "log/zip_writer.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/full_disk.h"
#include "support/temp_folder.h"
#include "support/zip_reader.h"

namespace qelvor {
namespace {

using namespace testing_support;
namespace fs = std::filesystem;

bool HasZip64EndRecords(const std::string& path) {
    const std::string bytes = ReadFile(path);
    const std::string tail = bytes.substr(bytes.size() > 200 ? bytes.size() - 200 : 0);
    return tail.find("PK\x06\x06") != std::string::npos &&
           tail.find("PK\x06\x07") != std::string::npos;
}

class ZipWriter : public ::testing::Test {
  protected:
    // Packs each file under its own name into archive_.
    bool Pack(const std::vector<std::string>& names) {
        CZipWriter zip;
        if (!zip.Create(archive_)) return false;
        for (const std::string& name : names)
            if (!zip.AddFile(dir_.File(name), name)) return false;
        return zip.Close();
    }

    TempFolder dir_;
    const std::string archive_ = dir_.File("Out.zip");
};

// The earlier archive stays whole until the new one, built under a hidden name, is closed.
TEST_F(ZipWriter, AnArchiveReplacesItsTargetOnlyAtAGoodClose) {
    WriteFile(dir_.File("old.log"), "old");
    ASSERT_TRUE(Pack({"old.log"}));
    const ZipEntries earlier{{"old.log", "old"}};
    WriteFile(dir_.File("new.log"), std::string(5000, 'n'));
    {
        CZipWriter zip;
        ASSERT_TRUE(zip.Create(archive_));
        EXPECT_EQ(zip.TempPath().rfind(dir_.File(".Out.zip."), 0), 0u) << zip.TempPath();
        EXPECT_TRUE(zip.AddFile(dir_.File("new.log"), "new.log"));
        EXPECT_TRUE(Exists(zip.TempPath()));
        EXPECT_EQ(ReadZip(archive_), earlier) << "untouched while writing";
        zip.Abandon();
        EXPECT_EQ(zip.TempPath(), "");
    }
    {
        CZipWriter dropped;  // one never closed is abandoned too
        ASSERT_TRUE(dropped.Create(archive_));
        dropped.AddFile(dir_.File("new.log"), "new.log");
    }
    EXPECT_EQ(ReadZip(archive_), earlier);
    EXPECT_EQ(Listing(dir_.Path()), (std::vector<std::string>{"Out.zip", "new.log", "old.log"}));

    // A close that a full disk stops fails with the system's reason, no trace left.
    ASSERT_TRUE(Pack({"new.log"}));
    const auto good = static_cast<rlim_t>(fs::file_size(archive_));
    ASSERT_TRUE(Pack({"old.log"}));
    const std::string told = InFullDiskChild(good - 10, [&] {
        CZipWriter cut;
        const bool created = cut.Create(archive_);
        cut.AddFile(dir_.File("new.log"), "new.log");
        return std::to_string(created) + std::to_string(cut.Close()) + " " + cut.Error();
    });
    EXPECT_EQ(told, "10 " + std::string(std::strerror(EFBIG)));
    EXPECT_EQ(ReadZip(archive_), earlier);
    EXPECT_EQ(Listing(dir_.Path()), (std::vector<std::string>{"Out.zip", "new.log", "old.log"}));
}

// Only a zip archive or an empty file is replaced; anything else is left byte for byte.
TEST_F(ZipWriter, AFileThatIsNotAZipArchiveIsNeverReplaced) {
    WriteFile(dir_.File("a.log"), "a");
    // clang-format off
    const struct { std::string content; bool replaced; } rows[] = {
        {"my notes, not an archive", false}, {"PK\x03", false}, {"", true},
        {std::string("PK\x05\x06") + std::string(18, '\0'), true}};
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.content);
        WriteFile(archive_, row.content);
        CZipWriter zip;
        EXPECT_EQ(zip.Create(archive_), row.replaced);
        if (row.replaced) {
            EXPECT_TRUE(zip.AddFile(dir_.File("a.log"), "a.log") && zip.Close());
            EXPECT_EQ(ReadZip(archive_), (ZipEntries{{"a.log", "a"}}));
            continue;
        }
        EXPECT_EQ(errno, EEXIST);
        EXPECT_EQ(zip.Error(), "not a zip archive; the file is left as it is");
        EXPECT_EQ(ReadFile(archive_), row.content);
        EXPECT_EQ(Listing(dir_.Path()), (std::vector<std::string>{"Out.zip", "a.log"}));
    }
}

// Past 65,535 entries the archive has the zip64 end records; a small one stays plain.
TEST_F(ZipWriter, SeventyThousandEntriesMakeAValidZip64Archive) {
    WriteFile(dir_.File("a.log"), "abc\r\n");
    ASSERT_TRUE(Pack({"a.log"}));
    EXPECT_FALSE(HasZip64EndRecords(archive_));

    constexpr int kEntries = 70000;
    CZipWriter zip;
    ASSERT_TRUE(zip.Create(archive_));
    for (int i = 0; i < kEntries; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "d%02d/%05d.log", i / 1000, i);
        ASSERT_TRUE(zip.AddFile(dir_.File("a.log"), name)) << name;
    }
    ASSERT_TRUE(zip.Close()) << zip.Error();
    EXPECT_TRUE(HasZip64EndRecords(archive_));
    const ZipEntries entries = ReadZip(archive_);
    ASSERT_EQ(entries.size(), static_cast<size_t>(kEntries));
    EXPECT_EQ(entries.front(), (std::pair<std::string, std::string>{"d00/00000.log", "abc\r\n"}));
    EXPECT_EQ(entries.back(), (std::pair<std::string, std::string>{"d69/69999.log", "abc\r\n"}));
    const int tested = UnzipTest(archive_);
    if (tested < 0) GTEST_SKIP() << "the unzip program is not installed";
    EXPECT_EQ(tested, 0) << "unzip -t";
}

// Unchanged only while the same file, size and time to the nanosecond; a link is followed.
TEST_F(ZipWriter, APackedFileIsUnchangedOnlyWhileItHoldsWhatWentIn) {
    const std::string path = dir_.File("a.log");
    auto packed = [&] {
        WriteFile(path, "0123456789");
        PackedFile file;
        CZipWriter zip;
        EXPECT_TRUE(zip.Create(archive_) && zip.AddFile(path, "a.log", &file) && zip.Close());
        return file;
    };
    PackedFile file = packed();
    EXPECT_TRUE(file.UnchangedAt(path));
    ASSERT_EQ(::symlink(path.c_str(), dir_.File("link").c_str()), 0);
    EXPECT_TRUE(file.UnchangedAt(dir_.File("link")));

    std::FILE* grown = std::fopen(path.c_str(), "ab");
    std::fputs("x", grown);
    std::fclose(grown);
    EXPECT_FALSE(file.UnchangedAt(path)) << "appended";

    file = packed();
    WriteFile(dir_.File("copy"), "0123456789");
    timespec times[2] = {file.modified, file.modified};
    ASSERT_EQ(::utimensat(AT_FDCWD, dir_.File("copy").c_str(), times, 0), 0);
    ASSERT_EQ(::rename(dir_.File("copy").c_str(), path.c_str()), 0);
    EXPECT_FALSE(file.UnchangedAt(path)) << "replaced by a copy with the same size and time";

    file = packed();
    times[0] = times[1] = file.modified;
    times[1].tv_nsec = (times[1].tv_nsec + 1) % 1000000000;
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    EXPECT_FALSE(file.UnchangedAt(path)) << "rewritten in place, same size";

    file = packed();
    ASSERT_EQ(::unlink(path.c_str()), 0);
    EXPECT_FALSE(file.UnchangedAt(path)) << "gone";
    EXPECT_FALSE(PackedFile{}.UnchangedAt(archive_)) << "nothing packed";
}

}  // namespace
}  // namespace qelvor
