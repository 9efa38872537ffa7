#include "window/traffic_list_options.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QSignalBlocker>

#include "config/com_setting.h"
#include "mainwnd/main_engine.h"
#include "window/find_bar.h"
#include "window/traffic_list_view.h"
#include "window/traffic_table_model.h"

namespace qelvor {

CTrafficListOptions::CTrafficListOptions(CMainEngine& engine, CTrafficListView& list,
                                         CTrafficTableModel& model, CFindBar& findBar)
    : QObject(&list),
      engine_(engine),
      settings_(engine.Settings()),
      list_(list),
      model_(model),
      findBar_(findBar) {}

QAction* CTrafficListOptions::AddToggle(QMenu* menu, const char* name, const QString& label,
                                        SettingKey key, const int& setting) {
    QAction* action = menu->addAction(label);
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(true);
    action->setChecked(setting != 0);
    connect(action, &QAction::toggled, this, [this, key](bool on) {
        engine_.SetViewOption(key, on);
        Apply();
    });
    toggles_.emplace_back(action, &setting);
    return action;
}

void CTrafficListOptions::AddCommands(QMenu* menu) {
    AddToggle(menu, "EchoFree", tr("Echo-free view (hide sent rows)"), SettingKey::EchoFree,
              settings_.EchoFree);
    AddToggle(menu, "ShowCheckColumn", tr("Show frame check column (chk)"),
              SettingKey::ShowCheckColumn, settings_.ShowCheckColumn);
    AddToggle(menu, "ShowGapColumn", tr("Show time gap column (+ms)"), SettingKey::ShowGapColumn,
              settings_.ShowGapColumn);
    AddToggle(menu, "GapSameType", tr("Gap since the previous record of the same type"),
              SettingKey::GapScope, settings_.GapScope);
    Apply();
}

void CTrafficListOptions::FollowSettings() {
    for (const auto& [action, setting] : toggles_) {
        const QSignalBlocker quiet(action);
        action->setChecked(*setting != 0);
    }
    Apply();
}

void CTrafficListOptions::Apply() {
    // Hidden sections keep the column numbers, and the three first columns
    // their widths and order.
    QHeaderView* header = list_.Header();
    header->setSectionHidden(CTrafficTableModel::kColumnCheck, settings_.ShowCheckColumn == 0);
    header->setSectionHidden(CTrafficTableModel::kColumnGap, settings_.ShowGapColumn == 0);
    findBar_.SetEchoFree(settings_.EchoFree != 0);
    // The gap's scope changes what the gap cells say.
    model_.Restyle();
}

}  // namespace qelvor
