// qelvor: the desktop program. Console compression mode ("-zip") runs here
// without a display and without any Qt object; window mode starts the main
// window.
#include <clocale>
#include <cstdio>

#include "app/command_line.h"
#include "config/com_setting.h"
#include "config/ui_language.h"
#include "window/drovan_app.h"

// Both globals live in this one file so that their order of construction is
// fixed: the settings record first, then the application object with its
// idle continuous log.
qelvor::CComSetting g_settings;
qelvor::CDrovanApp g_app;

int main(int argc, char** argv) {
    // "--version" and "--help" alone answer at once, without a display or
    // the settings.
    if (argc == 2 && qelvor::CCommandLine::IsInfoOption(argv[1])) {
        std::fputs(qelvor::CCommandLine::InfoText(argv[1], QELVOR_VERSION).c_str(), stdout);
        return 0;
    }
    // The user's character set is the code page that sent text is turned
    // into; numbers keep the C form, so settings and options read the same
    // in every language.
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");

    // Find the program's settings file and load its current set.
    g_settings.Init(std::string());

    // The texts follow the language of the program's own settings file.
    qelvor::ApplyUILanguage(g_settings);

    // A resource library beside the program brings the window texts when its
    // version is the program's.
    g_app.LoadResourceLibrary(g_settings);

    // Read the command line; "-zip" packs files and ends the program.
    g_app.ReadCommandLine(argc, argv, g_settings);
    if (g_app.IsConsoleZip()) return g_app.RunConsoleZip(stdout, stderr);

    // SIGINT, SIGTERM and SIGHUP end the window through its event loop; blocked
    // before the continuous log starts a thread.
    qelvor::CDrovanApp::BlockStopSignals();

    // "-n FILE" switches to another settings file.
    g_app.ApplyIniOption(g_settings);

    // Keep the continuous log when the settings ask for it.
    g_app.StartContinuousLog(g_settings);

    // Run the main window.
    return g_app.RunWindow(stderr);
}
