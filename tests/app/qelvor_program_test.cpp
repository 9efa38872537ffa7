// Runs the built program as a child process, as a shell or a script would.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "log/log_test_support.h"

extern char** environ;

namespace qelvor {
namespace {

using namespace testing_support;
using namespace std::string_literals;

struct Outcome {
    int status = -1;
    std::string out, err;
};

class QelvorProgram : public ::testing::Test {
  protected:
    // A source tree with sub-folders, an empty folder, a name with a blank
    // and a link back to the top that must not be followed.
    void SetUp() override {
        for (const char* folder : {"", "Sub", "Sub/deep", "empty"})
            ASSERT_EQ(::mkdir((src_ + folder).c_str(), 0755), 0) << folder;
        WriteFile(src_ + "a b.log", "with a blank\r\n");
        WriteFile(src_ + "B.log", "\0\x01\xFF"s);
        WriteFile(src_ + "Sub/c.log", "c");
        WriteFile(src_ + "Sub/deep/d.log", std::string(70000, 'd'));
        ASSERT_EQ(::symlink(src_.c_str(), (src_ + "Sub/loop").c_str()), 0);
    }

    Outcome Run(std::vector<std::string> args) {
        args.insert(args.begin(), QELVOR_PROGRAM);
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const std::string outPath = dir_.File("out"), errPath = dir_.File("err");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT, 0644);
        pid_t pid = 0;
        const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        Outcome outcome;
        int status = 0;
        if (rc != 0 || ::waitpid(pid, &status, 0) != pid) {
            ADD_FAILURE() << "cannot run " << argv[0];
            return outcome;
        }
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        outcome.out = ReadFile(outPath);
        outcome.err = ReadFile(errPath);
        std::filesystem::remove(outPath);
        std::filesystem::remove(errPath);
        return outcome;
    }

    TempFolder dir_;
    const std::string src_ = dir_.File("Src Data/");
    const std::string archive_ = dir_.File("Out.zip");
};

TEST_F(QelvorProgram, ZipWithDelPacksTheWholeTreeAndDeletesThePackedFiles) {
    // An archive inside the folder is replaced and never packed into itself.
    const std::string archive = src_ + "Out.zip";
    WriteFile(archive, "stale");
    Outcome run = Run({"-zip", "-Del", archive, src_});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(archive).find("stale"), std::string::npos) << "replaced, not appended to";
    EXPECT_EQ(run.out, "current cmd :-zip -Del \"" + archive + "\" \"" + src_ +
                           "\"\n\n"
                           "Compressing B.log(0/4)...\nCompressing Sub/c.log(1/4)...\n"
                           "Compressing Sub/deep/d.log(2/4)...\nCompressing a b.log(3/4)...\n"
                           "complete:4/4...\n");
    EXPECT_EQ(ReadZip(archive), (ZipEntries{{"B.log", "\0\x01\xFF"s},
                                            {"Sub/c.log", "c"},
                                            {"Sub/deep/d.log", std::string(70000, 'd')},
                                            {"a b.log", "with a blank\r\n"}}));
    for (const char* name : {"a b.log", "B.log", "Sub/c.log", "Sub/deep/d.log"})
        EXPECT_FALSE(Exists(src_ + name)) << name;
    EXPECT_TRUE(Exists(src_ + "Sub/deep")) << "folders stay";
    EXPECT_TRUE(Exists(src_ + "empty"));
}

TEST_F(QelvorProgram, ListedFilesArePackedAndAMissingOneFailsTheRun) {
    // The archive itself, listed by name, is refused.
    Outcome run =
        Run({"-ZIP", archive_, src_, "a b.log", "missing.log", "../Out.zip", "Sub/c.log"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("\"a b.log\" missing.log ../Out.zip Sub/c.log\n\n"
                           "Compressing a b.log(0/4)...\nCompressing missing.log(1/4)...\n"
                           "Compressing ../Out.zip(1/4)...\nCompressing Sub/c.log(1/4)...\n"
                           "complete:2/4...\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(ReadZip(archive_), (ZipEntries{{"a b.log", "with a blank\r\n"}, {"Sub/c.log", "c"}}));
    EXPECT_TRUE(Exists(src_ + "a b.log")) << "nothing is deleted without -del";

    run = Run({"-del", "-zip", archive_, src_});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadZip(archive_).size(), 4u);
    EXPECT_TRUE(Exists(src_ + "Sub/deep/d.log")) << "-del before -zip deletes nothing";
}

TEST_F(QelvorProgram, NothingToPackFailsTheRunAndDeletesNothing) {
    for (const std::string& folder : {src_ + "empty", src_ + "missing"}) {
        Outcome run = Run({"-zip", archive_, folder});
        EXPECT_EQ(run.status, 1) << folder;
        EXPECT_EQ(run.out,
                  "current cmd :-zip " + archive_ + " \"" + folder + "\"\n\ncomplete:0/0...\n");
        EXPECT_FALSE(Exists(archive_)) << folder;
    }
    Outcome run = Run({"-zip", "-del", dir_.File("no/x.zip"), src_ + "Sub/deep"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Compressing d.log(0/1)...\ncomplete:0/1...\n"), std::string::npos)
        << run.out;
    EXPECT_TRUE(Exists(src_ + "Sub/deep/d.log")) << "nothing is deleted that was not packed";

    // A named pipe given by name is refused, not waited on.
    ASSERT_EQ(::mkfifo((src_ + "pipe").c_str(), 0644), 0);
    run = Run({"-zip", archive_, src_, "pipe"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Compressing pipe(0/1)...\ncomplete:0/1...\n"), std::string::npos)
        << run.out;
}

TEST_F(QelvorProgram, WindowModeEndsAtOnceWithStatusThree) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"-n", dir_.File("Other Set.ini")}}) {
        Outcome run = Run(args);
        EXPECT_EQ(run.status, 3);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("window"), std::string::npos) << run.err;
    }
}

}  // namespace
}  // namespace qelvor
