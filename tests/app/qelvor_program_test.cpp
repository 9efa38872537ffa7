// Runs the built program as a child process, as a shell or a script would.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "log/log_test_support.h"

extern char** environ;

namespace qelvor {
namespace {

using testing_support::Exists;
using testing_support::ReadWhole;
using testing_support::ReadZip;
using testing_support::TempFolder;
using testing_support::WriteWhole;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

Outcome RunProgram(const std::vector<std::string>& args, const std::string& scratch) {
    Outcome outcome;
    const std::string outPath = scratch + "stdout.txt";
    const std::string errPath = scratch + "stderr.txt";
    std::vector<std::string> all = {QELVOR_PROGRAM};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        ADD_FAILURE() << "cannot start " << argv[0];
        return outcome;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    outcome.out = ReadWhole(outPath);
    outcome.err = ReadWhole(errPath);
    ::unlink(outPath.c_str());
    ::unlink(errPath.c_str());
    return outcome;
}

// A source tree with sub-folders, an empty folder and a name with a blank.
class QelvorProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        src_ = dir_.Path() + "Src Data/";
        ASSERT_EQ(::mkdir(src_.c_str(), 0755), 0);
        ASSERT_EQ(::mkdir((src_ + "Sub").c_str(), 0755), 0);
        ASSERT_EQ(::mkdir((src_ + "Sub/deep").c_str(), 0755), 0);
        ASSERT_EQ(::mkdir((src_ + "empty").c_str(), 0755), 0);
        WriteWhole(src_ + "a b.log", "with a blank\r\n");
        WriteWhole(src_ + "B.log", std::string("\0\x01\xFF", 3));
        WriteWhole(src_ + "Sub/c.log", "c");
        WriteWhole(src_ + "Sub/deep/d.log", std::string(70000, 'd'));
        archive_ = dir_.Path() + "Out.zip";
    }

    TempFolder dir_;
    std::string src_;
    std::string archive_;
};

TEST_F(QelvorProgram, ZipWithDelPacksTheWholeTreeAndDeletesThePackedFiles) {
    Outcome run = RunProgram({"-zip", "-del", archive_, src_}, dir_.Path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "current cmd :-zip -del " + archive_ + " \"" + src_ +
                           "\"\n\n"
                           "Compressing B.log(0/4)...\n"
                           "Compressing Sub/c.log(1/4)...\n"
                           "Compressing Sub/deep/d.log(2/4)...\n"
                           "Compressing a b.log(3/4)...\n"
                           "complete:4/4...\n");
    auto entries = ReadZip(archive_);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].first, "B.log");
    EXPECT_EQ(entries[0].second, std::string("\0\x01\xFF", 3));
    EXPECT_EQ(entries[1].first, "Sub/c.log");
    EXPECT_EQ(entries[2].first, "Sub/deep/d.log");
    EXPECT_EQ(entries[2].second, std::string(70000, 'd'));
    EXPECT_EQ(entries[3].first, "a b.log");
    EXPECT_EQ(entries[3].second, "with a blank\r\n");
    for (const char* name : {"a b.log", "B.log", "Sub/c.log", "Sub/deep/d.log"}) {
        EXPECT_FALSE(Exists(src_ + name)) << name;
    }
    EXPECT_TRUE(Exists(src_ + "Sub/deep")) << "folders stay";
    EXPECT_TRUE(Exists(src_ + "empty"));
}

TEST_F(QelvorProgram, ListedFilesArePackedAndAMissingOneFailsTheRun) {
    Outcome run =
        RunProgram({"-ZIP", archive_, src_, "a b.log", "missing.log", "Sub/c.log"}, dir_.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("\"a b.log\" missing.log Sub/c.log\n\n"
                           "Compressing a b.log(0/3)...\n"
                           "Compressing missing.log(1/3)...\n"
                           "Compressing Sub/c.log(1/3)...\n"
                           "complete:2/3...\n"),
              std::string::npos)
        << run.out;
    auto entries = ReadZip(archive_);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], std::make_pair(std::string("a b.log"), std::string("with a blank\r\n")));
    EXPECT_EQ(entries[1], std::make_pair(std::string("Sub/c.log"), std::string("c")));
    EXPECT_TRUE(Exists(src_ + "a b.log")) << "nothing is deleted without -del";
    EXPECT_TRUE(Exists(src_ + "B.log"));
}

TEST_F(QelvorProgram, DelWrittenBeforeZipDeletesNothing) {
    Outcome run = RunProgram({"-del", "-zip", archive_, src_}, dir_.Path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadZip(archive_).size(), 4u);
    EXPECT_TRUE(Exists(src_ + "Sub/deep/d.log"));
}

TEST_F(QelvorProgram, EmptyOrMissingFolderLeavesNoArchive) {
    for (const std::string& folder : {src_ + "empty", src_ + "missing"}) {
        SCOPED_TRACE(folder);
        Outcome run = RunProgram({"-zip", archive_, folder}, dir_.Path());
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out,
                  "current cmd :-zip " + archive_ + " \"" + folder + "\"\n\ncomplete:0/0...\n");
        EXPECT_FALSE(Exists(archive_));
    }
}

TEST_F(QelvorProgram, WindowModeEndsAtOnceWithStatusThree) {
    Outcome run = RunProgram({}, dir_.Path());
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("window"), std::string::npos) << run.err;

    run = RunProgram({"-n", dir_.Path() + "Other Set.ini"}, dir_.Path());
    EXPECT_EQ(run.status, 3);
}

}  // namespace
}  // namespace qelvor
