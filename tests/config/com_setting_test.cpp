#include "config/com_setting.h"

#include <climits>
#include <cstring>

#include <gtest/gtest.h>

#include "config/app_paths.h"
#include "support/temp_folder.h"

namespace qelvor {
namespace {

using namespace testing_support;
using Names = std::set<std::string>;

class ComSetting : public ::testing::Test {
  protected:
    TempFolder dir;
    const std::string ini = dir.File("q.ini");
};

// The 62 keys of a settings set with their defaults, in table order: the
// names are the file format other copies of the program read.
const char kDefaultSetBody[] =
    "[ComSet]\r\nUsedUILangCode=0\r\nComPort=1\r\nComName=\r\nBaudRate=9600\r\nByteSize=8\r\n"
    "StopBit=0\r\nParity=0\r\nFlowCtrl=0\r\nDtrOnOpen=1\r\nRtsOnOpen=1\r\nWorkMode=10\r\n"
    "HandShake=0\r\nShowDataMask=1\r\n"
    "ShowDataFmt=1\r\nCheckSum=0\r\nSendFileFMT=0\r\nSupportStress=0\r\nNoSendFileBOM=0\r\n"
    "AutoSaveLog=0\r\nBackupLogTimeCount=120\r\nSaveDatatoDesktop=1\r\nSaveEventTimetoFmtFile=0\r\n"
    "HexSendData=0\r\nUsedCheckSum=0\r\nUsedResponseFile=0\r\nSendAfterLoadFile=0\r\n"
    "TitleShowPortType=1\r\nSenDataEncodeCov=0\r\nAutoRestart=1\r\nAutoReconnect=0\r\n"
    "AutoSendElapse=20\r\n"
    "SvrIPAddr=127.0.0.1\r\nIPPort=9000\r\nUDPLocalPort=9000\r\nUDPRemotePort=-1\r\n"
    "SplitStrs=<CR><LF>,<ENQ>,<ACK>,<NAK>,<ETX>,<ETB>,<EOT><SOH>,<EOT>\r\n"
    "RespondStrs=<ACK>,<ACK>,[DATA],[RDATA],<ACK>,<ACK>,<ACK>\r\nPreamble=\r\nPostamble=\r\n"
    "InterframeDelay=100\r\nReplace_Old=0\r\nReplace_New=0\r\nLButtonDblClkSend=0\r\n"
    "ShowDataListWnd=1\r\nScrollRSWnd=0\r\nHighlight1=\r\nHighlight2=\r\nHighlight3=\r\n"
    "Highlight4=\r\nHighlight5=\r\nHighlight6=\r\nHighlight7=\r\nHighlight8=\r\n"
    "ProtocolMode=0\r\nAstmRole=0\r\n"
    "AstmReplyTimeoutMs=15000\r\nAstmIdleTimeoutMs=30000\r\nAstmEnqRetryMs=10000\r\n"
    "EchoFree=0\r\nShowCheckColumn=0\r\nShowGapColumn=0\r\nGapScope=0\r\n";

TEST_F(ComSetting, SaveOnEmptyFolderWritesListAndAllKeysInTableOrder) {
    CComSetting s = CComSetting::Loaded(ini);
    EXPECT_FALSE(std::filesystem::exists(ini));  // reading never creates the file
    EXPECT_EQ(s.Save(""), 1);
    EXPECT_EQ(ReadFile(ini), std::string("[Public]\r\nSetList=ComSet\r\n") + kDefaultSetBody);
}

TEST_F(ComSetting, SaveOfAHandWrittenFileChangesOnlyTheChangedValuesLines) {
    const std::string hand =
        "# lab bench\n[Public]\nSetList=ComSet\n\n[ComSet]\n; port\nBaudRate = 9600\n"
        "Parity=0\r\nLoadFile=/tmp/x y.txt\n";
    WriteFile(ini, hand);
    CComSetting s = CComSetting::Loaded(ini);
    s.Save("");
    const std::string saved = ReadFile(ini);
    // The keys the file lacked are added behind its last key, with its LF ends.
    ASSERT_EQ(saved.rfind(hand, 0), 0u) << saved;
    EXPECT_EQ(saved.substr(hand.size(), 32), "UsedUILangCode=0\nComPort=1\nComNa");
    s.Save("");
    EXPECT_EQ(ReadFile(ini), saved) << "a set saved unchanged changes nothing";
    s.BaudRate = 115200;
    s.Parity = 2;
    s.Save("");
    std::string expected = saved;
    expected.replace(expected.find("9600\nParity=0"), 13, "115200\nParity=2");
    EXPECT_EQ(ReadFile(ini), expected);
}

TEST_F(ComSetting, SetListIsSortedWithoutDuplicatesOrEmptyNames) {
    WriteFile(ini, "[Public]\r\nSetList=b,,a,ComSet,a\r\n");
    CComSetting s = CComSetting::Loaded(ini);
    EXPECT_EQ(s.SetNames, (Names{"ComSet", "a", "b"}));
    s.SetNames.insert("Zeta");  // upper case sorts first, byte by byte
    EXPECT_EQ(s.SaveSetList(), 1);
    EXPECT_EQ(s.ReadProfileString("Public", "SetList", ""), "ComSet,Zeta,a,b");
    // A second Init adds the names of the new file to those already known.
    WriteFile(dir.File("two.ini"), "[Public]\r\nSetList=Second\r\n");
    EXPECT_EQ(s.Init(dir.File("two.ini")), 1);
    EXPECT_EQ(s.SetNames, (Names{"ComSet", "Second", "Zeta", "a", "b"}));
    s.SetNames = {""};
    s.SaveSetList();
    EXPECT_EQ(ReadFile(dir.File("two.ini")), "[Public]\r\nSetList=\r\n");
    s.SetNames = {"a", "b,,"};  // the list never ends in ","
    s.SaveSetList();
    EXPECT_EQ(s.ReadProfileString("Public", "SetList", ""), "a,b");
}

// Each row: a line of the file, the field it sets (none: the byte
// Replace_Old), the value loaded and written back.
TEST_F(ComSetting, LoadRulesApplyOnLoadingAndAreWrittenBack) {
    using C = CComSetting;
    // clang-format off
    const struct { const char* line; int C::*field; int loaded; } cases[] = {
        {"WorkMode=5", &C::WorkMode, 10}, {"WorkMode=-1", &C::WorkMode, 10},
        {"WorkMode=2", &C::WorkMode, 2}, {"WorkMode=junk", &C::WorkMode, 0},
        {"BackupLogTimeCount=3", &C::BackupLogTimeCount, 10},
        {"BackupLogTimeCount=600", &C::BackupLogTimeCount, 600},
        {"InterframeDelay=20000", &C::InterframeDelay, 10000},
        {"InterframeDelay=-5", &C::InterframeDelay, 0},
        {"Replace_Old=300", nullptr, 44}, {"Replace_Old=-1", nullptr, 255},
        {"ComPort=4000000000", &C::ComPort, INT_MAX}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        WriteFile(ini, std::string("[ComSet]\r\n") + c.line + "\r\n");
        CComSetting s = CComSetting::Loaded(ini);
        EXPECT_EQ(c.field ? s.*c.field : s.Replace_Old, c.loaded);
        s.Save("");
        const std::string key(c.line, std::strchr(c.line, '='));
        EXPECT_EQ(s.ReadProfileInt("ComSet", key, INT_MIN), c.loaded);
    }
}

TEST_F(ComSetting, LoadReadsTheCurrentSetAndKeepsTheKnownNames) {
    WriteFile(ini,
              "[Public]\r\nCurrentSet=Lab\r\nSetList=ComSet,Lab\r\n[ComSet]\r\nBaudRate=1200\r\n"
              "[lab]\r\nBaudRate=57600\r\nComName=\"/dev/pts/3\"\r\n");
    CComSetting s = CComSetting::Loaded(ini);
    EXPECT_EQ(s.BaudRate, 57600);
    EXPECT_EQ(s.ComName, "/dev/pts/3");
    s.SetNames.insert("Extra");
    EXPECT_EQ(s.Load("ComSet"), 1);
    EXPECT_EQ(std::to_string(s.BaudRate) + s.ComName, "1200");
    EXPECT_EQ(s.SetNames.count("Extra"), 1u);
    s.Load("Nowhere");  // a set without a section loads the defaults
    EXPECT_EQ(s.BaudRate, 9600);
    // The current set's name is trimmed on reading; a blank one means "ComSet".
    s.SetCurrentSet("  Lab 2\t");
    EXPECT_EQ(s.ReadProfileString("Public", "CurrentSet", ""), "  Lab 2\t");
    EXPECT_EQ(s.GetCurrentSet(), "Lab 2");
    s.SetCurrentSet("   ");
    EXPECT_EQ(s.GetCurrentSet(), "ComSet");
}

TEST_F(ComSetting, EveryWriteReachesTheDiskAndSavesGoToTheRightSection) {
    CComSetting writer = CComSetting::Loaded(ini);
    CComSetting reader = CComSetting::Loaded(ini);
    EXPECT_EQ(writer.WriteProfileInt("ComSet", "ShowDataMask", 2), 1);
    EXPECT_EQ(reader.ReadProfileInt("comset", "showdatamask", 0), 2);
    EXPECT_EQ(writer.WriteProfileString("ComSet", "LoadFile", "/tmp/a b.txt"), 1);
    writer.InterframeDelay = 50000;
    writer.Save("");
    reader.Load("");
    EXPECT_EQ(reader.ShowDataMask, 1);  // Save wrote the writer's own record back.
    EXPECT_EQ(reader.InterframeDelay, 10000);
    // A key written again stays where it was; keys the record does not know survive.
    EXPECT_NE(ReadFile(ini).find("ShowDataMask=1\r\nLoadFile=/tmp/a b.txt\r\nUsedUILangCode=0\r\n"),
              std::string::npos);
    writer.SetNames.insert("Lab");
    writer.BaudRate = 115200;
    EXPECT_EQ(writer.Save("Lab"), 1);
    const std::string text = ReadFile(ini);
    const size_t lab = text.find("\r\n[Lab]\r\n");
    ASSERT_NE(lab, std::string::npos);
    EXPECT_NE(text.find("BaudRate=115200\r\n", lab), std::string::npos);
    EXPECT_LT(text.find("BaudRate=9600\r\n"), lab);
    // With an empty name Save follows the current set named in the file.
    ASSERT_EQ(writer.SetCurrentSet("Lab"), 1);
    writer.Parity = 2;
    writer.Save("");
    EXPECT_EQ(writer.ReadProfileInt("Lab", "Parity", -1), 2);
    EXPECT_EQ(writer.ReadProfileInt("ComSet", "Parity", -1), 0);
}

TEST_F(ComSetting, FirstWriteMakesOnlyTheSettingsFolder) {
    CComSetting s = CComSetting::Loaded(dir.File("gone/q.ini"));
    EXPECT_EQ(s.WriteProfileInt("ComSet", "BaudRate", 1), 0);
    EXPECT_EQ(s.Save(""), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.File("gone")));
    // A program folder that cannot take the file sends it to the config home.
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.File("cfg"));
    s.ExeDir = dir.File("program-folder-missing/");
    s.IniPath = SettingsDir(s.ExeDir) + "q.ini";
    EXPECT_EQ(s.WriteProfileInt("ComSet", "BaudRate", 4800), 1);
    EXPECT_EQ(ReadFile(dir.File("cfg/qelvor/q.ini")), "[ComSet]\r\nBaudRate=4800\r\n");
    s.Init("my.ini");  // a name without a slash is taken in the settings folder
    EXPECT_EQ(s.IniPath, SettingsDir(s.ExeDir) + "my.ini");
    s.Init("");
    EXPECT_EQ(s.IniPath, SettingsDir(s.ExeDir) + "config_tests.ini");
}

