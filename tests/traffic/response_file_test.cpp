#include <arpa/inet.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/com_setting.h"
#include "ports/udp_port.h"
#include "traffic/data_list.h"
#include "traffic/msg_exchange.h"
#include "traffic_test_support.h"

namespace qelvor {
namespace {

using Strings = std::vector<std::string>;

// Response-file mode end to end: the line taken for "[DATA]" passes through
// the plug-in found in the program folder, is composed and reaches the peer.
class ResponseFileTest : public testing::Test {
  protected:
    void Start(const char* plugin) {
        if (plugin != nullptr) {
            std::filesystem::copy_file(plugin, dir_.Path() + "/" + kPluginLibraryName);
        }
        settings_ = std::make_unique<CComSetting>(dir_.Path() + "/t.ini");
        settings_->ExeDir = dir_.Path() + "/";
        settings_->SplitStrs = "<ACK>,<NAK>";
        settings_->RespondStrs = "[DATA],[RDATA]";
        settings_->HandShake = 1;
        settings_->UsedResponseFile = 1;
        settings_->WorkMode = kWorkModeTcpClient;
        settings_->UsedCheckSum = 0;
        settings_->HexSendData = 0;
        settings_->SenDataEncodeCov = 0;
        settings_->Replace_Old = 0;
        settings_->Replace_New = 0;
        settings_->Preamble = "<STX>";
        settings_->Postamble.clear();
        port_.SetNetParam(0, peer_.Port(), htonl(INADDR_LOOPBACK));
        ASSERT_EQ(port_.Open(), 1);
        exchange_ = std::make_unique<CMsgExchange>(*settings_);
        exchange_->InitExchange(nullptr, &dataList_, &port_);
    }
    void TearDown() override { port_.Close(); }
    void Feed(const char* block) { exchange_->OnReceive(block, 1); }

    test::TempDir dir_;
    std::unique_ptr<CComSetting> settings_;
    test::UdpPeer peer_;
    StreamPort::CUDPPort port_;
    CDataList dataList_;
    std::unique_ptr<CMsgExchange> exchange_;
};

TEST_F(ResponseFileTest, LinesPassThroughThePluginAndRepeatUnchanged) {
    Start(QELVOR_TEST_PLUGIN_SHORTEN);
    dataList_.Assign({"AxBx<ETX>", std::string("Cx\0D", 4)});
    Feed("\x06");
    settings_->Preamble = "<SOH>";  // a repeat is not composed again
    Feed("\x15");
    Feed("\x06");
    Feed("\x06");
    Feed("\x15");
    EXPECT_EQ(peer_.Drain(), (Strings{"\x02"
                                      "AB\x03",
                                      "\x02"
                                      "AB\x03",
                                      "\x01"
                                      "C",
                                      "\x04", "\x04"}));
    EXPECT_EQ(dataList_.CurSel(), 1);
    EXPECT_EQ(exchange_->DataIndex(), 2);
}

TEST_F(ResponseFileTest, WithoutPluginEveryLineIsEmptiedToTheFraming) {
    Start(nullptr);
    settings_->Preamble.clear();
    dataList_.Assign({"line"});
    Feed("\x06");
    Feed("\x06");
    EXPECT_EQ(peer_.Drain(), Strings{"\x04"});
    EXPECT_EQ(exchange_->RecordCount(), 3u);  // two frames and the EOT
}

TEST_F(ResponseFileTest, PluginKeepingTheLineSendsItComposed) {
    Start(QELVOR_TEST_PLUGIN_KEEP);
    settings_->Postamble = "<CR>";
    dataList_.Assign({"line"});
    Feed("\x06");
    EXPECT_EQ(peer_.Drain(), Strings{"\x02"
                                     "line\r"});
}

}  // namespace
}  // namespace qelvor
