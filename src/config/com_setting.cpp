#include "config/com_setting.h"

#include <unistd.h>

#include <algorithm>

#include "config/app_paths.h"
#include "config/file_writer.h"
#include "config/ini_file.h"
#include "config/string_table.h"

namespace qelvor {

namespace {

constexpr const char* kPublic = "Public";
constexpr const char* kDefaultSet = "ComSet";
constexpr int kMaxInterframeDelay = 10000;
constexpr int kMinBackupMinutes = 10;

// One key of a settings set: its name, the field that holds it and its
// default. Exactly one of the three field pointers is set.
struct KeyField {
    const char* name;
    int CComSetting::*intField;
    std::string CComSetting::*textField;
    uint8_t CComSetting::*byteField;
    int intDefault;
    const char* textDefault;
};

constexpr KeyField Int(const char* name, int CComSetting::*field, int defaultValue) {
    return {name, field, nullptr, nullptr, defaultValue, ""};
}
constexpr KeyField Text(const char* name, std::string CComSetting::*field, const char* value) {
    return {name, nullptr, field, nullptr, 0, value};
}
constexpr KeyField Byte(const char* name, uint8_t CComSetting::*field) {
    return {name, nullptr, nullptr, field, 0, ""};
}

using S = CComSetting;

// The keys of a settings set in the order in which they are written; a new
// section holds them in this order.
constexpr KeyField kKeys[] = {
    Int("UsedUILangCode", &S::UsedUILangCode, 0),
    Int("ComPort", &S::ComPort, 1),
    Text("ComName", &S::ComName, ""),
    Int("BaudRate", &S::BaudRate, 9600),
    Int("ByteSize", &S::ByteSize, 8),
    Int("StopBit", &S::StopBit, 0),
    Int("Parity", &S::Parity, 0),
    Int("FlowCtrl", &S::FlowCtrl, 0),
    Int("DtrOnOpen", &S::DtrOnOpen, 1),
    Int("RtsOnOpen", &S::RtsOnOpen, 1),
    Int("WorkMode", &S::WorkMode, kWorkModeSerial),
    Int("HandShake", &S::HandShake, 0),
    Int("ShowDataMask", &S::ShowDataMask, 1),
    Int("ShowDataFmt", &S::ShowDataFmt, 1),
    Int("CheckSum", &S::CheckSum, 0),
    Int("SendFileFMT", &S::SendFileFMT, 0),
    Int("SupportStress", &S::SupportStress, 0),
    Int("NoSendFileBOM", &S::NoSendFileBOM, 0),
    Int("AutoSaveLog", &S::AutoSaveLog, 0),
    Int("BackupLogTimeCount", &S::BackupLogTimeCount, 120),
    Int("SaveDatatoDesktop", &S::SaveDatatoDesktop, 1),
    Int("SaveEventTimetoFmtFile", &S::SaveEventTimetoFmtFile, 0),
    Int("HexSendData", &S::HexSendData, 0),
    Int("UsedCheckSum", &S::UsedCheckSum, 0),
    Int("UsedResponseFile", &S::UsedResponseFile, 0),
    Int("SendAfterLoadFile", &S::SendAfterLoadFile, 0),
    Int("TitleShowPortType", &S::TitleShowPortType, 1),
    Int("SenDataEncodeCov", &S::SenDataEncodeCov, 0),
    Int("AutoRestart", &S::AutoRestart, 1),
    Int("AutoReconnect", &S::AutoReconnect, 0),
    Int("AutoSendElapse", &S::AutoSendElapse, 20),
    Text("SvrIPAddr", &S::SvrIPAddr, "127.0.0.1"),
    Int("IPPort", &S::IPPort, 9000),
    Int("UDPLocalPort", &S::UDPLocalPort, 9000),
    Int("UDPRemotePort", &S::UDPRemotePort, -1),
    Text("SplitStrs", &S::SplitStrs, "<CR><LF>,<ENQ>,<ACK>,<NAK>,<ETX>,<ETB>,<EOT><SOH>,<EOT>"),
    Text("RespondStrs", &S::RespondStrs, "<ACK>,<ACK>,[DATA],[RDATA],<ACK>,<ACK>,<ACK>"),
    Text("Preamble", &S::Preamble, ""),
    Text("Postamble", &S::Postamble, ""),
    Int("InterframeDelay", &S::InterframeDelay, 100),
    Byte("Replace_Old", &S::Replace_Old),
    Byte("Replace_New", &S::Replace_New),
    Int("LButtonDblClkSend", &S::LButtonDblClkSend, 0),
    Int("ShowDataListWnd", &S::ShowDataListWnd, 1),
    Int("ScrollRSWnd", &S::ScrollRSWnd, 0),
    Text("Highlight1", &S::Highlight1, ""),
    Text("Highlight2", &S::Highlight2, ""),
    Text("Highlight3", &S::Highlight3, ""),
    Text("Highlight4", &S::Highlight4, ""),
    Text("Highlight5", &S::Highlight5, ""),
    Text("Highlight6", &S::Highlight6, ""),
    Text("Highlight7", &S::Highlight7, ""),
    Text("Highlight8", &S::Highlight8, ""),
    Int("ProtocolMode", &S::ProtocolMode, kProtocolConfigurable),
    Int("AstmRole", &S::AstmRole, kAstmRoleInstrument),
    Int("AstmReplyTimeoutMs", &S::AstmReplyTimeoutMs, 15000),
    Int("AstmIdleTimeoutMs", &S::AstmIdleTimeoutMs, 30000),
    Int("AstmEnqRetryMs", &S::AstmEnqRetryMs, 10000),
    Int("EchoFree", &S::EchoFree, 0),
    Int("ShowCheckColumn", &S::ShowCheckColumn, 0),
    Int("ShowGapColumn", &S::ShowGapColumn, 0),
    Int("GapScope", &S::GapScope, 0),
    Int("StatisticsShown", &S::StatisticsShown, 0),
    Int("IdleCloseSeconds", &S::IdleCloseSeconds, 0),
};

constexpr std::string CComSetting::*kHighlightFields[CComSetting::kHighlightKeyCount] = {
    &S::Highlight1, &S::Highlight2, &S::Highlight3, &S::Highlight4,
    &S::Highlight5, &S::Highlight6, &S::Highlight7, &S::Highlight8,
};

const char* const kBlanks = " \t\r\n\v\f";

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

int ClampInt(int value, int low, int high) {
    return std::min(std::max(value, low), high);
}

// Opens the INI file for a change. The settings folder under the user's
// configuration home is made on the first write; any other folder must exist.
// False when the file exists but cannot be read, so that a change never
// replaces contents it could not see.
bool OpenForChange(const CComSetting& settings, CIniFile& ini) {
    if (settings.IniPath.empty()) return false;
    const std::string folder = FolderOf(settings.IniPath);
    if (folder == SettingsDir(settings.ExeDir)) EnsureFolder(folder);
    return ini.Load();
}

void ReadKey(CComSetting& settings, const CIniFile& ini, const std::string& section,
             const KeyField& key) {
    if (key.textField != nullptr) {
        settings.*key.textField = ini.GetString(section, key.name, key.textDefault);
    } else if (key.byteField != nullptr) {
        settings.*key.byteField = static_cast<uint8_t>(ini.GetInt(section, key.name, 0) & 0xFF);
    } else {
        settings.*key.intField = ini.GetInt(section, key.name, key.intDefault);
    }
}

void WriteKey(const CComSetting& settings, CIniFile& ini, const std::string& section,
              const KeyField& key) {
    if (key.textField != nullptr) {
        ini.SetString(section, key.name, settings.*key.textField);
    } else if (key.byteField != nullptr) {
        ini.SetInt(section, key.name, settings.*key.byteField);
    } else {
        ini.SetInt(section, key.name, settings.*key.intField);
    }
}

void ApplyLoadRules(CComSetting& settings) {
    const int mode = settings.WorkMode;
    if (mode != kWorkModeTcpServer && mode != kWorkModeTcpClient && mode != kWorkModeUdp)
        settings.WorkMode = kWorkModeSerial;
    settings.BackupLogTimeCount = std::max(settings.BackupLogTimeCount, kMinBackupMinutes);
    settings.InterframeDelay = ClampInt(settings.InterframeDelay, 0, kMaxInterframeDelay);
}

// Every key of the table at its default, as a missing file gives it.
void ApplyKeyDefaults(CComSetting& settings) {
    CIniFile none("");
    for (const KeyField& key : kKeys)
        ReadKey(settings, none, kDefaultSet, key);
}

// The file's lines with the section of header (and any later section of the
// same name) left out; every kept line trimmed and ended with CR LF.
std::string WithoutSection(const std::string& text, const std::string& header) {
    std::string kept;
    bool removing = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line[0] == '[') removing = EqualNoCase(line, header);
        if (removing) continue;
        kept += line;
        kept += "\r\n";
    }
    return kept;
}

}  // namespace

