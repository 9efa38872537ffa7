// A record whose every field differs shows a group field taken from the wrong key.
#include "config/setting_groups.h"

#include <gtest/gtest.h>

#include "config/com_setting.h"

namespace qelvor {
namespace {

TEST(SettingGroups, EachFieldComesFromItsOwnKey) {
    CComSetting s;
    int next = 100;
    for (int* field : {&s.ComPort, &s.BaudRate, &s.ByteSize, &s.Parity, &s.StopBit, &s.FlowCtrl,
                       &s.WorkMode, &s.IPPort, &s.UDPLocalPort, &s.UDPRemotePort,
                       &s.IdleCloseSeconds, &s.CheckSum, &s.SenDataEncodeCov, &s.SendFileFMT})
        *field = next++;
    s.DtrOnOpen = s.HexSendData = s.HandShake = s.AutoReconnect = 1;
    s.RtsOnOpen = s.UsedCheckSum = s.NoSendFileBOM = s.UsedResponseFile = 0;
    s.ComName = "ttyUSB0";
    s.SvrIPAddr = "10.0.0.5";
    s.Preamble = "pre";
    s.Postamble = "post";
    s.SplitStrs = "<CR>";
    s.RespondStrs = "<ACK>";
    s.Replace_Old = 1;
    s.Replace_New = 2;

    const SerialLineSettings line = SerialLineSettings::From(s);
    EXPECT_EQ(std::make_tuple(line.comPort, line.device, line.baudRate, line.byteSize, line.parity,
                              line.stopBits, line.flowControl, line.dtrOnOpen, line.rtsOnOpen),
              std::make_tuple(100, "ttyUSB0", 101, 102, 103, 104, 105, true, false));
    const NetworkSettings net = NetworkSettings::From(s);
    EXPECT_EQ(std::make_tuple(net.workMode, net.serverAddress, net.tcpPort, net.udpLocalPort,
                              net.udpRemotePort, net.idleCloseSeconds, net.autoReconnect),
              std::make_tuple(106, "10.0.0.5", 107, 108, 109, 110, true));
    const SendFormatSettings format = SendFormatSettings::From(s);
    EXPECT_EQ(std::make_tuple(format.checkKind, format.encoding, format.fileFormat, format.hexText,
                              format.appendCheck, format.skipFileBom, format.preamble,
                              format.postamble, format.replaceOld, format.replaceNew),
              std::make_tuple(111, 112, 113, true, false, false, "pre", "post", 1, 2));
    const SplitResponseSettings split = SplitResponseSettings::From(s);
    EXPECT_EQ(std::make_tuple(split.splitStrings, split.responseStrings, split.answer,
                              split.responsesFromFile),
              std::make_tuple("<CR>", "<ACK>", true, false));
}

}  // namespace
}  // namespace qelvor
