// The console compression mode: its command line, then the built program as a child.
#include "app/console_zip.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "app/command_line.h"
#include "support/child_process.h"
#include "support/zip_reader.h"

namespace qelvor {
namespace {

using namespace testing_support;
using namespace std::string_literals;
using Tokens = std::vector<std::string>;

// Each argument behind "-zip" (or "-del") is one name, whatever it holds;
// without an archive and a folder the mode does nothing at all.
TEST(ConsoleZip, ArgumentsAreWholeNamesAndBothNamesAreNeeded) {
    // clang-format off
    const struct Case { Tokens args; bool ok; ConsoleZipArgs parsed; } cases[] = {
        {{"-Zip", "-DEL", " \"a b.zip\" ", "'/my logs//'", "", "x"}, true,
         {"a b.zip", "/my logs/", {"x"}, true}},
        {{"-del", "-zip", "a.zip", "dir"}, true, {"a.zip", "dir/", {}, false}},
        {{"-zip", "-del", "out.zip"}, false, {}}, {{"-zip", "out.zip", "\"\""}, false, {}},
        {{"run-zip-del.txt", "a", "b"}, false, {}}};
    // clang-format on
    for (const Case& c : cases) {
        ConsoleZipArgs args;
        const CCommandLine line(c.args);
        ASSERT_EQ(CConsoleZip::Parse(line, args), c.ok) << line.Text();
        if (!c.ok) continue;
        EXPECT_EQ(std::tie(args.archivePath, args.sourceFolder, args.files, args.deleteMode),
                  std::tie(c.parsed.archivePath, c.parsed.sourceFolder, c.parsed.files,
                           c.parsed.deleteMode))
            << line.Text();
    }
}

struct Outcome {
    int status = -1;
    std::string out, err;
};

// What follows the echoed command line of the console mode; all of it when
// there is none.
std::string Body(const std::string& out) {
    const size_t end = out.rfind("current cmd :", 0) == 0 ? out.find("\n\n") : std::string::npos;
    return end == std::string::npos ? out : out.substr(end + 2);
}

// With -del a file changed after it was packed is kept, named, and fails the
// run (which changes count: ZipWriter.APackedFileIsUnchangedOnlyWhileItHoldsWhatWentIn).
TEST(ConsoleZip, AFileChangedAfterItWasPackedIsKeptAndNamed) {
    TempFolder dir;
    const std::string src = dir.File("src/"), archive = dir.File("Out.zip");
    ASSERT_EQ(::mkdir(src.c_str(), 0755), 0);
    for (const char* name : {"grown.log", "same.log"})
        WriteFile(src + name, name);
    auto changeSources = [&] { WriteFile(src + "grown.log", "grown.log and more"); };
    std::FILE* out = std::fopen(dir.File("out").c_str(), "w");
    std::FILE* err = std::fopen(dir.File("err").c_str(), "w");
    EXPECT_EQ(
        CConsoleZip::Run(CCommandLine({"-zip", "-del", archive, src}), out, err, changeSources), 1);
    std::fclose(out);
    std::fclose(err);
    EXPECT_EQ(std::make_tuple(Body(ReadFile(dir.File("out"))), ReadFile(dir.File("err"))),
              std::make_tuple("Compressing grown.log(0/2)...\nCompressing same.log(1/2)...\n"
                              "complete:2/2...\nkept, changed while packing: grown.log\n"s,
                              ""s));
    EXPECT_EQ(ReadZip(archive), (ZipEntries{{"grown.log", "grown.log"}, {"same.log", "same.log"}}));
    EXPECT_EQ(std::make_tuple(Exists(src + "same.log"), ReadFile(src + "grown.log")),
              std::make_tuple(false, "grown.log and more"s));
}

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
        // Without a display the window mode ends at once instead of opening
        // a window on the developer's screen; the children inherit this.
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            ::unsetenv(name);
    }

