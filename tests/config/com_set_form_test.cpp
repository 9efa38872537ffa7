#include "config/com_set_form.h"

#include <unistd.h>

#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

#include "config/string_table.h"
#include "support/recording_box.h"
#include "support/temp_folder.h"

namespace qelvor {
namespace {

using namespace testing_support;
using namespace std::string_literals;

// The dialog's form over the program's record of a settings file "my.ini".
class ComSetForm : public ::testing::Test {
  protected:
    void Open(const std::string& body) {
        WriteFile(ini, body);
        global = CComSetting::Loaded(ini);
        form = std::make_unique<CComSetForm>(global, false, box);
        form->Open();
    }
    ComSetControls& c() { return form->Controls(); }

    TempFolder dir;
    std::string ini = dir.File("my.ini");
    CComSetting global;
    RecordingBox box;
    std::unique_ptr<CComSetForm> form;
};

using C = ComSetControls&;
using F = CComSetForm&;

// Each row: the current set's keys, an edit of the controls and a line the save must write.
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
        // An HL7 number beyond its range shows at its end; the smallest message size is taken.
        {"ProtocolMode=2\r\nHl7Retries=500\r\n", [](C c, F) {
             EXPECT_TRUE(c.ProtocolMode == 2 && c.Hl7Retries == "100");
             c.Hl7MaxMessage = "1024"; }, "Hl7MaxMessage=1024"},
        // Choosing a set loads it from the file over the edits.
        {"Parity=1\r\n", [](C c, F f) { c.Parity = 4; f.ChooseSeries(0); }, "Parity=1"}};
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
    ini = dir.File("plain/my.ini");
    Open("");          // writes nothing
    c().BaudRate = 9;  // 115200
    const std::string told =
        "System Configure (warning, ok): The settings could not be saved to " + ini + ".\n";
    c().SeriesText = "Lab";
    ASSERT_FALSE(form->SaveSeries() || form->Save());
    EXPECT_EQ(box.Take(), told + told);
    EXPECT_EQ(global.BaudRate, 115200);
}

// Save Series refuses a bad number as Save does (the dialog's test) and lists no new set; the
// HL7 numbers are refused just outside their ranges, with the range told.
TEST_F(ComSetForm, SaveSeriesRefusesABadNumberListsTheSetAndKeepsItAfterCancel) {
    // clang-format off
    const struct { std::string ComSetControls::*edit; const char* text, *refused; } cases[] = {
        {&ComSetControls::IPPort, "90O0", "IPPort=90O0"},
        {&ComSetControls::Hl7MaxMessage, "1023", "Hl7MaxMessage=1023 1024..67108864"},
        {&ComSetControls::Hl7Retries, "101", "Hl7Retries=101 0..100"},
        {&ComSetControls::Hl7AckTimeoutMs, "0", "Hl7AckTimeoutMs=0 1..3600000"}};
    // clang-format on
    for (const auto& pc : cases) {
        Open("[ComSet]\r\nIPPort=9000\r\n");
        c().SeriesText = "Lab";
        c().*pc.edit = pc.text;
        const auto refused = form->SaveSeries();
        ASSERT_TRUE(refused) << pc.refused;
        const std::string range = refused->Ranged() ? " " + std::to_string(refused->min) + ".." +
                                                          std::to_string(refused->max)
                                                    : "";
        EXPECT_EQ(refused->key + "=" + refused->text + range, pc.refused);
        EXPECT_EQ(ReadFile(ini), "[ComSet]\r\nIPPort=9000\r\n");
        EXPECT_EQ(global.SetNames.count("Lab"), 0u);
    }
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
    ASSERT_EQ(std::make_pair(c().SeriesText, c().BaudRate), std::make_pair("Lab"s, 1));  // 300
    form->DelSeries();
    // The entry at the same index is gone: the first one, ComSet, is loaded.
    EXPECT_EQ(std::make_pair(c().SeriesText, c().BaudRate), std::make_pair("ComSet"s, 2));  // 1200
    EXPECT_EQ(global.SetNames, (std::set<std::string>{"ComSet"}));
    EXPECT_EQ(ReadFile(ini),
              "[Public]\r\nSetList=ComSet\r\nCurrentSet=Lab\r\n[ComSet]\r\nBaudRate=1200\r\n");
    form->Reset();  // 9600, the default of the missing section
    EXPECT_EQ(std::make_pair(c().SeriesIndex, c().BaudRate), std::make_pair(-1, 5));
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

// Found devices come first; each stored choice shows as the device it names and a chosen
// device saves as COM_Ext with its path, or as the COMn of its ttyS.
TEST_F(ComSetForm, FoundDevicesListFirstAndSaveAsTheComPortTheyAre) {
    const std::string usbId = "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"s;
    const std::vector<SerialDevice> found = {{"/dev/ttyUSB0", "FT232R USB UART", usbId, ""},
                                             {"/dev/ttyS3", "", "", ""},
                                             {"/dev/pts/7", "", "", "busy: locked by process 42"}};
    // clang-format off
    const struct { std::string stored; int shown; bool nameShown; int chosen, savedPort;
                   const char* savedName; } cases[] = {
        {"ComPort=0\r\nComName=" + usbId, 0, true, 2, 0, "/dev/pts/7"},
        {"ComPort=0\r\nComName=pts/7", 2, true, 1, 4, "pts/7"},
        {"ComPort=4", 1, false, 0, 0, "/dev/ttyUSB0"},
        {"ComPort=33", -1, false, 35, 32, ""}};
    // clang-format on
    for (const auto& pc : cases) {
        SCOPED_TRACE(pc.stored);
        Open("[ComSet]\r\n" + pc.stored + "\r\n");
        form->SetDevices(found);
        form->Reset();
        EXPECT_EQ(c().ComPortEntries[0] + "|" + c().ComPortEntries[3],
                  "ttyUSB0  FT232R USB UART  (usb-FTDI_FT232R-if00-port0)|COM_Ext");
        EXPECT_EQ(std::make_pair(c().ComPort, c().ComNameShown),
                  std::make_pair(pc.shown, pc.nameShown));
        form->ChooseComPort(pc.chosen);
        ASSERT_FALSE(form->Save());
        EXPECT_EQ(std::make_pair(global.ComPort, global.ComName),
                  std::make_pair(pc.savedPort, std::string(pc.savedName)));
    }
    // A first start offers the first free device found but a ttyS, else the path box.
    const std::tuple<std::vector<SerialDevice>, int, std::string> firstStarts[] = {
        {{found[2], found[0]}, 1, "/dev/ttyUSB0"}, {{found[1], found[2]}, 2, ""}, {{}, 0, ""}};
    for (const auto& [devices, at, offered] : firstStarts) {
        global = CComSetting::Loaded(dir.File("new.ini"));
        form = std::make_unique<CComSetForm>(global, false, box);
        form->SetDevices(devices);
        form->Open();
        EXPECT_EQ(std::make_tuple(c().ComPort, c().ComName, c().ComNameShown),
                  std::make_tuple(at, offered, true));
        EXPECT_TRUE(form->IsFirstStart());
    }
}

}  // namespace
}  // namespace qelvor
