// The application object's start-up steps: the continuous log it starts and
// stops, and the problems it tells in one box.
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

// A settings file that cannot be read and a log folder that cannot be made are told in one
// box at start, each with its reason; a good start tells nothing.
TEST(DrovanApp, StartupProblemsAreToldWithTheirReasons) {
    TempFolder dir;
    ASSERT_EQ(::mkdir(dir.File("q.ini").c_str(), 0755), 0);
    WriteFile(dir.File("LogData"), "a file where the log folder goes");
    CComSetting settings = CComSetting::Loaded(dir.File("q.ini"));
    settings.ExeDir = dir.Path();
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
    app.LogWriter().Stop();
}

}  // namespace
}  // namespace qelvor
