// The keys of a settings set: each key's name, type and default, in the order
// in which a new section holds them. The settings record takes its members'
// defaults from this table, and every write of one key takes its name from
// it. Constant data, read from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace qelvor {

// Work modes (the port kind of WorkMode).
inline constexpr int kWorkModeTcpServer = 0;
inline constexpr int kWorkModeTcpClient = 1;
inline constexpr int kWorkModeUdp = 2;
inline constexpr int kWorkModeSerial = 10;
// A pty that Qelvor creates and holds, opened by another program through a
// link name as if it were a serial device (PtyLink).
inline constexpr int kWorkModePty = 20;
// A tap between two endpoints (TapA, TapB), each named as qelvor-cli names a
// port: "serial:/dev/ttyUSB0", "tcp-server:4001", "pty:LINK" ...
inline constexpr int kWorkModeTap = 30;

// Protocol modes (ProtocolMode) and ASTM roles (AstmRole).
inline constexpr int kProtocolConfigurable = 0;
inline constexpr int kProtocolAstm = 1;
inline constexpr int kAstmRoleInstrument = 0;
inline constexpr int kAstmRoleHost = 1;
// The HL7 mode (ProtocolMode 2): its roles (Hl7Role), the answers a receiver
// gives (Hl7AckCode) and how a sender makes control ids (Hl7ControlIds).
inline constexpr int kProtocolHl7 = 2;
inline constexpr int kHl7RoleReceiver = 0;
inline constexpr int kHl7RoleSender = 1;
inline constexpr int kHl7AckAccept = 0;
inline constexpr int kHl7AckError = 1;
inline constexpr int kHl7AckReject = 2;
inline constexpr int kHl7AckNone = 3;
inline constexpr int kHl7ControlIdsCounter = 0;
inline constexpr int kHl7ControlIdsTime = 1;

// One key of a settings set, named as its record member is; the value is
// its place in kSettingKeys.
// clang-format off
enum class SettingKey : size_t {
    UsedUILangCode, ComPort, ComName, BaudRate, ByteSize, StopBit, Parity, FlowCtrl, DtrOnOpen,
    RtsOnOpen, WorkMode, HandShake, ShowDataMask, ShowDataFmt, CheckSum, SendFileFMT, SupportStress,
    NoSendFileBOM, AutoSaveLog, BackupLogTimeCount, SaveDatatoDesktop, SaveEventTimetoFmtFile,
    HexSendData, UsedCheckSum, UsedResponseFile, SendAfterLoadFile, TitleShowPortType,
    SenDataEncodeCov, AutoRestart, AutoReconnect, AutoSendElapse, SvrIPAddr, IPPort, UDPLocalPort,
    UDPRemotePort, SplitStrs, RespondStrs, Preamble, Postamble, InterframeDelay, Replace_Old,
    Replace_New, LButtonDblClkSend, ShowDataListWnd, ScrollRSWnd, Highlight1, Highlight2,
    Highlight3, Highlight4, Highlight5, Highlight6, Highlight7, Highlight8, ProtocolMode, AstmRole,
    AstmReplyTimeoutMs, AstmIdleTimeoutMs, AstmEnqRetryMs, EchoFree, ShowCheckColumn, ShowGapColumn,
    GapScope, StatisticsShown, IdleCloseSeconds, KeepSessions, RecordLinkEvents,
    SendLineEnd, Hl7Role, Hl7AckCode, Hl7AckTimeoutMs, Hl7Retries, Hl7MaxMessage, Hl7ControlIds,
    Hl7FillTime, PtyLink, TapA, TapB, TapSendSide,
    Rule1, Rule2, Rule3, Rule4, Rule5, Rule6, Rule7, Rule8, Rule9, Rule10, Rule11, Rule12, Rule13,
    Rule14, Rule15, Rule16,
    FaultBadChecksum, FaultNak, FaultWithholdAck, FaultEnqContention, FaultDropAfter, FaultDelayMs,
    OrdersFile, ScriptHooks,
    kCount
};
// clang-format on

// An int is written in decimal; a byte is a number 0..255 (bits above are
// dropped on reading); text is written as it is.
enum class SettingType { kInt, kByte, kText };

struct SettingKeyInfo {
    SettingKey key;
    const char* name;
    SettingType type;
    int intDefault;           // an int or byte key's default
    const char* textDefault;  // a text key's default
};