CComSetting::CComSetting() {
    SetDefaults();
}

CComSetting CComSetting::Loaded(const std::string& iniName) {
    CComSetting settings;
    settings.Init(iniName);
    return settings;
}

void CComSetting::SetDefaults() {
    ApplyKeyDefaults(*this);
    SetNames.insert(kDefaultSet);
}

int CComSetting::Init(const std::string& iniName) {
    const std::string program = ProgramPath();
    if (program.empty()) return 0;
    ExePath = program;
    ExeDir = FolderOf(program);
    const std::string settingsDir = SettingsDir(ExeDir);
    if (iniName.empty()) {
        IniPath = settingsDir + program.substr(program.rfind('/') + 1) + ".ini";
    } else if (iniName.find('/') != std::string::npos) {
        IniPath = iniName;
    } else {
        IniPath = settingsDir + iniName;
    }
    DesktopDir = DesktopFolder();
    if (DesktopDir.empty()) DesktopDir = ExeDir;
    if (DesktopDir.empty() || DesktopDir.back() != '/') DesktopDir += '/';

    // The names already known stay: a second file named on the command line
    // adds its sets to those of the first, and its list receives them all at
    // its next save.
    std::vector<std::string> names;
    Split(ReadProfileString(kPublic, "SetList", ""), ',', names);
    for (const std::string& name : names) {
        if (!name.empty()) SetNames.insert(name);
    }
    SetNames.insert(kDefaultSet);
    return Load("");
}

