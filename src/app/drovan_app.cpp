#include "app/drovan_app.h"

#include "app/console_zip.h"
#include "config/app_paths.h"
#include "config/com_setting.h"

namespace qelvor {

void CDrovanApp::ReadCommandLine(int argc, char** argv, CComSetting& settings) {
    settings.Load("");
    commandLine_ = CCommandLine::FromMain(argc, argv);
}

int CDrovanApp::RunConsoleZip(std::FILE* out, std::FILE* err) const {
    return CConsoleZip::Run(commandLine_, out, err);
}

void CDrovanApp::ApplyIniOption(CComSetting& settings) const {
    std::optional<std::string> name = commandLine_.IniName();
    if (name) settings.Init(*name);
}

std::string CDrovanApp::LogFolder(const CComSetting& settings) {
    return SettingsDir(settings.ExeDir) + "LogData/";
}

void CDrovanApp::StartContinuousLog(const CComSetting& settings) {
    if (settings.AutoSaveLog == 0) return;
    const std::string folder = LogFolder(settings);
    // A folder that cannot be made only costs the log its lines; the
    // program still starts.
    EnsureFolder(folder);
    logWriter_.Start(folder + "Qelvor.log", settings);
}

int CDrovanApp::RunWindow(std::FILE* err) {
    std::fputs(
        "qelvor: the window mode is not available in this build; "
        "use \"qelvor -zip <archive> <folder> [files]\" or qelvor-cli\n",
        err);
    logWriter_.Stop();
    return kExitNoWindow;
}

}  // namespace qelvor
