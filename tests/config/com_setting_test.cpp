#include "config/com_setting.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstring>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "config/app_paths.h"
#include "config/com_set_form.h"
#include "config/file_writer.h"
#include "config/ini_file.h"
#include "config/string_table.h"
#include "config/ui_language.h"
#include "support/recording_box.h"
#include "support/temp_folder.h"

namespace qelvor {
namespace {

using namespace testing_support;
using namespace std::string_literals;
using Names = std::set<std::string>;

class ComSetting : public ::testing::Test {
  protected:
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
              "IdleCloseSeconds ");
    // Saving a hand-written file changes only the lines of changed values.
    const std::string hand =
        "# lab bench\n[Public]\nSetList=ComSet\n\n[ComSet]\n; port\nBaudRate = 9600\n"
        "Parity=0\r\nLoadFile=/tmp/x y.txt\n";
    WriteFile(ini, hand);
    s = CComSetting::Loaded(ini);
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

// The members start where a missing file leaves them: at the table's
// defaults. WriteKey writes one key of the current set under its name.
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
        {"WorkMode=5", &C::WorkMode, 10}, {"WorkMode=-1", &C::WorkMode, 10}, {"WorkMode=2", &C::WorkMode, 2},
        {"WorkMode=junk", &C::WorkMode, 0}, {"BackupLogTimeCount=3", &C::BackupLogTimeCount, 10},
        {"BackupLogTimeCount=600", &C::BackupLogTimeCount, 600}, {"InterframeDelay=-5", &C::InterframeDelay, 0},
        {"InterframeDelay=20000", &C::InterframeDelay, 10000}, {"Replace_Old=300", nullptr, 44},
        {"Replace_Old=-1", nullptr, 255}, {"ComPort=4000000000", &C::ComPort, INT_MAX}};
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

TEST_F(ComSetting, LoadReadsTheCurrentSetAndEveryWriteReachesTheRightSection) {
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

// A folder other than the settings folder is never made: every write into
// it fails, and says so.
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

// Each row: a settings file and the error its load names, the reason
// included; a named pipe is refused without being opened, which would block.
// Text that is no 8-bit text is refused, and a change never reaches it.
TEST_F(ComSetting, LoadErrorNamesTheFileAndHasSetAnswersForTheCommandLine) {
    ASSERT_EQ(::mkdir(dir.File("d.ini").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo(ini.c_str(), 0644), 0);
    WriteFile(dir.File("r.ini"), "[S]\r\nk=1\r\n");
    ASSERT_EQ(chmod(dir.File("r.ini").c_str(), 0200), 0);
    const std::string unreadable = dir.File("r.ini");
    const std::string utf16 = "[\0C\0o\0m\0S\0e\0t\0]\0\r\0\n\0B\0a\0u\0d\0R\0a\0t\0e\0=\0001\0"s;
    const std::pair<std::string, std::string> texts[] = {
        {"le.ini", "\xFF\xFE" + utf16},
        {"be.ini", "\xFE\xFF\0" + utf16},
        {"nomark.ini", utf16},
        {"nul.ini", "[ComSet]\r\nBaudRate=1200\0\r\nParity=2\r\n"s},
        {"bom8.ini", "\xEF\xBB\xBF[ComSet]\r\nBaudRate=1200\r\n"}};
    for (const auto& [name, text] : texts)
        WriteFile(dir.File(name), text);
    const auto notText = [&](const char* name, const char* why) {
        return dir.File(name) + " is not a text file (" + why + ")";
    };
    const std::pair<std::string, std::string> cases[] = {
        {dir.File("none.ini"), ""},
        {dir.File("d.ini"), dir.File("d.ini") + " is a directory"},
        {ini, ini + " is not a regular file"},
        {unreadable, geteuid() == 0 ? "" : "cannot read " + unreadable + ": Permission denied"},
        {dir.File("le.ini"), notText("le.ini", "UTF-16")},
        {dir.File("be.ini"), notText("be.ini", "UTF-16")},
        {dir.File("nomark.ini"), notText("nomark.ini", "UTF-16")},
        {dir.File("nul.ini"), notText("nul.ini", "it holds a NUL byte")},
        {dir.File("bom8.ini"), ""},
    };
    for (const auto& [path, error] : cases) {
        EXPECT_EQ(CIniFile(path).Load(), error.empty()) << path;  // false: no write replaces it
        CComSetting loaded = CComSetting::Loaded(path);
        EXPECT_EQ(loaded.LoadError(), error);
        if (path.find("bom8") != std::string::npos) {
            EXPECT_EQ(loaded.BaudRate, 1200);
        }
    }
    for (const auto& [name, text] : texts) {
        CComSetting loaded = CComSetting::Loaded(dir.File(name));
        loaded.WriteProfileInt("ComSet", "Parity", 1);
        const std::string after = ReadFile(dir.File(name));
        EXPECT_EQ(after.substr(0, text.size()), text) << name;
        if (name != "bom8.ini") {
            EXPECT_EQ(after, text) << name;
        }
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

// Each row: LC_ALL, LC_MESSAGES, LANG ("-": not set; an empty one counts as not set),
// the code and the language.
TEST(UiLanguage, CodesFollowTheLocaleAndTheMenuStoresItsKeyForTheNextStart) {
    const auto E = UiLanguage::English, Z = UiLanguage::Chinese;
    // clang-format off
    const struct { const char *all, *messages, *lang; int code; UiLanguage want; } rows[] = {
        {"zh_CN.UTF-8", "-", "-", 2, E}, {"-", "-", "-", 0, E}, {"-", "-", "-", 1, Z},
        {"-", "-", "zh_TW.UTF-8", 7, Z}, {"-", "en_US.UTF-8", "zh_TW.UTF-8", 0, E},
        {"zh_CN", "en_US.UTF-8", "-", -3, Z}, {"", "-", "zh_TW.UTF-8", 0, Z}};
    // clang-format on
    const auto value = [](const char* v) { return *v == '-' ? std::nullopt : std::optional(v); };
    for (const auto& r : rows) {
        ScopedEnv all("LC_ALL", value(r.all)), messages("LC_MESSAGES", value(r.messages)),
            lang("LANG", value(r.lang));
        EXPECT_EQ(UiLanguageFor(r.code), r.want) << r.all << "," << r.messages << "," << r.lang;
    }
    // The menu stores only its key; the choice applies at the next start.
    TempFolder dir;
    CComSetting settings = CComSetting::Loaded(dir.File("q.ini"));
    const UiLanguage before = StringLanguage();
    SetStringLanguage(UiLanguage::English);
    RecordingBox box;
    OnSelectUI(kCmdSelectUiSystem, settings, box);  // the checked item does nothing
    EXPECT_EQ(box.Take(), "");
    EXPECT_FALSE(std::filesystem::exists(dir.File("q.ini")));
    ASSERT_EQ(settings.SetCurrentSet("Lab"), 1);
    OnSelectUI(kCmdSelectUiEnglish, settings, box);
    EXPECT_EQ(ReadFile(dir.File("q.ini")),
              "[Public]\r\nCurrentSet=Lab\r\n[Lab]\r\nUsedUILangCode=2\r\n");
    EXPECT_EQ(box.Take(),
              "Qelvor (info, ok): UI Language settings have been modified.It will "
              "take effect after restart\n");
    OnSelectUI(kCmdSelectUiChinese, settings, box);
    EXPECT_EQ(settings.ReadProfileInt("lab", "usedUILangCode", 0), 1);
    EXPECT_EQ(StringLanguage(), UiLanguage::English);
    ApplyUILanguage(settings);
    EXPECT_EQ(StringLanguage(), UiLanguage::Chinese);  // the code is UiLanguageFor's, tested above
    SetStringLanguage(before);
}

// The printf conversions of a format, in order ("%%" is not one).
std::string Conversions(const std::string& format) {
    std::string found;
    for (size_t pos = format.find('%'); pos != std::string::npos; pos = format.find('%', pos)) {
        size_t end = pos + 1;
        while (end < format.size() &&
               std::string("-+ #0123456789.lh").find(format[end]) != std::string::npos)
            ++end;
        if (end < format.size() && format[end] != '%') found += format.substr(pos, end - pos + 1);
        pos = end + 1;
    }
    return found;
}

TEST(StringTable, EveryShownIdHasBothLanguagesWithTheSameConversions) {
    // The comparison below is only as good as the scanner: make sure it sees them.
    ASSERT_EQ(Conversions(LoadStrIn(UiLanguage::English, 21055)), "%s%d");
    ASSERT_EQ(Conversions("100%% of %5.2f"), "%5.2f");
    std::vector<int> ids{18, 19, 20, 32, 33};
    for (int id = 21000; id <= 21065; ++id) {
        if (id != 21033 && id != 21034 && id != 21057) ids.push_back(id);
    }
    for (int id : ids) {
        const std::string english = LoadStrIn(UiLanguage::English, id);
        const std::string chinese = LoadStrIn(UiLanguage::Chinese, id);
        EXPECT_FALSE(english.empty() || chinese.empty()) << id;
        EXPECT_NE(english, chinese) << id;
        EXPECT_EQ(Conversions(english), Conversions(chinese)) << id;
    }
    for (int id : {0, 17, 21, 21033, 21057, 21066, -1}) {
        EXPECT_STREQ(LoadStrIn(UiLanguage::English, id), "") << id;
        EXPECT_STREQ(LoadStrIn(UiLanguage::Chinese, id), "") << id;
    }
    const std::string big(100000, 'z');  // longer than any first guess of the size
    EXPECT_EQ(StrPrintf("<%s>", big.c_str()), "<" + big + ">");
}

// The library is taken only when it carries exactly the program's version;
// a file that is there but does not match is reported in the current language.
TEST(ResourceLibrary, OnlyTheProgramsExactVersionIsUsed) {
    const UiLanguage before = StringLanguage();
    SetStringLanguage(UiLanguage::Chinese);
    const ResourceLibraryDecision spaced = DecideResourceLibrary(true, "2.9.0.1 ", "2.9.0.1");
    SetStringLanguage(before);
    EXPECT_TRUE(DecideResourceLibrary(true, "2.9.0.1", "2.9.0.1").use);
    EXPECT_FALSE(spaced.use);
    EXPECT_EQ(spaced.message,
              "资源文件版本(Ver=2.9.0.1 )和主程序版本(Ver=2.9.0.1)不匹配,"
              "无法加载资源文件,程序将启用中文界面");
}

// A settings file "my.ini" in a temporary folder, the program's record over
// it and the dialog's form opened on that record.
class ComSetForm : public ::testing::Test {
  protected:
    void Open(const std::string& body, bool portOpen = false) {
        WriteFile(ini, body);
        global = CComSetting::Loaded(ini);
        form = std::make_unique<CComSetForm>(global, portOpen, box);
        form->Open();
    }
    ComSetControls& c() { return form->Controls(); }

    TempFolder dir;
    const std::string ini = dir.File("my.ini");
    CComSetting global;
    RecordingBox box;
    std::unique_ptr<CComSetForm> form;
};

using C = ComSetControls&;
using F = CComSetForm&;

// Each row: the current set's keys, an edit of the controls and a line the
// save must write. The dialog's own tests cover the rows a widget shows.
TEST_F(ComSetForm, ShowTheSetAndSaveTheEdit) {
    // clang-format off
    const struct { const char* section; std::function<void(C, F)> edit; const char* saved; } cases[] = {
        {"ByteSize=7\r\n", [](C c, F) { EXPECT_EQ(c.ByteSize, 1); c.ByteSize = 3; }, "ByteSize=5"},
        {"WorkMode=2\r\nSvrIPAddr=10.1.2.3\r\n", [](C c, F) {
             EXPECT_TRUE(c.UdpShown && !c.TcpShown && !c.SerialShown && c.RemoteAddress == "10.1.2.3");
             c.ServerAddress = "1.1.1.1";
             c.RemoteAddress = "10.0.0.9"; }, "SvrIPAddr=10.0.0.9"},
        {"WorkMode=1\r\n", [](C c, F) {
             c.ServerAddress = "192.168.0.5";
             c.RemoteAddress = "1.1.1.1"; }, "SvrIPAddr=192.168.0.5"},
        {"Replace_Old=13\r\nReplace_New=200\r\n",
         [](C c, F) { EXPECT_EQ(c.ReplaceOld + c.ReplaceNew, "0DC8"); }, "Replace_New=200"},
        {"ProtocolMode=1\r\nAstmEnqRetryMs=500\r\n", [](C c, F) {
             EXPECT_TRUE(c.ProtocolMode == 1 && c.AstmEnqRetryMs == "500");
             c.AstmRole = 1; }, "AstmRole=1"},
        {"AutoSendElapse=499\r\n", [](C, F f) { f.StepAutoSend(1); f.StepAutoSend(1); },
         "AutoSendElapse=500"},
        // Choosing a set loads it from the file over the edits.
        {"Parity=1\r\n", [](C c, F f) { c.Parity = 4; f.ChooseSeries(0); }, "Parity=1"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.saved);
        Open(std::string("[Public]\r\nSetList=ComSet\r\n[ComSet]\r\n") + c.section);
        c.edit(this->c(), *form);
        ASSERT_FALSE(form->Save());
        EXPECT_NE(ReadFile(ini).find("\n" + std::string(c.saved) + "\r\n"), std::string::npos);
    }
}

TEST(ComSetFormRules, ReplaceTextsNumbersAndAddresses) {
    const std::pair<const char*, int> bytes[] = {{"0D", 13},  {"A", 65},    {"", 0},
                                                 {"ff", 255}, {"0D0A", 13}, {"zz", 0}};
    for (const auto& [text, byte] : bytes)
        EXPECT_EQ(CComSetForm::ReplaceByte(text), byte) << text;
    int value = 0;
    EXPECT_TRUE(CComSetForm::ParseNumber(" -12 ", value) && value == -12);
    for (const char* bad : {"", "9x", "1.5", "99999999999", "- 1"})
        EXPECT_FALSE(CComSetForm::ParseNumber(bad, value)) << bad;
    EXPECT_TRUE(CComSetForm::IsDottedQuad("192.168.1.20"));
    for (const char* bad : {"192.168.1", "1.2.3.4x", "1.2.3.256", " 1.2.3.4", "host"})
        EXPECT_FALSE(CComSetForm::IsDottedQuad(bad)) << bad;
    EXPECT_EQ(CComSetForm::DottedAddress("nonsense"), "255.255.255.255");
}

TEST_F(ComSetForm, EmptySeriesSavesIntoComSetAndChangesOnlyTheEditedLines) {
    CComSetting defaults = CComSetting::Loaded(ini);
    defaults.SetCurrentSet("comset");
    defaults.Save("");  // every key at its default
    Open(ReadFile(ini));
    std::string expected = ReadFile(ini);
    EXPECT_EQ(c().SeriesText, "ComSet");  // found without regard to case
    c().SeriesText.clear();
    c().BaudRate = 9;  // 115200
    c().ReplaceOld = "0D";
    ASSERT_FALSE(form->Save());
    expected.replace(expected.find("CurrentSet=comset"), 17, "CurrentSet=");
    expected.replace(expected.find("BaudRate=9600"), 13, "BaudRate=115200");
    expected.replace(expected.find("Replace_Old=0\r"), 14, "Replace_Old=13\r");
    EXPECT_EQ(ReadFile(ini), expected);
    EXPECT_EQ(global.BaudRate, 115200);
}

// The file's folder is a regular file, which fails for root as well.
TEST_F(ComSetForm, ASaveTheFileRefusesIsToldAndStillTakesEffect) {
    WriteFile(dir.File("plain"), "x");
    global = CComSetting::Loaded(dir.File("plain/my.ini"));
    form = std::make_unique<CComSetForm>(global, false, box);
    form->Open();
    c().BaudRate = 9;  // 115200
    const std::string told = "System Configure (warning, ok): The settings could not be saved to " +
                             dir.File("plain/my.ini") + ".\n";
    c().SeriesText = "Lab";
    ASSERT_FALSE(form->SaveSeries());
    EXPECT_EQ(box.Take(), told);
    ASSERT_FALSE(form->Save());
    EXPECT_EQ(box.Take(), told);
    EXPECT_EQ(global.BaudRate, 115200);
}

// Save's refusal is shown by the dialog's test through its widgets; Save
// Series refuses alike and lists no new set.
TEST_F(ComSetForm, SaveSeriesRefusesABadNumberListsTheSetAndKeepsItAfterCancel) {
    Open("[ComSet]\r\nIPPort=9000\r\n");
    c().SeriesText = "Lab";
    c().IPPort = "90O0";
    const auto refused = form->SaveSeries();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->key + "=" + refused->text, "IPPort=90O0");
    EXPECT_EQ(ReadFile(ini), "[ComSet]\r\nIPPort=9000\r\n");
    EXPECT_EQ(global.SetNames.count("Lab"), 0u);
    // A good one lists the set and keeps it after Cancel.
    Open("[Public]\r\nSetList=ComSet,zeta\r\n");
    c().SeriesText = "Lab";
    c().Parity = 2;
    ASSERT_FALSE(form->SaveSeries());
    EXPECT_EQ(c().SeriesEntries, (std::vector<std::string>{"ComSet", "Lab", "zeta"}));
    EXPECT_EQ(c().SeriesIndex, 1);
    form.reset();  // Cancle: the global record keeps only the new name
    EXPECT_EQ(global.SetNames, (std::set<std::string>{"ComSet", "Lab", "zeta"}));
    EXPECT_EQ(global.Parity, 0);
    CComSetting reread = CComSetting::Loaded(ini);
    EXPECT_EQ(reread.GetCurrentSet(), "ComSet");
    reread.Load("Lab");
    EXPECT_EQ(reread.Parity, 2);
    EXPECT_EQ(reread.ReadProfileString("Public", "SetList", ""), "ComSet,Lab,zeta");
}

TEST_F(ComSetForm, DelSeriesDeletesTheCurrentSetNeverTheDefaultOne) {
    Open(
        "[Public]\r\nSetList=ComSet,Lab\r\nCurrentSet=Lab\r\n[Lab]\r\nBaudRate=300\r\n"
        "[ComSet]\r\nBaudRate=1200\r\n");
    ASSERT_EQ(c().SeriesText, "Lab");
    EXPECT_EQ(c().BaudRate, 1);  // 300
    form->DelSeries();
    // The entry at the same index is gone: the first one, ComSet, is loaded.
    EXPECT_EQ(c().SeriesText, "ComSet");
    EXPECT_EQ(c().BaudRate, 2);  // 1200
    EXPECT_EQ(global.SetNames, (std::set<std::string>{"ComSet"}));
    EXPECT_EQ(ReadFile(ini),
              "[Public]\r\nSetList=ComSet\r\nCurrentSet=Lab\r\n[ComSet]\r\nBaudRate=1200\r\n");
    form->Reset();
    EXPECT_EQ(c().SeriesIndex, -1);
    EXPECT_EQ(c().BaudRate, 5);  // 9600, the default of the missing section
    // The default set is refused in any case: "COMSET" and "ComSet" here.
    const std::string body = "[Public]\r\nSetList=COMSET\r\n[COMSET]\r\nParity=1\r\n";
    Open(body);
    for (int index : {0, 1}) {
        c().SeriesIndex = index;
        form->DelSeries();
    }
    const std::string refused = "System Configure (warning, ok): " +
                                std::string(LoadStr(kStrDefaultTemplateCannotBeDeleted)) + "\n";
    EXPECT_EQ(box.Take(), refused + refused);
    EXPECT_EQ(ReadFile(ini), body);
}

TEST_F(ComSetForm, PasteTakesAnAddressAndAsksBeforeALookup) {
    using A = PasteOutcome::Action;
    const auto Y = MsgResult::Yes, N = MsgResult::No;
    // clang-format off
    const struct { const char* clipboard; MsgResult answer; size_t questions; A action;
                   const char* text; } cases[] = {
        {"192.168.1.20", Y, 0, A::FillAddress, "192.168.1.20"},
        {" lab-host \n", Y, 1, A::FillAddress, "10.9.8.7"}, {"unknown", Y, 1, A::Drop, ""},
        {"lab-host", N, 1, A::Drop, ""}, {"300", N, 1, A::InsertText, "300"},
        {"", Y, 0, A::PasteNormally, ""}};
    // clang-format on
    Open("");
    std::vector<std::string> lookedUp;
    const auto resolve = [&](const std::string& name) {
        lookedUp.push_back(name);
        return std::string(name == "lab-host" ? "10.9.8.7" : "");
    };
    for (const auto& pc : cases) {
        box.answer = pc.answer;
        const PasteOutcome outcome = form->Paste(pc.clipboard, resolve);
        const std::string asked = box.Take();
        EXPECT_EQ(size_t(std::count(asked.begin(), asked.end(), '\n')), pc.questions) << asked;
        EXPECT_EQ(outcome.action, pc.action) << pc.clipboard;
        EXPECT_EQ(outcome.text, pc.text) << pc.clipboard;
    }
    EXPECT_EQ(lookedUp, (std::vector<std::string>{"lab-host", "unknown"}));
    form->TakeClipboardAddress("10.0.0.1x");
    EXPECT_EQ(c().ServerAddress, "127.0.0.1");
    form->TakeClipboardAddress("10.0.0.1");
    EXPECT_EQ(c().ServerAddress, "10.0.0.1");
}

TEST_F(ComSetForm, ComExtOffersByIdLinksFirst) {
    const std::string byId = dir.File("by-id");
    std::filesystem::create_directory(byId);
    const std::string a = dir.File("ttyUSB0"), b = dir.File("ttyACM0");
    WriteFile(a, "");
    WriteFile(b, "");
    ASSERT_EQ(symlink("../ttyUSB0", (byId + "/usb-FTDI-if00").c_str()), 0);
    ASSERT_EQ(symlink("../gone", (byId + "/usb-gone").c_str()), 0);
    EXPECT_EQ(CComSetForm::ComNameChoices({a, b}, byId),
              (std::vector<std::string>{byId + "/usb-FTDI-if00", a, b}));
    EXPECT_EQ(CComSetForm::ComNameChoices({a}, dir.File("none")), (std::vector<std::string>{a}));
}

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
    // A quoted whole value is read without its quotes by LoadReadsTheCurrentSet...
    WriteFile(dir.File("a.ini"), "[S]\r\ninner=a \"b\" c\r\nWorkMode=\r\nlong=" + longValue);
    CIniFile ini(dir.File("a.ini"));
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.GetString("S", "inner", ""), "a \"b\" c");
    EXPECT_EQ(ini.GetString("S", "long", ""), std::string(16383, 'v'));
    EXPECT_EQ(ini.GetString("S", "absent", longValue).size(), 16383u);
    EXPECT_EQ(ini.GetInt("S", "WorkMode", 10), 10) << "an empty number is the key's default";
}

using Mode = CFileWriter::Mode;

// Each row prepares the path and names the error; none may block or write.
// (A pipe with a reader is refused as /dev/null is, once it is open.)
TEST(FileWriter, RefusesWhatIsNoRegularFileAtOnceAndReportsAShortWrite) {
    TempFolder dir;
    const std::string path = dir.File("target");
    const std::pair<std::function<void()>, int> cases[] = {
        {[] {}, ENOENT},  // the folder is missing: the path is made below
        {[&] { ::mkdir(path.c_str(), 0755); }, EISDIR},
        {[&] { ::mkfifo(path.c_str(), 0644); }, ENXIO},  // no reader: open would block
        {[&] { ::symlink("/dev/null", path.c_str()); }, CFileWriter::kNotRegularFile},
    };
    for (const auto& [arrange, error] : cases) {
        std::filesystem::remove_all(path);
        arrange();
        const std::string target = error == ENOENT ? dir.File("missing/target") : path;
        EXPECT_EQ(CFileWriter::WriteFile(target, "data", Mode::Truncate), error) << error;
        EXPECT_EQ(CFileWriter::WriteFile(target, "data", Mode::Append), error) << error;
    }
    // A file-size limit makes the kernel accept only part of a write, as a full
    // disk does; the writer must report it, never success. The limit is set in
    // a child so that this test program keeps writing freely.
    std::filesystem::remove_all(path);
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
    EXPECT_FALSE(Exists(path)) << "a file not written whole is not left behind";
}

TEST(AppPaths, SettingsAndDesktopFoldersOfTheProgramAndTheUser) {
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
    EXPECT_FALSE(EnsureFolder(dir.File("home/.config/user-dirs.dirs/sub")) || EnsureFolder(""));
}

// A folder that cannot be made names the step that failed, not the missing
// parent of the folders below it.
TEST(AppPaths, CreateFolderGivesTheReasonOfTheFailingStep) {
    TempFolder dir;
    WriteFile(dir.File("file"), "x");
    EXPECT_EQ(CreateFolder(dir.File("a/b/LogData/")), 0);
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("a/b/LogData")));
    EXPECT_EQ(CreateFolder(dir.File("a/b/LogData")), 0) << "one that exists";
    EXPECT_EQ(CreateFolder(dir.File("file/LogData/")), ENOTDIR);
    EXPECT_EQ(CreateFolder(dir.File("file/x/LogData/")), ENOTDIR);
    EXPECT_EQ(CreateFolder(dir.File("file/")), ENOTDIR);
    EXPECT_EQ(CreateFolder(dir.File(std::string(300, 'n') + "/LogData/")), ENAMETOOLONG);
}

// The settings folder under a configuration folder the user may not write:
// the log folder below it fails for that reason.
TEST(AppPaths, CreateFolderNamesAPermissionRefused) {
    if (geteuid() == 0) GTEST_SKIP() << "root is never refused a folder for its permissions";
    TempFolder dir;
    ASSERT_EQ(CreateFolder(dir.File("a")), 0);
    ASSERT_EQ(chmod(dir.File("a").c_str(), 0555), 0);
    EXPECT_EQ(CreateFolder(dir.File("a/cfg/qelvor/LogData/")), EACCES);
    EXPECT_FALSE(std::filesystem::exists(dir.File("a/cfg")));
}

}  // namespace
}  // namespace qelvor
