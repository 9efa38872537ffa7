// The command line, the console mode's reading of it, and the start-up steps.
#include <cstdio>
#include <optional>

#include "app/command_line.h"
#include "app/console_zip.h"
#include "app/drovan_app.h"
#include "config/com_setting.h"
#include "support/temp_folder.h"
#include "support/zip_reader.h"

namespace qelvor {
namespace {

using namespace testing_support;
using Tokens = std::vector<std::string>;

// What a command line means: the console mode, the settings file of "-n" and
// the data file. A name that merely holds an option's letters is a name.
TEST(CommandLine, OptionsCountOnlyAsWholeArgumentsInAnyCase) {
    // clang-format off
    const struct Case {
        Tokens args; bool zip; std::optional<std::string> ini; std::string dataFile;
    } cases[] = {
        {{"/tmp/run-zip-delta.txt"}, false, std::nullopt, "/tmp/run-zip-delta.txt"},
        {{"-ZIP", "a.zip", "dir"}, true, std::nullopt, "-ZIP a.zip dir"},
        {{"-N", "My.ini", "-x"}, false, "My.ini -x", ""},
        {{"-n", "/home/Ann/my set.ini"}, false, "/home/Ann/my set.ini", ""},
        {{"data-n", "x.ini"}, false, std::nullopt, "data-n x.ini"},
        {{"-n"}, false, "", ""},
        {{"/home/Ann/a b.txt", "-nope"}, false, std::nullopt, "/home/Ann/a b.txt -nope"}};
    // clang-format on
    for (const Case& c : cases) {
        const CCommandLine line(c.args);
        EXPECT_EQ(line.IsConsoleZip(), c.zip) << line.Text();
        EXPECT_EQ(line.IniName(), c.ini) << line.Text();
        EXPECT_EQ(line.DataFilePath(), c.dataFile) << line.Text();
    }
    EXPECT_EQ(CCommandLine({"-n", "my set.ini"}).Text(), "-n \"my set.ini\"");
}

// Each argument behind "-zip" (or "-del") is one name, whatever it holds;
// without an archive and a folder the mode does nothing at all.
TEST(ConsoleZip, ArgumentsAreWholeNamesAndBothNamesAreNeeded) {
    // clang-format off
    const struct Case { Tokens args; bool ok; ConsoleZipArgs parsed; } cases[] = {
        {{"-zip", "q.zip", "s", "it's.log", "a.log"}, true, {"q.zip", "s/", {"it's.log", "a.log"}}},
        {{"-Zip", "-DEL", " \"a b.zip\" ", "'/my logs//'", "", "x"}, true,
         {"a b.zip", "/my logs/", {"x"}, true}},
        {{"-del", "-zip", "a.zip", "dir"}, true, {"a.zip", "dir/", {}, false}},
        {{"-zip", "-del", "out.zip"}, false, {}}, {{"-zip", "out.zip", "\"\""}, false, {}},
        {{"-zip"}, false, {}}, {{"run-zip-del.txt", "a", "b"}, false, {}}};
    // clang-format on
    for (const Case& c : cases) {
        ConsoleZipArgs args;
        const CCommandLine line(c.args);
        ASSERT_EQ(CConsoleZip::Parse(line, args), c.ok) << line.Text();
        if (!c.ok) continue;
        EXPECT_EQ(args.archivePath, c.parsed.archivePath) << line.Text();
        EXPECT_EQ(args.sourceFolder, c.parsed.sourceFolder) << line.Text();
        EXPECT_EQ(args.files, c.parsed.files) << line.Text();
        EXPECT_EQ(args.deleteMode, c.parsed.deleteMode) << line.Text();
    }
}

// The window mode's refusal text is compared by the program tests.
TEST(DrovanApp, AutoSaveLogStartsTheLogThatWindowModeStops) {
    TempFolder dir;
    CComSetting settings;
    settings.ExeDir = dir.Path();
    settings.AutoSaveLog = 0;
    CDrovanApp idle;
    idle.StartContinuousLog(settings);
    EXPECT_FALSE(Exists(dir.File("LogData")));
    settings.AutoSaveLog = 1;
    CDrovanApp app;
    app.StartContinuousLog(settings);
    EXPECT_EQ(app.LogWriter().LogPath(), dir.File("LogData/Qelvor.log"));
    app.LogWriter().Post("last words", CLogWriter::kAppendLine);
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(app.RunWindow(err), kExitNoDisplay);
    std::fclose(err);
    EXPECT_EQ(ReadFile(dir.File("LogData/Qelvor.log")), "last words\r\n")
        << "the queued line is written before the program ends";
}

}  // namespace
}  // namespace qelvor