    // Runs qelvor in the source folder (a run that wrongly takes the current
    // folder packs it), its writes past fileLimit bytes failing with EFBIG.
    Outcome Run(std::vector<std::string> args, rlim_t fileLimit = RLIM_INFINITY) {
        args.insert(args.begin(), QELVOR_PROGRAM);
        rlimit old{};
        ::getrlimit(RLIMIT_FSIZE, &old);
        const rlimit limited{fileLimit, old.rlim_max};
        ::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limited);  // the child inherits the limit
        test::ChildOptions options;
        options.cwd = src_;
        test::ChildProcess child(args, options);
        ::setrlimit(RLIMIT_FSIZE, &old);
        const int status = child.Wait();
        return Outcome{status, child.Out(), child.Err()};
    }

    int SourcesLeft() {
        int left = 0;
        for (const char* name : {"a b.log", "B.log", "Sub/c.log", "Sub/deep/d.log"})
            left += Exists(src_ + name) ? 1 : 0;
        return left;
    }

    // The hidden files beside the archive (temporary archives), one a line.
    std::string Hidden() {
        std::string names;
        for (const std::string& name : Listing(dir_.Path()))
            if (name[0] == '.') names += name + "\n";
        return names;
    }

    TempFolder dir_;
    const std::string src_ = dir_.File("Src Data/");
    const std::string archive_ = dir_.File("Out.zip");
};

// Packed files are deleted only once the archive is closed: a file-size limit
// hit while writing its directory keeps them all and says so.
TEST_F(QelvorProgram, ZipWithDelPacksTheWholeTreeAndDeletesItOnlyOnceTheArchiveIsClosed) {
    Outcome whole = Run({"-zip", archive_, src_});
    ASSERT_EQ(whole.status, 0) << whole.err;
    const ZipEntries tree{{"B.log", "\0\x01\xFF"s},
                          {"Sub/c.log", "c"},
                          {"Sub/deep/d.log", std::string(70000, 'd')},
                          {"a b.log", "with a blank\r\n"}};
    const auto size = static_cast<rlim_t>(std::filesystem::file_size(archive_));
    Outcome cut = Run({"-zip", "-del", archive_, src_}, size - 10);
    EXPECT_EQ(
        std::make_tuple(cut.status, cut.out.substr(cut.out.rfind("Compressing a b.log")), cut.err,
                        SourcesLeft()),
        std::make_tuple(1, "Compressing a b.log(3/4)...\ncomplete:0/4...\n"s,
                        "qelvor: cannot write the archive " + archive_ + ": File too large\n", 4));
    EXPECT_EQ(ReadZip(archive_), tree) << "the earlier archive is kept";
    EXPECT_EQ(Hidden(), "") << "the broken archive is removed";

    // An archive inside the folder is replaced and never packed into itself.
    const std::string archive = src_ + "Out.zip";
    std::filesystem::copy_file(archive_, archive);
    Outcome run = Run({"-zip", "-Del", archive, src_});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Body(run.out),
              "Compressing B.log(0/4)...\nCompressing Sub/c.log(1/4)...\n"
              "Compressing Sub/deep/d.log(2/4)...\nCompressing a b.log(3/4)...\n"
              "complete:4/4...\n");
    EXPECT_EQ(std::make_tuple(ReadZip(archive), SourcesLeft()), std::make_tuple(tree, 0));
    EXPECT_TRUE(Exists(src_ + "Sub/deep") && Exists(src_ + "empty")) << "folders stay";
}