namespace setting_keys_detail {

constexpr SettingKeyInfo Int(SettingKey key, const char* name, int value) {
    return {key, name, SettingType::kInt, value, ""};
}
constexpr SettingKeyInfo Byte(SettingKey key, const char* name) {
    return {key, name, SettingType::kByte, 0, ""};
}
constexpr SettingKeyInfo Text(SettingKey key, const char* name, const char* value) {
    return {key, name, SettingType::kText, 0, value};
}

using K = SettingKey;

// clang-format off
inline constexpr SettingKeyInfo kTable[] = {
    Int(K::UsedUILangCode, "UsedUILangCode", 0),
    Int(K::ComPort, "ComPort", 1),
    Text(K::ComName, "ComName", ""),
    Int(K::BaudRate, "BaudRate", 9600),
    Int(K::ByteSize, "ByteSize", 8),
    Int(K::StopBit, "StopBit", 0),
    Int(K::Parity, "Parity", 0),
    Int(K::FlowCtrl, "FlowCtrl", 0),
    Int(K::DtrOnOpen, "DtrOnOpen", 1),
    Int(K::RtsOnOpen, "RtsOnOpen", 1),
    Int(K::WorkMode, "WorkMode", kWorkModeSerial),
    Int(K::HandShake, "HandShake", 0),
    Int(K::ShowDataMask, "ShowDataMask", 1),
    Int(K::ShowDataFmt, "ShowDataFmt", 1),
    Int(K::CheckSum, "CheckSum", 0),
    Int(K::SendFileFMT, "SendFileFMT", 0),
    Int(K::SupportStress, "SupportStress", 0),
    Int(K::NoSendFileBOM, "NoSendFileBOM", 0),
    Int(K::AutoSaveLog, "AutoSaveLog", 0),
    Int(K::BackupLogTimeCount, "BackupLogTimeCount", 120),
    Int(K::SaveDatatoDesktop, "SaveDatatoDesktop", 1),
    Int(K::SaveEventTimetoFmtFile, "SaveEventTimetoFmtFile", 0),
    Int(K::HexSendData, "HexSendData", 0),
    Int(K::UsedCheckSum, "UsedCheckSum", 0),
    Int(K::UsedResponseFile, "UsedResponseFile", 0),
    Int(K::SendAfterLoadFile, "SendAfterLoadFile", 0),
    Int(K::TitleShowPortType, "TitleShowPortType", 1),
    Int(K::SenDataEncodeCov, "SenDataEncodeCov", 0),
    Int(K::AutoRestart, "AutoRestart", 1),
    Int(K::AutoReconnect, "AutoReconnect", 0),
    Int(K::AutoSendElapse, "AutoSendElapse", 20),
    Text(K::SvrIPAddr, "SvrIPAddr", "127.0.0.1"),
    Int(K::IPPort, "IPPort", 9000),
    Int(K::UDPLocalPort, "UDPLocalPort", 9000),
    Int(K::UDPRemotePort, "UDPRemotePort", -1),
    Text(K::SplitStrs, "SplitStrs", "<CR><LF>,<ENQ>,<ACK>,<NAK>,<ETX>,<ETB>,<EOT><SOH>,<EOT>"),
    Text(K::RespondStrs, "RespondStrs", "<ACK>,<ACK>,[DATA],[RDATA],<ACK>,<ACK>,<ACK>"),
    Text(K::Preamble, "Preamble", ""),
    Text(K::Postamble, "Postamble", ""),
    Int(K::InterframeDelay, "InterframeDelay", 100),
    Byte(K::Replace_Old, "Replace_Old"),
    Byte(K::Replace_New, "Replace_New"),
    Int(K::LButtonDblClkSend, "LButtonDblClkSend", 0),
    Int(K::ShowDataListWnd, "ShowDataListWnd", 1),
    Int(K::ScrollRSWnd, "ScrollRSWnd", 0),
    Text(K::Highlight1, "Highlight1", ""),
    Text(K::Highlight2, "Highlight2", ""),
    Text(K::Highlight3, "Highlight3", ""),
    Text(K::Highlight4, "Highlight4", ""),
    Text(K::Highlight5, "Highlight5", ""),
    Text(K::Highlight6, "Highlight6", ""),
    Text(K::Highlight7, "Highlight7", ""),
    Text(K::Highlight8, "Highlight8", ""),
    Int(K::ProtocolMode, "ProtocolMode", kProtocolConfigurable),
    Int(K::AstmRole, "AstmRole", kAstmRoleInstrument),
    Int(K::AstmReplyTimeoutMs, "AstmReplyTimeoutMs", 15000),
    Int(K::AstmIdleTimeoutMs, "AstmIdleTimeoutMs", 30000),
    Int(K::AstmEnqRetryMs, "AstmEnqRetryMs", 10000),
    Int(K::EchoFree, "EchoFree", 0),
    Int(K::ShowCheckColumn, "ShowCheckColumn", 0),
    Int(K::ShowGapColumn, "ShowGapColumn", 0),
    Int(K::GapScope, "GapScope", 0),
    Int(K::StatisticsShown, "StatisticsShown", 0),
    Int(K::IdleCloseSeconds, "IdleCloseSeconds", 0),
    Int(K::KeepSessions, "KeepSessions", 0),
    Int(K::RecordLinkEvents, "RecordLinkEvents", 1),
    Int(K::SendLineEnd, "SendLineEnd", 0),
    Int(K::Hl7Role, "Hl7Role", kHl7RoleReceiver),
    Int(K::Hl7AckCode, "Hl7AckCode", kHl7AckAccept),
    Int(K::Hl7AckTimeoutMs, "Hl7AckTimeoutMs", 10000),
    Int(K::Hl7Retries, "Hl7Retries", 3),
    Int(K::Hl7MaxMessage, "Hl7MaxMessage", 1 << 20),
    Int(K::Hl7ControlIds, "Hl7ControlIds", kHl7ControlIdsCounter),
    Int(K::Hl7FillTime, "Hl7FillTime", 1),
    Text(K::PtyLink, "PtyLink", ""),
    Text(K::TapA, "TapA", ""),
    Text(K::TapB, "TapB", ""),
    Int(K::TapSendSide, "TapSendSide", 0),
    Text(K::Rule1, "Rule1", ""),
    Text(K::Rule2, "Rule2", ""),
    Text(K::Rule3, "Rule3", ""),
    Text(K::Rule4, "Rule4", ""),
    Text(K::Rule5, "Rule5", ""),
    Text(K::Rule6, "Rule6", ""),
    Text(K::Rule7, "Rule7", ""),
    Text(K::Rule8, "Rule8", ""),
    Text(K::Rule9, "Rule9", ""),
    Text(K::Rule10, "Rule10", ""),
    Text(K::Rule11, "Rule11", ""),
    Text(K::Rule12, "Rule12", ""),
    Text(K::Rule13, "Rule13", ""),
    Text(K::Rule14, "Rule14", ""),
    Text(K::Rule15, "Rule15", ""),
    Text(K::Rule16, "Rule16", ""),
    Int(K::FaultBadChecksum, "FaultBadChecksum", 0),
    Int(K::FaultNak, "FaultNak", 0),
    Int(K::FaultWithholdAck, "FaultWithholdAck", 0),
    Int(K::FaultEnqContention, "FaultEnqContention", 0),
    Int(K::FaultDropAfter, "FaultDropAfter", 0),
    Int(K::FaultDelayMs, "FaultDelayMs", 0),
    Text(K::OrdersFile, "OrdersFile", ""),
    Int(K::ScriptHooks, "ScriptHooks", 0),
};
// clang-format on

// Each row stands at the place its key names, so that a key finds its row
// by index.
constexpr bool RowsInKeyOrder() {
    for (size_t i = 0; i < std::size(kTable); ++i) {
        if (kTable[i].key != static_cast<SettingKey>(i)) return false;
    }
    return std::size(kTable) == static_cast<size_t>(SettingKey::kCount);
}
static_assert(RowsInKeyOrder(), "kSettingKeys must hold one row per SettingKey, in its order");

}  // namespace setting_keys_detail

