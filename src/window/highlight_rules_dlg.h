// The editor of the traffic list's highlight rules: eight rows of a mode
// (text, regular expression or hex pattern), a colour and the pattern. OK
// checks every row first and closes only when all are good, naming a bad
// row; the good rules, in row order with empty rows left out, are then the
// dialog's Rules(), which the opener hands to the engine to keep.
// User-interface thread only.
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
    // The rules accepted by OK.
    const std::vector<CHighlightRules::Rule>& Rules() const { return accepted_; }

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

    CComSetting& settings_;
    std::array<Row, CHighlightRules::kMaxRules> rows_;
    QLabel* error_ = nullptr;
    std::vector<CHighlightRules::Rule> accepted_;
};

}  // namespace qelvor
