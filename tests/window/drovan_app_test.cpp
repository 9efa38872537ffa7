// The application object's start-up steps.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "config/com_setting.h"
#include "support/recording_box.h"
#include "support/temp_folder.h"
#include "window/drovan_app.h"

namespace qelvor {
namespace {

using namespace testing_support;

// Problems with the settings file and the log folder are told in one box at start, each
// with its reason; AutoSaveLog starts the log, whose queued lines the window mode writes.
TEST(DrovanApp, StartupProblemsAreToldAndAutoSaveLogStartsTheLogThatWindowModeStops) {
    TempFolder dir;
    ASSERT_EQ(::mkdir(dir.File("q.ini").c_str(), 0755), 0);
    CComSetting settings = CComSetting::Loaded(dir.File("q.ini"));
    settings.ExeDir = dir.Path();
    settings.AutoSaveLog = 0;
    CDrovanApp idle;
    idle.StartContinuousLog(settings);
    EXPECT_FALSE(Exists(dir.File("LogData")));
    WriteFile(dir.File("LogData"), "a file where the log folder goes");
    settings.AutoSaveLog = 1;
    CDrovanApp app;
    app.StartContinuousLog(settings);
    RecordingBox box;
    app.TellStartupProblems(settings, box);
    EXPECT_EQ(box.Take(),
              "Qelvor (warning, ok): Settings file: " + dir.File("q.ini") +
                  " is a directory.\nThe default settings are used, and no change is "
                  "saved to that file.\n\nContinuous log: cannot create the log folder " +
                  dir.File("LogData/") + ": Not a directory.\nNo traffic can be logged there.\n");
    ::unlink(dir.File("LogData").c_str());
    settings = CComSetting::Loaded(dir.File("new.ini"));
    settings.ExeDir = dir.Path();
    settings.AutoSaveLog = 1;
    app.StartContinuousLog(settings);
    app.TellStartupProblems(settings, box);
    EXPECT_EQ(box.Take(), "");
    EXPECT_EQ(app.LogWriter().LogPath(), dir.File("LogData/Qelvor.log"));
    app.LogWriter().Post("last words", CLogWriter::kAppendLine);
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(app.RunWindow(err), kExitNoDisplay);  // its text: the program tests
    std::fclose(err);
    EXPECT_EQ(ReadFile(dir.File("LogData/Qelvor.log")), "last words\r\n");
}

}  // namespace
}  // namespace qelvor
