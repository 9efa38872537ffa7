// The main window's menus, each built once: its own menu (the status bar's
// button), the traffic list's, the data list's and the language popups, the
// SendCtrl drop-down, and the menu bar that holds their very actions. Each
// command action runs its command through one callback, whichever menu it is
// chosen in. User-interface thread only.
#pragma once

#include <QObject>
#include <QPoint>
#include <functional>

class QMenu;
class QToolButton;
class QWidget;

namespace qelvor {

class CComSetting;
class CMenuBar;

class CWindowMenus : public QObject {
    Q_OBJECT

  public:
    // The popups under window; run gets each chosen command id, ctrl each
    // chosen control character's.
    CWindowMenus(QWidget& window, const CComSetting& settings, std::function<void(int)> run,
                 std::function<void(int)> ctrl, QToolButton& sendCtrl);

    QMenu* WindowMenu() const { return windowMenu_; }
    // The popup of that name ("EVENT", "DATA_PROC", "SelectUI",
    // "CTRL_CHAR"); null for another name.
    QMenu* Popup(const QString& name) const;
    // A menu of the popup's actions shown now; the caller owns the menu.
    QMenu* BuildPopup(const QString& name);
    void PopUp(const QString& name, QPoint at);
    // The menu bar, once the bands have added their actions; its keys go
    // on the window.
    void BuildMenuBar();
    CMenuBar* MenuBar() const { return menuBar_; }
    // The bar's height while it is shown, else 0.
    int MenuBarHeight() const;
    void SetMenuBarShown(bool shown);
    void SetPinned(bool pinned);
    // The language's check and the ASTM items as the settings stand.
    void Refresh();

  signals:
    // The user showed or hid the menu bar.
    void menuBarToggled(bool shown);

  private:
    void RouteCommands(QMenu* menu);

    QWidget& window_;
    const CComSetting& settings_;
    std::function<void(int)> run_;
    QToolButton& sendCtrl_;
    QMenu* windowMenu_ = nullptr;
    QMenu* trafficMenu_ = nullptr;
    QMenu* dataListMenu_ = nullptr;
    QMenu* languageMenu_ = nullptr;
    CMenuBar* menuBar_ = nullptr;
};

}  // namespace qelvor
