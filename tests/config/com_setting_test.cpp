#include "config/com_setting.h"

#include <gtest/gtest.h>

#include "config/app_paths.h"
#include "support/temp_folder.h"

namespace qelvor {
namespace {

using testing_support::ReadFile;
using testing_support::TempFolder;
using testing_support::WriteFile;

const char kDefaultSetBody[] =
    "[ComSet]\r\n"
    "UsedUILangCode=0\r\n"
    "ComPort=1\r\n"
    "ComName=\r\n"
    "BaudRate=9600\r\n"
    "ByteSize=8\r\n"
    "StopBit=0\r\n"
    "Parity=0\r\n"
    "FlowCtrl=0\r\n"
    "WorkMode=10\r\n"
    "HandShake=0\r\n"
    "ShowDataMask=1\r\n"
    "ShowDataFmt=1\r\n"
    "CheckSum=0\r\n"
    "SendFileFMT=0\r\n"
    "SupportStress=0\r\n"
    "NoSendFileBOM=0\r\n"
    "AutoSaveLog=0\r\n"
    "BackupLogTimeCount=120\r\n"
    "SaveDatatoDesktop=1\r\n"
    "SaveEventTimetoFmtFile=0\r\n"
    "HexSendData=0\r\n"
    "UsedCheckSum=0\r\n"
    "UsedResponseFile=0\r\n"
    "SendAfterLoadFile=0\r\n"
    "TitleShowPortType=1\r\n"
    "SenDataEncodeCov=0\r\n"
    "AutoRestart=1\r\n"
    "AutoSendElapse=20\r\n"
    "SvrIPAddr=127.0.0.1\r\n"
    "IPPort=9000\r\n"
    "UDPLocalPort=9000\r\n"
    "UDPRemotePort=-1\r\n"
    "SplitStrs=<CR><LF>,<ENQ>,<ACK>,<NAK>,<ETX>,<ETB>,<EOT><SOH>,<EOT>\r\n"
    "RespondStrs=<ACK>,<ACK>,[DATA],[RDATA],<ACK>,<ACK>,<ACK>\r\n"
    "Preamble=\r\n"
    "Postamble=\r\n"
    "InterframeDelay=100\r\n"
    "Replace_Old=0\r\n"
    "Replace_New=0\r\n"
    "LButtonDblClkSend=0\r\n"
    "ShowDataListWnd=1\r\n"
    "ScrollRSWnd=0\r\n";

TEST(ComSetting, WithoutFileEverySettingTakesItsDefault) {
    TempFolder dir;
    CComSetting s(dir.File("q.ini"));
    EXPECT_EQ(s.IniPath, dir.File("q.ini"));
    EXPECT_EQ(s.SetNames, std::set<std::string>{"ComSet"});
    EXPECT_EQ(s.GetCurrentSet(), "ComSet");
    EXPECT_EQ(s.ComPort, 1);
    EXPECT_EQ(s.BaudRate, 9600);
    EXPECT_EQ(s.WorkMode, kWorkModeSerial);
    EXPECT_EQ(s.BackupLogTimeCount, 120);
    EXPECT_EQ(s.SvrIPAddr, "127.0.0.1");
    EXPECT_EQ(s.UDPRemotePort, -1);
    EXPECT_EQ(s.InterframeDelay, 100);
    EXPECT_EQ(s.ShowDataListWnd, 1);
    EXPECT_EQ(s.AutoSendElapse, 20);
    // Reading alone never creates the file.
    EXPECT_EQ(ReadFile(dir.File("q.ini")), "");
    EXPECT_FALSE(std::filesystem::exists(dir.File("q.ini")));
}

TEST(ComSetting, SaveOnEmptyFolderWritesListAndAllKeysInOrder) {
    TempFolder dir;
    CComSetting s(dir.File("q.ini"));
    EXPECT_EQ(s.Save(""), 1);
    EXPECT_EQ(ReadFile(dir.File("q.ini")),
              std::string("[Public]\r\nSetList=ComSet\r\n\r\n\r\n") + kDefaultSetBody);
}

TEST(ComSetting, SaveIntoNamedSetAddsSectionAtEnd) {
    TempFolder dir;
    CComSetting s(dir.File("q.ini"));
    s.Save("");
    s.SetNames.insert("Lab");
    s.BaudRate = 115200;
    s.Replace_New = 200;
    EXPECT_EQ(s.Save("Lab"), 1);
    const std::string text = ReadFile(dir.File("q.ini"));
    EXPECT_EQ(text.find("[Public]\r\nSetList=ComSet,Lab\r\n"), 0u);
    const size_t lab = text.find("\r\n[Lab]\r\n");
    ASSERT_NE(lab, std::string::npos);
    EXPECT_GT(lab, text.find("[ComSet]"));
    EXPECT_NE(text.find("BaudRate=115200\r\n", lab), std::string::npos);
    EXPECT_NE(text.find("Replace_New=200\r\n", lab), std::string::npos);
    // The default set keeps what it had.
    EXPECT_LT(text.find("BaudRate=9600\r\n"), lab);
}

TEST(ComSetting, SetListIsSortedWithoutDuplicatesOrEmptyNames) {
    TempFolder dir;
    WriteFile(dir.File("q.ini"), "[Public]\r\nSetList=b,,a,ComSet,a\r\n");
    CComSetting s(dir.File("q.ini"));
    EXPECT_EQ(s.SetNames, (std::set<std::string>{"ComSet", "a", "b"}));
    EXPECT_EQ(s.SaveSetList(), 1);
    EXPECT_EQ(s.ReadProfileString("Public", "SetList", ""), "ComSet,a,b");
    // Upper case sorts before lower case, byte by byte.
    s.SetNames.insert("Zeta");
    s.SetNames.insert("");
    s.SaveSetList();
    EXPECT_EQ(s.ReadProfileString("Public", "SetList", ""), "ComSet,Zeta,a,b");
}

TEST(ComSetting, ListWithoutNamesIsWrittenEmpty) {
    TempFolder dir;
    CComSetting s(dir.File("q.ini"));
    s.SetNames.clear();
    s.SaveSetList();
    EXPECT_EQ(ReadFile(dir.File("q.ini")), "[Public]\r\nSetList=\r\n");
}

TEST(ComSetting, SecondInitKeepsTheNamesOfTheFirstFile) {
    TempFolder dir;
    WriteFile(dir.File("one.ini"), "[Public]\r\nSetList=ComSet,First\r\n");
    WriteFile(dir.File("two.ini"), "[Public]\r\nSetList=Second\r\n");
    CComSetting s(dir.File("one.ini"));
    EXPECT_EQ(s.Init(dir.File("two.ini")), 1);
    EXPECT_EQ(s.IniPath, dir.File("two.ini"));
    EXPECT_EQ(s.SetNames, (std::set<std::string>{"ComSet", "First", "Second"}));
}

struct LoadRuleCase {
    const char* line;
    const char* key;
    int loaded;
    const char* written;
};

class ComSettingLoadRule : public ::testing::TestWithParam<LoadRuleCase> {};

int FieldOf(const CComSetting& s, const std::string& key) {
    if (key == "WorkMode") return s.WorkMode;
    if (key == "BackupLogTimeCount") return s.BackupLogTimeCount;
    if (key == "InterframeDelay") return s.InterframeDelay;
    if (key == "Replace_Old") return s.Replace_Old;
    if (key == "Replace_New") return s.Replace_New;
    if (key == "UDPRemotePort") return s.UDPRemotePort;
    if (key == "ComPort") return s.ComPort;
    ADD_FAILURE() << "no field for " << key;
    return 0;
}

TEST_P(ComSettingLoadRule, LoadsAndWritesBackTheRuledValue) {
    const LoadRuleCase& c = GetParam();
    TempFolder dir;
    WriteFile(dir.File("q.ini"), std::string("[ComSet]\r\n") + c.line + "\r\n");
    CComSetting s(dir.File("q.ini"));
    EXPECT_EQ(FieldOf(s, c.key), c.loaded) << c.line;
    s.Save("");
    EXPECT_EQ(s.ReadProfileString("ComSet", c.key, "absent"), c.written) << c.line;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ComSettingLoadRule,
    ::testing::Values(LoadRuleCase{"WorkMode=5", "WorkMode", 10, "10"},
                      LoadRuleCase{"WorkMode=-1", "WorkMode", 10, "10"},
                      LoadRuleCase{"WorkMode=2", "WorkMode", 2, "2"},
                      LoadRuleCase{"WorkMode=0", "WorkMode", 0, "0"},
                      LoadRuleCase{"WorkMode=junk", "WorkMode", 0, "0"},
                      LoadRuleCase{"BackupLogTimeCount=3", "BackupLogTimeCount", 10, "10"},
                      LoadRuleCase{"BackupLogTimeCount=0", "BackupLogTimeCount", 10, "10"},
                      LoadRuleCase{"BackupLogTimeCount=600", "BackupLogTimeCount", 600, "600"},
                      LoadRuleCase{"InterframeDelay=20000", "InterframeDelay", 10000, "10000"},
                      LoadRuleCase{"InterframeDelay=-5", "InterframeDelay", 0, "0"},
                      LoadRuleCase{"Replace_Old=300", "Replace_Old", 44, "44"},
                      LoadRuleCase{"Replace_Old=-1", "Replace_Old", 255, "255"},
                      LoadRuleCase{"Replace_New=200", "Replace_New", 200, "200"},
                      LoadRuleCase{"ComPort=99", "ComPort", 99, "99"},
                      LoadRuleCase{"ComPort=4000000000", "ComPort", 2147483647, "2147483647"},
                      LoadRuleCase{"Other=1", "UDPRemotePort", -1, "-1"}));

TEST(ComSetting, SaveClampsInterframeDelaySetInTheRecord) {
    TempFolder dir;
    CComSetting s(dir.File("q.ini"));
    s.InterframeDelay = 50000;
    s.Save("");
    EXPECT_EQ(s.InterframeDelay, 10000);
    EXPECT_EQ(s.ReadProfileInt("ComSet", "InterframeDelay", 0), 10000);
}

TEST(ComSetting, LoadReadsTheCurrentSetAndLeavesPathsAndNames) {
    TempFolder dir;
    WriteFile(dir.File("q.ini"),
              "[Public]\r\nCurrentSet=Lab\r\nSetList=ComSet,Lab\r\n"
              "[ComSet]\r\nBaudRate=1200\r\n[lab]\r\nBaudRate=57600\r\nComName=\"/dev/pts/3\"\r\n");
    CComSetting s(dir.File("q.ini"));
    EXPECT_EQ(s.GetCurrentSet(), "Lab");
    EXPECT_EQ(s.BaudRate, 57600);
    EXPECT_EQ(s.ComName, "/dev/pts/3");
    const std::string desktop = s.DesktopDir;
    s.SetNames.insert("Extra");
    EXPECT_EQ(s.Load("ComSet"), 1);
    EXPECT_EQ(s.BaudRate, 1200);
    EXPECT_EQ(s.ComName, "");
    EXPECT_EQ(s.IniPath, dir.File("q.ini"));
    EXPECT_EQ(s.DesktopDir, desktop);
    EXPECT_EQ(s.SetNames.count("Extra"), 1u);
    // A set without a section loads the defaults.
    s.Load("Nowhere");
    EXPECT_EQ(s.BaudRate, 9600);
}

TEST(ComSetting, SaveWithEmptyNameFollowsTheCurrentSetInTheFile) {
    TempFolder dir;
    CComSetting s(dir.File("q.ini"));
    ASSERT_EQ(s.SetCurrentSet("Lab"), 1);
    s.Parity = 2;
    s.Save("");
    EXPECT_EQ(s.ReadProfileInt("Lab", "Parity", -1), 2);
    EXPECT_EQ(s.ReadProfileInt("ComSet", "Parity", -1), -1);
}

TEST(ComSetting, CurrentSetIsTrimmedAndFallsBackToComSet) {
    TempFolder dir;
    CComSetting s(dir.File("q.ini"));
    WriteFile(dir.File("q.ini"), "[Public]\r\nCurrentSet=\r\n");
    EXPECT_EQ(s.GetCurrentSet(), "ComSet");
    WriteFile(dir.File("q.ini"), "[Public]\r\nCurrentSet=\"   \"\r\n");
    EXPECT_EQ(s.GetCurrentSet(), "ComSet");
    s.SetCurrentSet("  Lab 2\t");
    EXPECT_EQ(s.ReadProfileString("Public", "CurrentSet", ""), "  Lab 2\t");
    EXPECT_EQ(s.GetCurrentSet(), "Lab 2");
}

TEST(ComSetting, SecondReaderSeesEveryWriteAtOnce) {
    TempFolder dir;
    CComSetting writer(dir.File("q.ini"));
    CComSetting reader(dir.File("q.ini"));
    EXPECT_EQ(writer.WriteProfileInt("ComSet", "ShowDataMask", 2), 1);
    EXPECT_EQ(reader.ReadProfileInt("comset", "showdatamask", 0), 2);
    EXPECT_EQ(writer.WriteProfileString("ComSet", "LoadFile", "/tmp/a b.txt"), 1);
    EXPECT_EQ(reader.ReadProfileString("COMSET", "LoadFile", ""), "/tmp/a b.txt");
    writer.ScrollRSWnd = 1;
    writer.Save("");
    reader.Load("");
    EXPECT_EQ(reader.ScrollRSWnd, 1);
    EXPECT_EQ(reader.ShowDataMask, 1);  // Save wrote the writer's own record back.
    // A key written again stays where it was, and keys of other Parts survive a Save.
    const std::string text = ReadFile(dir.File("q.ini"));
    EXPECT_NE(text.find("ShowDataMask=1\r\nLoadFile=/tmp/a b.txt\r\nUsedUILangCode=0\r\n"),
              std::string::npos);
}

TEST(ComSetting, WriteIntoMissingFolderIsSilent) {
    TempFolder dir;
    CComSetting s(dir.File("gone/q.ini"));
    EXPECT_EQ(s.WriteProfileInt("ComSet", "BaudRate", 1), 0);
    EXPECT_EQ(s.Save(""), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.File("gone")));
}

TEST(ComSetting, FirstWriteMakesTheSettingsFolderUnderConfigHome) {
    TempFolder dir;
    testing_support::ScopedEnv xdg("XDG_CONFIG_HOME", dir.File("cfg"));
    CComSetting s(dir.File("q.ini"));
    // A program folder that cannot take the file sends it to the config home.
    s.ExeDir = dir.File("program-folder-missing/");
    s.IniPath = SettingsDir(s.ExeDir) + "q.ini";
    ASSERT_EQ(s.IniPath, dir.File("cfg/qelvor/q.ini"));
    EXPECT_EQ(s.WriteProfileInt("ComSet", "BaudRate", 4800), 1);
    EXPECT_EQ(ReadFile(s.IniPath), "[ComSet]\r\nBaudRate=4800\r\n");
}

TEST(ComSetting, LongStringValueIsCutTo16383) {
    TempFolder dir;
    WriteFile(dir.File("q.ini"), "[ComSet]\r\nSplitStrs=" + std::string(20000, 'x') + "\r\n");
    CComSetting s(dir.File("q.ini"));
    EXPECT_EQ(s.SplitStrs, std::string(16383, 'x'));
}

TEST(ComSetting, DeleteSetRemovesEverySectionOfThatNameAndTrimsTheRest) {
    TempFolder dir;
    WriteFile(dir.File("q.ini"),
              "[Public]\r\nSetList=ComSet,Lab,Other\r\n"
              "  [lab]  \r\nBaudRate=1\r\n"
              "[Other]\r\n\tBaudRate = 2  \r\n; kept note\r\nParity=1\r\n"
              "[LAB]\r\nParity=3\r\n");
    CComSetting s(dir.File("q.ini"));
    ASSERT_EQ(s.SetNames, (std::set<std::string>{"ComSet", "Lab", "Other"}));
    EXPECT_EQ(s.DeleteSet("Lab"), 1);
    EXPECT_EQ(s.SetNames, (std::set<std::string>{"ComSet", "Other"}));
    EXPECT_EQ(ReadFile(dir.File("q.ini")),
              "[Public]\r\nSetList=ComSet,Other\r\n\r\n\r\n"
              "[Other]\r\nBaudRate=2\r\n\r\n; kept note\r\nParity=1\r\n");
    EXPECT_EQ(s.ReadProfileInt("Lab", "BaudRate", -1), -1);
    EXPECT_EQ(s.ReadProfileInt("Other", "Parity", -1), 1);
}

TEST(ComSetting, DeleteSetWithoutFileChangesNothing) {
    TempFolder dir;
    CComSetting s(dir.File("q.ini"));
    s.SetNames.insert("Lab");
    EXPECT_EQ(s.DeleteSet("Lab"), 0);
    EXPECT_EQ(s.SetNames.count("Lab"), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir.File("q.ini")));
}

