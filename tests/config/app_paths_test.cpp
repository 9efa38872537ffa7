#include "config/app_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace qelvor {
namespace {

using namespace testing_support;

TEST(AppPaths, SettingsAndDesktopFoldersAndTheReasonAFolderCannotBeMade) {
    TempFolder dir;
    EXPECT_EQ(SettingsDir(dir.Path().substr(0, dir.Path().size() - 1)), dir.Path());
    const std::string missing = dir.File("no-such-folder/");
    ScopedEnv home("HOME", dir.File("home"));
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.File("cfg"));
    EXPECT_EQ(SettingsDir(missing), dir.File("cfg/qelvor/"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("cfg")));  // made by the first write
    // An installed program keeps its settings per user, even when root runs it.
    for (const char* system : {"/usr/bin", "/usr/local/bin/", "/bin/"})
        EXPECT_EQ(SettingsDir(system), dir.File("cfg/qelvor/")) << system;
    ScopedEnv relative("XDG_CONFIG_HOME", "relative/cfg");  // only an absolute path counts
    EXPECT_EQ(SettingsDir(missing), dir.File("home/.config/qelvor/"));
    ScopedEnv unset("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(SettingsDir(missing), dir.File("home/.config/qelvor/"));
    // The desktop folder comes from the user's folder list, else an existing Desktop.
    ASSERT_TRUE(EnsureFolder(dir.File("home/.config/")));  // parents included
    EXPECT_EQ(DesktopFolder(), "");
    ASSERT_TRUE(EnsureFolder(dir.File("home/Desktop")));
    EXPECT_EQ(DesktopFolder(), dir.File("home/Desktop/"));
    WriteFile(dir.File("home/.config/user-dirs.dirs"),
              "# written by xdg-user-dirs-update\nXDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
              "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    EXPECT_EQ(DesktopFolder(), dir.File("home/Schreibtisch/"));
    WriteFile(dir.File("home/.config/user-dirs.dirs"), "XDG_DESKTOP_DIR=\"/srv/desk/\"\n");
    EXPECT_EQ(DesktopFolder(), "/srv/desk/");
    // Saves go to the desktop, else the documents folder, else the settings folder, never
    // below /usr, not even when the user's list names it.
    EXPECT_EQ(UserFilesFolder("/usr/bin/"), "/srv/desk/");
    WriteFile(dir.File("home/.config/user-dirs.dirs"),
              "XDG_DESKTOP_DIR=\"/usr/share\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    EXPECT_EQ(DocumentsFolder(), dir.File("home/Dokumente/"));
    EXPECT_EQ(UserFilesFolder("/usr/bin/"), dir.File("home/Dokumente/"));
    WriteFile(dir.File("home/.config/user-dirs.dirs"), "XDG_DESKTOP_DIR=\"/usr/share\"\n");
    EXPECT_EQ(UserFilesFolder("/usr/bin/"), dir.File("home/.config/qelvor/"));
    ASSERT_TRUE(EnsureFolder(dir.File("home/Documents")));
    EXPECT_EQ(UserFilesFolder("/usr/bin/"), dir.File("home/Documents/"));
    EXPECT_FALSE(EnsureFolder(dir.File("home/.config/user-dirs.dirs/sub")) || EnsureFolder(""));
    // A folder that cannot be made names the step that failed, not the missing parent of the
    // folders below it. Root may write every folder: only another user is refused one, and
    // sees a read-only program folder skipped for the settings.
    WriteFile(dir.File("file"), "x");
    EXPECT_EQ(CreateFolder(dir.File("a/b/LogData/")), 0);
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("a/b/LogData")));
    EXPECT_EQ(CreateFolder(dir.File("a/b/LogData")), 0) << "one that exists";
    for (const char* below : {"file/LogData/", "file/x/LogData/", "file/"})
        EXPECT_EQ(CreateFolder(dir.File(below)), ENOTDIR) << below;
    EXPECT_EQ(CreateFolder(dir.File(std::string(300, 'n') + "/LogData/")), ENAMETOOLONG);
    if (geteuid() == 0) return;
    ASSERT_EQ(chmod(dir.File("a").c_str(), 0555), 0);
    EXPECT_EQ(CreateFolder(dir.File("a/cfg/qelvor/LogData/")), EACCES);
    EXPECT_FALSE(std::filesystem::exists(dir.File("a/cfg")));
    EXPECT_EQ(SettingsDir(dir.File("a/")), dir.File("home/.config/qelvor/"));
}

}  // namespace
}  // namespace qelvor
