#include "app/drovan_app.h"

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "log/log_test_support.h"

namespace qelvor {
namespace {

using testing_support::Exists;
using testing_support::ReadWhole;
using testing_support::TempFolder;

void ReadArgs(CDrovanApp& app, std::vector<std::string> args, CComSetting& settings) {
    std::vector<char*> argv = {const_cast<char*>("qelvor")};
    for (std::string& arg : args)
        argv.push_back(arg.data());
    app.ReadCommandLine(static_cast<int>(argv.size()), argv.data(), settings);
}

TEST(DrovanApp, AutoSaveLogMakesTheFolderAndLogsThere) {
    TempFolder dir;
    CComSetting settings;
    settings.ExeDir = dir.Path();
    settings.AutoSaveLog = 1;
    CDrovanApp app;
    app.StartContinuousLog(settings);
    const std::string folder = CDrovanApp::LogFolder(settings);
    EXPECT_EQ(folder.substr(folder.size() - 8), "LogData/");
    EXPECT_TRUE(Exists(folder));
    EXPECT_EQ(app.LogWriter().LogPath(), folder + "Qelvor.log");

    app.LogWriter().Post("first", CLogWriter::kAppendLine);
    app.LogWriter().Stop();
    EXPECT_EQ(ReadWhole(folder + "Qelvor.log"), "first\r\n");
}

TEST(DrovanApp, WithoutAutoSaveLogNothingIsMadeAndTheLogStaysIdle) {
    TempFolder dir;
    CComSetting settings;
    settings.ExeDir = dir.Path();
    settings.AutoSaveLog = 0;
    CDrovanApp app;
    app.StartContinuousLog(settings);
    EXPECT_FALSE(Exists(dir.Path() + "LogData"));
    EXPECT_EQ(app.LogWriter().LogPath(), "Qelvor.log");
}

TEST(DrovanApp, IniOptionSwitchesTheSettingsFileKeepingItsCase) {
    TempFolder dir;
    CComSetting settings;
    CDrovanApp app;
    ReadArgs(app, {"-N", dir.Path() + "My Set.ini"}, settings);
    EXPECT_FALSE(app.IsConsoleZip());
    app.ApplyIniOption(settings);
    EXPECT_EQ(settings.IniPath, dir.Path() + "My Set.ini");

    const std::string before = settings.IniPath;
    CDrovanApp plain;
    ReadArgs(plain, {"/data/Some File.txt"}, settings);
    plain.ApplyIniOption(settings);
    EXPECT_EQ(settings.IniPath, before) << "no -n, no switch";
    EXPECT_EQ(plain.CommandLine().DataFilePath(), "/data/Some File.txt");
}

TEST(DrovanApp, WindowModeSaysWhyAndStopsTheLog) {
    TempFolder dir;
    CComSetting settings;
    settings.ExeDir = dir.Path();
    settings.AutoSaveLog = 1;
    CDrovanApp app;
    app.StartContinuousLog(settings);
    app.LogWriter().Post("last words", CLogWriter::kAppendLine);
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(app.RunWindow(err), kExitNoWindow);
    EXPECT_GT(std::ftell(err), 0L);
    std::fclose(err);
    EXPECT_EQ(ReadWhole(CDrovanApp::LogFolder(settings) + "Qelvor.log"), "last words\r\n")
        << "the queued line is written before the program ends";
}

}  // namespace
}  // namespace qelvor
