// The main window's menu bar (File, Edit, View, Port, Send, Tools, Help): the
// commands of the window's own menu, of the list popups and of the buttons,
// found in one place with their keys shown. It holds the very actions those
// menus use, so a command behaves the same wherever it is chosen; a button
// gets one action that clicks it and follows its enabled, shown and checked
// state. User-interface thread only.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QMenuBar>
#include <vector>

class QAbstractButton;

namespace qelvor {

// Where the menu bar finds its actions: the menus by reference, the buttons
// and the bands' actions by object name below window.
struct MenuBarSources {
    QWidget* window = nullptr;
    QMenu* windowMenu = nullptr;
    QMenu* trafficMenu = nullptr;   // the traffic list's popup
    QMenu* dataListMenu = nullptr;  // the data list's popup
    QMenu* languageMenu = nullptr;
    QMenu* ctrlCharMenu = nullptr;
};

class CMenuBar : public QMenuBar {
    Q_OBJECT

  public:
    CMenuBar(const MenuBarSources& sources, QWidget* parent);

    // View > Menu bar: checked while the bar is shown.
    QAction* ShowAction() const { return showAction_; }
    // Every action in the bar that has a key, so that the window can hold
    // them and their keys work while the bar is hidden.
    QList<QAction*> KeyedActions() const;

  signals:
    // A menu of the bar is about to open: the window brings its checks and
    // visible items up to date.
    void menuOpening();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildFile();
    void BuildEdit();
    void BuildView();
    void BuildPort();
    void BuildSend();
    void BuildTools();
    QMenu* AddTopMenu(const QString& title);
    // Adds the named actions of the window, skipping names it lacks; an
    // empty name is a separator.
    void AddNamed(QMenu* menu, std::initializer_list<const char*> names);
    // Adds the actions of menu that carry these command ids, in this order.
    void AddCommands(QMenu* to, const QMenu* from, std::initializer_list<int> commands);
    void AddButton(QMenu* menu, const char* name, const QString& label,
                   const QKeySequence& key = {});
    void FollowButton(QAction* action, const QAbstractButton* button);

    MenuBarSources sources_;
    QAction* showAction_ = nullptr;
    struct ButtonAction {
        QAction* action;
        const QAbstractButton* button;
    };
    std::vector<ButtonAction> buttons_;
};

}  // namespace qelvor
