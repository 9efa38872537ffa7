// The traffic list's view commands in the window's menu: the echo-free view
// (no sent rows), the frame check and gap columns, and whether a gap is
// taken from the previous record of the same type. Each is changed through
// the engine, which keeps it in the settings set as it is toggled.
// User-interface thread only.
#pragma once

#include <QObject>
#include <utility>
#include <vector>

#include "config/setting_keys.h"

class QAction;
class QMenu;

namespace qelvor {

class CComSetting;
class CFindBar;
class CMainEngine;
class CTrafficListView;
class CTrafficTableModel;

class CTrafficListOptions : public QObject {
    Q_OBJECT

  public:
    CTrafficListOptions(CMainEngine& engine, CTrafficListView& list, CTrafficTableModel& model,
                        CFindBar& findBar);

    // Adds the commands, checked as the settings say, and applies them.
    void AddCommands(QMenu* menu);
    // Checks the commands and applies them as the settings now say: after
    // another set was chosen.
    void FollowSettings();

  private:
    // setting is the record's value of key, which the engine changes.
    QAction* AddToggle(QMenu* menu, const char* name, const QString& label, SettingKey key,
                       const int& setting);
    void Apply();

    CMainEngine& engine_;
    const CComSetting& settings_;
    CTrafficListView& list_;
    CTrafficTableModel& model_;
    CFindBar& findBar_;
    std::vector<std::pair<QAction*, const int*>> toggles_;
};

}  // namespace qelvor
