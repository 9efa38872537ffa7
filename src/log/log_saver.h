// The save commands of the traffic list: one layout at a time (asking before
// overwriting), Save as All, and save to zip. Questions and reports go through
// the caller's message box. User-interface thread only.
#pragma once

#include <string>

#include "log/log_formats.h"
#include "traffic/record_store.h"

namespace qelvor {

class CComSetting;
class IMessageBox;

inline constexpr const char* kLogZipName = "MsgLogData.zip";

// The folder the save commands write to: DesktopDir when SaveDatatoDesktop
// is on, else the settings folder (the program folder when it is writable);
// the settings folder is made when missing. Ends in "/".
std::string SaveFolder(const CComSetting& settings);

// Writes the records in the format to the save folder + fileName. Returns 1
// when saved (report set to the style text, the success text, ": " and the
// file's full path), 0 when the
// user cancelled at the overwrite question, -1 when the store is empty (no
// message, report untouched) or the file could not be opened, written or
// closed (message kStrUnableToSaveLogData with errno, report untouched).
int SaveLog(const CRecordStore& records, const CComSetting& settings, IMessageBox& box,
            const std::string& fileName, LogFormat format, bool asking, std::string& report);
// SaveLog to a path of the caller's choosing (a file dialog's answer).
int SaveLogToPath(const CRecordStore& records, const CComSetting& settings, IMessageBox& box,
                  const std::string& path, LogFormat format, bool asking, std::string& report);

// Saves all five layouts to the "MsgLogData" files without asking and shows
// one report of the five results.
void SaveAsAll(const CRecordStore& records, const CComSetting& settings, IMessageBox& box);

// Saves all five layouts, packs them into MsgLogData.zip under their bare
// names and deletes the packed files; the report of a whole archive ends with
// its full path on a line of its own. Nothing happens for an empty store.
// True when every layout was saved and packed.
bool SaveToZip(const CRecordStore& records, const CComSetting& settings, IMessageBox& box);
// SaveToZip into an archive of the caller's choosing; the five layouts are
// written beside it for packing, under their "MsgLogData" names.
bool SaveToZipAt(const CRecordStore& records, const CComSetting& settings, IMessageBox& box,
                 const std::string& archivePath);

// What a save command's file dialog offers: the folder and name it starts
// with, the extension it adds to a bare name, and its filter in the form
// "Description (*.ext);;All files (*)".
struct SaveDialogInfo {
    std::string folder;
    std::string fileName;
    std::string extension;  // without the dot
    std::string filter;
};

// The dialog of "Save as Fmt", "Raw", "Hex", "Txt" or "Fmt (B)inary".
SaveDialogInfo LogSaveDialog(LogFormat format, const CComSetting& settings);
// The dialog of "save to Zip file".
SaveDialogInfo ZipSaveDialog(const CComSetting& settings);

}  // namespace qelvor