TEST_F(ComSetting, DeleteSetRemovesEverySectionOfThatNameAndTrimsTheRest) {
    CComSetting none = CComSetting::Loaded(ini);
    none.SetNames.insert("Lab");
    EXPECT_EQ(none.DeleteSet("Lab"), 0);  // no file: nothing changes
    EXPECT_EQ(none.SetNames.count("Lab"), 1u);
    EXPECT_FALSE(std::filesystem::exists(ini));
    WriteFile(ini,
              "[Public]\r\nSetList=ComSet,Lab,Other\r\n  [lab]  \r\nBaudRate=1\r\n[Other]\r\n"
              "\tBaudRate = 2  \r\n; kept note\r\nParity=1\r\n[LAB]\r\nParity=3\r\n");
    CComSetting s = CComSetting::Loaded(ini);
    EXPECT_EQ(s.DeleteSet("Lab"), 1);
    EXPECT_EQ(s.SetNames, (Names{"ComSet", "Other"}));
    EXPECT_EQ(ReadFile(ini),
              "[Public]\r\nSetList=ComSet,Other\r\n[Other]\r\nBaudRate = 2\r\n; kept note\r\n"
              "Parity=1\r\n");
}

TEST_F(ComSetting, ReadOnlyRecordReportsSuccessAndLeavesTheFileAlone) {
    const std::string hand = "[Public]\nSetList=ComSet,Lab\n[Lab]\nBaudRate=1\n";
    WriteFile(ini, hand);
    CComSetting s = CComSetting::Loaded(ini);
    s.SetReadOnly(true);
    s.SetNames.insert("New");
    s.BaudRate = 300;
    EXPECT_EQ(s.WriteProfileInt("ComSet", "BaudRate", 5) + s.WriteProfileString("X", "k", "v") +
                  s.Save("Lab") + s.SaveSetList() + s.SetCurrentSet("Lab") + s.DeleteSet("Lab"),
              6);
    EXPECT_EQ(s.SetNames, (Names{"ComSet", "New"}));
    EXPECT_EQ(ReadFile(ini), hand);
    s.SetReadOnly(false);
    EXPECT_EQ(s.WriteProfileInt("Lab", "BaudRate", 5), 1);
    EXPECT_EQ(ReadFile(ini), "[Public]\nSetList=ComSet,Lab\n[Lab]\nBaudRate=5\n");
}

