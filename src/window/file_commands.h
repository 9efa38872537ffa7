// The main window's commands that begin with a file dialog: load a data file,
// send a file, save the data list, save the traffic in one of the log formats
// or all logs as a zip. Each asks for the path in a Qt file dialog modal to
// the window and hands the chosen path to the engine; a cancelled dialog does
// nothing. A dialog opens in the folder last chosen for its kind of file (kept
// for the user across runs), else the settings folder; the log saves fall back
// to the folder they write to. The dialogs' titles are the main window's
// texts, translated in its context. User-interface thread only.
#pragma once

#include <QString>
#include <string>

#include "config/user_choices.h"

class QWidget;

namespace qelvor {

class CComSetting;
class CMainEngine;
struct SaveDialogInfo;

class CFileCommands {
  public:
    CFileCommands(CMainEngine& engine, const CComSetting& settings, QWidget* window);

    void ChooseDataFile();
    // Loads a dropped or chosen file as the data file.
    void LoadDataFile(const QString& path);
    void ChooseFileToSend();
    // An empty data list saves nothing, and no dialog asks where.
    void SaveDataListAs();
    // The traffic in the format of a save command (kCmdSaveFmt ...); any
    // other command does nothing, and so does an empty store.
    void SaveTraffic(int command);
    // An empty store saves nothing, and no dialog asks where.
    void SaveZip();

    // The folder a dialog of the kind opens in: the one last chosen for it
    // when it still exists, else fallback.
    static QString StartFolder(FileKind kind, const std::string& fallback);
    // Keeps the folder of the file chosen in a dialog of the kind.
    static void Remember(FileKind kind, const QString& chosen);

  private:
    QString AskSavePath(const SaveDialogInfo& info);
    QString AskFile(const QString& title, int filterId, const QString& defaultName, FileKind kind);
    std::string SettingsFolder() const;

    CMainEngine& engine_;
    const CComSetting& settings_;
    QWidget* window_;
};

}  // namespace qelvor
