// The main window's popup menus, built with their labels in their order: each
// action carries its command id as data(), so that one handler routes every
// popup's commands. User-interface thread only.
#pragma once

#include <QString>

#include "mainwnd/command_ids.h"

class QAction;
class QMenu;
class QWidget;

namespace qelvor {

// The drop-down of the SendCtrl button: control characters and pairs.
QMenu* BuildCtrlCharMenu(QWidget* parent);
// The traffic list's menu: the save commands and "&Clear all data".
QMenu* BuildEventMenu(QWidget* parent);
// The data list's menu: load, reload, clear, save and the line edits; in a
// message mode (ASTM, HL7) also "Send message", which sends the list as
// messages.
QMenu* BuildDataProcMenu(QWidget* parent, bool messageMode);
// The language menu, with the check mark on the item of usedUILangCode
// (none for a code outside 0..2).
QMenu* BuildSelectUiMenu(QWidget* parent, int usedUILangCode);
// The window's own commands: About, Pin Window (checkable), Explorer Path
// and New Instance; items whose text is empty are left out.
QMenu* BuildSystemMenu(QWidget* parent);

// The popup of that name ("EVENT", "DATA_PROC", "SelectUI", "CTRL_CHAR"),
// named so; null for any other name.
QMenu* BuildNamedPopup(const QString& name, QWidget* parent, bool messageMode, int usedUILangCode);

// The command id an action of these menus carries; 0 for none.
int CommandOf(const QAction* action);
// The action of menu that carries command; null when it has none.
QAction* CommandAction(const QMenu* menu, int command);

}  // namespace qelvor