TEST(ComSetting, IniPathForms) {
    TempFolder dir;
    CComSetting byPath(dir.File("a.ini"));
    ASSERT_FALSE(byPath.ExePath.empty());
    EXPECT_EQ(byPath.ExeDir, FolderOf(byPath.ExePath));
    EXPECT_EQ(byPath.ExeDir.back(), '/');
    EXPECT_EQ(byPath.DesktopDir.back(), '/');
    EXPECT_EQ(byPath.IniPath, dir.File("a.ini"));

    const std::string settingsDir = SettingsDir(byPath.ExeDir);
    const std::string program = byPath.ExePath.substr(byPath.ExeDir.size());
    CComSetting byName(byPath);
    byName.Init("my.ini");
    EXPECT_EQ(byName.IniPath, settingsDir + "my.ini");
    byName.Init("");
    EXPECT_EQ(byName.IniPath, settingsDir + program + ".ini");
    EXPECT_EQ(program, "config_tests");
}

struct DescribeCase {
    int workMode;
    int comPort;
    const char* comName;
    const char* expected;
};

class ComSettingDescribePort : public ::testing::TestWithParam<DescribeCase> {};

TEST_P(ComSettingDescribePort, NamesThePortOfTheWorkMode) {
    TempFolder dir;
    CComSetting s(dir.File("q.ini"));
    s.WorkMode = GetParam().workMode;
    s.ComPort = GetParam().comPort;
    s.ComName = GetParam().comName;
    s.SvrIPAddr = "10.0.0.5";
    s.IPPort = 4000;
    s.UDPRemotePort = 4001;
    s.UDPLocalPort = 4002;
    EXPECT_EQ(s.DescribePort(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Modes, ComSettingDescribePort,
                         ::testing::Values(DescribeCase{0, 3, "x", "TCP-Server(Port=4000)"},
                                           DescribeCase{1, 3, "x", "TCP-Client(10.0.0.5:4000)"},
                                           DescribeCase{2, 3, "x", "UDP(10.0.0.5:4001,L:4002)"},
                                           DescribeCase{10, 3, "ttyUSB0", "SerialPort:COM3"},
                                           DescribeCase{10, 0, "ttyUSB0", "SerialPort:ttyUSB0"},
                                           DescribeCase{10, 0, "%s%n", "SerialPort:%s%n"},
                                           DescribeCase{10, 0, "", "SerialPort:COM0"},
                                           DescribeCase{5, 3, "x", ""}));

TEST(ComSetting, SplitKeepsEmptyPieces) {
    std::vector<std::string> pieces{"stale"};
    EXPECT_EQ(CComSetting::Split("", ',', pieces), 0);
    EXPECT_TRUE(pieces.empty());
    EXPECT_EQ(CComSetting::Split("abc", ',', pieces), 1);
    EXPECT_EQ(pieces, std::vector<std::string>{"abc"});
    EXPECT_EQ(CComSetting::Split("a,,b,", ',', pieces), 4);
    EXPECT_EQ(pieces, (std::vector<std::string>{"a", "", "b", ""}));
    EXPECT_EQ(CComSetting::Split(",", ',', pieces), 2);
    EXPECT_EQ(pieces, (std::vector<std::string>{"", ""}));
}

}  // namespace
}  // namespace qelvor
