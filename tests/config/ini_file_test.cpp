#include "config/ini_file.h"

#include <climits>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace qelvor {
namespace {

using namespace testing_support;
using namespace std::string_literals;

TEST(IniFile, ParseIntReadsSignedDecimalFromTheStartAndClamps) {
    // clang-format off
    const std::pair<const char*, int> cases[] = {
        {"9600", 9600}, {"-1", -1}, {"+42", 42}, {"  \t17", 17}, {"12abc", 12}, {"abc", 0},
        {"", 0}, {"- 5", 0}, {"2147483648", INT_MAX}, {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN}, {"99999999999999999999999999999", INT_MAX}};
    // clang-format on
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(CIniFile::ParseInt(text), expected) << text;
}

// Each row: one write to the user's file, and the bytes that replace "from" ("": none).
TEST(IniFile, WritingOneKeyChangesOnlyItsLineOrAddsOne) {
    const std::string hand = "; my settings\n\n[A]\nx = 1\n# note\ny=2\r\n\n[B]\nz=3";
    // clang-format off
    const struct { const char *section, *key; std::string value, from, to; } cases[] = {
        {"a", "X", "10", "x = 1\n", "x = 10\n"}, {"A", "y", "two words", "y=2\r", "y=two words\r"},
        {"A", "w", "-4", "y=2\r\n", "y=2\r\nw=-4\n"}, {"B", "v", "5", "z=3", "z=3\nv=5\n"},
        {"C", "v", "new", "z=3", "z=3\n[C]\nv=new\n"}, {"A", "x", "1", "", ""},
        {"A", "k", "one\r\n[Evil]\n\0two"s, "y=2\r\n", "y=2\r\nk=one[Evil]two\n"},
        {"A", "pad", "  Lab  ", "y=2\r\n", "y=2\r\npad=\"  Lab  \"\n"}};
    // clang-format on
    TempFolder dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        WriteFile(dir.File("a.ini"), hand);
        CIniFile ini(dir.File("a.ini"));
        ASSERT_TRUE(ini.Load() && ini.SetString(c.section, c.key, c.value) && ini.Save());
        std::string after = hand;
        if (!c.from.empty()) after.replace(after.find(c.from), c.from.size(), c.to);
        EXPECT_EQ(ReadFile(dir.File("a.ini")), after);
        CIniFile again(dir.File("a.ini"));
        ASSERT_TRUE(again.Load());
        EXPECT_EQ(again.GetString(c.section, c.key, "absent"), ini.GetString(c.section, c.key, ""));
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
    WriteFile(dir.File("a.ini"), "[S]\r\ninner=a \"b\" c\r\nWorkMode=\r\nlong=" + longValue);
    CIniFile ini(dir.File("a.ini"));
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.GetString("S", "inner", ""), "a \"b\" c");
    EXPECT_EQ(ini.GetString("S", "long", ""), std::string(16383, 'v'));
    EXPECT_EQ(ini.GetString("S", "absent", longValue).size(), 16383u);
    EXPECT_EQ(ini.GetInt("S", "WorkMode", 10), 10) << "an empty number is the key's default";
}

}  // namespace
}  // namespace qelvor