TEST_F(ComSetting, LoadErrorAndHasSetAnswerForTheCommandLine) {
    ASSERT_EQ(::mkfifo(ini.c_str(), 0644), 0);  // must not block
    CComSetting pipe = CComSetting::Loaded(ini);
    EXPECT_EQ(pipe.LoadError(), ini + " is not a regular file");
    EXPECT_EQ(pipe.WriteProfileInt("ComSet", "BaudRate", 1), 0);
    ::unlink(ini.c_str());
    WriteFile(ini, "[Public]\nSetList=Lab\n[Bench 2]\nBaudRate=1\n");
    EXPECT_EQ(pipe.Load(""), 1);
    EXPECT_EQ(pipe.LoadError(), "");
    CComSetting s = CComSetting::Loaded(ini);
    for (const char* known : {"lab", "COMSET", "bench 2"})
        EXPECT_TRUE(s.HasSet(known)) << known;
    for (const char* unknown : {"Bench", "Public2", ""})
        EXPECT_FALSE(s.HasSet(unknown)) << unknown;
}

TEST_F(ComSetting, DescribePortNamesThePortOfTheWorkMode) {
    // clang-format off
    const struct { int workMode, comPort; const char *comName, *expected; } cases[] = {
        {0, 3, "x", "TCP-Server(Port=4000)"}, {1, 3, "x", "TCP-Client(10.0.0.5:4000)"},
        {2, 3, "x", "UDP(10.0.0.5:4001,L:4002)"}, {10, 3, "ttyUSB0", "SerialPort:COM3"},
        {10, 0, "ttyUSB0", "SerialPort:ttyUSB0"}, {10, 0, "%s%n", "SerialPort:%s%n"},
        {10, 0, "", "SerialPort:COM0"}, {5, 3, "x", ""}};
    // clang-format on
    CComSetting s = CComSetting::Loaded(ini);
    s.SvrIPAddr = "10.0.0.5";
    s.IPPort = 4000;
    s.UDPRemotePort = 4001;
    s.UDPLocalPort = 4002;
    for (const auto& c : cases) {
        s.WorkMode = c.workMode;
        s.ComPort = c.comPort;
        s.ComName = c.comName;
        EXPECT_EQ(s.DescribePort(), c.expected) << c.workMode << " " << c.comName;
    }
}

}  // namespace
}  // namespace qelvor
