#include "window/menu_bar.h"

#include <QAbstractButton>
#include <QEvent>

#include "mainwnd/command_ids.h"
#include "window/popup_menus.h"

namespace qelvor {

namespace {

void AddActionsWithKeys(const QMenu* menu, QList<QAction*>& found) {
    for (QAction* action : menu->actions()) {
        if (!action->shortcut().isEmpty() && !found.contains(action)) found << action;
        if (action->menu() != nullptr) AddActionsWithKeys(action->menu(), found);
    }
}

}  // namespace

CMenuBar::CMenuBar(const MenuBarSources& sources, QWidget* parent)
    : QMenuBar(parent), sources_(sources) {
    setObjectName(QStringLiteral("MenuBar"));
    setAccessibleName(tr("Menu bar"));
    BuildFile();
    BuildEdit();
    BuildView();
    BuildPort();
    BuildSend();
    BuildTools();
    QMenu* help = AddTopMenu(tr("&Help"));
    AddCommands(help, sources_.windowMenu, {kCmdAbout});
    if (QAction* about = CommandAction(sources_.windowMenu, kCmdAbout))
        about->setShortcut(QKeySequence(Qt::Key_F1));
}

QList<QAction*> CMenuBar::KeyedActions() const {
    QList<QAction*> found;
    for (QAction* top : actions())
        if (top->menu() != nullptr) AddActionsWithKeys(top->menu(), found);
    return found;
}

QMenu* CMenuBar::AddTopMenu(const QString& title) {
    QMenu* menu = addMenu(title);
    connect(menu, &QMenu::aboutToShow, this, [this] {
        for (const ButtonAction& each : buttons_)
            FollowButton(each.action, each.button);
        emit menuOpening();
    });
    return menu;
}

void CMenuBar::BuildFile() {
    QMenu* file = AddTopMenu(tr("&File"));
    file->setObjectName(QStringLiteral("FileMenu"));
    AddNamed(file, {"OpenSession", "KeepSession", ""});
    AddCommands(file, sources_.trafficMenu,
                {kCmdSaveFmt, kCmdSaveRaw, kCmdSaveHex, kCmdSaveTxt, kCmdSaveFmtBinary, kCmdSaveAll,
                 kCmdSaveZip});
    if (QAction* save = CommandAction(sources_.trafficMenu, kCmdSaveFmt))
        save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    AddNamed(file, {"ExportCsv", ""});
    // The data list's own popup, whole, as a submenu.
    file->addMenu(sources_.dataListMenu)->setText(tr("&Data list"));
    file->addSeparator();
    AddButton(file, "Exit", tr("E&xit"), QKeySequence(Qt::CTRL | Qt::Key_Q));
}

void CMenuBar::BuildEdit() {
    QMenu* edit = AddTopMenu(tr("&Edit"));
    edit->setObjectName(QStringLiteral("EditMenu"));
    AddNamed(edit, {"Find", "FindNextKey", "FindPreviousKey", ""});
    AddCommands(edit, sources_.trafficMenu, {kCmdClearAllData});
}

void CMenuBar::BuildView() {
    QMenu* view = AddTopMenu(tr("&View"));
    view->setObjectName(QStringLiteral("ViewMenu"));
    showAction_ = view->addAction(tr("Menu &bar"));
    showAction_->setObjectName(QStringLiteral("ShowMenuBar"));
    showAction_->setCheckable(true);
    showAction_->setChecked(true);
    showAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    AddButton(view, "ShowDataList", tr("&Data list"));
    AddNamed(view, {"ShowQuickSends", "ShowStatistics", "", "EchoFree", "ShowCheckColumn",
                    "ShowGapColumn", "GapSameType"});
    AddButton(view, "Scroll", tr("&Scroll to the newest record"));
    view->addSeparator();
    if (auto* themes = sources_.window->findChild<QMenu*>(QStringLiteral("ThemeMenu")))
        view->addMenu(themes);
    view->addMenu(sources_.languageMenu);
    AddCommands(view, sources_.windowMenu, {kCmdPinWindow});
}

void CMenuBar::BuildPort() {
    QMenu* port = AddTopMenu(tr("&Port"));
    port->setObjectName(QStringLiteral("PortMenu"));
    AddButton(port, "SetPort", tr("&Configure..."), QKeySequence(Qt::CTRL | Qt::Key_P));
    AddButton(port, "OpenPort", tr("&Open"), QKeySequence(Qt::Key_F5));
    AddButton(port, "ClosePort", tr("C&lose"), QKeySequence(Qt::SHIFT | Qt::Key_F5));
}

void CMenuBar::BuildSend() {
    QMenu* send = AddTopMenu(tr("&Send"));
    send->setObjectName(QStringLiteral("SendMenu"));
    AddButton(send, "SendData", tr("&Send the text"));
    AddButton(send, "CheckSum", tr("Add the check s&um"));
    send->addMenu(sources_.ctrlCharMenu)->setText(tr("Control &character"));
    AddButton(send, "ReSend", tr("&Re-send"), QKeySequence(Qt::CTRL | Qt::Key_R));
    AddButton(send, "SendFile", tr("Send a &file..."));
    AddButton(send, "AutoSend", tr("&Auto send"));
    AddButton(send, "SendNow", tr("Send on &double-click"));
    AddCommands(send, sources_.dataListMenu, {kCmdSendAstmMessage});
}

void CMenuBar::BuildTools() {
    QMenu* tools = AddTopMenu(tr("&Tools"));
    tools->setObjectName(QStringLiteral("ToolsMenu"));
    AddNamed(tools, {"EditHighlights", "EditTriggerRules"});
    AddButton(tools, "QuickSendEdit", tr("Edit &quick sends..."));
    tools->addSeparator();
    AddCommands(tools, sources_.windowMenu, {kCmdNewInstance, kCmdExplorerPath});
}

void CMenuBar::AddNamed(QMenu* menu, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (*name == '\0') {
            menu->addSeparator();
            continue;
        }
        if (auto* action = sources_.window->findChild<QAction*>(QString::fromLatin1(name)))
            menu->addAction(action);
    }
}

