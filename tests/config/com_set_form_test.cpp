#include "config/com_set_form.h"

#include <unistd.h>

#include <functional>
#include <sstream>

#include <gtest/gtest.h>

#include "config/string_table.h"
#include "support/temp_folder.h"

namespace qelvor {
namespace {

using namespace testing_support;

class RecordingBox : public IMessageBox {
  public:
    MsgResult ShowMessageBox(const std::string& text, const std::string&, MsgIcon,
                             MsgButtons) override {
        asked.push_back(text);
        return answer;
    }
    std::vector<std::string> asked;
    MsgResult answer = MsgResult::Yes;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
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

struct EditCase {
    const char* name;
    const char* section;  // the current set's keys
    std::function<void(ComSetControls&, CComSetForm&)> edit;
    const char* savedLine;
};

class ComSetFormEdits : public ComSetForm, public ::testing::WithParamInterface<EditCase> {};

TEST_P(ComSetFormEdits, ShowTheSetAndSaveTheEdit) {
    Open(std::string("[Public]\r\nSetList=ComSet\r\n[ComSet]\r\n") + GetParam().section);
    GetParam().edit(c(), *form);
    ASSERT_FALSE(form->Save());
    const auto lines = Lines(ReadFile(ini));
    EXPECT_NE(std::find(lines.begin(), lines.end(), std::string(GetParam().savedLine) + "\r"),
              lines.end())
        << ReadFile(ini);
}

using C = ComSetControls&;
using F = CComSetForm&;
// clang-format off
const EditCase kEdits[] = {
    {"BaudRateOutsideTheListSurvives", "BaudRate=14400\r\n", [](C c, F) { EXPECT_EQ(c.BaudRate, -1); },
     "BaudRate=14400"},
    {"ComExtShowsTheNameAndCom3HidesIt", "ComPort=0\r\nComName=/dev/pts/7\r\n", [](C c, F f) {
         EXPECT_TRUE(c.ComNameShown && c.ComName == "/dev/pts/7");
         f.ChooseComPort(3);
         EXPECT_FALSE(c.ComNameShown); }, "ComPort=3"},
    {"ByteSize7SelectsTheEntry7", "ByteSize=7\r\n", [](C c, F) { EXPECT_EQ(c.ByteSize, 1); c.ByteSize = 3; },
     "ByteSize=5"},
    {"UdpShowsItsGroupAndTakesTheRemoteField", "WorkMode=2\r\nSvrIPAddr=10.1.2.3\r\n", [](C c, F) {
         EXPECT_TRUE(c.UdpShown && !c.TcpShown && !c.SerialShown && c.RemoteAddress == "10.1.2.3");
         c.ServerAddress = "1.1.1.1";
         c.RemoteAddress = "10.0.0.9"; }, "SvrIPAddr=10.0.0.9"},
    {"TcpClientTakesTheServerField", "WorkMode=1\r\n", [](C c, F) {
         EXPECT_TRUE(c.TcpShown && !c.UdpShown && !c.SerialShown);
         c.ServerAddress = "192.168.0.5";
         c.RemoteAddress = "1.1.1.1"; }, "SvrIPAddr=192.168.0.5"},
    {"ReplaceOf13ShowsAs0D", "Replace_Old=13\r\nReplace_New=200\r\n",
     [](C c, F) { EXPECT_EQ(c.ReplaceOld + c.ReplaceNew, "0DC8"); }, "Replace_New=200"},
    {"AstmGroupSavesItsChoices", "ProtocolMode=1\r\nAstmEnqRetryMs=500\r\n", [](C c, F) {
         EXPECT_TRUE(c.ProtocolMode == 1 && c.AstmEnqRetryMs == "500");
         c.AstmRole = 1; }, "AstmRole=1"},
    {"AutoSendSpinStopsAt500", "AutoSendElapse=499\r\n", [](C, F f) { f.StepAutoSend(1); f.StepAutoSend(1); },
     "AutoSendElapse=500"},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(, ComSetFormEdits, ::testing::ValuesIn(kEdits),
                         [](const auto& test) { return std::string(test.param.name); });

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
    const std::string before = ReadFile(ini);
    EXPECT_EQ(c().SeriesText, "ComSet");  // found without regard to case
    c().SeriesText.clear();
    c().BaudRate = 9;  // 115200
    c().ReplaceOld = "0D";
    c().UDPRemotePort = "4001";
    ASSERT_FALSE(form->Save());
    std::vector<std::string> changed;  // the file keeps its length in lines
    const auto old = Lines(before), now = Lines(ReadFile(ini));
    for (size_t i = 0; i < now.size(); ++i)
        if (i >= old.size() || old[i] != now[i]) changed.push_back(now[i]);
    EXPECT_EQ(changed, (std::vector<std::string>{"CurrentSet=\r", "BaudRate=115200\r",
                                                 "UDPRemotePort=4001\r", "Replace_Old=13\r"}));
    EXPECT_EQ(global.BaudRate, 115200);
}

TEST_F(ComSetForm, RefusedNumberSavesNothing) {
    Open("[ComSet]\r\nIPPort=9000\r\n");
    c().SeriesText = "Lab";
    c().BaudRate = 0;
    c().IPPort = "90O0";
    const auto refused = form->Save();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->key, "IPPort");
    EXPECT_EQ(refused->text, "90O0");
    EXPECT_TRUE(form->SaveSeries());  // refused too
    EXPECT_EQ(ReadFile(ini), "[ComSet]\r\nIPPort=9000\r\n");
    EXPECT_EQ(global.BaudRate, 9600);
    EXPECT_EQ(global.SetNames.count("Lab"), 0u);
}

TEST_F(ComSetForm, SaveSeriesListsTheSetAndKeepsItAfterCancel) {
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

TEST_F(ComSetForm, DelSeriesRefusesComSetInAnyCase) {
    const std::string body = "[Public]\r\nSetList=COMSET,Lab\r\n[COMSET]\r\nParity=1\r\n";
    Open(body);
    for (int index : {0, 1}) {  // "COMSET" and "ComSet"
        c().SeriesIndex = index;
        form->DelSeries();
    }
    ASSERT_EQ(box.asked.size(), 2u);
    EXPECT_EQ(box.asked[0], LoadStrIn(UiLanguage::English, kStrDefaultTemplateCannotBeDeleted));
    EXPECT_EQ(ReadFile(ini), body);
    EXPECT_EQ(c().SeriesEntries.size(), 3u);
}

TEST_F(ComSetForm, DeletingTheCurrentSetLeavesCurrentSetAndResetLoadsDefaults) {
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
              "[Public]\r\nSetList=ComSet\r\nCurrentSet=Lab\r\n[ComSet]\r\n"
              "BaudRate=1200\r\n");
    form->Reset();
    EXPECT_EQ(c().SeriesIndex, -1);
    EXPECT_EQ(c().BaudRate, 5);  // 9600, the default of the missing section
}

TEST_F(ComSetForm, ChoosingASeriesLoadsItOverTheEdits) {
    Open("[Public]\r\nSetList=ComSet,Lab\r\n[Lab]\r\nWorkMode=0\r\nHandShake=1\r\n");
    EXPECT_TRUE(c().SerialShown);
    c().Parity = 4;
    form->ChooseSeries(1);
    EXPECT_TRUE(c().TcpShown);
    EXPECT_EQ(c().Parity, 0);
}

struct PasteCase {
    const char* clipboard;
    MsgResult answer;
    size_t questions;
    PasteOutcome::Action action;
    const char* text;
};

TEST_F(ComSetForm, PasteTakesAnAddressAndAsksBeforeALookup) {
    using A = PasteOutcome::Action;
    const PasteCase cases[] = {
        {"192.168.1.20", MsgResult::Yes, 0, A::FillAddress, "192.168.1.20"},
        {" lab-host \n", MsgResult::Yes, 1, A::FillAddress, "10.9.8.7"},
        {"unknown", MsgResult::Yes, 1, A::Drop, ""},
        {"lab-host", MsgResult::No, 1, A::Drop, ""},
        {"300", MsgResult::No, 1, A::InsertText, "300"},
        {"", MsgResult::Yes, 0, A::PasteNormally, ""},
    };
    Open("");
    std::vector<std::string> lookedUp;
    const auto resolve = [&](const std::string& name) {
        lookedUp.push_back(name);
        return std::string(name == "lab-host" ? "10.9.8.7" : "");
    };
    for (const PasteCase& pc : cases) {
        box.asked.clear();
        box.answer = pc.answer;
        const PasteOutcome outcome = form->Paste(pc.clipboard, resolve);
        EXPECT_EQ(box.asked.size(), pc.questions) << pc.clipboard;
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

}  // namespace
}  // namespace qelvor
