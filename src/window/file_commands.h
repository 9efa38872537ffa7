// The main window's commands that begin with a file dialog: load a data file,
// send a file, save the data list, save the traffic in one of the log formats
// or all logs as a zip. Each asks for the path in a Qt file dialog modal to
// the window and hands the chosen path to the engine; a cancelled dialog does
// nothing. The dialogs' titles are the main window's texts, translated in its
// context. User-interface thread only.
#pragma once

#include <QString>

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
    void SaveZip();

  private:
    QString AskSavePath(const SaveDialogInfo& info);
    QString AskFile(const QString& title, int filterId, const QString& defaultName, bool saving);

    CMainEngine& engine_;
    const CComSetting& settings_;
    QWidget* window_;
};

}  // namespace qelvor
