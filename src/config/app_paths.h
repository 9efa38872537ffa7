// Where the program and its files live on this machine: the program file, its
// folder, the settings folder and the user's desktop and documents folders.
// Folders end in "/". Any thread; they read the environment and the disk.
#pragma once

#include <string>

namespace qelvor {

// The program file (/proc/self/exe); empty when it cannot be read.
std::string ProgramPath();
// The folder of a path, up to and including its last "/"; the whole path
// when it has no "/" or only a leading one.
std::string FolderOf(const std::string& path);
// The folder of the program file when this user may write there and it is
// not a system folder (/usr/...), otherwise $XDG_CONFIG_HOME/qelvor/
// (default ~/.config/qelvor/). Not created here.
std::string SettingsDir(const std::string& exeDir);
// Where the capture files of the traffic store go: "sessions/" in the
// settings folder when that is the program's folder, otherwise
// $XDG_STATE_HOME/qelvor/sessions/ (default ~/.local/state/qelvor/sessions/).
std::string SessionsDir(const std::string& exeDir);
// $XDG_CONFIG_HOME/qelvor/ (default ~/.config/qelvor/), the user's own
// settings whichever program runs; empty without a home folder.
std::string UserSettingsDir();
// XDG_DESKTOP_DIR of user-dirs.dirs in the configuration folder
// ($XDG_CONFIG_HOME, default ~/.config) with $HOME expanded, else ~/Desktop
// when it exists, else empty.
std::string DesktopFolder();
// XDG_DOCUMENTS_DIR of the same list, else ~/Documents when it exists, else
// empty.
std::string DocumentsFolder();
// Where files the user saves go by default: the desktop folder, else the
// documents folder, else the settings folder; never a system folder such as
// the program's own under /usr.
std::string UserFilesFolder(const std::string& exeDir);
// Creates the folder and its parents: 0 when it exists afterwards, else the
// errno of the step that failed (EACCES for a parent this user may not write,
// ENOTDIR where a file stands in the path), never the ENOENT of a folder
// whose parent could not be made.
int CreateFolder(const std::string& folder);
// CreateFolder for callers that need no reason; true when the folder exists.
bool EnsureFolder(const std::string& folder);

}  // namespace qelvor
