// The editor of the set's trigger rules and of the ASTM link's faults: an
// ordered table of up to sixteen rules (on/off, kind, record type, pattern or
// period, answer, delay, limit) edited in place, the switch of the script
// plug-in's hooks, and one number a fault, 0 being off. Save checks every filled row with the rule
// parser and stays open naming the first bad row; when all are good the engine stores the rules and
// the faults in the set and takes the rules at once. User-interface thread only.
#pragma once

#include <QDialog>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "mainwnd/main_engine.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace qelvor {

class CTriggerRulesDlg : public QDialog {
    Q_OBJECT

  public:
    CTriggerRulesDlg(CMainEngine& engine, QWidget* parent = nullptr);

    // The filled rows as rule lines, in table order, each read back by the
    // parser; nullopt when a row is bad, with error naming it.
    std::optional<std::vector<std::string>> CheckedLines(QString* error) const;

    void accept() override;

  private:
    // One row's widgets as plain values, to move rows without their widgets.
    struct RowValues {
        bool on = true;
        int kind = 0;
        int type = 0;
        QString pattern;
        QString answer;
        int delayMs = 0;
        int limit = 0;  // 0 every time, 1 once, N that many times
    };

    void BuildTable();
    QWidget* BuildButtons();
    QWidget* BuildFaults();
    void LoadRules();
    void InsertRow(int row, const RowValues& values);
    RowValues Read(int row) const;
    void Write(int row, const RowValues& values);
    void MoveCurrent(int by);
    void UpdateButtons();
    std::string LineOf(const RowValues& values) const;

    CMainEngine& engine_;
    QTableWidget* table_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* up_ = nullptr;
    QPushButton* down_ = nullptr;
    QCheckBox* scriptHooks_ = nullptr;
    std::array<QSpinBox*, CMainEngine::kFaultKeyCount> faults_{};
    QLabel* error_ = nullptr;
};

}  // namespace qelvor
