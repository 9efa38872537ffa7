// Runs the built program as a child process, as a shell or a script would.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_folder.h"
#include "support/zip_reader.h"

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

    // Runs qelvor with the arguments in the folder cwd (empty: this one),
    // its files limited to fileLimit bytes when that is set.
    Outcome Run(std::vector<std::string> args, const std::string& cwd = "",
                rlim_t fileLimit = RLIM_INFINITY) {
        args.insert(args.begin(), QELVOR_PROGRAM);
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const std::string outPath = dir_.File("out"), errPath = dir_.File("err");
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            // Past the limit a write fails with EFBIG instead of a signal.
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{fileLimit, fileLimit};
            if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
                (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ||
                ::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                ::_exit(127);
            }
            // Without a display the window mode ends at once instead of
            // opening a window on the developer's screen.
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
                ::unsetenv(name);
            ::execve(argv[0], argv.data(), environ);
            ::_exit(127);
        }
        Outcome outcome;
        int status = 0;
        if (pid < 0 || ::waitpid(pid, &status, 0) != pid) {
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

    bool AllSourcesStay() {
        for (const char* name : {"a b.log", "B.log", "Sub/c.log", "Sub/deep/d.log"}) {
            if (!Exists(src_ + name)) return false;
        }
        return true;
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
    EXPECT_EQ(run.err, "qelvor: cannot create the archive " + dir_.File("no/x.zip") +
                           ": No such file or directory\n");

    // A named pipe given by name is refused, not waited on.
    ASSERT_EQ(::mkfifo((src_ + "pipe").c_str(), 0644), 0);
    run = Run({"-zip", archive_, src_, "pipe"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Compressing pipe(0/1)...\ncomplete:0/1...\n"), std::string::npos)
        << run.out;
    // So is a pipe named as the archive, and what was listed stays.
    run = Run({"-zip", "-del", src_ + "pipe", src_, "B.log"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "qelvor: cannot create the archive " + src_ + "pipe: Invalid argument\n");
    EXPECT_TRUE(AllSourcesStay());
}

// Neither a missing folder nor a data file whose name holds "-zip" and
// "-del" may pack and delete the files of the current folder.
TEST_F(QelvorProgram, OnlyAWholeZipCommandPacksAndDeletes) {
    Outcome run = Run({"-zip", "-del", "out.zip"}, src_);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "qelvor: -zip needs an archive and a folder: "
              "qelvor -zip [-del] ARCHIVE FOLDER [FILE...]\n");
    EXPECT_FALSE(Exists(src_ + "out.zip"));
    EXPECT_TRUE(AllSourcesStay());

    WriteFile(src_ + "run-zip-delta.txt", "data");
    run = Run({src_ + "run-zip-delta.txt"}, src_);
    EXPECT_EQ(run.status, 1) << "a data file for the window, not the console mode";
    EXPECT_NE(run.err.find("no display"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(AllSourcesStay());
}

// The packed files are deleted only once the archive is complete: a
// file-size limit reached while its directory is written keeps them all.
TEST_F(QelvorProgram, ZipThatCannotBeClosedDeletesNothing) {
    Outcome whole = Run({"-zip", archive_, src_});
    ASSERT_EQ(whole.status, 0) << whole.err;
    const auto size = static_cast<rlim_t>(std::filesystem::file_size(archive_));
    std::filesystem::remove(archive_);
    Outcome cut = Run({"-zip", "-del", archive_, src_}, "", size - 10);
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.out.find("complete:4/4...\n"), std::string::npos) << "every entry was added";
    EXPECT_TRUE(AllSourcesStay());
}

// A run killed part way has shown every line up to that point, also through
// a pipe, and a name holding a quote is one name.
TEST_F(QelvorProgram, ConsoleLinesArriveAsTheyAreWritten) {
    const std::string quoted = src_ + "it's.log";
    WriteFile(quoted, "q");
    test::ChildOptions piped;
    piped.outOnPipe = true;
    const std::string big = dir_.File("big.bin");  // zeros that take a while to pack
    WriteFile(big, "");
    ASSERT_EQ(::truncate(big.c_str(), 1L << 30), 0);
    test::ChildProcess run({QELVOR_PROGRAM, "-zip", archive_, src_, "it's.log", "../big.bin"},
                           piped);
    const std::string head = "current cmd :-zip " + archive_ + " \"" + src_ +
                             "\" \"it's.log\" ../big.bin\n\nCompressing it's.log(0/2)...\n"
                             "Compressing ../big.bin(1/2)...\n";
    EXPECT_EQ(run.ReadOut(head.size()), head);
    run.Signal(SIGKILL);
    EXPECT_EQ(run.ReadOut(100), "") << "killed while packing";
    run.Wait();

    const Outcome whole = Run({"-zip", archive_, src_, "it's.log"});
    EXPECT_EQ(whole.status, 0);
    EXPECT_NE(whole.out.find("Compressing it's.log(0/1)...\ncomplete:1/1...\n"), std::string::npos)
        << whole.out;
    EXPECT_EQ(ReadZip(archive_), (ZipEntries{{"it's.log", "q"}}));
}

TEST_F(QelvorProgram, WindowModeWithoutDisplayPointsToTheConsoleRunner) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"-n", dir_.File("Other Set.ini")}}) {
        Outcome run = Run(args);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("qelvor-cli"), std::string::npos) << run.err;
    }
}

}  // namespace
}  // namespace qelvor