// Each row fails without packing or deleting anything; a pipe as the archive
// fails at once, and a -zip without both names never takes the current folder.
TEST_F(QelvorProgram, FailedRunsNameTheirReasonAndDeleteNothing) {
    const std::string pipe = src_ + "pipe", noFolder = dir_.File("no/x.zip");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    WriteFile(src_ + "run-zip-delta.txt", "data");
    const std::string window =
        "qelvor: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset); "
        "use qelvor-cli to run without a window\n";
    // clang-format off
    const struct { std::vector<std::string> args; int status; std::string body, err; } rows[] = {
        {{"-zip", "-del", archive_, src_ + "missing"}, 1, "complete:0/0...\n", ""},
        {{"-zip", "-del", noFolder, src_ + "Sub/deep"}, 1,
         "Compressing d.log(0/1)...\ncomplete:0/1...\n",
         "qelvor: cannot create the archive " + noFolder + ": No such file or directory\n"},
        {{"-zip", "-del", pipe, src_, "B.log"}, 1, "Compressing B.log(0/1)...\ncomplete:0/1...\n",
         "qelvor: cannot create the archive " + pipe + ": Invalid argument\n"},
        {{"-zip", "-del", archive_, src_, "pipe"}, 1,
         "Compressing pipe(0/1)...\ncomplete:0/1...\n", ""},
        {{"-zip", "-del", "out.zip"}, 2, "", "qelvor: -zip needs an archive and a folder: "
                                             "qelvor -zip [-del] ARCHIVE FOLDER [FILE...]\n"},
        {{src_ + "run-zip-delta.txt"}, 1, "", window}};
    // clang-format on
    for (const auto& r : rows) {
        SCOPED_TRACE(r.args.back());
        const Outcome run = Run(r.args);
        EXPECT_EQ(std::make_tuple(run.status, Body(run.out), run.err, SourcesLeft(), Hidden()),
                  std::make_tuple(r.status, r.body, r.err, 4, ""s));
        EXPECT_FALSE(Exists(archive_) || Exists(src_ + "out.zip"));
    }
}

// Listed files are whole names (a quote included); a missing one and the archive itself,
// listed by name, are refused and fail the run. A stopped run has shown every line so far,
// also through a pipe, and keeps that earlier archive; a signal that can be caught (SIGTERM
// stands for SIGINT and SIGHUP, handled alike) removes the unfinished one.
TEST_F(QelvorProgram, ListedFilesArePackedAndAStoppedRunKeepsTheEarlierArchive) {
    WriteFile(src_ + "it's.log", "q");
    Outcome listed =
        Run({"-ZIP", archive_, src_, "a b.log", "missing.log", "../Out.zip", "it's.log"});
    EXPECT_EQ(listed.status, 1);
    EXPECT_EQ(Body(listed.out),
              "Compressing a b.log(0/4)...\nCompressing missing.log(1/4)...\n"
              "Compressing ../Out.zip(1/4)...\nCompressing it's.log(1/4)...\ncomplete:2/4...\n");
    const ZipEntries earlier{{"a b.log", "with a blank\r\n"}, {"it's.log", "q"}};
    EXPECT_EQ(ReadZip(archive_), earlier);
    EXPECT_TRUE(Exists(src_ + "a b.log")) << "nothing is deleted without -del";
    const std::string big = dir_.File("big.bin");  // zeros that take a while to pack
    WriteFile(big, "");
    ASSERT_EQ(::truncate(big.c_str(), 1L << 30), 0);
    const std::string head = "current cmd :-zip " + archive_ + " \"" + src_ +
                             "\" \"it's.log\" ../big.bin\n\nCompressing it's.log(0/2)...\n"
                             "Compressing ../big.bin(1/2)...\n";
    for (const int number : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(number);
        test::ChildOptions piped;
        piped.outOnPipe = true;
        test::ChildProcess run({QELVOR_PROGRAM, "-zip", archive_, src_, "it's.log", "../big.bin"},
                               piped);
        EXPECT_EQ(run.ReadOut(head.size()), head);
        run.Signal(number);
        EXPECT_EQ(run.ReadOut(100), "") << "stopped while packing";
        EXPECT_EQ(run.Wait(), -1) << "ended by the signal";
        EXPECT_EQ(ReadZip(archive_), earlier);
        const std::string hidden = Hidden();
        if (number != SIGKILL) {
            EXPECT_EQ(hidden, "");
            continue;
        }
        EXPECT_EQ(hidden.rfind(".Out.zip.", 0), 0u) << "nothing can remove it after a kill -9";
        std::filesystem::remove(dir_.File(hidden.substr(0, hidden.size() - 1)));
    }
}

}  // namespace
}  // namespace qelvor
