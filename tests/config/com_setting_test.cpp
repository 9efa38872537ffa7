#include "config/com_setting.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "config/app_paths.h"
#include "config/ini_file.h"
#include "support/temp_folder.h"

namespace qelvor {
namespace {

using namespace testing_support;
using namespace std::string_literals;
using Names = std::set<std::string>;

class ComSetting : public ::testing::Test {
  protected:
    // The record over a settings file of body.
    CComSetting Load(const std::string& body) {
        WriteFile(ini, body);
        return CComSetting::Loaded(ini);
    }

    TempFolder dir;
    const std::string ini = dir.File("q.ini");
};

// The 64 keys of a set in table order: their names are the file format
// other copies of the program read.
TEST_F(ComSetting, SaveWritesAllKeysInTableOrderAndChangesOnlyTheChangedValuesLines) {
    CComSetting s = CComSetting::Loaded(ini);
    EXPECT_FALSE(std::filesystem::exists(ini));  // reading never creates the file
    EXPECT_EQ(s.Save(""), 1);
    const std::string text = ReadFile(ini), head = "[Public]\r\nSetList=ComSet\r\n[ComSet]\r\n";
    ASSERT_EQ(text.rfind(head, 0), 0u) << text;
    std::string keys;
    for (size_t at = head.size(); at < text.size(); at = text.find("\r\n", at) + 2)
        keys += text.substr(at, text.find('=', at) - at) + " ";
    EXPECT_EQ(keys,
              "UsedUILangCode ComPort ComName BaudRate ByteSize StopBit Parity FlowCtrl DtrOnOpen "
              "RtsOnOpen WorkMode HandShake ShowDataMask ShowDataFmt CheckSum SendFileFMT "
              "SupportStress NoSendFileBOM AutoSaveLog BackupLogTimeCount SaveDatatoDesktop "
              "SaveEventTimetoFmtFile HexSendData UsedCheckSum UsedResponseFile SendAfterLoadFile "
              "TitleShowPortType SenDataEncodeCov AutoRestart AutoReconnect AutoSendElapse "
              "SvrIPAddr IPPort UDPLocalPort UDPRemotePort SplitStrs RespondStrs Preamble "
              "Postamble InterframeDelay Replace_Old Replace_New LButtonDblClkSend ShowDataListWnd "
              "ScrollRSWnd Highlight1 Highlight2 Highlight3 Highlight4 Highlight5 Highlight6 "
              "Highlight7 Highlight8 ProtocolMode AstmRole AstmReplyTimeoutMs AstmIdleTimeoutMs "
              "AstmEnqRetryMs EchoFree ShowCheckColumn ShowGapColumn GapScope StatisticsShown "
              "IdleCloseSeconds KeepSessions RecordLinkEvents SendLineEnd Hl7Role Hl7AckCode "
              "Hl7AckTimeoutMs Hl7Retries Hl7MaxMessage Hl7ControlIds Hl7FillTime PtyLink TapA "
              "TapB TapSendSide Rule1 Rule2 Rule3 Rule4 Rule5 Rule6 Rule7 Rule8 Rule9 Rule10 "
              "Rule11 Rule12 Rule13 Rule14 Rule15 Rule16 FaultBadChecksum FaultNak "
              "FaultWithholdAck FaultEnqContention FaultDropAfter FaultDelayMs OrdersFile "
              "ScriptHooks ");
    // Saving a hand-written file changes only the lines of changed values.
    const std::string hand =
        "# lab bench\n[Public]\nSetList=ComSet\n\n[ComSet]\n; port\nBaudRate = 9600\n"
        "Parity=0\r\nLoadFile=/tmp/x y.txt\n";
    s = Load(hand);
    s.Save("");
    const std::string saved = ReadFile(ini);
    // The keys the file lacked are added behind its last key, with its LF ends.
    ASSERT_EQ(saved.rfind(hand, 0), 0u) << saved;
    EXPECT_EQ(saved.substr(hand.size(), 32), "UsedUILangCode=0\nComPort=1\nComNa");
    s.BaudRate = 115200;
    s.Parity = 2;
    s.Save("");
    std::string expected = saved;
    expected.replace(expected.find("9600\nParity=0"), 13, "115200\nParity=2");
    EXPECT_EQ(ReadFile(ini), expected);
}

// A missing file leaves the table's defaults; WriteKey writes one key of the current set.
TEST_F(ComSetting, MembersStartAtTheTableDefaultsAndWriteKeyWritesOneKey) {
    const CComSetting fresh;
    CComSetting loaded = CComSetting::Loaded(ini);
    for (const SettingKeyInfo& key : kSettingKeys) {
        const std::string value =
            key.type == SettingType::kText ? key.textDefault : std::to_string(key.intDefault);
        EXPECT_EQ(fresh.KeyValue(key.key), value) << key.name;
        EXPECT_EQ(loaded.KeyValue(key.key), value) << key.name;
    }
    ASSERT_TRUE(loaded.SetCurrentSet("Lab"));
    loaded.ComName = "/dev/pts/4";
    loaded.Replace_New = 200;
    loaded.BaudRate = 300;
    EXPECT_TRUE(loaded.WriteKey(SettingKey::ComName) && loaded.WriteKey(SettingKey::Replace_New));
    EXPECT_EQ(ReadFile(ini),
              "[Public]\r\nCurrentSet=Lab\r\n[Lab]\r\nComName=/dev/pts/4\r\n"
              "Replace_New=200\r\n");
}

TEST_F(ComSetting, SetListIsSortedWithoutDuplicatesOrEmptyNames) {
    CComSetting s = Load("[Public]\r\nSetList=b,,a,ComSet,a\r\n");
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
        {"WorkMode=5", &C::WorkMode, 10}, {"WorkMode=-1", &C::WorkMode, 10}, {"WorkMode=2", &C::WorkMode, 2},
        {"WorkMode=junk", &C::WorkMode, 0}, {"WorkMode=20", &C::WorkMode, 20}, {"Replace_Old=300", nullptr, 44},
        {"BackupLogTimeCount=3", &C::BackupLogTimeCount, 10}, {"BackupLogTimeCount=600", &C::BackupLogTimeCount, 600},
        {"InterframeDelay=-5", &C::InterframeDelay, 0}, {"InterframeDelay=20000", &C::InterframeDelay, 10000},
        {"ComPort=4000000000", &C::ComPort, INT_MAX}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        CComSetting s = Load(std::string("[ComSet]\r\n") + c.line + "\r\n");
        EXPECT_EQ(c.field ? s.*c.field : s.Replace_Old, c.loaded);
        s.Save("");
        const std::string key(c.line, std::strchr(c.line, '='));
        EXPECT_EQ(s.ReadProfileInt("ComSet", key, INT_MIN), c.loaded);
    }
}

TEST_F(ComSetting, LoadReadsTheCurrentSetAndEveryWriteReachesTheRightSection) {
    CComSetting s = Load(
        "[Public]\r\nCurrentSet=Lab\r\nSetList=ComSet,Lab\r\n[ComSet]\r\nBaudRate=1200\r\n"
        "[lab]\r\nBaudRate=57600\r\nComName=\"/dev/pts/3\"\r\n");
    EXPECT_EQ(std::to_string(s.BaudRate) + s.ComName, "57600/dev/pts/3");
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
    // Every write reaches the disk, and saves go to the right section.
    std::filesystem::remove(ini);
    CComSetting writer = CComSetting::Loaded(ini);
    CComSetting reader = CComSetting::Loaded(ini);
    EXPECT_EQ(writer.WriteProfileInt("ComSet", "ShowDataMask", 2), 1);
    EXPECT_EQ(reader.ReadProfileInt("comset", "showdatamask", 0), 2);
    writer.InterframeDelay = 50000;
    writer.Save("");
    reader.Load("");
    EXPECT_EQ(reader.ShowDataMask, 1);  // Save wrote the writer's own record back.
    EXPECT_EQ(reader.ReadProfileInt("ComSet", "InterframeDelay", 0), 10000);  // clamped on saving
    writer.SetNames.insert("Lab");
    writer.BaudRate = 115200;
    EXPECT_EQ(writer.Save("Lab"), 1);
    EXPECT_EQ(reader.ReadProfileInt("Lab", "BaudRate", 0), 115200);
    EXPECT_EQ(reader.ReadProfileInt("ComSet", "BaudRate", 0), 9600);
    // With an empty name Save follows the current set named in the file.
    ASSERT_EQ(writer.SetCurrentSet("Lab"), 1);
    writer.Parity = 2;
    writer.Save("");
    EXPECT_EQ(writer.ReadProfileInt("Lab", "Parity", -1), 2);
    EXPECT_EQ(writer.ReadProfileInt("ComSet", "Parity", -1), 0);
}

// A folder other than the settings folder is never made: every write into it fails.
TEST_F(ComSetting, FirstWriteMakesOnlyTheSettingsFolder) {
    CComSetting s = CComSetting::Loaded(dir.File("gone/q.ini"));
    EXPECT_FALSE(s.WriteProfileInt("ComSet", "BaudRate", 1) || s.WriteKey(SettingKey::BaudRate) ||
                 s.Save("") || s.SaveSetList() || s.SetCurrentSet("Lab"));
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
    EXPECT_TRUE(none.SetNames.count("Lab") == 1 && !std::filesystem::exists(ini));
    CComSetting s = Load(
        "[Public]\r\nSetList=ComSet,Lab,Other\r\n  [lab]  \r\nBaudRate=1\r\n[Other]\r\n"
        "\tBaudRate = 2  \r\n; kept note\r\nParity=1\r\n[LAB]\r\nParity=3\r\n");
    EXPECT_EQ(s.DeleteSet("Lab"), 1);
    EXPECT_EQ(s.SetNames, (Names{"ComSet", "Other"}));
    EXPECT_EQ(ReadFile(ini),
              "[Public]\r\nSetList=ComSet,Other\r\n[Other]\r\nBaudRate = 2\r\n; kept note\r\n"
              "Parity=1\r\n");
}

TEST_F(ComSetting, ReadOnlyRecordReportsSuccessAndLeavesTheFileAlone) {
    const std::string hand = "[Public]\nSetList=ComSet,Lab\n[Lab]\nBaudRate=1\n";
    CComSetting s = Load(hand);
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

// Each row: a settings file and the error its load names (a pipe is never
// opened); text that is no 8-bit text is refused and never changed.
TEST_F(ComSetting, LoadErrorNamesTheFileAndHasSetAnswersForTheCommandLine) {
    ASSERT_EQ(::mkdir(dir.File("d.ini").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo(ini.c_str(), 0644), 0);
    const std::string unreadable = dir.File("r.ini");
    WriteFile(unreadable, "[S]\r\nk=1\r\n");
    ASSERT_EQ(chmod(unreadable.c_str(), 0200), 0);
    const std::string utf16 = "[\0C\0o\0m\0S\0e\0t\0]\0\r\0\n\0B\0a\0u\0d\0R\0a\0t\0e\0=\0001\0"s;
    // clang-format off
    const struct { const char* name; std::string text; const char* why; } texts[] = {
        {"le.ini", "\xFF\xFE" + utf16, "UTF-16"}, {"be.ini", "\xFE\xFF\0" + utf16, "UTF-16"},
        {"nomark.ini", utf16, "UTF-16"},
        {"nul.ini", "[ComSet]\r\nBaudRate=1200\0\r\nParity=2\r\n"s, "it holds a NUL byte"},
        {"bom8.ini", "\xEF\xBB\xBF[ComSet]\r\nBaudRate=1200\r\n", nullptr}};
    // clang-format on
    std::vector<std::pair<std::string, std::string>> cases = {
        {dir.File("none.ini"), ""},
        {dir.File("d.ini"), dir.File("d.ini") + " is a directory"},
        {ini, ini + " is not a regular file"},
        {unreadable, geteuid() == 0 ? "" : "cannot read " + unreadable + ": Permission denied"}};
    for (const auto& t : texts) {
        WriteFile(dir.File(t.name), t.text);
        cases.emplace_back(dir.File(t.name),
                           t.why ? dir.File(t.name) + " is not a text file (" + t.why + ")" : "");
    }
    for (const auto& [path, error] : cases) {
        EXPECT_EQ(CIniFile(path).Load(), error.empty()) << path;  // false: no write replaces it
        CComSetting loaded = CComSetting::Loaded(path);
        EXPECT_EQ(loaded.LoadError(), error);
        EXPECT_EQ(path.find("bom8") == std::string::npos ? 1200 : loaded.BaudRate, 1200);
    }
    for (const auto& t : texts) {  // only the UTF-8 one takes the change
        CComSetting::Loaded(dir.File(t.name)).WriteProfileInt("ComSet", "Parity", 1);
        const std::string after = ReadFile(dir.File(t.name));
        EXPECT_EQ(t.why ? after : after.substr(0, t.text.size()), t.text) << t.name;
    }
    CComSetting s = CComSetting::Loaded(ini);
    ::unlink(ini.c_str());
    WriteFile(ini, "[Public]\nSetList=Lab\n[Bench 2]\nBaudRate=1\n");
    EXPECT_EQ(s.Load(""), 1);
    EXPECT_EQ(s.LoadError(), "");
    s = CComSetting::Loaded(ini);  // the list of sets is read as the record starts
    for (const char* known : {"lab", "COMSET", "bench 2"})
        EXPECT_TRUE(s.HasSet(known)) << known;
    for (const char* unknown : {"Bench", "Public2", ""})
        EXPECT_FALSE(s.HasSet(unknown)) << unknown;
}

TEST_F(ComSetting, DescribePortNamesThePortOfTheWorkMode) {
    const struct {
        int workMode, comPort;
        const char *comName, *expected;
    } cases[] = {{0, 3, "x", "TCP-Server(Port=4000)"},
                 {1, 3, "x", "TCP-Client(10.0.0.5:4000)"},
                 {2, 3, "x", "UDP(10.0.0.5:4001,L:4002)"},
                 {10, 3, "ttyUSB0", "SerialPort:COM3"},
                 {10, 0, "ttyUSB0", "SerialPort:ttyUSB0"},
                 {10, 0, "%s%n", "SerialPort:%s%n"},
                 {10, 0, "", "SerialPort:COM0"},
                 {5, 3, "x", ""},
                 {20, 0, "", "PTY:ttyQelvor0"},
                 {20, 0, "/tmp/ttyLab", "PTY:/tmp/ttyLab"}};
    CComSetting s = CComSetting::Loaded(ini);
    s.SvrIPAddr = "10.0.0.5";
    s.IPPort = 4000;
    s.UDPRemotePort = 4001;
    s.UDPLocalPort = 4002;
    for (const auto& c : cases) {
        s.WorkMode = c.workMode;
        s.ComPort = c.comPort;
        s.ComName = c.comName;
        s.PtyLink = c.workMode == kWorkModePty ? c.comName : "";
        EXPECT_EQ(s.DescribePort(), c.expected) << c.workMode << " " << c.comName;
    }
}

}  // namespace
}  // namespace qelvor
