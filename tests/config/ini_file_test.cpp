#include "config/ini_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace qelvor {
namespace {

using testing_support::ReadFile;
using testing_support::TempFolder;
using testing_support::WriteFile;

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

TEST(IniFile, FindsWithoutRegardToCaseReplacesInPlaceAndAppendsAtTheEnd) {
    TempFolder dir;
    CIniFile missing(dir.File("none.ini"));
    EXPECT_TRUE(missing.Load());
    EXPECT_EQ(missing.GetInt("S", "k", -7), -7);

    WriteFile(dir.File("a.ini"), "[A]\nx=1\ny=2\n\n[B]\nz=3\n");  // bare LF is read too
    CIniFile ini(dir.File("a.ini"));
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.GetInt("a", "X", 0), 1);
    EXPECT_EQ(ini.GetString("B", "x", "d"), "d");
    ASSERT_TRUE(ini.SetString("a", "X", "10"));
    ASSERT_TRUE(ini.SetInt("A", "w", -4));
    ASSERT_TRUE(ini.SetString("C", "v", "new"));
    ASSERT_TRUE(ini.Save());
    // The key keeps its spelling in the file; new keys and sections go to the end.
    EXPECT_EQ(ReadFile(dir.File("a.ini")),
              "[A]\r\nx=10\r\ny=2\r\nw=-4\r\n\r\n\r\n[B]\r\nz=3\r\n\r\n\r\n[C]\r\nv=new\r\n");
}

TEST(IniFile, ValuesKeepTheLineStructureQuotesOuterBlanksAndAreCutOnReadingOnly) {
    TempFolder dir;
    const std::string longValue(20000, 'v');
    WriteFile(dir.File("a.ini"),
              "[S]\r\nq=\"quoted text\"\r\ninner=a \"b\" c\r\nlong=" + longValue);
    CIniFile ini(dir.File("a.ini"));
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.GetString("S", "q", ""), "quoted text");
    EXPECT_EQ(ini.GetString("S", "inner", ""), "a \"b\" c");
    EXPECT_EQ(ini.GetString("S", "long", ""), std::string(16383, 'v'));
    EXPECT_EQ(ini.GetString("S", "absent", longValue).size(), 16383u);
    ASSERT_TRUE(ini.SetString("S", "k", "one\r\n[Evil]\ntwo"));
    ASSERT_TRUE(ini.SetString("S", "pad", "  Lab  "));
    ASSERT_TRUE(ini.Save());
    const std::string text = ReadFile(dir.File("a.ini"));
    EXPECT_NE(text.find("\r\nk=one[Evil]two\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nlong=" + longValue + "\r\n"), std::string::npos);
    CIniFile again(dir.File("a.ini"));
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.GetString("Evil", "two", "absent"), "absent");
    EXPECT_EQ(again.GetString("S", "pad", ""), "  Lab  ");
}

TEST(IniFile, UnreadableFileRefusesToBeReplaced) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    TempFolder dir;
    WriteFile(dir.File("a.ini"), "[S]\r\nk=1\r\n");
    ASSERT_EQ(chmod(dir.File("a.ini").c_str(), 0200), 0);
    CIniFile ini(dir.File("a.ini"));
    EXPECT_FALSE(ini.Load());
}

}  // namespace
}  // namespace qelvor
