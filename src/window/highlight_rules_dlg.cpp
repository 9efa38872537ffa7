#include "window/highlight_rules_dlg.h"

#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "config/com_setting.h"
#include "traffic/record_matcher.h"
#include "window/local_text.h"

namespace qelvor {

namespace {

// The colour a new rule starts with: a pale yellow, readable under the
// list's text in either theme.
constexpr QRgb kFirstColor = 0xFFF3A0;

struct ModeChoice {
    MatchMode mode;
    const char* label;
};
constexpr ModeChoice kModes[] = {
    {MatchMode::kText, QT_TRANSLATE_NOOP("qelvor::CHighlightRulesDlg", "Text")},
    {MatchMode::kRegex, QT_TRANSLATE_NOOP("qelvor::CHighlightRulesDlg", "Regex")},
    {MatchMode::kHex, QT_TRANSLATE_NOOP("qelvor::CHighlightRulesDlg", "Hex")},
};

QString Numbered(const char* name, size_t row) {
    return QString::fromLatin1(name) + QString::number(row + 1);
}

}  // namespace

CHighlightRulesDlg::CHighlightRulesDlg(CComSetting& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("HighlightRulesDlg"));
    setWindowTitle(tr("Highlight rules"));
    BuildRows();
    LoadRows();
}

void CHighlightRulesDlg::BuildRows() {
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("Mode")), 0, 1);
    grid->addWidget(new QLabel(tr("Colour")), 0, 2);
    grid->addWidget(new QLabel(tr("Pattern")), 0, 3);
    for (size_t i = 0; i < rows_.size(); ++i) {
        Row& row = rows_[i];
        const int line = static_cast<int>(i) + 1;
        grid->addWidget(new QLabel(QString::number(line)), line, 0);
        row.mode = new QComboBox;
        row.mode->setObjectName(Numbered("HighlightMode", i));
        for (const ModeChoice& choice : kModes)
            row.mode->addItem(tr(choice.label), static_cast<int>(choice.mode));
        row.color = new QPushButton;
        row.color->setObjectName(Numbered("HighlightColor", i));
        row.color->setAutoDefault(false);
        connect(row.color, &QPushButton::clicked, this, [this, i] { ChooseColor(i); });
        row.pattern = new QLineEdit;
        row.pattern->setObjectName(Numbered("HighlightPattern", i));
        row.pattern->setMinimumWidth(
            row.pattern->fontMetrics().horizontalAdvance(QString(40, 'x')));
        grid->addWidget(row.mode, line, 1);
        grid->addWidget(row.color, line, 2);
        grid->addWidget(row.pattern, line, 3);
    }
    grid->setColumnStretch(3, 1);
    layout->addLayout(grid);
    error_ = new QLabel;
    error_->setObjectName(QStringLiteral("HighlightError"));
    error_->setWordWrap(true);
    QPalette red = error_->palette();
    red.setColor(QPalette::WindowText, QColor(0xD0, 0x20, 0x20));
    error_->setPalette(red);
    layout->addWidget(error_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("HighlightOk"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CHighlightRulesDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

// A key that does not parse shows its whole text as a pattern, so that the
// user sees it and can mend it rather than lose it.
void CHighlightRulesDlg::LoadRows() {
    for (size_t i = 0; i < rows_.size(); ++i) {
        Row& row = rows_[i];
        const std::string& value = settings_.HighlightKey(static_cast<int>(i) + 1);
        const auto rule = CHighlightRules::ParseRule(value, nullptr);
        row.chosen = QColor::fromRgb(rule ? rule->rgb : kFirstColor);
        row.mode->setCurrentIndex(rule ? row.mode->findData(static_cast<int>(rule->mode)) : 0);
        row.pattern->setText(LocalText(rule ? rule->pattern : value));
        ShowColor(i);
    }
}

void CHighlightRulesDlg::ChooseColor(size_t row) {
    QColorDialog dialog(rows_[row].chosen, this);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    dialog.setWindowTitle(tr("Colour of rule %1").arg(row + 1));
    if (dialog.exec() != QDialog::Accepted) return;
    rows_[row].chosen = dialog.selectedColor();
    ShowColor(row);
}

void CHighlightRulesDlg::ShowColor(size_t row) {
    // A plain swatch as the icon, in the screen's own pixels so that it is
    // sharp at any scale.
    const int side = fontMetrics().height();
    const qreal ratio = devicePixelRatioF();
    QPixmap swatch(QSize(side * 2, side) * ratio);
    swatch.setDevicePixelRatio(ratio);
    swatch.fill(rows_[row].chosen);
    rows_[row].color->setIcon(QIcon(swatch));
    rows_[row].color->setIconSize(QSize(side * 2, side));
    rows_[row].color->setToolTip(rows_[row].chosen.name(QColor::HexRgb).toUpper());
}

std::optional<std::vector<CHighlightRules::Rule>> CHighlightRulesDlg::CheckedRules(
    QString* error) const {
    std::vector<CHighlightRules::Rule> rules;
    for (size_t i = 0; i < rows_.size(); ++i) {
        const Row& row = rows_[i];
        const std::string pattern = LocalBytes(row.pattern->text());
        if (pattern.empty()) continue;
        CHighlightRules::Rule rule;
        rule.mode = static_cast<MatchMode>(row.mode->currentData().toInt());
        rule.pattern = pattern;
        rule.rgb = row.chosen.rgb() & 0xFFFFFF;
        // The rule as it will be stored must read back, and its pattern
        // must compile as the traffic list will compile it.
        std::string why;
        bool good = CHighlightRules::ParseRule(CHighlightRules::FormatRule(rule), &why).has_value();
        if (good)
            good = CRecordMatcher::Create(rule.mode, rule.pattern, settings_.ShowDataFmt, &why)
                       .has_value();
        if (!good) {
            if (error != nullptr) *error = tr("Rule %1: %2").arg(i + 1).arg(LocalText(why));
            return std::nullopt;
        }
        rules.push_back(std::move(rule));
    }
    return rules;
}

void CHighlightRulesDlg::accept() {
    QString error;
    const auto rules = CheckedRules(&error);
    if (!rules) {
        error_->setText(error);
        return;
    }
    accepted_ = *rules;
    QDialog::accept();
}

}  // namespace qelvor
