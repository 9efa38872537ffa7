#include "config/user_choices.h"

#include <sys/stat.h>

#include "config/app_paths.h"
#include "config/ini_file.h"

namespace qelvor {

namespace {

// The folders a QSettings group of this name would hold.
constexpr const char* kFolderSection = "FileDialogs";

const char* FolderKey(FileKind kind) {
    switch (kind) {
        case FileKind::SaveLog:
            return "SaveLog";
        case FileKind::SaveData:
            return "SaveData";
        case FileKind::LoadData:
            return "LoadData";
        case FileKind::SendFile:
            return "SendFile";
        case FileKind::ExportCsv:
            return "ExportCsv";
    }
    return "SaveLog";
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::string CUserChoices::FilePath() {
    const std::string folder = UserSettingsDir();
    return folder.empty() ? folder : folder + "qelvor.conf";
}

std::string CUserChoices::Get(const std::string& section, const std::string& key) {
    CIniFile file(FilePath());
    file.Load();
    return file.GetString(section, key, "");
}

bool CUserChoices::Set(const std::string& section, const std::string& key,
                       const std::string& value) {
    const std::string path = FilePath();
    if (path.empty() || !EnsureFolder(FolderOf(path))) return false;
    CIniFile file(path);
    return file.Load() && file.SetString(section, key, value) && file.Save();
}

std::string CUserChoices::LastFolder(FileKind kind) {
    std::string folder = Get(kFolderSection, FolderKey(kind));
    if (folder.empty() || folder[0] != '/' || !IsFolder(folder)) return {};
    if (folder.back() != '/') folder += '/';
    return folder;
}

bool CUserChoices::RememberFolder(FileKind kind, const std::string& chosenFile) {
    const size_t slash = chosenFile.rfind('/');
    if (slash == std::string::npos || chosenFile[0] != '/') return false;
    return Set(kFolderSection, FolderKey(kind), chosenFile.substr(0, slash + 1));
}

}  // namespace qelvor
