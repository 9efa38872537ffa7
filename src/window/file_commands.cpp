#include "window/file_commands.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QStringList>

#include "config/app_paths.h"
#include "config/string_table.h"
#include "log/log_saver.h"
#include "mainwnd/main_engine.h"
#include "window/local_text.h"
#include "window/popup_menus.h"

namespace qelvor {

namespace {

// "desc|pattern;pattern|...|" of the string table as Qt name filters.
QStringList NameFilters(int filterId) {
    const QStringList parts = QString::fromUtf8(LoadStr(filterId)).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        patterns.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return filters;
}

struct SaveCommand {
    int command;
    LogFormat format;
};

constexpr SaveCommand kSaveCommands[] = {
    {kCmdSaveFmt, LogFormat::Fmt},
    {kCmdSaveRaw, LogFormat::Raw},
    {kCmdSaveHex, LogFormat::Hex},
    {kCmdSaveTxt, LogFormat::Txt},
    {kCmdSaveFmtBinary, LogFormat::FmtBinary},
};

}  // namespace

CFileCommands::CFileCommands(CMainEngine& engine, const CComSetting& settings, QWidget* window)
    : engine_(engine), settings_(settings), window_(window) {}

void CFileCommands::ChooseDataFile() {
    const QString title = QCoreApplication::translate("qelvor::CMainWindow", "Load data file");
    const QString path = AskFile(title, kStrTextFileFilterOpen, QString(), FileKind::LoadData);
    if (!path.isEmpty()) LoadDataFile(path);
}

void CFileCommands::LoadDataFile(const QString& path) {
    engine_.BeginDataFileLoad(LocalBytes(path));
}

void CFileCommands::ChooseFileToSend() {
    const QString title = QCoreApplication::translate("qelvor::CMainWindow", "Send file");
    const QString path = AskFile(title, kStrDataFilesFilter, QString(), FileKind::SendFile);
    if (!path.isEmpty()) engine_.SendFile(LocalBytes(path));
}

void CFileCommands::SaveDataListAs() {
    if (engine_.DataList().Count() == 0) return;
    const QString title = QCoreApplication::translate("qelvor::CMainWindow", "Save data list");
    const QString path =
        AskFile(title, kStrTextFileFilterSave, QStringLiteral("Data.txt"), FileKind::SaveData);
    if (!path.isEmpty()) engine_.SaveDataList(LocalBytes(path));
}

void CFileCommands::SaveTraffic(int command) {
    for (const SaveCommand& save : kSaveCommands) {
        if (save.command != command) continue;
        if (engine_.Exchange().RecordCount() == 0) return;
        const QString path = AskSavePath(LogSaveDialog(save.format, settings_));
        if (!path.isEmpty()) engine_.SaveLog(save.format, LocalBytes(path));
    }
}

void CFileCommands::SaveZip() {
    if (engine_.Exchange().RecordCount() == 0) return;
    const QString path = AskSavePath(ZipSaveDialog(settings_));
    if (!path.isEmpty()) engine_.SaveZip(LocalBytes(path));
}

QString CFileCommands::StartFolder(FileKind kind, const std::string& fallback) {
    const std::string last = CUserChoices::LastFolder(kind);
    return LocalText(last.empty() ? fallback : last);
}

void CFileCommands::Remember(FileKind kind, const QString& chosen) {
    // A folder that cannot be kept only costs the user a click next time.
    CUserChoices::RememberFolder(kind, LocalBytes(chosen));
}

std::string CFileCommands::SettingsFolder() const {
    const std::string folder = SettingsDir(settings_.ExeDir);
    EnsureFolder(folder);
    return folder;
}

QString CFileCommands::AskSavePath(const SaveDialogInfo& info) {
    QFileDialog dialog(window_, QCoreApplication::translate("qelvor::CMainWindow", "Save Log Data"),
                       StartFolder(FileKind::SaveLog, info.folder));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The engine asks whether to overwrite or append.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters(LocalText(info.filter).split(QStringLiteral(";;")));
    dialog.setDefaultSuffix(LocalText(info.extension));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(LocalText(info.fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    Remember(FileKind::SaveLog, dialog.selectedFiles().first());
    return dialog.selectedFiles().first();
}

QString CFileCommands::AskFile(const QString& title, int filterId, const QString& defaultName,
                               FileKind kind) {
    const bool saving = kind == FileKind::SaveData;
    QFileDialog dialog(window_, title, StartFolder(kind, SettingsFolder()));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(NameFilters(filterId));
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!defaultName.isEmpty()) dialog.selectFile(defaultName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    Remember(kind, dialog.selectedFiles().first());
    return dialog.selectedFiles().first();
}

}  // namespace qelvor