void CMenuBar::AddCommands(QMenu* to, const QMenu* from, std::initializer_list<int> commands) {
    for (int command : commands) {
        if (QAction* action = CommandAction(from, command)) to->addAction(action);
    }
}

void CMenuBar::AddButton(QMenu* menu, const char* name, const QString& label,
                         const QKeySequence& key) {
    auto* button = sources_.window->findChild<QAbstractButton*>(QString::fromLatin1(name));
    if (button == nullptr) return;
    QAction* action = menu->addAction(label);
    action->setObjectName(QStringLiteral("Menu") + QString::fromLatin1(name));
    action->setShortcut(key);
    // The data list's button shows no state of its own: the list's
    // visibility is its check.
    action->setCheckable(button->isCheckable() || button->objectName() == "ShowDataList");
    connect(action, &QAction::triggered, button, &QAbstractButton::click);
    if (button->isCheckable())
        connect(button, &QAbstractButton::toggled, action, &QAction::setChecked);
    buttons_.push_back({action, button});
    button->installEventFilter(this);
    FollowButton(action, button);
}

void CMenuBar::FollowButton(QAction* action, const QAbstractButton* button) {
    action->setEnabled(button->isEnabled());
    action->setVisible(!button->isHidden());
    if (!action->isCheckable()) return;
    const QWidget* list = sources_.window->findChild<QWidget*>(QStringLiteral("DataList"));
    const bool dataList = button->objectName() == "ShowDataList";
    action->setChecked(dataList ? list != nullptr && !list->isHidden() : button->isChecked());
}

bool CMenuBar::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    const bool follows = type == QEvent::EnabledChange || type == QEvent::ShowToParent ||
                         type == QEvent::HideToParent;
    if (follows) {
        for (const ButtonAction& each : buttons_)
            if (each.button == watched) FollowButton(each.action, each.button);
    }
    return QMenuBar::eventFilter(watched, event);
}

}  // namespace qelvor