int CComSetting::Load(const std::string& setName) {
    const std::string section = setName.empty() ? GetCurrentSet() : setName;
    CIniFile ini(IniPath);
    ini.Load();
    loadError_ = ini.LoadError();
    for (const KeyField& key : kKeys)
        ReadKey(*this, ini, section, key);
    ApplyLoadRules(*this);
    return 1;
}

int CComSetting::Save(const std::string& setName) {
    SaveSetList();
    const std::string section = setName.empty() ? GetCurrentSet() : setName;
    InterframeDelay = ClampInt(InterframeDelay, 0, kMaxInterframeDelay);
    CIniFile ini(IniPath);
    if (readOnly_ || !OpenForChange(*this, ini)) return 1;
    // Only the keys whose values differ change their lines; a set saved
    // unchanged leaves the file as it was.
    for (const KeyField& key : kKeys)
        WriteKey(*this, ini, section, key);
    ini.Save();
    return 1;
}

std::string& CComSetting::HighlightKey(int n) {
    return this->*kHighlightFields[ClampInt(n, 1, kHighlightKeyCount) - 1];
}

const std::string& CComSetting::HighlightKey(int n) const {
    return this->*kHighlightFields[ClampInt(n, 1, kHighlightKeyCount) - 1];
}

std::string CComSetting::GetCurrentSet() const {
    const std::string name = Trim(ReadProfileString(kPublic, "CurrentSet", kDefaultSet));
    return name.empty() ? kDefaultSet : name;
}

