#include "window/popup_menus.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <utility>

#include "config/string_table.h"
#include "config/ui_language.h"
#include "mainwnd/send_operations.h"

namespace qelvor {

namespace {

struct MenuItem {
    const char* label;  // the English text, translated in the context below
    int command;        // 0: a separator
};

// The translation context of the popups' texts.
constexpr const char* kContext = "PopupMenus";

QMenu* BuildMenu(QWidget* parent, const QString& title, std::initializer_list<MenuItem> items) {
    auto* menu = new QMenu(title, parent);
    for (const MenuItem& item : items) {
        if (item.command == 0) {
            menu->addSeparator();
            continue;
        }
        menu->addAction(QCoreApplication::translate(kContext, item.label))->setData(item.command);
    }
    return menu;
}

}  // namespace

QMenu* BuildNamedPopup(const QString& name, QWidget* parent, bool messageMode, int usedUILangCode) {
    QMenu* menu = nullptr;
    if (name == QLatin1String("EVENT")) menu = BuildEventMenu(parent);
    if (name == QLatin1String("DATA_PROC")) menu = BuildDataProcMenu(parent, messageMode);
    if (name == QLatin1String("SelectUI")) menu = BuildSelectUiMenu(parent, usedUILangCode);
    if (name == QLatin1String("CTRL_CHAR")) menu = BuildCtrlCharMenu(parent);
    if (menu != nullptr) menu->setObjectName(name);
    return menu;
}

int CommandOf(const QAction* action) {
    return action == nullptr ? 0 : action->data().toInt();
}

QAction* CommandAction(const QMenu* menu, int command) {
    for (QAction* action : menu->actions())
        if (CommandOf(action) == command) return action;
    return nullptr;
}

QMenu* BuildCtrlCharMenu(QWidget* parent) {
    return BuildMenu(parent, QStringLiteral("CTRL_CHAR"),
                     {{"SOH(0x01)", kCmdCtrlCharFirst + 0x01},
                      {"STX(0x02)", kCmdCtrlCharFirst + 0x02},
                      {"ETX(0x03)", kCmdCtrlCharFirst + 0x03},
                      {"EOT(0x04)", kCmdCtrlCharFirst + 0x04},
                      {"EOT+SOH", kCmdEotSoh},
                      {"ENQ(0x05)", kCmdCtrlCharFirst + 0x05},
                      {"ACK(0x06)", kCmdCtrlCharFirst + 0x06},
                      {"CR+LF", kCmdCrLf},
                      {"LF(0x0A)", kCmdCtrlCharFirst + 0x0A},
                      {"CR(0x0D)", kCmdCtrlCharFirst + 0x0D},
                      {"NAK(0x15)", kCmdCtrlCharFirst + 0x15},
                      {"SYN(0x16)", kCmdCtrlCharFirst + 0x16}});
}

QMenu* BuildEventMenu(QWidget* parent) {
    return BuildMenu(parent, QStringLiteral("EVENT"),
                     {{QT_TRANSLATE_NOOP("PopupMenus", "Save as &Fmt"), kCmdSaveFmt},
                      {QT_TRANSLATE_NOOP("PopupMenus", "Save as &Raw"), kCmdSaveRaw},
                      {QT_TRANSLATE_NOOP("PopupMenus", "Save as &Hex"), kCmdSaveHex},
                      {QT_TRANSLATE_NOOP("PopupMenus", "Save as &Txt"), kCmdSaveTxt},
                      {QT_TRANSLATE_NOOP("PopupMenus", "Save as Fmt (&B)inary"), kCmdSaveFmtBinary},
                      {QT_TRANSLATE_NOOP("PopupMenus", "Save as &All"), kCmdSaveAll},
                      {QT_TRANSLATE_NOOP("PopupMenus", "save to &Zip file"), kCmdSaveZip},
                      {"", 0},
                      {QT_TRANSLATE_NOOP("PopupMenus", "&Clear all data"), kCmdClearAllData}});
}

QMenu* BuildDataProcMenu(QWidget* parent, bool messageMode) {
    QMenu* menu =
        BuildMenu(parent, QStringLiteral("DATA_PROC"),
                  {{QT_TRANSLATE_NOOP("PopupMenus", "&Load"), kIdLoadFile},
                   {QT_TRANSLATE_NOOP("PopupMenus", "&ReLoad"), kCmdReLoad},
                   {QT_TRANSLATE_NOOP("PopupMenus", "&Clear"), kCmdClearDataList},
                   {QT_TRANSLATE_NOOP("PopupMenus", "Save &As"), kCmdSaveDataList},
                   {"", 0},
                   {QT_TRANSLATE_NOOP("PopupMenus", "Insert Data(up)"), kCmdInsertAbove},
                   {QT_TRANSLATE_NOOP("PopupMenus", "Insert Data((below)"), kCmdInsertBelow},
                   {QT_TRANSLATE_NOOP("PopupMenus", "Delete Data"), kCmdDeleteData}});
    if (messageMode) {
        menu->addSeparator();
        menu->addAction(QCoreApplication::translate("PopupMenus", "Send &message"))
            ->setData(kCmdSendAstmMessage);
    }
    return menu;
}

QMenu* BuildSelectUiMenu(QWidget* parent, int usedUILangCode) {
    QMenu* menu = BuildMenu(
        parent, QCoreApplication::translate(kContext, QT_TRANSLATE_NOOP("PopupMenus", "Select UI")),
        {{QT_TRANSLATE_NOOP("PopupMenus", "System"), kCmdSelectUiSystem},
         {QT_TRANSLATE_NOOP("PopupMenus", "Chinese"), kCmdSelectUiChinese},
         {QT_TRANSLATE_NOOP("PopupMenus", "English"), kCmdSelectUiEnglish}});
    for (QAction* action : menu->actions()) {
        action->setCheckable(true);
        action->setChecked(CommandOf(action) == kCmdSelectUiSystem + usedUILangCode);
    }
    return menu;
}

QMenu* BuildSystemMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    // Each command with the number of its text in the string table.
    const std::pair<int, int> items[] = {{kCmdAbout, kStrAboutQelvor},
                                         {kCmdPinWindow, kStrPinWindow},
                                         {kCmdExplorerPath, kStrExplorerPath},
                                         {kCmdNewInstance, kStrNewInstance}};
    for (const auto& [command, textId] : items) {
        const QString label = QString::fromUtf8(LoadStr(textId));
        if (label.isEmpty()) continue;
        QAction* action = menu->addAction(label);
        action->setData(command);
        action->setCheckable(command == kCmdPinWindow);
    }
    return menu;
}

}  // namespace qelvor
