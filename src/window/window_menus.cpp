#include "window/window_menus.h"

#include <QMenu>
#include <QToolButton>

#include "config/com_setting.h"
#include "window/menu_bar.h"
#include "window/popup_menus.h"

namespace qelvor {

CWindowMenus::CWindowMenus(QWidget& window, const CComSetting& settings,
                           std::function<void(int)> run, std::function<void(int)> ctrl,
                           QToolButton& sendCtrl)
    : QObject(&window),
      window_(window),
      settings_(settings),
      run_(std::move(run)),
      sendCtrl_(sendCtrl) {
    QMenu* ctrlChars = BuildCtrlCharMenu(&sendCtrl);
    sendCtrl.setMenu(ctrlChars);
    connect(ctrlChars, &QMenu::triggered, this,
            [ctrl = std::move(ctrl)](QAction* action) { ctrl(CommandOf(action)); });
    windowMenu_ = BuildSystemMenu(&window);
    windowMenu_->setObjectName(QStringLiteral("SystemMenu"));
    // The data list's menu holds "Send message", shown in the message modes alone.
    trafficMenu_ = BuildNamedPopup(QStringLiteral("EVENT"), &window, false, 0);
    dataListMenu_ = BuildNamedPopup(QStringLiteral("DATA_PROC"), &window, true, 0);
    languageMenu_ = BuildNamedPopup(QStringLiteral("SelectUI"), &window, false, 0);
    for (QMenu* menu : {windowMenu_, trafficMenu_, dataListMenu_, languageMenu_}) {
        RouteCommands(menu);
        connect(menu, &QMenu::aboutToShow, this, &CWindowMenus::Refresh);
    }
}

void CWindowMenus::RouteCommands(QMenu* menu) {
    for (QAction* action : menu->actions()) {
        const int command = CommandOf(action);
        if (command != 0)
            connect(action, &QAction::triggered, this, [this, command] { run_(command); });
    }
}

QMenu* CWindowMenus::Popup(const QString& name) const {
    if (name == QLatin1String("EVENT")) return trafficMenu_;
    if (name == QLatin1String("DATA_PROC")) return dataListMenu_;
    if (name == QLatin1String("SelectUI")) return languageMenu_;
    if (name == QLatin1String("CTRL_CHAR")) return sendCtrl_.menu();
    return nullptr;
}

QMenu* CWindowMenus::BuildPopup(const QString& name) {
    const QMenu* own = Popup(name);
    if (own == nullptr) return nullptr;
    Refresh();
    auto* menu = new QMenu(own->title(), &window_);
    menu->setObjectName(name);
    for (QAction* action : own->actions())
        if (action->isVisible()) menu->addAction(action);
    return menu;
}

void CWindowMenus::PopUp(const QString& name, QPoint at) {
    // The actions run their commands themselves.
    if (QMenu* menu = Popup(name)) menu->exec(at);
}

void CWindowMenus::BuildMenuBar() {
    menuBar_ = new CMenuBar(
        {&window_, windowMenu_, trafficMenu_, dataListMenu_, languageMenu_, sendCtrl_.menu()},
        &window_);
    // Their keys work with the bar hidden too.
    window_.addActions(menuBar_->KeyedActions());
    connect(menuBar_, &CMenuBar::menuOpening, this, &CWindowMenus::Refresh);
    connect(menuBar_->ShowAction(), &QAction::triggered, this, &CWindowMenus::menuBarToggled);
}

int CWindowMenus::MenuBarHeight() const {
    return menuBar_ != nullptr && !menuBar_->isHidden() ? menuBar_->sizeHint().height() : 0;
}

void CWindowMenus::SetMenuBarShown(bool shown) {
    menuBar_->setVisible(shown);
    menuBar_->ShowAction()->setChecked(shown);
}

void CWindowMenus::SetPinned(bool pinned) {
    if (QAction* pin = CommandAction(windowMenu_, kCmdPinWindow)) pin->setChecked(pinned);
}

void CWindowMenus::Refresh() {
    for (QAction* action : languageMenu_->actions())
        action->setChecked(CommandOf(action) == kCmdSelectUiSystem + settings_.UsedUILangCode);
    // The data list is sent as messages in the ASTM and the HL7 mode.
    const bool messageMode =
        settings_.ProtocolMode == kProtocolAstm || settings_.ProtocolMode == kProtocolHl7;
    if (QAction* send = CommandAction(dataListMenu_, kCmdSendAstmMessage))
        send->setVisible(messageMode);
}

}  // namespace qelvor
