#include "config/theme_choice.h"

#include "config/app_paths.h"
#include "config/ini_file.h"

namespace qelvor {

namespace {

// Qt's INI format keeps keys without a group in [General].
constexpr const char* kSection = "General";
constexpr const char* kKey = "Theme";

}  // namespace

std::string CThemeChoice::FilePath() {
    const std::string folder = UserSettingsDir();
    return folder.empty() ? folder : folder + "qelvor.conf";
}

std::string CThemeChoice::Stored() {
    CIniFile file(FilePath());
    file.Load();
    return file.GetString(kSection, kKey, "");
}

bool CThemeChoice::Store(const std::string& name) {
    const std::string path = FilePath();
    if (path.empty() || !EnsureFolder(FolderOf(path))) return false;
    CIniFile file(path);
    return file.Load() && file.SetString(kSection, kKey, name) && file.Save();
}

}  // namespace qelvor
