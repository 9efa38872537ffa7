#include "config/com_set_form.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <limits>

#include "config/string_table.h"
#include "data/ctrl_char_notation.h"
#include "tap/named_port.h"

namespace qelvor {

const std::array<int, 13> CComSetForm::kBaudRates = {
    110, 300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

namespace {

constexpr const char* kCaption = "System Configure";
// A set whose section names no ComPort uses the default, a COMn.
constexpr int kComPortUnset = -1;

struct CheckBinding {
    bool ComSetControls::*control;
    int CComSetting::*field;
};
constexpr CheckBinding kChecks[] = {
    {&ComSetControls::HexSendData, &CComSetting::HexSendData},
    {&ComSetControls::HandShake, &CComSetting::HandShake},
    {&ComSetControls::UsedCheckSum, &CComSetting::UsedCheckSum},
    {&ComSetControls::SupportStress, &CComSetting::SupportStress},
    {&ComSetControls::SaveEventTimetoFmtFile, &CComSetting::SaveEventTimetoFmtFile},
    {&ComSetControls::AutoRestart, &CComSetting::AutoRestart},
    {&ComSetControls::SaveDatatoDesktop, &CComSetting::SaveDatatoDesktop},
    {&ComSetControls::SendAfterLoadFile, &CComSetting::SendAfterLoadFile},
    {&ComSetControls::TitleShowPortType, &CComSetting::TitleShowPortType},
    {&ComSetControls::UsedResponseFile, &CComSetting::UsedResponseFile},
    {&ComSetControls::NoSendFileBOM, &CComSetting::NoSendFileBOM},
    {&ComSetControls::AutoSaveLog, &CComSetting::AutoSaveLog},
    {&ComSetControls::DtrOnOpen, &CComSetting::DtrOnOpen},
    {&ComSetControls::RtsOnOpen, &CComSetting::RtsOnOpen},
    {&ComSetControls::AutoReconnect, &CComSetting::AutoReconnect},
    {&ComSetControls::Hl7FillTime, &CComSetting::Hl7FillTime},
};

struct TextBinding {
    std::string ComSetControls::*control;
    std::string CComSetting::*field;
};
constexpr TextBinding kTexts[] = {
    {&ComSetControls::ComName, &CComSetting::ComName},
    {&ComSetControls::Preamble, &CComSetting::Preamble},
    {&ComSetControls::Postamble, &CComSetting::Postamble},
    {&ComSetControls::SplitStrs, &CComSetting::SplitStrs},
    {&ComSetControls::RespondStrs, &CComSetting::RespondStrs},
    {&ComSetControls::PtyLink, &CComSetting::PtyLink},
    {&ComSetControls::OrdersFile, &CComSetting::OrdersFile},
};

constexpr int kAnyInt = std::numeric_limits<int>::min(), kAllInts = std::numeric_limits<int>::max();

// A number edit and its field. Most take any int, as the dialog always has;
// the HL7 link's numbers are refused outside what the link can work with,
// and a file's value beyond them is shown at the nearest end.
struct NumberBinding {
    const char* key;
    std::string ComSetControls::*control;
    int CComSetting::*field;
    int min = kAnyInt, max = kAllInts;
};
constexpr NumberBinding kNumbers[] = {
    {"IPPort", &ComSetControls::IPPort, &CComSetting::IPPort},
    {"UDPRemotePort", &ComSetControls::UDPRemotePort, &CComSetting::UDPRemotePort},
    {"UDPLocalPort", &ComSetControls::UDPLocalPort, &CComSetting::UDPLocalPort},
    {"AutoSendElapse", &ComSetControls::AutoSendElapse, &CComSetting::AutoSendElapse},
    {"BackupLogTimeCount", &ComSetControls::BackupLogTimeCount, &CComSetting::BackupLogTimeCount},
    {"InterframeDelay", &ComSetControls::InterframeDelay, &CComSetting::InterframeDelay},
    {"AstmReplyTimeoutMs", &ComSetControls::AstmReplyTimeoutMs, &CComSetting::AstmReplyTimeoutMs},
    {"AstmIdleTimeoutMs", &ComSetControls::AstmIdleTimeoutMs, &CComSetting::AstmIdleTimeoutMs},
    {"AstmEnqRetryMs", &ComSetControls::AstmEnqRetryMs, &CComSetting::AstmEnqRetryMs},
    // Up to an hour for an answer.
    {"Hl7AckTimeoutMs", &ComSetControls::Hl7AckTimeoutMs, &CComSetting::Hl7AckTimeoutMs, 1,
     3600000},
    {"Hl7Retries", &ComSetControls::Hl7Retries, &CComSetting::Hl7Retries, 0, 100},
    // Below 1 KiB a message with its header barely fits; 64 MiB bounds what one message holds
    // in memory.
    {"Hl7MaxMessage", &ComSetControls::Hl7MaxMessage, &CComSetting::Hl7MaxMessage, 1024, 64 << 20},
};

// Lists whose index is the value itself; a list without a selection writes
// -1, as the dialog always has.
struct IndexBinding {
    int ComSetControls::*control;
    int CComSetting::*field;
    int count;
};
constexpr IndexBinding kIndexLists[] = {
    {&ComSetControls::CheckSum, &CComSetting::CheckSum, 4},
    {&ComSetControls::SendFileFMT, &CComSetting::SendFileFMT, 3},
    {&ComSetControls::ShowDataFmt, &CComSetting::ShowDataFmt, 3},
    {&ComSetControls::SenDataEncodeCov, &CComSetting::SenDataEncodeCov, 3},
    {&ComSetControls::ProtocolMode, &CComSetting::ProtocolMode, 3},
    {&ComSetControls::AstmRole, &CComSetting::AstmRole, 2},
    {&ComSetControls::Hl7Role, &CComSetting::Hl7Role, 2},
    {&ComSetControls::Hl7AckCode, &CComSetting::Hl7AckCode, 4},
    {&ComSetControls::Hl7ControlIds, &CComSetting::Hl7ControlIds, 2},
};

// A value shown in a list of count entries; outside it nothing is selected.
int IndexIn(int value, int count) {
    return value >= 0 && value < count ? value : -1;
}

int BaudRateIndex(int rate) {
    const auto& rates = CComSetForm::kBaudRates;
    const auto* found = std::find(rates.begin(), rates.end(), rate);
    return found == rates.end() ? -1 : static_cast<int>(found - rates.begin());
}

std::string Trim(const std::string& text) {
    const auto blank = [](char ch) { return std::isspace(static_cast<unsigned char>(ch)) != 0; };
    const auto first = std::find_if_not(text.begin(), text.end(), blank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

bool IsDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char ch) {
        return std::isdigit(static_cast<unsigned char>(ch)) != 0;
    });
}

bool LessNoCase(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

// The tap's endpoint keys and the controls their names are split into.
struct EndpointBinding {
    const char* key;
    int ComSetControls::*kind;
    std::string ComSetControls::*rest;
    std::string CComSetting::*field;
};
constexpr EndpointBinding kEndpoints[] = {
    {"TapA", &ComSetControls::TapAKind, &ComSetControls::TapA, &CComSetting::TapA},
    {"TapB", &ComSetControls::TapBKind, &ComSetControls::TapB, &CComSetting::TapB},
};
constexpr int kTapKindPty = 4;
static_assert(std::string_view(CComSetForm::kTapKinds[kTapKindPty]) == "pty");

// A stored endpoint as its kind's index and the rest of its name; a name
// of no known kind is kept whole, with no kind chosen.
void SplitEndpoint(const std::string& text, int& kind, std::string& rest) {
    const size_t colon = text.find(':');
    const std::string head = text.substr(0, colon);
    const auto& kinds = CComSetForm::kTapKinds;
    const auto* found =
        std::find_if(kinds.begin(), kinds.end(), [&](const char* name) { return head == name; });
    if (found == kinds.end()) {
        kind = text.empty() ? 0 : -1;
        rest = text;
        return;
    }
    kind = static_cast<int>(found - kinds.begin());
    rest = colon == std::string::npos ? std::string() : text.substr(colon + 1);
}

// The stored name: the kind, a colon and the rest. An empty rest names
// nothing, but for a virtual port, whose default link it is.
std::string JoinEndpoint(int kind, const std::string& typed) {
    const std::string rest = Trim(typed);
    if (kind < 0 || kind >= static_cast<int>(CComSetForm::kTapKinds.size())) return rest;
    const std::string name = CComSetForm::kTapKinds[static_cast<size_t>(kind)];
    if (rest.empty()) return kind == kTapKindPty ? name : std::string();
    return name + ":" + rest;
}

}  // namespace

CComSetForm::CComSetForm(CComSetting& global, bool portOpen, IMessageBox& box)
    : global_(global), working_(global), portOpen_(portOpen), box_(box) {
    SetDevices({});
}

std::string CComSetForm::Title(const std::string& base) const {
    if (base.find('(') != std::string::npos) return base;
    const size_t slash = global_.IniPath.rfind('/');
    if (slash == std::string::npos || slash == 0) return base;
    return base + "(" + global_.IniPath.substr(slash + 1) + ")";
}

void CComSetForm::Open() {
    Reset();
    c_.PortControlsEnabled = !portOpen_;
    c_.ComNameShown = ComPortValue(c_.ComPort) == 0;
    if (IsFirstStart()) OfferFoundDevice();
}

bool CComSetForm::IsFirstStart() const {
    return !global_.IniPath.empty() && ::access(global_.IniPath.c_str(), F_OK) != 0 &&
           errno == ENOENT;
}

// The default COM1 is seldom the device meant, nor is any built-in ttyS
// port: a free device found besides them (an adapter plugged in) is offered,
// else the path box.
void CComSetForm::OfferFoundDevice() {
    const int found = static_cast<int>(devices_.size());
    if (c_.ComPort >= 0 && c_.ComPort < found && ComPortValue(c_.ComPort) == 0) return;
    int offered = found;  // COM_Ext
    for (int i = found - 1; i >= 0; --i) {
        if (ComPortValue(i) == 0 && devices_[static_cast<size_t>(i)].state.empty()) offered = i;
    }
    ChooseComPort(offered);
}

void CComSetForm::Reset() {
    working_ = global_;
    FillSeries();
    ShowFields();
    const std::string current = working_.GetCurrentSet();
    SelectSeries(FindSeriesEntry(current, true));
    LoadIntoForm(current);
}

void CComSetForm::LoadIntoForm(const std::string& name) {
    working_.Load(name);
    c_.ComPort = ComPortIndex(working_.ComPort, working_.ComName);
    c_.BaudRate = BaudRateIndex(working_.BaudRate);
    c_.ByteSize = IndexIn(8 - working_.ByteSize, 5);
    c_.Parity = IndexIn(working_.Parity, 5);
    c_.FlowCtrl = IndexIn(working_.FlowCtrl, 3);
    c_.StopBit = IndexIn(working_.StopBit, 3);
    c_.WorkMode = working_.WorkMode;
    c_.ServerAddress = c_.RemoteAddress = DottedAddress(working_.SvrIPAddr);
    const auto& hex = HexPairTable;
    c_.ReplaceOld = std::string(hex[working_.Replace_Old].data(), 2);
    c_.ReplaceNew = std::string(hex[working_.Replace_New].data(), 2);
    ShowFields();
    ShowGroups();
    ApplyReadOnlyRules();
}

// The bound fields into their controls.
void CComSetForm::ShowFields() {
    for (const CheckBinding& b : kChecks)
        c_.*b.control = working_.*b.field != 0;
    for (const TextBinding& b : kTexts)
        c_.*b.control = working_.*b.field;
    for (const NumberBinding& b : kNumbers)
        c_.*b.control = std::to_string(std::clamp(working_.*b.field, b.min, b.max));
    for (const IndexBinding& b : kIndexLists)
        c_.*b.control = IndexIn(working_.*b.field, b.count);
    for (const EndpointBinding& b : kEndpoints)
        SplitEndpoint(working_.*b.field, c_.*b.kind, c_.*b.rest);
}

void CComSetForm::ShowGroups() {
    c_.TcpShown = c_.WorkMode == kWorkModeTcpServer || c_.WorkMode == kWorkModeTcpClient;
    c_.SerialShown = c_.WorkMode == kWorkModeSerial;
    c_.UdpShown = c_.WorkMode == kWorkModeUdp;
    c_.PtyShown = c_.WorkMode == kWorkModePty;
    c_.TapShown = c_.WorkMode == kWorkModeTap;
    c_.LineShown = c_.SerialShown || c_.TapShown;
    // A tap's sides reopen their links with it too.
    c_.AutoReconnectShown = c_.LineShown || c_.WorkMode == kWorkModeTcpClient;
}

void CComSetForm::ApplyReadOnlyRules() {
    c_.RespondReadOnly = working_.HandShake == 0;
    c_.PreambleReadOnly = working_.HexSendData != 0;
    c_.InterframeReadOnly = !working_.SplitStrs.empty();
}

std::optional<NumberRefusal> CComSetForm::CollectControls() {
    for (const CheckBinding& b : kChecks)
        working_.*b.field = c_.*b.control ? 1 : 0;
    for (const TextBinding& b : kTexts)
        working_.*b.field = c_.*b.control;
    std::optional<NumberRefusal> refused;
    for (const NumberBinding& b : kNumbers) {
        int value = 0;
        if (ParseNumber(c_.*b.control, value) && value >= b.min && value <= b.max) {
            working_.*b.field = value;
        } else if (!refused) {
            refused = NumberRefusal{b.key, c_.*b.control, b.min, b.max, {}};
        }
    }
    TakeListIndexes();
    working_.WorkMode = c_.WorkMode;
    working_.SvrIPAddr = c_.WorkMode == kWorkModeUdp ? c_.RemoteAddress : c_.ServerAddress;
    for (const IndexBinding& b : kIndexLists)
        working_.*b.field = c_.*b.control;
    working_.Replace_Old = ReplaceByte(c_.ReplaceOld);
    working_.Replace_New = ReplaceByte(c_.ReplaceNew);
    std::optional<NumberRefusal> badEndpoint = CollectEndpoints();
    return refused ? refused : badEndpoint;
}

std::optional<NumberRefusal> CComSetForm::CollectEndpoints() {
    std::optional<NumberRefusal> refused;
    for (const EndpointBinding& b : kEndpoints) {
        working_.*b.field = JoinEndpoint(c_.*b.kind, c_.*b.rest);
        // Another mode keeps what was typed: the tap opens only in its own.
        if (refused || c_.WorkMode != kWorkModeTap) continue;
        CNamedPort port;
        std::string why;
        if (!ParseEndpoint(working_.*b.field, port, why)) {
            refused = NumberRefusal{b.key, working_.*b.field, kAnyInt, kAllInts, why};
        }
    }
    return refused;
}

// A serial list without a selection leaves its field as it was, so a value
// the list does not offer (a baud rate of 14400) survives a save.
void CComSetForm::TakeListIndexes() {
    if (c_.ComPort != -1) working_.ComPort = ComPortValue(c_.ComPort);
    if (c_.BaudRate >= 0 && c_.BaudRate < static_cast<int>(kBaudRates.size()))
        working_.BaudRate = kBaudRates[static_cast<size_t>(c_.BaudRate)];
    if (c_.ByteSize != -1) working_.ByteSize = 8 - c_.ByteSize;
    if (c_.Parity != -1) working_.Parity = c_.Parity;
    if (c_.FlowCtrl != -1) working_.FlowCtrl = c_.FlowCtrl;
    if (c_.StopBit != -1) working_.StopBit = c_.StopBit;
}

std::optional<NumberRefusal> CComSetForm::Save() {
    // The numbers are checked first, so that a refused one writes nothing.
    if (auto refused = CollectControls()) return refused;
    const std::string name = c_.SeriesText;
    const bool current = working_.SetCurrentSet(name);
    TellUnlessSaved(working_.Save(name) && current);
    // The settings take effect for this run even when the file refused them.
    global_ = working_;
    return std::nullopt;
}

void CComSetForm::TellUnlessSaved(bool saved) {
    if (saved) return;
    box_.ShowMessageBox("The settings could not be saved to " + working_.IniPath + ".", kCaption,
                        MsgIcon::Exclamation, MsgButtons::Ok);
}

std::optional<NumberRefusal> CComSetForm::SaveSeries() {
    if (auto refused = CollectControls()) return refused;
    const std::string name = c_.SeriesText;
    if (name.empty()) return std::nullopt;
    const int found = FindSeriesEntry(name, false);
    SelectSeries(found >= 0 ? found : AddSeriesEntry(name));
    c_.SeriesText = name;
    working_.SetNames.insert(name);
    global_.SetNames.insert(name);
    TellUnlessSaved(working_.Save(name));
    return std::nullopt;
}

void CComSetForm::DelSeries() {
    const int index = c_.SeriesIndex;
    if (index < 0 || index >= static_cast<int>(c_.SeriesEntries.size())) return;
    const std::string name = c_.SeriesEntries[static_cast<size_t>(index)];
    if (strcasecmp(name.c_str(), kDefaultSet) == 0) {
        box_.ShowMessageBox(LoadStr(kStrDefaultTemplateCannotBeDeleted), kCaption,
                            MsgIcon::Exclamation, MsgButtons::Ok);
        return;
    }
    if (working_.DeleteSet(name) != 0) {
        global_.SetNames.erase(name);
        c_.SeriesEntries.erase(c_.SeriesEntries.begin() + index);
    }
    const int count = static_cast<int>(c_.SeriesEntries.size());
    SelectSeries(index < count ? index : (count > 0 ? 0 : -1));
    LoadIntoForm(c_.SeriesText.empty() ? std::string(kDefaultSet) : c_.SeriesText);
}

void CComSetForm::ChooseSeries(int index) {
    CollectControls();
    SelectSeries(index);
    if (!c_.SeriesText.empty()) LoadIntoForm(c_.SeriesText);
}

void CComSetForm::ChooseWorkMode(int mode) {
    c_.WorkMode = mode;
    ShowGroups();
}

void CComSetForm::ChooseComPort(int index) {
    c_.ComPort = index;
    const int value = ComPortValue(index);
    if (value == 0 && index < static_cast<int>(devices_.size()))
        c_.ComName = devices_[static_cast<size_t>(index)].path;
    c_.ComNameShown = value == 0;
}

void CComSetForm::PortClosed() {
    portOpen_ = false;
    c_.PortControlsEnabled = true;
}

// --- the "COM Port" list ---

void CComSetForm::SetDevices(std::vector<SerialDevice> devices) {
    const int chosen = ComPortValue(c_.ComPort);
    devices_ = std::move(devices);
    c_.ComPortEntries.clear();
    for (const SerialDevice& device : devices_)
        c_.ComPortEntries.push_back(DeviceLine(device));
    c_.ComPortEntries.push_back("COM_Ext");
    for (int n = 1; n <= kComPortCount; ++n)
        c_.ComPortEntries.push_back("COM" + std::to_string(n) + " (/dev/ttyS" +
                                    std::to_string(n - 1) + ")");
    if (chosen >= 0) c_.ComPort = ComPortIndex(chosen, c_.ComName);
}

int CComSetForm::ComPortIndex(int comPort, const std::string& comName) const {
    if (comPort < 0 || comPort > kComPortCount) return -1;
    const std::string path =
        comPort == 0 ? DevicePathOf(comName) : "/dev/ttyS" + std::to_string(comPort - 1);
    for (size_t i = 0; i < devices_.size(); ++i) {
        if (!path.empty() && (devices_[i].path == path || devices_[i].byId == path))
            return static_cast<int>(i);
    }
    return static_cast<int>(devices_.size()) + comPort;
}

int CComSetForm::ComPortValue(int index) const {
    const int found = static_cast<int>(devices_.size());
    if (index < 0 || index > found + kComPortCount) return -1;
    if (index >= found) return index - found;
    // A found ttyS device is the COMn the list names it by.
    const std::string& path = devices_[static_cast<size_t>(index)].path;
    const std::string prefix = "/dev/ttyS",
                      digits = path.substr(std::min(path.size(), prefix.size()));
    if (path.compare(0, prefix.size(), prefix) != 0 || !IsDigits(digits) || digits.size() > 2)
        return 0;
    const int number = std::stoi(digits);
    return number < kComPortCount ? number + 1 : 0;
}

std::vector<std::string> CComSetForm::ConfiguredDevicePaths() const {
    std::vector<std::string> paths;
    const auto add = [&](int comPort, const std::string& comName) {
        const std::string path = comPort == 0 ? DevicePathOf(comName) : std::string();
        if (!path.empty() && std::find(paths.begin(), paths.end(), path) == paths.end())
            paths.push_back(path);
    };
    add(working_.ComPort, working_.ComName);
    for (const std::string& set : working_.SetNames) {
        const int comPort = working_.ReadProfileInt(set, "ComPort", kComPortUnset);
        add(comPort, working_.ReadProfileString(set, "ComName", ""));
    }
    return paths;
}

void CComSetForm::ToggleResponse() {
    CollectControls();
    ApplyReadOnlyRules();
}

void CComSetForm::ToggleHexSend() {
    CollectControls();
    ApplyReadOnlyRules();
}

void CComSetForm::SplitEdited() {
    CollectControls();
    ApplyReadOnlyRules();
}

void CComSetForm::TakeClipboardAddress(const std::string& clipboard) {
    if (clipboard.empty() || inet_addr(clipboard.c_str()) == INADDR_NONE) return;
    c_.ServerAddress = DottedAddress(clipboard);
}

void CComSetForm::StepAutoSend(int delta) {
    int value = 0;
    ParseNumber(c_.AutoSendElapse, value);
    value = std::clamp(value, 0, kAutoSendMax);
    c_.AutoSendElapse = std::to_string(std::clamp(value + delta, 0, kAutoSendMax));
}

// --- the Series list ---

void CComSetForm::FillSeries() {
    c_.SeriesEntries.clear();
    c_.SeriesIndex = -1;
    c_.SeriesText.clear();
    for (const std::string& name : working_.SetNames)
        AddSeriesEntry(name);
}

int CComSetForm::AddSeriesEntry(const std::string& name) {
    auto& entries = c_.SeriesEntries;
    const auto at = std::upper_bound(entries.begin(), entries.end(), name, LessNoCase);
    const int index = static_cast<int>(at - entries.begin());
    entries.insert(at, name);
    if (c_.SeriesIndex >= index) ++c_.SeriesIndex;
    return index;
}

int CComSetForm::FindSeriesEntry(const std::string& name, bool prefix) const {
    for (size_t i = 0; i < c_.SeriesEntries.size(); ++i) {
        const std::string& entry = c_.SeriesEntries[i];
        const bool sizeFits = prefix ? entry.size() >= name.size() : entry.size() == name.size();
        if (sizeFits && strncasecmp(entry.c_str(), name.c_str(), name.size()) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

void CComSetForm::SelectSeries(int index) {
    c_.SeriesIndex = index;
    c_.SeriesText = index >= 0 ? c_.SeriesEntries[static_cast<size_t>(index)] : std::string();
}

// --- text rules ---

std::string CComSetForm::DevicePathOf(const std::string& comName) {
    if (comName.empty() || comName[0] == '/') return comName;
    return "/dev/" + comName;
}

std::string CComSetForm::DeviceLine(const SerialDevice& device) {
    const std::string dev = "/dev/";
    std::string line =
        device.path.compare(0, dev.size(), dev) == 0 ? device.path.substr(dev.size()) : device.path;
    if (!device.description.empty()) line += "  " + device.description;
    if (!device.byId.empty()) line += "  (" + device.byId.substr(device.byId.rfind('/') + 1) + ")";
    if (!device.state.empty()) line += "  [" + device.state + "]";
    return line;
}

bool CComSetForm::ParseNumber(const std::string& text, int& value) {
    const std::string trimmed = Trim(text);
    const char* first = trimmed.data();
    const char* last = first + trimmed.size();
    if (first != last && *first == '+') ++first;
    if (first == last) return false;
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last;
}

uint8_t CComSetForm::ReplaceByte(const std::string& text) {
    if (text.size() == 1) return static_cast<uint8_t>(text[0]);
    const std::string bytes = HexTextToBytes(text);
    return bytes.empty() ? 0 : static_cast<uint8_t>(bytes[0]);
}

std::string CComSetForm::DottedAddress(const std::string& text) {
    in_addr address{};
    address.s_addr = inet_addr(text.c_str());
    char dotted[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, dotted, sizeof dotted);
    return dotted;
}

bool CComSetForm::IsDottedQuad(const std::string& text) {
    if (text.empty() || std::isdigit(static_cast<unsigned char>(text[0])) == 0) return false;
    int part[4] = {};
    char rest[2] = {};
    if (std::sscanf(text.c_str(), "%d.%d.%d.%d%1s", &part[0], &part[1], &part[2], &part[3], rest) !=
        4)
        return false;
    return std::all_of(std::begin(part), std::end(part), [](int p) { return p >= 0 && p <= 255; });
}

PasteOutcome CComSetForm::Paste(const std::string& clipboard,
                                const std::function<std::string(const std::string&)>& resolve) {
    using Action = PasteOutcome::Action;
    if (clipboard.empty()) return {Action::PasteNormally, {}};
    std::string address;
    if (IsDottedQuad(clipboard)) {
        address = DottedAddress(clipboard);
    } else if (box_.ShowMessageBox(LoadStr(kStrHostAddressQueryMayBeSlow), kCaption,
                                   MsgIcon::Question, MsgButtons::YesNo) == MsgResult::Yes) {
        address = resolve(Trim(clipboard));
    }
    if (!address.empty()) return {Action::FillAddress, address};
    if (IsDigits(clipboard)) return {Action::InsertText, clipboard};
    return {Action::Drop, {}};
}

}  // namespace qelvor
