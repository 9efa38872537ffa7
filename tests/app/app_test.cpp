// The command line, the console mode's reading of it, and the start-up steps.
#include <cstdio>

#include "app/command_line.h"
#include "app/console_zip.h"
#include "app/drovan_app.h"
#include "config/com_setting.h"
#include "log/log_test_support.h"

namespace qelvor {
namespace {

using namespace testing_support;
using Tokens = std::vector<std::string>;

TEST(CommandLine, IniNameIsTheRestBehindTheOption) {
    EXPECT_EQ(CCommandLine({"-N", "My.ini", "-x"}).IniName(), "My.ini -x");
    EXPECT_EQ(CCommandLine({"-n", "/home/Ann/my set.ini"}).IniName(), "/home/Ann/my set.ini")
        << "quotes added by joining are not part of the name";
    EXPECT_EQ(CCommandLine({"data-n", "x.ini"}).IniName(), "x.ini");
    EXPECT_FALSE(CCommandLine({"-n"}).IniName().has_value()) << "needs the blank behind it";
    EXPECT_FALSE(CCommandLine({"a.txt"}).IniName().has_value());
}

TEST(ConsoleZip, TokensSplitAtBlanksAndTabsOutsideQuotes) {
    const std::pair<const char*, Tokens> cases[] = {
        {" a.zip\t/data  b.log ", {"a.zip", "/data", "b.log"}},
        {"\"/my logs\" 'x y' z", {"/my logs", "x y", "z"}},
        {"", {}},
        {"  \t \"\" '' \" \"", {}},             // empty tokens are dropped
        {"ab\"c d\"e f", {"ab\"c d\"e", "f"}},  // quotes inside a token stay
        {"\"a b' c d", {"a b", "c", "d"}},      // either quote ends what the other opened
        {"\"open to the end", {"open to the end"}},
    };
    for (const auto& [text, tokens] : cases)
        EXPECT_EQ(CConsoleZip::Tokenize(text), tokens) << text;
}

TEST(DrovanApp, AutoSaveLogStartsTheLogThatWindowModeStops) {
    TempFolder dir;
    CComSetting settings;
    settings.ExeDir = dir.Path();
    settings.AutoSaveLog = 0;
    CDrovanApp idle;
    idle.StartContinuousLog(settings);
    EXPECT_FALSE(Exists(dir.File("LogData")));
    EXPECT_EQ(idle.LogWriter().LogPath(), "Qelvor.log");

    settings.AutoSaveLog = 1;
    CDrovanApp app;
    app.StartContinuousLog(settings);
    EXPECT_EQ(CDrovanApp::LogFolder(settings), dir.File("LogData/"));
    EXPECT_EQ(app.LogWriter().LogPath(), dir.File("LogData/Qelvor.log"));
    app.LogWriter().Post("last words", CLogWriter::kAppendLine);
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(app.RunWindow(err), kExitNoWindow);
    EXPECT_GT(std::ftell(err), 0L) << "it says why";
    std::fclose(err);
    EXPECT_EQ(ReadFile(dir.File("LogData/Qelvor.log")), "last words\r\n")
        << "the queued line is written before the program ends";
}

}  // namespace
}  // namespace qelvor
