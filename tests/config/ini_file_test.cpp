#include "config/ini_file.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <functional>

#include <gtest/gtest.h>

#include "config/app_paths.h"
#include "config/file_writer.h"
#include "support/temp_folder.h"

namespace qelvor {
namespace {

using namespace testing_support;
using namespace std::string_literals;

TEST(IniFile, ParseIntReadsSignedDecimalFromTheStartAndClamps) {
    // clang-format off
    const std::pair<const char*, int> cases[] = {
        {"9600", 9600}, {"-1", -1}, {"+42", 42}, {"  \t17", 17}, {"12abc", 12}, {"abc", 0},
        {"", 0}, {"- 5", 0}, {"0x10", 0}, {"2147483648", INT_MAX}, {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN}, {"99999999999999999999999999999", INT_MAX}};
    // clang-format on
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(CIniFile::ParseInt(text), expected) << text;
}

// Each row: one write to the file as the user wrote it, and the bytes that
// replace "from" in it (an empty "from": not a byte changes).
TEST(IniFile, WritingOneKeyChangesOnlyItsLineOrAddsOne) {
    const std::string hand = "; my settings\n\n[A]\nx = 1\n# note\ny=2\r\n\n[B]\nz=3";
    // clang-format off
    const struct { const char *section, *key; std::string value, from, to; } cases[] = {
        {"a", "X", "10", "x = 1\n", "x = 10\n"}, {"A", "y", "two words", "y=2\r", "y=two words\r"},
        {"A", "w", "-4", "y=2\r\n", "y=2\r\nw=-4\n"}, {"B", "v", "5", "z=3", "z=3\nv=5\n"},
        {"C", "v", "new", "z=3", "z=3\n[C]\nv=new\n"}, {"A", "x", "1", "", ""},
        {"A", "k", "one\r\n[Evil]\n\0two"s, "y=2\r\n", "y=2\r\nk=one[Evil]two\n"},
        {"A", "pad", "  Lab  ", "y=2\r\n", "y=2\r\npad=\"  Lab  \"\n"},
    };
    // clang-format on
    TempFolder dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        WriteFile(dir.File("a.ini"), hand);
        CIniFile ini(dir.File("a.ini"));
        ASSERT_TRUE(ini.Load());
        ASSERT_TRUE(ini.SetString(c.section, c.key, c.value));
        ASSERT_TRUE(ini.Save());
        std::string after = hand;
        if (!c.from.empty()) after.replace(after.find(c.from), c.from.size(), c.to);
        EXPECT_EQ(ReadFile(dir.File("a.ini")), after);
        CIniFile again(dir.File("a.ini"));
        ASSERT_TRUE(again.Load());
        EXPECT_EQ(again.GetString(c.section, c.key, "absent"), ini.GetString(c.section, c.key, ""));
        EXPECT_EQ(again.GetString("Evil", "two", "absent"), "absent");
    }
    CIniFile fresh(dir.File("new.ini"));
    ASSERT_TRUE(fresh.Load());
    ASSERT_TRUE(fresh.SetInt("S", "k", 1) && fresh.SetString("S", "q", "\"x\"") && fresh.Save());
    EXPECT_EQ(ReadFile(dir.File("new.ini")), "[S]\r\nk=1\r\nq=\"\"x\"\"\r\n");
    for (const char* bad : {"", "a=b", " pad", ";c"})
        EXPECT_FALSE(fresh.SetString("S", bad, "v")) << bad;
    EXPECT_FALSE(fresh.SetString("a]b", "k", "v"));
}

TEST(IniFile, ValuesAreReadWithoutQuotesAndCutToTheLimit) {
    TempFolder dir;
    const std::string longValue(20000, 'v');
    WriteFile(dir.File("a.ini"),
              "[S]\r\nq=\"quoted text\"\r\ninner=a \"b\" c\r\nWorkMode=\r\nlong=" + longValue);
    CIniFile ini(dir.File("a.ini"));
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.GetString("S", "q", ""), "quoted text");
    EXPECT_EQ(ini.GetString("S", "inner", ""), "a \"b\" c");
    EXPECT_EQ(ini.GetString("S", "long", ""), std::string(16383, 'v'));
    EXPECT_EQ(ini.GetString("S", "absent", longValue).size(), 16383u);
    EXPECT_EQ(ini.GetInt("s", "Q", -7), 0);
    EXPECT_EQ(ini.GetInt("T", "q", -7), -7);
    EXPECT_EQ(ini.GetInt("S", "WorkMode", 10), 10) << "an empty number is the key's default";
}

