#include "config/theme_choice.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace qelvor {
namespace {

using namespace testing_support;

// The theme's line is written among Qt's lines and read back; a folder that cannot be made
// fails the write.
TEST(ThemeChoice, OneLineOfTheUsersFileIsWrittenAndReadBack) {
    TempFolder dir;
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.File("cfg"));
    const std::string file = dir.File("cfg/qelvor/qelvor.conf");
    EXPECT_EQ(CThemeChoice::FilePath(), file);
    EXPECT_EQ(CThemeChoice::Stored(), "");
    ASSERT_TRUE(CThemeChoice::Store("dark"));  // the folder is made
    EXPECT_EQ(ReadFile(file), "[General]\r\nTheme=dark\r\n");
    WriteFile(file, "[General]\nTheme=light\nWindow=1\n\n[Other]\nTheme=x\n");
    EXPECT_EQ(CThemeChoice::Stored(), "light");
    ASSERT_TRUE(CThemeChoice::Store("system"));
    EXPECT_EQ(ReadFile(file), "[General]\nTheme=system\nWindow=1\n\n[Other]\nTheme=x\n");
    // Root too fails where a regular file stands for the folder.
    WriteFile(dir.File("plain"), "x");
    ScopedEnv blocked("XDG_CONFIG_HOME", dir.File("plain"));
    EXPECT_FALSE(CThemeChoice::Store("dark"));
    EXPECT_EQ(CThemeChoice::Stored(), "");
}

}  // namespace
}  // namespace qelvor
