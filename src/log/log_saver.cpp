#include "log/log_saver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

#include "config/app_paths.h"
#include "config/com_setting.h"
#include "config/file_writer.h"
#include "config/message_box.h"
#include "config/string_table.h"
#include "log/zip_writer.h"

namespace qelvor {

namespace {

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

void ReportSaveError(IMessageBox& box, int err) {
    box.ShowMessageBox(StrPrintf(LoadStr(kStrUnableToSaveLogData), err),
                       LoadStr(kStrSaveLogDataCaption), MsgIcon::None, MsgButtons::Ok);
}

// Asks before touching an existing file: 1 overwrite, 2 append, 0 cancelled.
int AskOverwrite(IMessageBox& box) {
    MsgResult answer =
        box.ShowMessageBox(LoadStr(kStrFileExistsOverwrite), LoadStr(kStrSaveLogDataCaption),
                           MsgIcon::Question, MsgButtons::YesNoCancel);
    if (answer == MsgResult::Yes) return 1;
    if (answer == MsgResult::No) return 2;
    box.ShowMessageBox(LoadStr(kStrSaveCancelled), LoadStr(kStrSaveLogDataCaption),
                       MsgIcon::Information, MsgButtons::Ok);
    return 0;
}

}  // namespace

std::string SaveFolder(const CComSetting& settings) {
    // An installed program's folder is not for writing: the settings folder
    // is, as for the continuous log, and is made when it is not there yet. A
    // desktop folder the user removed is not made again.
    const std::string settingsFolder = SettingsDir(settings.ExeDir);
    const std::string folder =
        settings.SaveDatatoDesktop != 0 ? settings.DesktopDir : settingsFolder;
    if (folder == settingsFolder) EnsureFolder(folder);
    return folder;
}

int SaveLog(const CRecordStore& records, const CComSetting& settings, IMessageBox& box,
            const std::string& fileName, LogFormat format, bool asking, std::string& report) {
    if (records.empty()) return -1;
    return SaveLogToPath(records, settings, box, SaveFolder(settings) + fileName, format, asking,
                         report);
}

namespace {

// SaveLogToPath without the path in the report and without the report's box.
int WriteLayout(const CRecordStore& records, const CComSetting& settings, IMessageBox& box,
                const std::string& path, LogFormat format, bool asking, std::string& report) {
    if (records.empty()) return -1;
    bool append = false;
    if (asking && FileExists(path)) {
        int choice = AskOverwrite(box);
        if (choice == 0) return 0;
        append = choice == 2;
    }
    std::string content =
        RenderLog(records, format, settings.SaveEventTimetoFmtFile != 0, SystemTime::Now());
    // The writer opens without blocking, so a named pipe in the file's place
    // fails at once; a full disk is an error, never a success.
    const int err = CFileWriter::WriteFile(
        path, content, append ? CFileWriter::Mode::Append : CFileWriter::Mode::Truncate);
    if (err != 0) {
        ReportSaveError(box, err);
        return -1;
    }
    report = LoadStr(FormatInfo(format).styleTextId);
    report += LoadStr(append ? kStrAppendLogDataSucceeded : kStrSaveDataFileSucceeded);
    return 1;
}

}  // namespace

int SaveLogToPath(const CRecordStore& records, const CComSetting& settings, IMessageBox& box,
                  const std::string& path, LogFormat format, bool asking, std::string& report) {
    const int result = WriteLayout(records, settings, box, path, format, asking, report);
    if (result != 1) return result;
    // The user learns where the file went, whichever folder that was.
    report += ": " + path;
    if (asking) {
        box.ShowMessageBox(report, LoadStr(kStrSaveLogDataCaption), MsgIcon::Information,
                           MsgButtons::Ok);
    }
    return 1;
}

void SaveAsAll(const CRecordStore& records, const CComSetting& settings, IMessageBox& box) {
    std::string overall;
    for (int n = 1; n <= kLogFormatCount; ++n) {
        auto format = static_cast<LogFormat>(n);
        // A fresh report per layout, so that a failed one shows an empty line
        // instead of repeating the previous layout's success.
        std::string report;
        SaveLog(records, settings, box, FormatInfo(format).allName, format, false, report);
        overall += report;
        overall += '\n';
    }
    box.ShowMessageBox(overall, LoadStr(kStrSaveLogData), MsgIcon::Information, MsgButtons::Ok);
}

namespace {

// Appends the failure mark to the report and the file to the failure list.
// Only a packed layout ends its report line; the mark of a failed one runs on
// into the next layout's report.
void NoteZipFailure(const std::string& name, std::string& overall, std::string& failures) {
    overall += '\t';
    overall += LoadStr(kStrCompressLogFailed);
    failures += StrPrintf(LoadStr(kStrSaveAndCompressFileFailed), name.c_str());
    failures += '\n';
}

}  // namespace

bool SaveToZip(const CRecordStore& records, const CComSetting& settings, IMessageBox& box) {
    if (records.empty()) return false;
    return SaveToZipAt(records, settings, box, SaveFolder(settings) + kLogZipName);
}

bool SaveToZipAt(const CRecordStore& records, const CComSetting& settings, IMessageBox& box,
                 const std::string& archivePath) {
    if (records.empty()) return false;
    const size_t slash = archivePath.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : archivePath.substr(0, slash + 1);
    CZipWriter zip;
    // A file of another kind in the archive's place is the user's, never
    // replaced: nothing is written at all and the box says why.
    if (!zip.Create(archivePath) && errno == EEXIST) {
        box.ShowMessageBox(LoadStr(kStrSaveAndCompressFailed) + archivePath + ": " + zip.Error(),
                           LoadStr(kStrSaveLogData), MsgIcon::Stop, MsgButtons::Ok);
        return false;
    }
    std::string overall;
    std::string failures;
    std::vector<std::string> packed;
    for (int n = 1; n <= kLogFormatCount; ++n) {
        auto format = static_cast<LogFormat>(n);
        const std::string name = FormatInfo(format).allName;
        std::string report;
        // A layout that could not be written completely is never packed.
        // The layouts are gone once packed: the report names the archive alone.
        bool saved = WriteLayout(records, settings, box, folder + name, format, false, report) == 1;
        overall += report;
        if (saved && zip.AddFile(folder + name, name)) {
            overall += '\n';
            packed.push_back(name);
        } else {
            NoteZipFailure(name, overall, failures);
        }
    }
    // The entries are safe only once the archive is closed; until then the
    // separate files are kept.
    const bool closed = zip.Close();
    for (const std::string& name : packed) {
        if (closed) {
            ::unlink((folder + name).c_str());
        } else {
            failures += StrPrintf(LoadStr(kStrSaveAndCompressFileFailed), name.c_str());
            failures += '\n';
        }
    }
    const bool ok = failures.empty();
    overall += LoadStr(ok ? kStrZippedIntoMsgLogDataZip : kStrSaveAndCompressFailed);
    if (ok) overall += "\n" + archivePath;
    if (!ok) overall += failures;
    box.ShowMessageBox(overall, LoadStr(kStrSaveLogData), ok ? MsgIcon::Information : MsgIcon::Stop,
                       MsgButtons::Ok);
    return ok;
}

namespace {

// The filter's description of a layout; a number out of range is format 1,
// as for FormatInfo.
const char* FilterName(LogFormat format) {
    switch (format) {
        case LogFormat::Raw:
            return "Raw log";
        case LogFormat::Hex:
            return "Hex log";
        case LogFormat::Txt:
            return "Txt log";
        case LogFormat::FmtBinary:
            return "Fmt binary log";
        default:
            return "Fmt log";
    }
}

SaveDialogInfo DialogFor(const CComSetting& settings, std::string fileName,
                         const std::string& description) {
    SaveDialogInfo info;
    info.folder = SaveFolder(settings);
    info.extension = fileName.substr(fileName.rfind('.') + 1);
    info.filter = description + " (*." + info.extension + ");;All files (*)";
    info.fileName = std::move(fileName);
    return info;
}

}  // namespace

SaveDialogInfo LogSaveDialog(LogFormat format, const CComSetting& settings) {
    return DialogFor(settings, FormatInfo(format).singleName, FilterName(format));
}

SaveDialogInfo ZipSaveDialog(const CComSetting& settings) {
    return DialogFor(settings, kLogZipName, "Zip archive");
}

}  // namespace qelvor
