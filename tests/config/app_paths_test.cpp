#include "config/app_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace qelvor {
namespace {

using testing_support::ScopedEnv;
using testing_support::TempFolder;
using testing_support::WriteFile;

TEST(AppPaths, FolderOfKeepsTheLastSlash) {
    EXPECT_EQ(FolderOf("/opt/qelvor/bin/qelvor"), "/opt/qelvor/bin/");
    EXPECT_EQ(FolderOf("/opt/qelvor/"), "/opt/qelvor/");
    EXPECT_EQ(FolderOf("qelvor"), "qelvor");
    EXPECT_EQ(FolderOf("/qelvor"), "/qelvor");
    EXPECT_EQ(FolderOf(""), "");
}

TEST(AppPaths, SettingsDirIsProgramFolderWhenWritable) {
    TempFolder dir;
    EXPECT_EQ(SettingsDir(dir.Path()), dir.Path());
    const std::string noSlash = dir.Path().substr(0, dir.Path().size() - 1);
    EXPECT_EQ(SettingsDir(noSlash), dir.Path());
}

TEST(AppPaths, SettingsDirFallsBackToConfigHome) {
    TempFolder dir;
    const std::string missing = dir.File("no-such-folder/");
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", dir.File("cfg"));
        EXPECT_EQ(SettingsDir(missing), dir.File("cfg/qelvor/"));
        // The folder is made by the first write, not by asking for it.
        EXPECT_FALSE(std::filesystem::exists(dir.File("cfg")));
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
        ScopedEnv home("HOME", dir.File("home"));
        EXPECT_EQ(SettingsDir(missing), dir.File("home/.config/qelvor/"));
    }
    {
        ScopedEnv relative("XDG_CONFIG_HOME", "relative/cfg");
        ScopedEnv home("HOME", dir.File("home"));
        EXPECT_EQ(SettingsDir(missing), dir.File("home/.config/qelvor/"));
    }
}

TEST(AppPaths, SettingsDirSkipsAReadOnlyProgramFolder) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write every folder";
    TempFolder dir;
    ASSERT_TRUE(EnsureFolder(dir.File("ro")));
    ASSERT_EQ(chmod(dir.File("ro").c_str(), 0555), 0);
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.File("cfg"));
    EXPECT_EQ(SettingsDir(dir.File("ro/")), dir.File("cfg/qelvor/"));
    chmod(dir.File("ro").c_str(), 0755);
}

TEST(AppPaths, DesktopFolderComesFromUserDirs) {
    TempFolder dir;
    ScopedEnv home("HOME", dir.File("home"));
    ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
    ASSERT_TRUE(EnsureFolder(dir.File("home/.config")));
    ASSERT_TRUE(EnsureFolder(dir.File("home/Desktop")));
    WriteFile(dir.File("home/.config/user-dirs.dirs"),
              "# written by xdg-user-dirs-update\n"
              "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
              "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    EXPECT_EQ(DesktopFolder(), dir.File("home/Schreibtisch/"));

    WriteFile(dir.File("home/.config/user-dirs.dirs"), "XDG_DESKTOP_DIR=\"/srv/desk/\"\n");
    EXPECT_EQ(DesktopFolder(), "/srv/desk/");
}

TEST(AppPaths, DesktopFolderFallsBackToExistingDesktop) {
    TempFolder dir;
    ScopedEnv home("HOME", dir.File("home"));
    ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
    ASSERT_TRUE(EnsureFolder(dir.File("home")));
    EXPECT_EQ(DesktopFolder(), "");
    ASSERT_TRUE(EnsureFolder(dir.File("home/Desktop")));
    EXPECT_EQ(DesktopFolder(), dir.File("home/Desktop/"));
}

TEST(AppPaths, EnsureFolderMakesParents) {
    TempFolder dir;
    EXPECT_TRUE(EnsureFolder(dir.File("a/b/c/")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("a/b/c")));
    EXPECT_TRUE(EnsureFolder(dir.File("a/b/c")));
    WriteFile(dir.File("plain"), "x");
    EXPECT_FALSE(EnsureFolder(dir.File("plain/sub")));
    EXPECT_FALSE(EnsureFolder(""));
}

}  // namespace
}  // namespace qelvor
