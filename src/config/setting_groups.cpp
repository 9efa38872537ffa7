#include "config/setting_groups.h"

#include "config/com_setting.h"

namespace qelvor {

SerialLineSettings SerialLineSettings::From(const CComSetting& s) {
    SerialLineSettings line;
    line.comPort = s.ComPort;
    line.device = s.ComName;
    line.baudRate = s.BaudRate;
    line.byteSize = s.ByteSize;
    line.parity = s.Parity;
    line.stopBits = s.StopBit;
    line.flowControl = s.FlowCtrl;
    line.dtrOnOpen = s.DtrOnOpen != 0;
    line.rtsOnOpen = s.RtsOnOpen != 0;
    return line;
}

NetworkSettings NetworkSettings::From(const CComSetting& s) {
    NetworkSettings net;
    net.workMode = s.WorkMode;
    net.serverAddress = s.SvrIPAddr;
    net.tcpPort = s.IPPort;
    net.udpLocalPort = s.UDPLocalPort;
    net.udpRemotePort = s.UDPRemotePort;
    net.autoReconnect = s.AutoReconnect != 0;
    net.idleCloseSeconds = s.IdleCloseSeconds;
    return net;
}

SendFormatSettings SendFormatSettings::From(const CComSetting& s) {
    SendFormatSettings format;
    format.hexText = s.HexSendData != 0;
    format.appendCheck = s.UsedCheckSum != 0;
    format.checkKind = s.CheckSum;
    format.preamble = s.Preamble;
    format.postamble = s.Postamble;
    format.replaceOld = s.Replace_Old;
    format.replaceNew = s.Replace_New;
    format.encoding = s.SenDataEncodeCov;
    format.fileFormat = s.SendFileFMT;
    format.skipFileBom = s.NoSendFileBOM != 0;
    return format;
}

SplitResponseSettings SplitResponseSettings::From(const CComSetting& s) {
    SplitResponseSettings split;
    split.splitStrings = s.SplitStrs;
    split.responseStrings = s.RespondStrs;
    split.answer = s.HandShake != 0;
    split.responsesFromFile = s.UsedResponseFile != 0;
    return split;
}

}  // namespace qelvor
