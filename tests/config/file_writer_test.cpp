#include "config/file_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/full_disk.h"
#include "support/temp_folder.h"

namespace qelvor {
namespace {

using namespace testing_support;
using Mode = CFileWriter::Mode;

// A save a full disk cuts short leaves the file as it was and nothing beside it; an
// overwrite keeps the file's permissions and goes through a link to the file.
TEST(SavedFile, AFailedAppendOrOverwriteLeavesTheOldFileAndNothingBesideIt) {
    TempFolder dir;
    const std::string path = dir.File("MsgLog.log"), old = "S:old line\r\n";
    WriteFile(path, old);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const std::string told = InFullDiskChild(100, [&] {
        const int append = CFileWriter::WriteFile(path, std::string(200, 'a'), Mode::Append);
        const std::string afterAppend = ReadFile(path);
        const int overwrite = CFileWriter::WriteFile(path, std::string(200, 'b'), Mode::Truncate);
        const int fresh =
            CFileWriter::WriteFile(dir.File("new"), std::string(200, 'c'), Mode::Truncate);
        return std::to_string(append) + " " + afterAppend + std::to_string(overwrite) + " " +
               std::to_string(fresh);
    });
    const std::string efbig = std::to_string(EFBIG);
    EXPECT_EQ(told, efbig + " " + old + efbig + " " + efbig);
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(Permissions(path), 0640u);
    EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"MsgLog.log"});

    const std::string link = dir.File("link.log");
    ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
    EXPECT_EQ(CFileWriter::WriteFile(link, "new\r\n", Mode::Truncate), 0);
    EXPECT_EQ(ReadFile(path), "new\r\n");
    EXPECT_EQ(Permissions(path), 0640u);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"MsgLog.log", "link.log"}));

    const mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(CFileWriter::WriteFile(dir.File("new.log"), "x", Mode::Truncate), 0);
    EXPECT_EQ(Permissions(dir.File("new.log")), 0644u & ~mask);
    // Root may write any file; anyone else is refused one they may not write.
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
        EXPECT_EQ(CFileWriter::WriteFile(path, "other", Mode::Truncate), EACCES);
        EXPECT_EQ(ReadFile(path), "new\r\n");
    }
}

// Each row prepares the path and names the error; none may block or write.
TEST(FileWriter, RefusesWhatIsNoRegularFileAtOnce) {
    TempFolder dir;
    const std::string path = dir.File("target");
    const std::pair<std::function<void()>, int> cases[] = {
        {[] {}, ENOENT},  // the folder is missing: the path is made below
        {[&] { ::mkdir(path.c_str(), 0755); }, EISDIR},
        {[&] { ::mkfifo(path.c_str(), 0644); }, ENXIO},  // no reader: open would block
        {[&] { ::symlink("/dev/null", path.c_str()); }, CFileWriter::kNotRegularFile},
    };
    for (const auto& [arrange, error] : cases) {
        std::filesystem::remove_all(path);
        arrange();
        const std::string target = error == ENOENT ? dir.File("missing/target") : path;
        EXPECT_EQ(CFileWriter::WriteFile(target, "data", Mode::Truncate), error) << error;
        EXPECT_EQ(CFileWriter::WriteFile(target, "data", Mode::Append), error) << error;
    }
}

}  // namespace
}  // namespace qelvor
