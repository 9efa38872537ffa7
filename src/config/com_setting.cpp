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

using S = CComSetting;

// The record member that holds each key of kSettingKeys, row by row. Exactly
// one of the three member pointers is set, the one of the key's type.
struct KeyField {
    SettingKey key;
    int S::*intField;
    uint8_t S::*byteField;
    std::string S::*textField;
};

constexpr KeyField Int(SettingKey key, int S::*field) {
    return {key, field, nullptr, nullptr};
}
constexpr KeyField Byte(SettingKey key, uint8_t S::*field) {
    return {key, nullptr, field, nullptr};
}
constexpr KeyField Text(SettingKey key, std::string S::*field) {
    return {key, nullptr, nullptr, field};
}

using K = SettingKey;

// clang-format off
constexpr KeyField kFields[] = {
    Int(K::UsedUILangCode, &S::UsedUILangCode), Int(K::ComPort, &S::ComPort),
    Text(K::ComName, &S::ComName), Int(K::BaudRate, &S::BaudRate),
    Int(K::ByteSize, &S::ByteSize), Int(K::StopBit, &S::StopBit), Int(K::Parity, &S::Parity),
    Int(K::FlowCtrl, &S::FlowCtrl), Int(K::DtrOnOpen, &S::DtrOnOpen),
    Int(K::RtsOnOpen, &S::RtsOnOpen), Int(K::WorkMode, &S::WorkMode),
    Int(K::HandShake, &S::HandShake), Int(K::ShowDataMask, &S::ShowDataMask),
    Int(K::ShowDataFmt, &S::ShowDataFmt), Int(K::CheckSum, &S::CheckSum),
    Int(K::SendFileFMT, &S::SendFileFMT), Int(K::SupportStress, &S::SupportStress),
    Int(K::NoSendFileBOM, &S::NoSendFileBOM), Int(K::AutoSaveLog, &S::AutoSaveLog),
    Int(K::BackupLogTimeCount, &S::BackupLogTimeCount),
    Int(K::SaveDatatoDesktop, &S::SaveDatatoDesktop),
    Int(K::SaveEventTimetoFmtFile, &S::SaveEventTimetoFmtFile),
    Int(K::HexSendData, &S::HexSendData), Int(K::UsedCheckSum, &S::UsedCheckSum),
    Int(K::UsedResponseFile, &S::UsedResponseFile),
    Int(K::SendAfterLoadFile, &S::SendAfterLoadFile),
    Int(K::TitleShowPortType, &S::TitleShowPortType),
    Int(K::SenDataEncodeCov, &S::SenDataEncodeCov), Int(K::AutoRestart, &S::AutoRestart),
    Int(K::AutoReconnect, &S::AutoReconnect), Int(K::AutoSendElapse, &S::AutoSendElapse),
    Text(K::SvrIPAddr, &S::SvrIPAddr), Int(K::IPPort, &S::IPPort),
    Int(K::UDPLocalPort, &S::UDPLocalPort), Int(K::UDPRemotePort, &S::UDPRemotePort),
    Text(K::SplitStrs, &S::SplitStrs), Text(K::RespondStrs, &S::RespondStrs),
    Text(K::Preamble, &S::Preamble), Text(K::Postamble, &S::Postamble),
    Int(K::InterframeDelay, &S::InterframeDelay), Byte(K::Replace_Old, &S::Replace_Old),
    Byte(K::Replace_New, &S::Replace_New), Int(K::LButtonDblClkSend, &S::LButtonDblClkSend),
    Int(K::ShowDataListWnd, &S::ShowDataListWnd), Int(K::ScrollRSWnd, &S::ScrollRSWnd),
    Text(K::Highlight1, &S::Highlight1), Text(K::Highlight2, &S::Highlight2),
    Text(K::Highlight3, &S::Highlight3), Text(K::Highlight4, &S::Highlight4),
    Text(K::Highlight5, &S::Highlight5), Text(K::Highlight6, &S::Highlight6),
    Text(K::Highlight7, &S::Highlight7), Text(K::Highlight8, &S::Highlight8),
    Int(K::ProtocolMode, &S::ProtocolMode), Int(K::AstmRole, &S::AstmRole),
    Int(K::AstmReplyTimeoutMs, &S::AstmReplyTimeoutMs),
    Int(K::AstmIdleTimeoutMs, &S::AstmIdleTimeoutMs),
    Int(K::AstmEnqRetryMs, &S::AstmEnqRetryMs), Int(K::EchoFree, &S::EchoFree),
    Int(K::ShowCheckColumn, &S::ShowCheckColumn), Int(K::ShowGapColumn, &S::ShowGapColumn),
    Int(K::GapScope, &S::GapScope), Int(K::StatisticsShown, &S::StatisticsShown),
    Int(K::IdleCloseSeconds, &S::IdleCloseSeconds), Int(K::KeepSessions, &S::KeepSessions),
    Int(K::RecordLinkEvents, &S::RecordLinkEvents), Int(K::SendLineEnd, &S::SendLineEnd),
    Int(K::Hl7Role, &S::Hl7Role), Int(K::Hl7AckCode, &S::Hl7AckCode),
    Int(K::Hl7AckTimeoutMs, &S::Hl7AckTimeoutMs), Int(K::Hl7Retries, &S::Hl7Retries),
    Int(K::Hl7MaxMessage, &S::Hl7MaxMessage), Int(K::Hl7ControlIds, &S::Hl7ControlIds),
    Int(K::Hl7FillTime, &S::Hl7FillTime), Text(K::PtyLink, &S::PtyLink),
    Text(K::TapA, &S::TapA), Text(K::TapB, &S::TapB), Int(K::TapSendSide, &S::TapSendSide),
    Text(K::Rule1, &S::Rule1), Text(K::Rule2, &S::Rule2), Text(K::Rule3, &S::Rule3),
    Text(K::Rule4, &S::Rule4), Text(K::Rule5, &S::Rule5), Text(K::Rule6, &S::Rule6),
    Text(K::Rule7, &S::Rule7), Text(K::Rule8, &S::Rule8), Text(K::Rule9, &S::Rule9),
    Text(K::Rule10, &S::Rule10), Text(K::Rule11, &S::Rule11), Text(K::Rule12, &S::Rule12),
    Text(K::Rule13, &S::Rule13), Text(K::Rule14, &S::Rule14), Text(K::Rule15, &S::Rule15),
    Text(K::Rule16, &S::Rule16), Int(K::FaultBadChecksum, &S::FaultBadChecksum),
    Int(K::FaultNak, &S::FaultNak), Int(K::FaultWithholdAck, &S::FaultWithholdAck),
    Int(K::FaultEnqContention, &S::FaultEnqContention), Int(K::FaultDropAfter, &S::FaultDropAfter),
    Int(K::FaultDelayMs, &S::FaultDelayMs), Text(K::OrdersFile, &S::OrdersFile),
    Int(K::ScriptHooks, &S::ScriptHooks),
};
// clang-format on

