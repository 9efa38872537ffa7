#include "app/console_zip.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "log/log_test_support.h"

namespace qelvor {
namespace {

using testing_support::Exists;
using testing_support::ReadZip;
using testing_support::TempFolder;
using testing_support::WriteWhole;
using Tokens = std::vector<std::string>;

TEST(ConsoleZipTokens, BlanksAndTabsSplitOutsideQuotes) {
    EXPECT_EQ(CConsoleZip::Tokenize(" a.zip\t/data  b.log "), (Tokens{"a.zip", "/data", "b.log"}));
    EXPECT_EQ(CConsoleZip::Tokenize("\"/my logs\" 'x y' z"), (Tokens{"/my logs", "x y", "z"}));
    EXPECT_EQ(CConsoleZip::Tokenize(""), Tokens{});
    EXPECT_EQ(CConsoleZip::Tokenize("  \t \"\" '' \" \""), Tokens{}) << "empty tokens are dropped";
}

TEST(ConsoleZipTokens, QuotesInsideATokenStayAndEitherQuoteToggles) {
    EXPECT_EQ(CConsoleZip::Tokenize("ab\"c d\"e f"), (Tokens{"ab\"c d\"e", "f"}));
    EXPECT_EQ(CConsoleZip::Tokenize("\"a b' c d"), (Tokens{"a b", "c", "d"}))
        << "a single quote ends what a double quote opened";
    EXPECT_EQ(CConsoleZip::Tokenize("\"open to the end"), (Tokens{"open to the end"}));
}

TEST(ConsoleZipArgsParse, ArchiveFolderAndFilesBehindTheOptions) {
    ConsoleZipArgs args = CConsoleZip::Parse("-zip /tmp/X.zip \"/data/My Logs//  \" a.log b.log");
    EXPECT_EQ(args.archivePath, "/tmp/X.zip");
    EXPECT_EQ(args.sourceFolder, "/data/My Logs/");
    EXPECT_EQ(args.files, (Tokens{"a.log", "b.log"}));
    EXPECT_FALSE(args.deleteMode);

    args = CConsoleZip::Parse("-ZIP -Del /tmp/x.zip /data");
    EXPECT_TRUE(args.deleteMode);
    EXPECT_EQ(args.archivePath, "/tmp/x.zip");
    EXPECT_EQ(args.sourceFolder, "/data/");
    EXPECT_TRUE(args.files.empty());
}

TEST(ConsoleZipArgsParse, DelBeforeZipIsIgnored) {
    ConsoleZipArgs args = CConsoleZip::Parse("-del -zip /tmp/x.zip /data");
    EXPECT_FALSE(args.deleteMode);
    EXPECT_EQ(args.archivePath, "/tmp/x.zip");
    EXPECT_EQ(args.sourceFolder, "/data/");
}

TEST(ConsoleZipArgsParse, MissingPiecesStayEmpty) {
    EXPECT_EQ(CConsoleZip::Parse("-zip").archivePath, "");
    ConsoleZipArgs args = CConsoleZip::Parse("x -zip a.zip");
    EXPECT_EQ(args.archivePath, "a.zip");
    EXPECT_EQ(args.sourceFolder, "");
    EXPECT_EQ(CConsoleZip::Parse("-zip a.zip /").sourceFolder, "/");
    EXPECT_EQ(CConsoleZip::Parse("no option here").archivePath, "");
}

TEST(ConsoleZipCollect, WalksSubFoldersSortedWithRelativeNames) {
    TempFolder dir;
    const std::string& root = dir.Path();
    ASSERT_EQ(::mkdir((root + "sub").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((root + "sub/deeper").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((root + "empty").c_str(), 0755), 0);
    WriteWhole(root + "b.log", "b");
    WriteWhole(root + "a b.log", "ab");
    WriteWhole(root + ".hidden", "h");
    WriteWhole(root + "sub/c.log", "c");
    WriteWhole(root + "sub/deeper/d.log", "d");
    WriteWhole(root + "out.zip", "the archive itself");
    ASSERT_EQ(::symlink(root.c_str(), (root + "sub/loop").c_str()), 0);
    ASSERT_EQ(::symlink((root + "b.log").c_str(), (root + "link.log").c_str()), 0);

    Tokens list;
    CConsoleZip::Collect(root, list, "", root + "out.zip");
    EXPECT_EQ(list,
              (Tokens{".hidden", "a b.log", "b.log", "link.log", "sub/c.log", "sub/deeper/d.log"}))
        << "the archive is skipped and the folder link is not followed";

    list.clear();
    CConsoleZip::Collect(root + "sub", list, "pre/", "");
    EXPECT_EQ(list, (Tokens{"pre/c.log", "pre/deeper/d.log"}));
    list.clear();
    CConsoleZip::Collect(root + "missing", list, "", "");
    EXPECT_TRUE(list.empty());
}

// Runs the mode with its output in a temporary file and returns that output.
std::string RunAndCapture(const std::string& commandLine, int& status) {
    std::FILE* out = std::tmpfile();
    status = CConsoleZip::Run(commandLine, out);
    std::rewind(out);
    std::string text;
    char buffer[512];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, out)) > 0)
        text.append(buffer, n);
    std::fclose(out);
    return text;
}

TEST(ConsoleZipRun, ArchiveThatCannotBeCreatedAddsNothing) {
    TempFolder dir;
    WriteWhole(dir.Path() + "a.log", "a");
    int status = -1;
    std::string out = RunAndCapture("-zip -del " + dir.Path() + "no/x.zip " + dir.Path(), status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("Compressing a.log(0/1)...\ncomplete:0/1...\n"), std::string::npos) << out;
    EXPECT_TRUE(Exists(dir.Path() + "a.log")) << "nothing is deleted that was not packed";
}

TEST(ConsoleZipRun, ExistingArchiveInTheFolderIsReplacedNotPacked) {
    TempFolder dir;
    WriteWhole(dir.Path() + "a.log", "a");
    WriteWhole(dir.Path() + "x.zip", "stale");
    int status = -1;
    RunAndCapture("-zip -del " + dir.Path() + "x.zip " + dir.Path(), status);
    EXPECT_EQ(status, 0);
    auto entries = ReadZip(dir.Path() + "x.zip");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].first, "a.log");
    EXPECT_FALSE(Exists(dir.Path() + "a.log"));
}

}  // namespace
}  // namespace qelvor