// The table itself, in the order in which keys are written.
inline constexpr const SettingKeyInfo (&kSettingKeys)[std::size(setting_keys_detail::kTable)] =
    setting_keys_detail::kTable;

constexpr const SettingKeyInfo& KeyInfo(SettingKey key) {
    return kSettingKeys[static_cast<size_t>(key)];
}
constexpr const char* KeyName(SettingKey key) {
    return KeyInfo(key).name;
}

// The defaults, for the record's member initialisers. Evaluated while
// compiling: asking an int key's default of a text key does not compile.
consteval int IntDefault(SettingKey key) {
    if (KeyInfo(key).type != SettingType::kInt) throw "not an int key";
    return KeyInfo(key).intDefault;
}
consteval uint8_t ByteDefault(SettingKey key) {
    if (KeyInfo(key).type != SettingType::kByte) throw "not a byte key";
    return static_cast<uint8_t>(KeyInfo(key).intDefault);
}
consteval const char* TextDefault(SettingKey key) {
    if (KeyInfo(key).type != SettingType::kText) throw "not a text key";
    return KeyInfo(key).textDefault;
}

// Highlight1 .. Highlight8 by number n, 1..8.
constexpr SettingKey HighlightKeyOf(int n) {
    return static_cast<SettingKey>(static_cast<size_t>(SettingKey::Highlight1) +
                                   static_cast<size_t>(n - 1));
}
static_assert(HighlightKeyOf(8) == SettingKey::Highlight8);

// Rule1 .. Rule16 by number n, 1..16.
constexpr SettingKey RuleKeyOf(int n) {
    return static_cast<SettingKey>(static_cast<size_t>(SettingKey::Rule1) +
                                   static_cast<size_t>(n - 1));
}
static_assert(RuleKeyOf(16) == SettingKey::Rule16);

// Keys kept outside a set's table: the data file loaded last, in section
// "ComSet" whichever set is current.
inline constexpr const char* kLoadFileSection = "ComSet";
inline constexpr const char* kLoadFileKey = "LoadFile";

}  // namespace qelvor
