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

void CDataListCommands::FillList(const std::string& bytes) {
    ButtonState& list = ctx_.state.Button(kIdDataList);
    list.enabled = false;
    ctx_.Changed(kChangedButtons);
    // Every line feed ends a line and the piece after the last one is a line
    // too; an empty file has none. The lines are cut into a vector of their
    // own and handed to the list in one step, so a view rebuilds its rows
    // once per load instead of once per line.
    const size_t total =
        bytes.empty() ? 0 : static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    std::vector<std::string> lines;
    lines.reserve(total);
    size_t start = 0;
    for (size_t added = 0; added < total; ++added) {
        const size_t end = std::min(bytes.find('\n', start), bytes.size());
        size_t length = end - start;
        while (length > 0 && (bytes[start + length - 1] == '\r'))
            --length;
        lines.push_back(bytes.substr(start, length));
        start = end + 1;
        if ((added + 1) % kProgressStep == 0)
            ctx_.SetPane(1, StrPrintf("%zu/%zu", added + 1, total));
    }
    ctx_.dataList.Assign(std::move(lines));
    ctx_.SetPane(1, std::string());
    list.enabled = true;
    ctx_.Changed(kChangedButtons);
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
    std::string bytes;
    if (!ReadDataFile(path, bytes)) return false;
    FillList(bytes);
    ctx_.exchange.AddRecord('I', path);
    ctx_.exchange.AddRecord('I',
                            StrPrintf(LoadStr(kStrLoadDataFileSucceeded), ctx_.dataList.Count()));
    RememberDataFile(path);
    ctx_.exchange.SetDataIndex(-1);
    SendFirstData();
    return true;
}

bool CDataListCommands::ReLoad() {
    if (ctx_.state.dataFilePath.empty()) return false;
    return LoadDataFile(ctx_.state.dataFilePath);
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
    ctx_.Tell(LoadStr(kStrDataFileSaved), MsgIcon::Information, caption);
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
