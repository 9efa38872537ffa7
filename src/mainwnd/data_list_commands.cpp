#include "mainwnd/data_list_commands.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "config/file_writer.h"
#include "config/string_table.h"
#include "data/check_sum.h"
#include "mainwnd/regular_file.h"

namespace qelvor {

namespace {

constexpr uint64_t kDataFileLimit = 33554432;  // 32 MiB, inclusive
constexpr double kMiB = 1048576.0;
// Progress in pane 1 after every this many lines.
constexpr size_t kProgressStep = 100;

}  // namespace

bool CDataListCommands::ReadDataFile(const std::string& path, std::string& bytes) {
    CRegularFile file;
    if (!file.Open(path)) {
        // The list stays as it was; the record says which file and why.
        ctx_.exchange.AddRecord('I', "load data file failed: " + CRegularFile::WhyUnreadable(path));
        return false;
    }
    if (file.Size() > kDataFileLimit) {
        ctx_.Tell(StrPrintf(LoadStr(kStrFileTooLargeToLoad), path.c_str(),
                            static_cast<double>(file.Size()) / kMiB),
                  MsgIcon::Exclamation);
        return false;
    }
    bytes.resize(static_cast<size_t>(file.Size()));
    bytes.resize(file.Read(bytes.data(), bytes.size()));
    return true;
}

std::unique_ptr<CDataListCommands::PendingLoad> CDataListCommands::ReadLoad(
    const std::string& path) {
    auto load = std::make_unique<PendingLoad>();
    if (!ReadDataFile(path, load->bytes)) return nullptr;
    load->path = path;
    const std::string& bytes = load->bytes;
    load->total =
        bytes.empty() ? 0 : static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    load->lines.reserve(load->total);
    ButtonState& list = ctx_.state.Button(kIdDataList);
    list.enabled = false;
    ctx_.Changed(kChangedButtons);
    return load;
}

bool CDataListCommands::CutLines(PendingLoad& load,
                                 std::chrono::steady_clock::time_point deadline) {
    const std::string& bytes = load.bytes;
    while (load.lines.size() < load.total) {
        const size_t end = std::min(bytes.find('\n', load.start), bytes.size());
        size_t length = end - load.start;
        while (length > 0 && (bytes[load.start + length - 1] == '\r'))
            --length;
        load.lines.push_back(bytes.substr(load.start, length));
        load.start = end + 1;
        if (load.lines.size() % kProgressStep != 0) continue;
        ctx_.SetPane(1, StrPrintf("%zu/%zu", load.lines.size(), load.total));
        if (std::chrono::steady_clock::now() >= deadline) return false;
    }
    return true;
}

void CDataListCommands::EndLoad(PendingLoad& load) {
    ctx_.dataList.Assign(std::move(load.lines));
    ctx_.SetPane(1, std::string());
    ctx_.state.Button(kIdDataList).enabled = true;
    ctx_.Changed(kChangedButtons);
    ctx_.exchange.AddRecord('I', load.path);
    ctx_.exchange.AddRecord('I',
                            StrPrintf(LoadStr(kStrLoadDataFileSucceeded), ctx_.dataList.Count()));
    RememberDataFile(load.path);
    ctx_.exchange.SetDataIndex(-1);
    SendFirstData();
}

void CDataListCommands::RememberDataFile(const std::string& path) {
    ctx_.state.dataFilePath = path;
    ctx_.state.Button(kIdLoadFile).toolTip = path;
    ctx_.Changed(kChangedButtons);
    ctx_.ReportUnsaved(ctx_.settings.WriteProfileString(kLoadFileSection, kLoadFileKey, path),
                       std::string("setting ") + kLoadFileKey);
}

void CDataListCommands::SendFirstData() {
    const CComSetting& s = ctx_.settings;
    if (s.SendAfterLoadFile == 0 || s.LButtonDblClkSend == 0 || ctx_.dataList.Count() == 0) {
        return;
    }
    ctx_.exchange.SetDataIndex(-1);
    ctx_.dataList.SetCurSel(-1);
    // The opening handshake byte: ENQ, or EOT SOH for the LX20 protocol.
    std::string opening = s.CheckSum == kCsLx20 ? std::string("\x04\x01", 2) : "\x05";
    ctx_.SetSendText(opening);
    ctx_.exchange.FrameCounter() = 0;
    ctx_.exchange.SendBytes(opening, true);
}

bool CDataListCommands::LoadDataFile(const std::string& path) {
    CancelLoad();
    const std::unique_ptr<PendingLoad> load = ReadLoad(path);
    if (!load) return false;
    CutLines(*load, std::chrono::steady_clock::time_point::max());
    EndLoad(*load);
    return true;
}

bool CDataListCommands::BeginDataFileLoad(const std::string& path) {
    CancelLoad();
    std::unique_ptr<PendingLoad> load = ReadLoad(path);
    if (!load) return false;
    if (load->total <= kLinesAtOnce) {
        CutLines(*load, std::chrono::steady_clock::time_point::max());
        EndLoad(*load);
        return true;
    }
    load_ = std::move(load);
    ctx_.view.StartTimer(kTimerLoadStep, 1);
    return true;
}

void CDataListCommands::LoadStep() {
    if (!load_) return ctx_.view.StopTimer(kTimerLoadStep);
    if (!CutLines(*load_, std::chrono::steady_clock::now() + kStepBudget)) return;
    ctx_.view.StopTimer(kTimerLoadStep);
    const std::unique_ptr<PendingLoad> load = std::move(load_);
    EndLoad(*load);
}

void CDataListCommands::CancelLoad() {
    if (!load_) return;
    load_.reset();
    ctx_.view.StopTimer(kTimerLoadStep);
    ctx_.SetPane(1, std::string());
    ctx_.state.Button(kIdDataList).enabled = true;
    ctx_.Changed(kChangedButtons);
}

bool CDataListCommands::ReLoad() {
    if (ctx_.state.dataFilePath.empty()) return false;
    return BeginDataFileLoad(ctx_.state.dataFilePath);
}

void CDataListCommands::Insert(int index) {
    if (ctx_.state.sendText.empty()) return;
    ctx_.dataList.Insert(index, ctx_.state.sendText);
}

void CDataListCommands::InsertAbove() {
    const int selected = ctx_.dataList.CurSel();
    Insert(selected < 0 ? ctx_.dataList.Count() : selected);
}

void CDataListCommands::InsertBelow() {
    const int selected = ctx_.dataList.CurSel();
    Insert(selected < 0 ? ctx_.dataList.Count() : selected + 1);
}

void CDataListCommands::DeleteSelected() {
    const int selected = ctx_.dataList.CurSel();
    if (selected < 0) return;
    ctx_.dataList.Delete(selected);
}

void CDataListCommands::Clear(bool forgetFile) {
    ctx_.dataList.Clear();
    ctx_.exchange.SetDataIndex(-1);
    if (forgetFile) RememberDataFile(std::string());
}

bool CDataListCommands::SaveAs(const std::string& path) {
    if (ctx_.dataList.Count() == 0) return false;
    const std::string caption = LoadStr(kStrSaveDataFileCaption);
    std::string text;
    for (const std::string& line : ctx_.dataList.Lines())
        text += line + "\r\n";
    // A write or close that fails (a full disk) is reported like a file
    // that cannot be created, never as success; a named pipe in the file's
    // place fails at once instead of blocking the window.
    const int error = CFileWriter::WriteFile(path, text, CFileWriter::Mode::Truncate);
    if (error != 0) {
        ctx_.Tell(StrPrintf(LoadStr(kStrCannotSaveDataFile), error), MsgIcon::Exclamation, caption);
        return false;
    }
    // The message names the file written, as the log saves do.
    ctx_.Tell(LoadStr(kStrDataFileSaved) + std::string(": ") + path, MsgIcon::Information, caption);
    return true;
}

void CDataListCommands::OnDoubleClick(int index) {
    ctx_.dataList.SetCurSel(index);
    const int selected = ctx_.dataList.CurSel();
    ctx_.exchange.SetDataIndex(selected);
    if (selected < 0) return;
    ctx_.SetSendText(ctx_.dataList.Line(selected));
    if (ctx_.settings.LButtonDblClkSend != 0) sender_.SendData();
}

void CDataListCommands::ToggleSendNow() {
    CComSetting& s = ctx_.settings;
    s.LButtonDblClkSend = s.LButtonDblClkSend != 0 ? 0 : 1;
    ctx_.ReportUnsaved(s.Save(std::string()), "settings");
    ctx_.Changed(kChangedSettings);
}

bool CDataListCommands::ToggleShown(bool portOpen) {
    CComSetting& s = ctx_.settings;
    s.ShowDataListWnd = s.ShowDataListWnd != 0 ? 0 : 1;
    const bool shown = s.ShowDataListWnd != 0;
    ctx_.state.Button(kIdAutoSend).enabled = shown && s.HandShake == 0 && portOpen;
    ctx_.StoreSetting(SettingKey::ShowDataListWnd);
    ctx_.Changed(kChangedButtons | kChangedSettings);
    return shown;
}

}  // namespace qelvor
