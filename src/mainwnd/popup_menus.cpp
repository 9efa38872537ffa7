#include "mainwnd/popup_menus.h"

#include <QAction>
#include <QMenu>
#include <utility>

#include "config/string_table.h"
#include "config/ui_language.h"
#include "mainwnd/send_operations.h"

namespace qelvor {

namespace {

struct MenuItem {
    const char* label;
    int command;  // 0: a separator
};

QMenu* BuildMenu(QWidget* parent, const QString& title, std::initializer_list<MenuItem> items) {
    auto* menu = new QMenu(title, parent);
    for (const MenuItem& item : items) {
        if (item.command == 0) {
            menu->addSeparator();
            continue;
        }
        menu->addAction(QString::fromUtf8(item.label))->setData(item.command);
    }
    return menu;
}

}  // namespace

int CommandOf(const QAction* action) {
    return action == nullptr ? 0 : action->data().toInt();
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
                     {{"Save as &Fmt", kCmdSaveFmt},
                      {"Save as &Raw", kCmdSaveRaw},
                      {"Save as &Hex", kCmdSaveHex},
                      {"Save as &Txt", kCmdSaveTxt},
                      {"Save as Fmt (&B)inary", kCmdSaveFmtBinary},
                      {"Save as &All", kCmdSaveAll},
                      {"save to &Zip file", kCmdSaveZip},
                      {"", 0},
                      {"&Clear all data", kCmdClearAllData}});
}

QMenu* BuildDataProcMenu(QWidget* parent, bool astmMode) {
    QMenu* menu = BuildMenu(parent, QStringLiteral("DATA_PROC"),
                            {{"&Load", kCmdLoadFile},
                             {"&ReLoad", kCmdReLoad},
                             {"&Clear", kCmdClearDataList},
                             {"Save &As", kCmdSaveDataList},
                             {"", 0},
                             {"Insert Data(up)", kCmdInsertAbove},
                             {"Insert Data((below)", kCmdInsertBelow},
                             {"Delete Data", kCmdDeleteData}});
    if (astmMode) {
        menu->addSeparator();
        menu->addAction(QObject::tr("Send &message"))->setData(kCmdSendAstmMessage);
    }
    return menu;
}

QMenu* BuildSelectUiMenu(QWidget* parent, int usedUILangCode) {
    const bool chinese = StringLanguage() == UiLanguage::Chinese;
    QMenu* menu = chinese ? BuildMenu(parent, QString::fromUtf8("选择语言"),
                                      {{"跟随系统", kCmdSelectUiSystem},
                                       {"中文", kCmdSelectUiChinese},
                                       {"英文", kCmdSelectUiEnglish}})
                          : BuildMenu(parent, QStringLiteral("Select UI"),
                                      {{"System", kCmdSelectUiSystem},
                                       {"Chinese", kCmdSelectUiChinese},
                                       {"English", kCmdSelectUiEnglish}});
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
