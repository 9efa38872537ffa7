// The editor of the traffic list's highlight rules: eight rows of a mode
// (text, regular expression or hex pattern), a colour and the pattern. OK
// checks every row first and stores nothing while one is bad, naming that row;
// good rules go into the set's Highlight1.. keys in row order, empty rows
// left out. User-interface thread only.
#pragma once

#include <QColor>
#include <QDialog>
#include <array>
#include <optional>
#include <vector>

#include "traffic/highlight_rules.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qelvor {

class CComSetting;

class CHighlightRulesDlg : public QDialog {
    Q_OBJECT

  public:
    CHighlightRulesDlg(CComSetting& settings, QWidget* parent = nullptr);

    // The rules of the filled rows, each checked; nullopt when a row is bad,
    // with error naming it.
    std::optional<std::vector<CHighlightRules::Rule>> CheckedRules(QString* error) const;

    void accept() override;

  private:
    struct Row {
        QComboBox* mode = nullptr;
        QPushButton* color = nullptr;
        QLineEdit* pattern = nullptr;
        QColor chosen;
    };

    void BuildRows();
    void LoadRows();
    void ChooseColor(size_t row);
    void ShowColor(size_t row);
    // Writes the stored keys into the INI file's current set as well.
    void SaveKeys() const;

    CComSetting& settings_;
    std::array<Row, CHighlightRules::kMaxRules> rows_;
    QLabel* error_ = nullptr;
};

}  // namespace qelvor