int CComSetting::SetCurrentSet(const std::string& setName) const {
    return WriteProfileString(kPublic, "CurrentSet", setName);
}

int CComSetting::SaveSetList() const {
    std::string list;
    for (const std::string& name : SetNames) {
        if (!name.empty()) list += name + ',';
    }
    // Every trailing "," goes, a name's own included, so the list never ends
    // in an empty entry.
    while (!list.empty() && list.back() == ',')
        list.pop_back();
    WriteProfileString(kPublic, "SetList", list);
    return 1;
}

int CComSetting::DeleteSet(const std::string& setName) {
    if (readOnly_) {
        SetNames.erase(setName);
        return 1;
    }
    std::string text;
    std::string error;
    if (ReadWholeFile(IniPath, text, error) != ReadResult::Read) return 0;
    if (::access(IniPath.c_str(), W_OK) != 0) return 0;
    SetNames.erase(setName);
    SaveSetList();
    if (ReadWholeFile(IniPath, text, error) != ReadResult::Read) return 0;
    const int err = CFileWriter::WriteFile(IniPath, WithoutSection(text, "[" + setName + "]"),
                                           CFileWriter::Mode::Truncate);
    return err == 0 ? 1 : 0;
}

bool CComSetting::HasSet(const std::string& name) const {
    for (const std::string& known : SetNames) {
        if (EqualNoCase(known, name)) return true;
    }
    CIniFile ini(IniPath);
    return ini.Load() && ini.HasSection(name);
}

std::string CComSetting::ReadProfileString(const std::string& section, const std::string& key,
                                           const std::string& defaultValue) const {
    CIniFile ini(IniPath);
    ini.Load();
    return ini.GetString(section, key, defaultValue);
}

int CComSetting::ReadProfileInt(const std::string& section, const std::string& key,
                                int defaultValue) const {
    CIniFile ini(IniPath);
    ini.Load();
    return ini.GetInt(section, key, defaultValue);
}

int CComSetting::WriteProfileString(const std::string& section, const std::string& key,
                                    const std::string& value) const {
    if (readOnly_) return 1;
    CIniFile ini(IniPath);
    if (!OpenForChange(*this, ini) || !ini.SetString(section, key, value)) return 0;
    return ini.Save() ? 1 : 0;
}

int CComSetting::WriteProfileInt(const std::string& section, const std::string& key,
                                 int value) const {
    return WriteProfileString(section, key, std::to_string(value));
}

std::string CComSetting::DescribePort() const {
    switch (WorkMode) {
        case kWorkModeTcpServer:
            return StrPrintf("TCP-Server(Port=%d)", IPPort);
        case kWorkModeTcpClient:
            return StrPrintf("TCP-Client(%s:%d)", SvrIPAddr.c_str(), IPPort);
        case kWorkModeUdp:
            return StrPrintf("UDP(%s:%d,L:%d)", SvrIPAddr.c_str(), UDPRemotePort, UDPLocalPort);
        case kWorkModeSerial:
            if (ComPort == 0 && !ComName.empty()) return "SerialPort:" + ComName;
            return StrPrintf("SerialPort:COM%d", ComPort);
        default:
            return {};
    }
}

int CComSetting::Split(const std::string& text, char separator, std::vector<std::string>& pieces) {
    pieces.clear();
    if (text.empty()) return 0;
    size_t start = 0;
    for (size_t pos = text.find(separator); pos != std::string::npos;
         pos = text.find(separator, start)) {
        pieces.push_back(text.substr(start, pos - start));
        start = pos + 1;
    }
    pieces.push_back(text.substr(start));
    return static_cast<int>(pieces.size());
}

}  // namespace qelvor
