// The settings record: every user setting, the file locations and the names
// of the settings sets, loaded from and saved to the INI file.
// Used on the user-interface thread only; not thread safe.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "config/setting_keys.h"

namespace qelvor {

class CComSetting {
  public:
    // Every key at its default (kSettingKeys), SetNames holding "ComSet", no
    // paths; reads no file. Init then finds the files.
    CComSetting();
    // The defaults, then Init with iniName (a name without "/" is taken in
    // the settings folder; a path is used as is): loading as one explicit
    // step, whose problems LoadError tells.
    static CComSetting Loaded(const std::string& iniName);

    CComSetting(const CComSetting&) = default;
    CComSetting& operator=(const CComSetting&) = default;

    // Computes the four paths, reads "SetList" into SetNames, adds "ComSet"
    // and loads the current set. 0 when the program path is unknown.
    int Init(const std::string& iniName);
    // Reads every key of the set's section (empty name: the current set) and
    // applies the load rules. Always 1.
    int Load(const std::string& setName);
    // Writes "SetList", then every key in table order into the set's section
    // (empty name: the current set, read from the file). False when the file
    // could not be written (InterframeDelay is clamped all the same).
    bool Save(const std::string& setName);
    std::string GetCurrentSet() const;
    // "CurrentSet" and "SetList" of section "Public"; false when not written.
    bool SetCurrentSet(const std::string& setName) const;
    bool SaveSetList() const;
    // Removes the set from SetNames and "SetList" and its section (and any
    // later section of the same name) from the file. 0 when the file cannot
    // be opened for reading and writing.
    int DeleteSet(const std::string& setName);
    // One string key of the INI file; at most 16383 characters are read.
    std::string ReadProfileString(const std::string& section, const std::string& key,
                                  const std::string& defaultValue) const;
    int ReadProfileInt(const std::string& section, const std::string& key, int defaultValue) const;
    // The one way a key reaches the file: writes that key's line alone and
    // tells whether it was written (false: no path, a file that cannot be
    // read or written, a name one line cannot hold).
    bool WriteProfileString(const std::string& section, const std::string& key,
                            const std::string& value) const;
    bool WriteProfileInt(const std::string& section, const std::string& key, int value) const;
    // Writes the record's value of a table key into the current set, under
    // the table's name for it; as WriteProfileString.
    bool WriteKey(SettingKey key) const;
    // The record's value of a table key as the file holds it.
    std::string KeyValue(SettingKey key) const;
    // The port description text built from WorkMode and the port fields.
    std::string DescribePort() const;

    // While on, nothing is written to the file: the profile writes, Save,
    // SaveSetList, SetCurrentSet and DeleteSet report success and change the
    // record only. For a program that must leave the user's settings alone.
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool IsReadOnly() const { return readOnly_; }
    // After Init or Load: empty when the file was read or does not exist,
    // else why it could not be read, naming it ("cannot read /x/q.ini:
    // Permission denied", "/x/q.ini is a directory", "/x/q.ini is not a
    // regular file").
    const std::string& LoadError() const { return loadError_; }
    // Whether the set is in SetNames or has a section in the file, names
    // compared without regard to case as sections are.
    bool HasSet(const std::string& name) const;

    // Splits text at every separator; empty pieces included. Returns the count.
    static int Split(const std::string& text, char separator, std::vector<std::string>& pieces);

    // File locations. Folders end in "/".
    std::string IniPath;
    std::string ExeDir;
    std::string ExePath;
    std::string DesktopDir;
    int UsedUILangCode = IntDefault(SettingKey::UsedUILangCode);
    std::set<std::string> SetNames;

