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

struct IntCase {
    const char* text;
    int expected;
};

class IniFileParseInt : public ::testing::TestWithParam<IntCase> {};

TEST_P(IniFileParseInt, ReadsSignedDecimalFromTheStart) {
    EXPECT_EQ(CIniFile::ParseInt(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, IniFileParseInt,
    ::testing::Values(IntCase{"9600", 9600}, IntCase{"-1", -1}, IntCase{"+42", 42},
                      IntCase{"  \t17", 17}, IntCase{"12abc", 12}, IntCase{"3.9", 3},
                      IntCase{"abc", 0}, IntCase{"", 0}, IntCase{"-", 0}, IntCase{"- 5", 0},
                      IntCase{"0x10", 0}, IntCase{"2147483647", INT_MAX},
                      IntCase{"2147483648", INT_MAX}, IntCase{"-2147483648", INT_MIN},
                      IntCase{"-2147483649", INT_MIN},
                      IntCase{"99999999999999999999999999999", INT_MAX},
                      IntCase{"-99999999999999999999999999999", INT_MIN}));

TEST(IniFile, MissingFileIsEmptyAndGivesDefaults) {
    TempFolder dir;
    CIniFile ini(dir.File("none.ini"));
    EXPECT_TRUE(ini.Load());
    EXPECT_EQ(ini.GetString("S", "k", "dflt"), "dflt");
    EXPECT_EQ(ini.GetInt("S", "k", -7), -7);
    EXPECT_EQ(ini.ToText(), "");
}

TEST(IniFile, FindsSectionsAndKeysWithoutRegardToCase) {
    TempFolder dir;
    WriteFile(dir.File("a.ini"), "[ComSet]\r\nBaudRate=19200\r\nComName=ttyUSB0\r\n");
    CIniFile ini(dir.File("a.ini"));
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.GetInt("COMSET", "baudrate", 0), 19200);
    EXPECT_EQ(ini.GetString("comset", "COMNAME", ""), "ttyUSB0");
    EXPECT_EQ(ini.GetString("comset", "missing", "d"), "d");
    EXPECT_EQ(ini.GetString("Other", "BaudRate", "d"), "d");
}

TEST(IniFile, ReadsBareLfFilesAndWritesCrLf) {
    TempFolder dir;
    WriteFile(dir.File("a.ini"), "[S]\nk=1\n");
    CIniFile ini(dir.File("a.ini"));
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.GetInt("S", "k", 0), 1);
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(ReadFile(dir.File("a.ini")), "[S]\r\nk=1\r\n");
}

TEST(IniFile, WrittenKeyReplacesInPlaceOrIsAppendedToItsSection) {
    TempFolder dir;
    WriteFile(dir.File("a.ini"), "[A]\r\nx=1\r\ny=2\r\n\r\n[B]\r\nz=3\r\n");
    CIniFile ini(dir.File("a.ini"));
    ASSERT_TRUE(ini.Load());
    ASSERT_TRUE(ini.SetString("a", "X", "10"));
    ASSERT_TRUE(ini.SetInt("A", "w", -4));
    ASSERT_TRUE(ini.SetString("C", "v", "new"));
    ASSERT_TRUE(ini.Save());
    // The key keeps the spelling it had in the file; new keys and sections
    // go to the end of their section and of the file.
    EXPECT_EQ(ReadFile(dir.File("a.ini")),
              "[A]\r\nx=10\r\ny=2\r\nw=-4\r\n\r\n\r\n[B]\r\nz=3\r\n\r\n\r\n[C]\r\nv=new\r\n");
}

TEST(IniFile, ValuesCannotBreakTheLineStructure) {
    TempFolder dir;
    CIniFile ini(dir.File("a.ini"));
    ASSERT_TRUE(ini.SetString("S", "k", "one\r\n[Evil]\ntwo"));
    ASSERT_TRUE(ini.SetString("S", "next", "2"));
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(ReadFile(dir.File("a.ini")), "[S]\r\nk=one[Evil]two\r\nnext=2\r\n");
    CIniFile again(dir.File("a.ini"));
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.GetString("Evil", "two", "absent"), "absent");
    EXPECT_EQ(again.GetInt("S", "next", 0), 2);
}

TEST(IniFile, SurroundingQuotesAreDroppedAndOuterBlanksSurviveARoundTrip) {
    TempFolder dir;
    WriteFile(dir.File("a.ini"), "[S]\r\nq=\"quoted text\"\r\ninner=a \"b\" c\r\n");
    CIniFile ini(dir.File("a.ini"));
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.GetString("S", "q", ""), "quoted text");
    EXPECT_EQ(ini.GetString("S", "inner", ""), "a \"b\" c");
    ASSERT_TRUE(ini.SetString("S", "pad", "  Lab  "));
    ASSERT_TRUE(ini.Save());
    CIniFile again(dir.File("a.ini"));
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.GetString("S", "pad", ""), "  Lab  ");
}

TEST(IniFile, LongValuesAreCutOnReading) {
    TempFolder dir;
    const std::string longValue(20000, 'v');
    WriteFile(dir.File("a.ini"), "[S]\r\nk=" + longValue + "\r\n");
    CIniFile ini(dir.File("a.ini"));
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.GetString("S", "k", ""), std::string(CIniFile::kMaxValueLength, 'v'));
    EXPECT_EQ(ini.GetString("S", "absent", longValue).size(), CIniFile::kMaxValueLength);
    // Only reading is cut: the file keeps the whole value when rewritten.
    ASSERT_TRUE(ini.SetString("S", "other", "1"));
    ASSERT_TRUE(ini.Save());
    EXPECT_NE(ReadFile(dir.File("a.ini")).find("k=" + longValue + "\r\n"), std::string::npos);
}

TEST(IniFile, UnreadableFileRefusesToBeReplaced) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    TempFolder dir;
    const std::string path = dir.File("a.ini");
    WriteFile(path, "[S]\r\nk=1\r\n");
    ASSERT_EQ(chmod(path.c_str(), 0200), 0);
    CIniFile ini(path);
    EXPECT_FALSE(ini.Load());
}

}  // namespace
}  // namespace qelvor
