// A full disk, played by a file-size limit in a child process, never tears the
// continuous log or a saved file, and every line it costs is counted.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "config/file_writer.h"
#include "log/log_writer.h"
#include "support/temp_folder.h"
#include "traffic/msg_record.h"

namespace qelvor {
namespace {

using namespace testing_support;
using Mode = CFileWriter::Mode;

// Runs body in a forked child whose files may grow to limit bytes: past it a
// write fails with EFBIG (SIGXFSZ is ignored), as on a full disk. The hard
// limit stays, so the body may lift the limit again (LiftFileLimit). What the
// body returns comes back through a pipe, which the limit does not touch.
std::string InFullDiskChild(rlim_t limit, const std::function<std::string()>& body) {
    int channel[2];
    if (::pipe(channel) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        ::getrlimit(RLIMIT_FSIZE, &old);
        const rlimit limited{limit, old.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limited);
        const std::string told = body();
        const bool sent = ::write(channel[1], told.data(), told.size()) == ssize_t(told.size());
        ::_exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    std::string told;
    char chunk[4096];
    for (ssize_t n; (n = ::read(channel[0], chunk, sizeof chunk)) > 0;)
        told.append(chunk, static_cast<size_t>(n));
    ::close(channel[0]);
    int status = -1;
    if (child < 0 || ::waitpid(child, &status, 0) != child || status != 0) return "child failed";
    return told;
}

void LiftFileLimit() {
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const rlimit lifted{old.rlim_max, old.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &lifted);
}

// Lines of ten bytes each, CR LF included: "line 042".
std::string EvenLines(int from, int to) {
    std::string text;
    for (int i = from; i < to; ++i) {
        char line[16];
        std::snprintf(line, sizeof line, "line %03d\r\n", i);
        text += line;
    }
    return text;
}

void PostEvenLines(CLogWriter& writer, int from, int to) {
    for (int i = from; i < to; ++i)
        writer.Post(EvenLines(i, i + 1).substr(0, 8), CLogWriter::kAppendLine);
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

mode_t Permissions(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 0;
}

// Room for 50 lines and half of the 51st. The lines that do not fit are lost
// whole, the file ends at a line end, and the lines written once the disk has
// room again start a line of their own. The first notice counts the lines
// lost so far; the run going on brings no second one until writing resumes,
// which tells the total, as a record that reaches the file itself.
TEST(LogIntegrity, AFullDiskLosesWholeLinesOnlyAndTheirCountIsToldWhenWritingResumes) {
    TempFolder dir;
    const std::string log = dir.File("Qelvor.log");
    const std::string told = InFullDiskChild(505, [&] {
        CComSetting settings;
        CLogWriter writer;
        std::string first = "-", during = "-", resumed = "-";
        writer.Start(log, settings);
        PostEvenLines(writer, 0, 80);
        writer.Stop();
        writer.TakeFailureNotice(first);
        writer.Start(log, settings);
        PostEvenLines(writer, 80, 120);
        writer.Stop();
        writer.TakeFailureNotice(during);
        LiftFileLimit();
        writer.Start(log, settings);
        PostEvenLines(writer, 120, 130);
        writer.Stop();
        writer.TakeFailureNotice(resumed);
        writer.Start(log, settings);
        writer.LogRecord(CMsgRecord('I', resumed, SystemTime{2026, 12, 1, 7, 3, 4, 5, 6}));
        writer.Stop();
        return first + "\n" + during + "\n" + resumed + "\n";
    });
    const std::string kept = EvenLines(0, 50) + EvenLines(120, 130);
    const std::string file = ReadFile(log);
    ASSERT_EQ(file.substr(0, kept.size()), kept);
    const int lost = 130 - static_cast<int>(kept.size() / 10);
    const std::string resumed =
        "continuous log: writing again, " + std::to_string(lost) + " lines were lost in all";
    EXPECT_EQ(lost, 70);
    EXPECT_EQ(file.substr(kept.size()), "<03:04:05.006>I:" + resumed + "\r\n");
    EXPECT_EQ(told, "continuous log: 30 lines could not be written: File too large\n-\n" + resumed +
                        "\n");
}

// A save that a full disk cuts short leaves the file as it was: an append is
// cut back to the old end, an overwrite never reaches the file and leaves no
// temporary one beside it. A whole overwrite keeps the file's permissions and
// goes through a link to the file it names.
TEST(SavedFile, AFailedAppendOrOverwriteLeavesTheOldFileAndNothingBesideIt) {
    TempFolder dir;
    const std::string path = dir.File("MsgLog.log"), old = "S:old line\r\n";
    WriteFile(path, old);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const std::string told = InFullDiskChild(100, [&] {
        const int append = CFileWriter::WriteFile(path, std::string(200, 'a'), Mode::Append);
        const std::string afterAppend = ReadFile(path);
        const int overwrite = CFileWriter::WriteFile(path, std::string(200, 'b'), Mode::Truncate);
        return std::to_string(append) + " " + afterAppend + std::to_string(overwrite);
    });
    EXPECT_EQ(told, std::to_string(EFBIG) + " " + old + std::to_string(EFBIG));
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(Permissions(path), 0640u);
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"MsgLog.log"});

    const std::string link = dir.File("link.log");
    ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
    EXPECT_EQ(CFileWriter::WriteFile(link, "new\r\n", Mode::Truncate), 0);
    EXPECT_EQ(ReadFile(path), "new\r\n");
    EXPECT_EQ(Permissions(path), 0640u);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"MsgLog.log", "link.log"}));

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

// A log folder removed while logging is made again for the next lines; one
// that cannot be made is told with its own reason, not as a missing file.
TEST(LogIntegrity, AMissingLogFolderIsMadeAgainOrItsReasonIsTold) {
    TempFolder dir;
    const std::string log = dir.File("LogData/Qelvor.log");
    CComSetting settings;
    CLogWriter writer;
    std::string notice;
    writer.Start(log, settings);
    PostEvenLines(writer, 0, 1);
    writer.Stop();
    std::filesystem::remove_all(dir.File("LogData"));
    writer.Start(log, settings);
    PostEvenLines(writer, 1, 2);
    writer.Stop();
    EXPECT_EQ(ReadFile(log), EvenLines(1, 2));
    EXPECT_FALSE(writer.TakeFailureNotice(notice)) << notice;
    std::filesystem::remove_all(dir.File("LogData"));
    WriteFile(dir.File("LogData"), "a file where the folder belongs");
    writer.Start(log, settings);
    PostEvenLines(writer, 2, 3);
    writer.Stop();
    ASSERT_TRUE(writer.TakeFailureNotice(notice));
    EXPECT_EQ(notice, "continuous log: 1 lines could not be written: Not a directory");
}

}  // namespace
}  // namespace qelvor
