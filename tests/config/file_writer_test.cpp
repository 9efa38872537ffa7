#include "config/file_writer.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace qelvor {
namespace {

using namespace testing_support;
using Mode = CFileWriter::Mode;

// Each row prepares the path and names the error; none may block or write.
TEST(FileWriter, RefusesWhatIsNoRegularFileAtOnce) {
    TempFolder dir;
    const std::string path = dir.File("target");
    int reader = -1;
    const std::pair<std::function<void()>, int> cases[] = {
        {[] {}, ENOENT},  // the folder is missing: the path is made below
        {[&] { ::mkdir(path.c_str(), 0755); }, EISDIR},
        {[&] { ::mkfifo(path.c_str(), 0644); }, ENXIO},  // no reader: open would block
        {[&] {
             ::mkfifo(path.c_str(), 0644);
             reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
         },
         CFileWriter::kNotRegularFile},
        {[&] { ::symlink("/dev/null", path.c_str()); }, CFileWriter::kNotRegularFile},
    };
    bool first = true;
    for (const auto& [arrange, error] : cases) {
        std::filesystem::remove_all(path);
        arrange();
        const std::string target = first ? dir.File("missing/target") : path;
        first = false;
        EXPECT_EQ(CFileWriter::WriteFile(target, "data", Mode::Truncate), error) << error;
        EXPECT_EQ(CFileWriter::WriteFile(target, "data", Mode::Append), error) << error;
    }
    ASSERT_GE(reader, 0);
    char byte = 0;
    EXPECT_EQ(::read(reader, &byte, 1), 0) << "nothing reached the pipe";
    ::close(reader);
}

// A file-size limit makes the kernel accept only part of a write, as a full
// disk does; the writer must report it, never success. The limit is set in
// a child so that this test program keeps writing freely.
TEST(FileWriter, ShortWriteIsAnError) {
    TempFolder dir;
    const std::string path = dir.File("limited");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(CFileWriter::WriteFile(path, std::string(10000, 'x'), Mode::Truncate));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), EFBIG);
    EXPECT_EQ(ReadFile(path), std::string(4096, 'x'));
}

}  // namespace
}  // namespace qelvor