TEST(IniFile, UnreadableFileIsNamedWithItsReasonAndNeverOpenedWhenAPipe) {
    TempFolder dir;
    ASSERT_EQ(::mkdir(dir.File("d.ini").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo(dir.File("p.ini").c_str(), 0644), 0);  // opening it would block
    WriteFile(dir.File("r.ini"), "[S]\r\nk=1\r\n");
    ASSERT_EQ(chmod(dir.File("r.ini").c_str(), 0200), 0);
    const std::pair<std::string, std::string> cases[] = {
        {"none.ini", ""},
        {"d.ini", dir.File("d.ini") + " is a directory"},
        {"p.ini", dir.File("p.ini") + " is not a regular file"},
        {"r.ini", geteuid() == 0 ? "" : "cannot read " + dir.File("r.ini") + ": Permission denied"},
    };
    for (const auto& [name, error] : cases) {
        CIniFile ini(dir.File(name));
        EXPECT_EQ(ini.Load(), error.empty()) << name;
        EXPECT_EQ(ini.LoadError(), error);
    }
}

using namespace testing_support;
using Mode = CFileWriter::Mode;

// Each row prepares the path and names the error; none may block or write.
TEST(FileWriter, RefusesWhatIsNoRegularFileAtOnce) {
    TempFolder dir;
    const std::string path = dir.File("target");
    int reader = -1;
    const std::pair<std::function<void()>, int> cases[] = {
        {[] {}, ENOENT},  // the folder is missing: the path is made below
        {[&] { ::mkdir(path.c_str(), 0755); }, EISDIR},
        {[&] { ::mkfifo(path.c_str(), 0644); }, ENXIO},  // no reader: open would block
        {[&] {
             ::mkfifo(path.c_str(), 0644);
             reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
         },
         CFileWriter::kNotRegularFile},
        {[&] { ::symlink("/dev/null", path.c_str()); }, CFileWriter::kNotRegularFile},
    };
    bool first = true;
    for (const auto& [arrange, error] : cases) {
        std::filesystem::remove_all(path);
        arrange();
        const std::string target = first ? dir.File("missing/target") : path;
        first = false;
        EXPECT_EQ(CFileWriter::WriteFile(target, "data", Mode::Truncate), error) << error;
        EXPECT_EQ(CFileWriter::WriteFile(target, "data", Mode::Append), error) << error;
    }
    ASSERT_GE(reader, 0);
    char byte = 0;
    EXPECT_EQ(::read(reader, &byte, 1), 0) << "nothing reached the pipe";
    ::close(reader);
}

// A file-size limit makes the kernel accept only part of a write, as a full
// disk does; the writer must report it, never success. The limit is set in
// a child so that this test program keeps writing freely.
TEST(FileWriter, ShortWriteIsAnError) {
    TempFolder dir;
    const std::string path = dir.File("limited");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(CFileWriter::WriteFile(path, std::string(10000, 'x'), Mode::Truncate));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), EFBIG);
    EXPECT_EQ(ReadFile(path), std::string(4096, 'x'));
}

using namespace testing_support;

TEST(AppPaths, SettingsDirIsTheProgramFolderOnlyWhenWritable) {
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
    // Root may write every folder, so only another user sees a read-only one skipped.
    if (geteuid() != 0) {
        ASSERT_TRUE(EnsureFolder(dir.File("ro")));
        ASSERT_EQ(chmod(dir.File("ro").c_str(), 0555), 0);
        EXPECT_EQ(SettingsDir(dir.File("ro/")), dir.File("cfg/qelvor/"));
    }
    ScopedEnv relative("XDG_CONFIG_HOME", "relative/cfg");  // only an absolute path counts
    EXPECT_EQ(SettingsDir(missing), dir.File("home/.config/qelvor/"));
    ScopedEnv unset("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(SettingsDir(missing), dir.File("home/.config/qelvor/"));
}

TEST(AppPaths, DesktopFolderComesFromUserDirsElseAnExistingDesktop) {
    TempFolder dir;
    ScopedEnv home("HOME", dir.File("home"));
    ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
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
    EXPECT_FALSE(EnsureFolder(dir.File("home/.config/user-dirs.dirs/sub")) || EnsureFolder(""));
}

}  // namespace
}  // namespace qelvor
