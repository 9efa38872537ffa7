// The settings record: every user setting, the file locations and the names
// of the settings sets, loaded from and saved to the INI file.
// Used on the user-interface thread only; not thread safe.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace qelvor {

class CComSetting {
  public:
    // Every key at its default, SetNames holding "ComSet", no paths; reads
    // no file. Init then finds the files.
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
    // (empty name: the current set, read from the file). Always 1.
    int Save(const std::string& setName);
    std::string GetCurrentSet() const;
    int SetCurrentSet(const std::string& setName) const;
    int SaveSetList() const;
    // Removes the set from SetNames and "SetList" and its section (and any
    // later section of the same name) from the file. 0 when the file cannot
    // be opened for reading and writing.
    int DeleteSet(const std::string& setName);
    // One string key of the INI file; at most 16383 characters are read.
    std::string ReadProfileString(const std::string& section, const std::string& key,
                                  const std::string& defaultValue) const;
    int ReadProfileInt(const std::string& section, const std::string& key, int defaultValue) const;
    int WriteProfileString(const std::string& section, const std::string& key,
                           const std::string& value) const;
    int WriteProfileInt(const std::string& section, const std::string& key, int value) const;
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
    int UsedUILangCode = 0;
    std::set<std::string> SetNames;

    int ComPort = 0;
    std::string ComName;
    int BaudRate = 0;
    int ByteSize = 0;
    int Parity = 0;
    int FlowCtrl = 0;
    // The DTR and RTS levels a serial port is opened with (1 raised, 0
    // lowered): 0 keeps a board that resets on DTR from being held in reset.
    int DtrOnOpen = 1;
    int RtsOnOpen = 1;
    int StopBit = 0;
    uint8_t Replace_Old = 0;
    uint8_t Replace_New = 0;
    std::string SvrIPAddr;
    int IPPort = 0;
    int UDPLocalPort = 0;
    int UDPRemotePort = 0;
    std::string SplitStrs;
    std::string RespondStrs;
    std::string Preamble;
    std::string Postamble;
    int InterframeDelay = 0;
    int WorkMode = 0;
    int CheckSum = 0;
    int HandShake = 0;
    int HexSendData = 0;
    int ShowDataMask = 0;
    int ShowDataFmt = 0;
    int SendFileFMT = 0;
    int SupportStress = 0;
    int SaveDatatoDesktop = 0;
    int UsedCheckSum = 0;
    int UsedResponseFile = 0;
    int SendAfterLoadFile = 0;
    int NoSendFileBOM = 0;
    int AutoSaveLog = 0;
    int BackupLogTimeCount = 0;
    int SaveEventTimetoFmtFile = 0;
    int TitleShowPortType = 1;
    int SenDataEncodeCov = 0;
    int LButtonDblClkSend = 0;
    int ShowDataListWnd = 0;
    int ScrollRSWnd = 0;
    // The traffic list's highlight rules, "mode|#RRGGBB|pattern" each (mode
    // text, regex or hex); empty for none.
    std::string Highlight1, Highlight2, Highlight3, Highlight4;
    std::string Highlight5, Highlight6, Highlight7, Highlight8;
    static constexpr int kHighlightKeyCount = 8;
    // Highlight1 .. Highlight8 by number n, 1..8.
    std::string& HighlightKey(int n);
    const std::string& HighlightKey(int n) const;
    int AutoRestart = 1;
    // Reopen a TCP client connection that ended, or a serial device that
    // vanished, every 2 s until it is back.
    int AutoReconnect = 0;
    // A TCP connection from which nothing has arrived for this many seconds
    // is closed (a server then waits for the next client); 0 = never.
    int IdleCloseSeconds = 0;
    int AutoSendElapse = 20;
    // The protocol that answers peers: 0 the configurable split strings and
    // responses, 1 the ASTM E1381 link. The role and the three times (ms)
    // belong to the latter.
    int ProtocolMode = 0;
    int AstmRole = 0;
    int AstmReplyTimeoutMs = 15000;
    int AstmIdleTimeoutMs = 30000;
    int AstmEnqRetryMs = 10000;
    // The traffic list's view: sent rows hidden (a link that echoes), the
    // frame check and gap columns shown, and the gap taken from the previous
    // record of any type (0) or of the same type (1).
    int EchoFree = 0;
    int ShowCheckColumn = 0;
    int ShowGapColumn = 0;
    int GapScope = 0;
    // The statistics band of the window shown (1) or hidden (0).
    int StatisticsShown = 0;

  private:
    void SetDefaults();

    bool readOnly_ = false;
    std::string loadError_;
};

// Work modes (the port kind of WorkMode).
inline constexpr int kWorkModeTcpServer = 0;
inline constexpr int kWorkModeTcpClient = 1;
inline constexpr int kWorkModeUdp = 2;
inline constexpr int kWorkModeSerial = 10;

// Protocol modes (ProtocolMode) and ASTM roles (AstmRole).
inline constexpr int kProtocolConfigurable = 0;
inline constexpr int kProtocolAstm = 1;
inline constexpr int kAstmRoleInstrument = 0;
inline constexpr int kAstmRoleHost = 1;

}  // namespace qelvor