// One member a key, in the table's order and of the key's type.
constexpr bool FieldsMatchKeys() {
    if (std::size(kFields) != std::size(kSettingKeys)) return false;
    for (size_t i = 0; i < std::size(kFields); ++i) {
        const KeyField& field = kFields[i];
        const SettingType type = kSettingKeys[i].type;
        if (field.key != kSettingKeys[i].key) return false;
        if ((field.intField != nullptr) != (type == SettingType::kInt)) return false;
        if ((field.byteField != nullptr) != (type == SettingType::kByte)) return false;
        if ((field.textField != nullptr) != (type == SettingType::kText)) return false;
    }
    return true;
}
static_assert(FieldsMatchKeys(), "kFields must name one member of the key's type per key");

const KeyField& FieldOf(SettingKey key) {
    return kFields[static_cast<size_t>(key)];
}

constexpr std::string CComSetting::*kHighlightFields[CComSetting::kHighlightKeyCount] = {
    &S::Highlight1, &S::Highlight2, &S::Highlight3, &S::Highlight4,
    &S::Highlight5, &S::Highlight6, &S::Highlight7, &S::Highlight8,
};

constexpr std::string CComSetting::*kRuleFields[CComSetting::kRuleKeyCount] = {
    &S::Rule1, &S::Rule2,  &S::Rule3,  &S::Rule4,  &S::Rule5,  &S::Rule6,  &S::Rule7,  &S::Rule8,
    &S::Rule9, &S::Rule10, &S::Rule11, &S::Rule12, &S::Rule13, &S::Rule14, &S::Rule15, &S::Rule16,
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
             const KeyField& field) {
    const SettingKeyInfo& key = KeyInfo(field.key);
    if (field.textField != nullptr) {
        settings.*field.textField = ini.GetString(section, key.name, key.textDefault);
    } else if (field.byteField != nullptr) {
        settings.*field.byteField =
            static_cast<uint8_t>(ini.GetInt(section, key.name, key.intDefault) & 0xFF);
    } else {
        settings.*field.intField = ini.GetInt(section, key.name, key.intDefault);
    }
}

