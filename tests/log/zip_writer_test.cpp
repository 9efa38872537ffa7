#include "log/zip_writer.h"

#include <string>

#include "log/log_test_support.h"

namespace qelvor {
namespace {

using testing_support::ReadWhole;
using testing_support::ReadZip;
using testing_support::TempFolder;
using testing_support::WriteWhole;

std::string BinaryBytes(size_t size) {
    std::string bytes(size, '\0');
    uint32_t state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

TEST(ZipWriter, EntriesReadBackWithTheirNamesAndBytes) {
    TempFolder dir;
    const std::string big = BinaryBytes(300000);
    const std::string small("a\0b\r\n\xff", 6);
    WriteWhole(dir.Path() + "big.bin", big);
    WriteWhole(dir.Path() + "small.txt", small);
    WriteWhole(dir.Path() + "empty", "");

    CZipWriter zip;
    ASSERT_TRUE(zip.Create(dir.Path() + "out.zip"));
    EXPECT_TRUE(zip.IsOpen());
    EXPECT_TRUE(zip.AddFile(dir.Path() + "big.bin", "sub/big.bin"));
    EXPECT_TRUE(zip.AddFile(dir.Path() + "small.txt", "small.txt"));
    EXPECT_TRUE(zip.AddFile(dir.Path() + "empty", "empty"));
    EXPECT_TRUE(zip.Close());
    EXPECT_FALSE(zip.IsOpen());

    auto entries = ReadZip(dir.Path() + "out.zip");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].first, "sub/big.bin");
    EXPECT_EQ(entries[0].second, big);
    EXPECT_EQ(entries[1].first, "small.txt");
    EXPECT_EQ(entries[1].second, small);
    EXPECT_EQ(entries[2].first, "empty");
    EXPECT_EQ(entries[2].second, "");
}

TEST(ZipWriter, CreateReplacesAnExistingFile) {
    TempFolder dir;
    const std::string archive = dir.Path() + "out.zip";
    WriteWhole(archive, std::string(100000, 'x'));
    WriteWhole(dir.Path() + "a.txt", "alpha");

    CZipWriter zip;
    ASSERT_TRUE(zip.Create(archive));
    ASSERT_TRUE(zip.AddFile(dir.Path() + "a.txt", "a.txt"));
    ASSERT_TRUE(zip.Close());

    auto entries = ReadZip(archive);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].second, "alpha");
    EXPECT_LT(ReadWhole(archive).size(), 1000u);
}

TEST(ZipWriter, FailedAdditionsLeaveTheArchiveValid) {
    TempFolder dir;
    WriteWhole(dir.Path() + "a.txt", "alpha");
    CZipWriter zip;
    EXPECT_FALSE(zip.AddFile(dir.Path() + "a.txt", "a.txt")) << "nothing created yet";
    ASSERT_TRUE(zip.Create(dir.Path() + "out.zip"));
    EXPECT_FALSE(zip.AddFile(dir.Path() + "missing.txt", "missing.txt"));
    EXPECT_FALSE(zip.AddFile(dir.Path(), "folder")) << "a folder is no file";
    EXPECT_TRUE(zip.AddFile(dir.Path() + "a.txt", "a.txt"));
    EXPECT_TRUE(zip.Close());
    EXPECT_FALSE(zip.Close()) << "closing twice";

    auto entries = ReadZip(dir.Path() + "out.zip");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].first, "a.txt");
}

TEST(ZipWriter, ArchiveInMissingFolderCannotBeCreated) {
    TempFolder dir;
    WriteWhole(dir.Path() + "a.txt", "alpha");
    CZipWriter zip;
    EXPECT_FALSE(zip.Create(dir.Path() + "no/such/out.zip"));
    EXPECT_FALSE(zip.IsOpen());
    EXPECT_FALSE(zip.AddFile(dir.Path() + "a.txt", "a.txt"));
    EXPECT_FALSE(zip.Close());
}

}  // namespace
}  // namespace qelvor