    int ComPort = IntDefault(SettingKey::ComPort);
    std::string ComName = TextDefault(SettingKey::ComName);
    int BaudRate = IntDefault(SettingKey::BaudRate);
    int ByteSize = IntDefault(SettingKey::ByteSize);
    int Parity = IntDefault(SettingKey::Parity);
    int FlowCtrl = IntDefault(SettingKey::FlowCtrl);
    // The DTR and RTS levels a serial port is opened with (1 raised, 0
    // lowered): 0 keeps a board that resets on DTR from being held in reset.
    int DtrOnOpen = IntDefault(SettingKey::DtrOnOpen);
    int RtsOnOpen = IntDefault(SettingKey::RtsOnOpen);
    int StopBit = IntDefault(SettingKey::StopBit);
    uint8_t Replace_Old = ByteDefault(SettingKey::Replace_Old);
    uint8_t Replace_New = ByteDefault(SettingKey::Replace_New);
    std::string SvrIPAddr = TextDefault(SettingKey::SvrIPAddr);
    int IPPort = IntDefault(SettingKey::IPPort);
    int UDPLocalPort = IntDefault(SettingKey::UDPLocalPort);
    int UDPRemotePort = IntDefault(SettingKey::UDPRemotePort);
    std::string SplitStrs = TextDefault(SettingKey::SplitStrs);
    std::string RespondStrs = TextDefault(SettingKey::RespondStrs);
    std::string Preamble = TextDefault(SettingKey::Preamble);
    std::string Postamble = TextDefault(SettingKey::Postamble);
    int InterframeDelay = IntDefault(SettingKey::InterframeDelay);
    int WorkMode = IntDefault(SettingKey::WorkMode);
    int CheckSum = IntDefault(SettingKey::CheckSum);
    int HandShake = IntDefault(SettingKey::HandShake);
    int HexSendData = IntDefault(SettingKey::HexSendData);
    int ShowDataMask = IntDefault(SettingKey::ShowDataMask);
    int ShowDataFmt = IntDefault(SettingKey::ShowDataFmt);
    int SendFileFMT = IntDefault(SettingKey::SendFileFMT);
    int SupportStress = IntDefault(SettingKey::SupportStress);
    int SaveDatatoDesktop = IntDefault(SettingKey::SaveDatatoDesktop);
    int UsedCheckSum = IntDefault(SettingKey::UsedCheckSum);
    int UsedResponseFile = IntDefault(SettingKey::UsedResponseFile);
    int SendAfterLoadFile = IntDefault(SettingKey::SendAfterLoadFile);
    int NoSendFileBOM = IntDefault(SettingKey::NoSendFileBOM);
    int AutoSaveLog = IntDefault(SettingKey::AutoSaveLog);
    int BackupLogTimeCount = IntDefault(SettingKey::BackupLogTimeCount);
    int SaveEventTimetoFmtFile = IntDefault(SettingKey::SaveEventTimetoFmtFile);
    int TitleShowPortType = IntDefault(SettingKey::TitleShowPortType);
    int SenDataEncodeCov = IntDefault(SettingKey::SenDataEncodeCov);
    int LButtonDblClkSend = IntDefault(SettingKey::LButtonDblClkSend);
    int ShowDataListWnd = IntDefault(SettingKey::ShowDataListWnd);
    int ScrollRSWnd = IntDefault(SettingKey::ScrollRSWnd);
    // The traffic list's highlight rules, "mode|#RRGGBB|pattern" each (mode
    // text, regex or hex); empty for none.
    std::string Highlight1 = TextDefault(SettingKey::Highlight1);
    std::string Highlight2 = TextDefault(SettingKey::Highlight2);
    std::string Highlight3 = TextDefault(SettingKey::Highlight3);
    std::string Highlight4 = TextDefault(SettingKey::Highlight4);
    std::string Highlight5 = TextDefault(SettingKey::Highlight5);
    std::string Highlight6 = TextDefault(SettingKey::Highlight6);
    std::string Highlight7 = TextDefault(SettingKey::Highlight7);
    std::string Highlight8 = TextDefault(SettingKey::Highlight8);
    static constexpr int kHighlightKeyCount = 8;
    // Highlight1 .. Highlight8 by number n, 1..8.
    std::string& HighlightKey(int n);
    const std::string& HighlightKey(int n) const;
    int AutoRestart = IntDefault(SettingKey::AutoRestart);
    // Reopen a TCP client connection that ended, or a serial device that
    // vanished, every 2 s until it is back.
    int AutoReconnect = IntDefault(SettingKey::AutoReconnect);
    // A TCP connection from which nothing has arrived for this many seconds
    // is closed (a server then waits for the next client); 0 = never.
    int IdleCloseSeconds = IntDefault(SettingKey::IdleCloseSeconds);
    // 1: the capture file of a session stays when the program ends.
    int KeepSessions = IntDefault(SettingKey::KeepSessions);
    // 1: a TCP peer's arrival and departure and a serial device vanishing
    // each leave an 'I' record.
    int RecordLinkEvents = IntDefault(SettingKey::RecordLinkEvents);
    // The line end of typed text: 0 none, 1 CR, 2 LF, 3 CR LF.
    int SendLineEnd = IntDefault(SettingKey::SendLineEnd);
    int AutoSendElapse = IntDefault(SettingKey::AutoSendElapse);
    // The protocol that answers peers: 0 the configurable split strings and
    // responses, 1 the ASTM E1381 link. The role and the three times (ms)
    // belong to the latter.
    int ProtocolMode = IntDefault(SettingKey::ProtocolMode);
    int AstmRole = IntDefault(SettingKey::AstmRole);
    int AstmReplyTimeoutMs = IntDefault(SettingKey::AstmReplyTimeoutMs);
    int AstmIdleTimeoutMs = IntDefault(SettingKey::AstmIdleTimeoutMs);
    int AstmEnqRetryMs = IntDefault(SettingKey::AstmEnqRetryMs);
    // The HL7 mode (ProtocolMode 2): receiver (0) or sender (1); the
    // receiver's answer (0 AA, 1 AE, 2 AR, 3 none); the sender's wait for an
    // ACK (ms) and its resends; the largest message taken (bytes); control
    // ids as a running number (0) or from the time (1); 1: an empty MSH-7
    // of a sent message gets the current time.
    int Hl7Role = IntDefault(SettingKey::Hl7Role);
    int Hl7AckCode = IntDefault(SettingKey::Hl7AckCode);
    int Hl7AckTimeoutMs = IntDefault(SettingKey::Hl7AckTimeoutMs);
    int Hl7Retries = IntDefault(SettingKey::Hl7Retries);
    int Hl7MaxMessage = IntDefault(SettingKey::Hl7MaxMessage);
    int Hl7ControlIds = IntDefault(SettingKey::Hl7ControlIds);
    int Hl7FillTime = IntDefault(SettingKey::Hl7FillTime);
    // The link name of the virtual serial port (WorkMode 20); empty: the
    // default, $XDG_RUNTIME_DIR/qelvor/ttyQelvor0.
    std::string PtyLink = TextDefault(SettingKey::PtyLink);
    // The tap's two endpoints (WorkMode 30) as qelvor-cli names ports, and
    // the side the send box injects into (0 A, 1 B).
    std::string TapA = TextDefault(SettingKey::TapA);
    std::string TapB = TextDefault(SettingKey::TapB);
    int TapSendSide = IntDefault(SettingKey::TapSendSide);
    // The trigger rules of the set, one rule line each, in the order they
    // are tried; empty for none.
    std::string Rule1 = TextDefault(SettingKey::Rule1);
    std::string Rule2 = TextDefault(SettingKey::Rule2);
    std::string Rule3 = TextDefault(SettingKey::Rule3);
    std::string Rule4 = TextDefault(SettingKey::Rule4);
    std::string Rule5 = TextDefault(SettingKey::Rule5);
    std::string Rule6 = TextDefault(SettingKey::Rule6);
    std::string Rule7 = TextDefault(SettingKey::Rule7);
    std::string Rule8 = TextDefault(SettingKey::Rule8);
    std::string Rule9 = TextDefault(SettingKey::Rule9);
    std::string Rule10 = TextDefault(SettingKey::Rule10);
    std::string Rule11 = TextDefault(SettingKey::Rule11);
    std::string Rule12 = TextDefault(SettingKey::Rule12);
    std::string Rule13 = TextDefault(SettingKey::Rule13);
    std::string Rule14 = TextDefault(SettingKey::Rule14);
    std::string Rule15 = TextDefault(SettingKey::Rule15);
    std::string Rule16 = TextDefault(SettingKey::Rule16);
    static constexpr int kRuleKeyCount = 16;
    // Rule1 .. Rule16 by number n, 1..16.
    std::string& RuleKey(int n);
    const std::string& RuleKey(int n) const;
    // Faults the ASTM link injects to test the peer, all 0 (off) by default:
    // the next N frames sent with a wrong checksum, N good frames refused
    // with NAK, N good frames left without ACK, N ENQs answered with ENQ, the
    // line dropped after N frames, every answer delayed by N ms.
    int FaultBadChecksum = IntDefault(SettingKey::FaultBadChecksum);
    int FaultNak = IntDefault(SettingKey::FaultNak);
    int FaultWithholdAck = IntDefault(SettingKey::FaultWithholdAck);
    int FaultEnqContention = IntDefault(SettingKey::FaultEnqContention);
    int FaultDropAfter = IntDefault(SettingKey::FaultDropAfter);
    int FaultDelayMs = IntDefault(SettingKey::FaultDelayMs);
    // The order table (CSV) the ASTM host answers an instrument's queries
    // from, and the HL7 receiver a QBP query; empty: queries are not
    // answered.
    std::string OrdersFile = TextDefault(SettingKey::OrdersFile);
    // 1: received frames no trigger rule took go to the script plug-in's
    // OnFrame, and its OnTimer runs once a second while the port is open.
    int ScriptHooks = IntDefault(SettingKey::ScriptHooks);
    // The traffic list's view: sent rows hidden (a link that echoes), the
    // frame check and gap columns shown, and the gap taken from the previous
    // record of any type (0) or of the same type (1).
    int EchoFree = IntDefault(SettingKey::EchoFree);
    int ShowCheckColumn = IntDefault(SettingKey::ShowCheckColumn);
    int ShowGapColumn = IntDefault(SettingKey::ShowGapColumn);
    int GapScope = IntDefault(SettingKey::GapScope);
    // The statistics band of the window shown (1) or hidden (0).
    int StatisticsShown = IntDefault(SettingKey::StatisticsShown);

  private:
    bool readOnly_ = false;
    std::string loadError_;
};

}  // namespace qelvor
