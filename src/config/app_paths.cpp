#include "config/app_paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace qelvor {

namespace {

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return home;
    const passwd* entry = getpwuid(getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute
// path, otherwise ~/.config. Ends in "/"; empty when there is no home.
std::string ConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return WithSlash(xdg);
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : WithSlash(home) + ".config/";
}

// $XDG_STATE_HOME when it is an absolute path, otherwise ~/.local/state.
std::string StateHome() {
    const char* xdg = std::getenv("XDG_STATE_HOME");
    if (xdg != nullptr && xdg[0] == '/') return WithSlash(xdg);
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : WithSlash(home) + ".local/state/";
}

// The folders a package installs into: root may write them, but settings
// written there would be every user's and outlive the package.
bool IsSystemFolder(const std::string& folder) {
    for (const char* prefix : {"/usr/", "/bin/", "/sbin/", "/lib/"}) {
        if (WithSlash(folder).rfind(prefix, 0) == 0) return true;
    }
    return false;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The value of a user-dirs.dirs line such as XDG_DESKTOP_DIR="$HOME/Desktop"
// for the name (with its "="), with $HOME expanded; empty when the line does
// not have that form.
std::string UserDirEntryValue(const std::string& line, const std::string& name,
                              const std::string& home) {
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, name.size(), name) != 0) return {};
    std::string value = line.substr(start + name.size());
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
        value.pop_back();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    return value.empty() || value[0] != '/' ? std::string() : value;
}

// One of the user's folders: its line in user-dirs.dirs (the configuration
// folder's), else home + fallback when that folder exists, else empty.
std::string UserDir(const std::string& entry, const std::string& fallback) {
    const std::string home = HomeFolder();
    const std::string config = ConfigHome();
    if (!config.empty()) {
        std::ifstream dirs(config + "user-dirs.dirs");
        std::string line;
        while (std::getline(dirs, line)) {
            const std::string value = UserDirEntryValue(line, entry + "=", home);
            if (!value.empty()) return WithSlash(value);
        }
    }
    if (!home.empty() && IsFolder(WithSlash(home) + fallback))
        return WithSlash(home) + fallback + "/";
    return {};
}

// One mkdir: 0 when the folder is there afterwards; a name that exists as
// anything but a folder (or a link to one) is ENOTDIR.
int MakeOneFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0755) == 0) return 0;
    const int err = errno;
    if (err != EEXIST) return err;
    return IsFolder(path) ? 0 : ENOTDIR;
}

}  // namespace

std::string ProgramPath() {
    std::string buffer(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) return {};
    buffer.resize(static_cast<size_t>(length));
    return buffer;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return path;
    return path.substr(0, slash + 1);
}

std::string SettingsDir(const std::string& exeDir) {
    if (!exeDir.empty() && !IsSystemFolder(exeDir) && access(exeDir.c_str(), W_OK) == 0)
        return WithSlash(exeDir);
    const std::string user = UserSettingsDir();
    return user.empty() ? WithSlash(exeDir) : user;
}

std::string SessionsDir(const std::string& exeDir) {
    const std::string settings = SettingsDir(exeDir);
    const std::string state = StateHome();
    if (settings == WithSlash(exeDir) || state.empty()) return settings + "sessions/";
    return state + "qelvor/sessions/";
}

std::string UserSettingsDir() {
    const std::string config = ConfigHome();
    return config.empty() ? config : config + "qelvor/";
}

std::string DesktopFolder() {
    return UserDir("XDG_DESKTOP_DIR", "Desktop");
}

std::string DocumentsFolder() {
    return UserDir("XDG_DOCUMENTS_DIR", "Documents");
}

std::string UserFilesFolder(const std::string& exeDir) {
    for (const std::string& folder : {DesktopFolder(), DocumentsFolder()}) {
        if (!folder.empty() && !IsSystemFolder(folder)) return folder;
    }
    return SettingsDir(exeDir);
}

int CreateFolder(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path.empty()) return ENOENT;
    // Up from the folder to the first one that exists or cannot be made for
    // a reason of its own; then down again, making the missing ones.
    std::vector<size_t> missing;
    for (size_t end = path.size();;) {
        const int err = MakeOneFolder(path.substr(0, end));
        if (err == 0) break;
        const size_t slash = err == ENOENT ? path.rfind('/', end - 1) : std::string::npos;
        if (slash == std::string::npos || slash == 0) return err;
        missing.push_back(end);
        end = slash;
    }
    for (; !missing.empty(); missing.pop_back()) {
        const int err = MakeOneFolder(path.substr(0, missing.back()));
        if (err != 0) return err;
    }
    return 0;
}

bool EnsureFolder(const std::string& folder) {
    return CreateFolder(folder) == 0;
}

}  // namespace qelvor