void ApplyLoadRules(CComSetting& settings) {
    const int mode = settings.WorkMode;
    if (mode != kWorkModeTcpServer && mode != kWorkModeTcpClient && mode != kWorkModeUdp &&
        mode != kWorkModePty && mode != kWorkModeTap)
        settings.WorkMode = kWorkModeSerial;
    settings.BackupLogTimeCount = std::max(settings.BackupLogTimeCount, kMinBackupMinutes);
    settings.InterframeDelay = ClampInt(settings.InterframeDelay, 0, kMaxInterframeDelay);
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

// The members start at the table's defaults already.
CComSetting::CComSetting() {
    SetNames.insert(kDefaultSet);
}

CComSetting CComSetting::Loaded(const std::string& iniName) {
    CComSetting settings;
    settings.Init(iniName);
    return settings;
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
    // Saved logs go where the user looks for them, never into an installed
    // program's folder.
    DesktopDir = UserFilesFolder(ExeDir);
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
    for (const KeyField& field : kFields)
        ReadKey(*this, ini, section, field);
    ApplyLoadRules(*this);
    return 1;
}

bool CComSetting::Save(const std::string& setName) {
    const bool listed = SaveSetList();
    const std::string section = setName.empty() ? GetCurrentSet() : setName;
    InterframeDelay = ClampInt(InterframeDelay, 0, kMaxInterframeDelay);
    if (readOnly_) return true;
    CIniFile ini(IniPath);
    if (!OpenForChange(*this, ini)) return false;
    // Only the keys whose values differ change their lines; a set saved
    // unchanged leaves the file as it was.
    bool named = true;
    for (const SettingKeyInfo& key : kSettingKeys)
        named = ini.SetString(section, key.name, KeyValue(key.key)) && named;
    return ini.Save() && named && listed;
}

std::string CComSetting::KeyValue(SettingKey key) const {
    const KeyField& field = FieldOf(key);
    if (field.textField != nullptr) return this->*field.textField;
    if (field.byteField != nullptr) return std::to_string(this->*field.byteField);
    return std::to_string(this->*field.intField);
}

bool CComSetting::WriteKey(SettingKey key) const {
    return WriteProfileString(GetCurrentSet(), KeyName(key), KeyValue(key));
}

std::string& CComSetting::HighlightKey(int n) {
    return this->*kHighlightFields[ClampInt(n, 1, kHighlightKeyCount) - 1];
}

const std::string& CComSetting::HighlightKey(int n) const {
    return this->*kHighlightFields[ClampInt(n, 1, kHighlightKeyCount) - 1];
}

std::string& CComSetting::RuleKey(int n) {
    return this->*kRuleFields[ClampInt(n, 1, kRuleKeyCount) - 1];
}

const std::string& CComSetting::RuleKey(int n) const {
    return this->*kRuleFields[ClampInt(n, 1, kRuleKeyCount) - 1];
}

std::string CComSetting::GetCurrentSet() const {
    const std::string name = Trim(ReadProfileString(kPublic, "CurrentSet", kDefaultSet));
    return name.empty() ? kDefaultSet : name;
}

bool CComSetting::SetCurrentSet(const std::string& setName) const {
    return WriteProfileString(kPublic, "CurrentSet", setName);
}

bool CComSetting::SaveSetList() const {
    std::string list;
    for (const std::string& name : SetNames) {
        if (!name.empty()) list += name + ',';
    }
    // Every trailing "," goes, a name's own included, so the list never ends
    // in an empty entry.
    while (!list.empty() && list.back() == ',')
        list.pop_back();
    return WriteProfileString(kPublic, "SetList", list);
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

bool CComSetting::WriteProfileString(const std::string& section, const std::string& key,
                                     const std::string& value) const {
    if (readOnly_) return true;
    CIniFile ini(IniPath);
    return OpenForChange(*this, ini) && ini.SetString(section, key, value) && ini.Save();
}

bool CComSetting::WriteProfileInt(const std::string& section, const std::string& key,
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
        case kWorkModePty:
            return "PTY:" + (PtyLink.empty() ? std::string("ttyQelvor0") : PtyLink);
        case kWorkModeTap:
            return "TAP(A=" + TapA + ",B=" + TapB + ")";
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
