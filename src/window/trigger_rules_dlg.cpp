#include "window/trigger_rules_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "config/com_setting.h"
#include "rules/trigger_rule.h"
#include "rules/trigger_rules.h"
#include "window/local_text.h"

namespace qelvor {

namespace {

enum Column { kOn, kKind, kType, kPattern, kAnswer, kDelay, kLimit, kColumns };

struct KindChoice {
    CTriggerRule::Kind kind;
    const char* word;  // as a rule line names the kind
    const char* label;
};
constexpr KindChoice kKinds[] = {
    {CTriggerRule::Kind::kText, "text", QT_TRANSLATE_NOOP("qelvor::CTriggerRulesDlg", "Text")},
    {CTriggerRule::Kind::kRegex, "regex", QT_TRANSLATE_NOOP("qelvor::CTriggerRulesDlg", "Regex")},
    {CTriggerRule::Kind::kHex, "hex", QT_TRANSLATE_NOOP("qelvor::CTriggerRulesDlg", "Hex")},
    {CTriggerRule::Kind::kTimer, "timer", QT_TRANSLATE_NOOP("qelvor::CTriggerRulesDlg", "Timer")},
};
constexpr char kTypes[] = {'R', 'A', 'B'};

struct FaultChoice {
    const char* key;  // the setting's name, also the spin box's
    const char* label;
    int most;
};
constexpr FaultChoice kFaults[CMainEngine::kFaultKeyCount] = {
    {"FaultBadChecksum",
     QT_TRANSLATE_NOOP("qelvor::CTriggerRulesDlg", "Wrong checksum on the next frames"), 1000000},
    {"FaultNak", QT_TRANSLATE_NOOP("qelvor::CTriggerRulesDlg", "Good frames answered with NAK"),
     1000000},
    {"FaultWithholdAck",
     QT_TRANSLATE_NOOP("qelvor::CTriggerRulesDlg", "Good frames left without ACK"), 1000000},
    {"FaultEnqContention", QT_TRANSLATE_NOOP("qelvor::CTriggerRulesDlg", "ENQs answered with ENQ"),
     1000000},
    {"FaultDropAfter", QT_TRANSLATE_NOOP("qelvor::CTriggerRulesDlg", "Drop the line after frames"),
     1000000},
    {"FaultDelayMs", QT_TRANSLATE_NOOP("qelvor::CTriggerRulesDlg", "Delay every answer (ms)"),
     CTriggerRule::kMaxDelayMs},
};

// How often a rule may answer: "Always" (0), "Once" (1) or "N times".
class CLimitBox : public QSpinBox {
  public:
    CLimitBox() {
        setRange(0, CTriggerRule::kMaxTimes);
        setSpecialValueText(CTriggerRulesDlg::tr("Always"));
        setToolTip(CTriggerRulesDlg::tr("How often the rule answers before it turns itself off"));
    }

  protected:
    QString textFromValue(int value) const override {
        return value == 1 ? CTriggerRulesDlg::tr("Once")
                          : CTriggerRulesDlg::tr("%1 times").arg(value);
    }
    // A number typed alone is taken as that many times.
    int valueFromText(const QString& text) const override {
        if (text == textFromValue(1)) return 1;
        const QString digits = text.section(QLatin1Char(' '), 0, 0);
        return digits.toInt();
    }
    QValidator::State validate(QString& text, int&) const override {
        if (text == textFromValue(1) || text == specialValueText()) return QValidator::Acceptable;
        bool number = false;
        const int value = text.section(QLatin1Char(' '), 0, 0).toInt(&number);
        if (!number) return QValidator::Intermediate;
        return value >= minimum() && value <= maximum() ? QValidator::Acceptable
                                                        : QValidator::Invalid;
    }
};

QPushButton* NamedButton(const QString& text, const char* name) {
    auto* button = new QPushButton(text);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

// A stored rule's pattern field as the line holds it (a timer's period).
QString PatternField(const std::string& line) {
    const auto first = line.find('\t');
    const auto second = line.find('\t', first + 1);
    const auto third = line.find('\t', second + 1);
    return LocalText(std::string_view(line).substr(second + 1, third - second - 1));
}

}  // namespace

CTriggerRulesDlg::CTriggerRulesDlg(CMainEngine& engine, QWidget* parent)
    : QDialog(parent), engine_(engine) {
    setObjectName(QStringLiteral("TriggerRulesDlg"));
    setWindowTitle(tr("Trigger rules"));
    auto* layout = new QVBoxLayout(this);
    auto* help = new QLabel(
        tr("The first enabled rule whose pattern a frame matches sends its answer (notation "
           "text: $1..$9 insert the captured groups, {DATE} {TIME} {SEQ} the date, the time "
           "and a sequence number). A timer sends its answer every period (ms) while the port "
           "is open."));
    help->setWordWrap(true);
    layout->addWidget(help);
    BuildTable();
    layout->addWidget(table_, 1);
    layout->addWidget(BuildButtons());
    // Frames no rule took go to the script's OnFrame; OnTimer runs each second.
    scriptHooks_ = new QCheckBox(tr("Script hooks (OnFrame, OnTimer)"));
    scriptHooks_->setObjectName(QStringLiteral("ScriptHooks"));
    scriptHooks_->setChecked(engine_.Settings().ScriptHooks != 0);
    layout->addWidget(scriptHooks_);
    layout->addWidget(BuildFaults());
    error_ = new QLabel;
    error_->setObjectName(QStringLiteral("RuleError"));
    error_->setWordWrap(true);
    QPalette red = error_->palette();
    red.setColor(QPalette::WindowText, QColor(0xD0, 0x20, 0x20));
    error_->setPalette(red);
    layout->addWidget(error_);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
    box->button(QDialogButtonBox::Save)->setObjectName(QStringLiteral("RuleSave"));
    connect(box, &QDialogButtonBox::accepted, this, &CTriggerRulesDlg::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(box);
    LoadRules();
    resize(qMax(sizeHint().width(), fontMetrics().horizontalAdvance(QString(110, 'x'))),
           sizeHint().height());
}

void CTriggerRulesDlg::BuildTable() {
    table_ = new QTableWidget(0, kColumns);
    table_->setObjectName(QStringLiteral("TriggerRules"));
    table_->setHorizontalHeaderLabels({tr("On"), tr("Kind"), tr("Type"), tr("Pattern or period"),
                                       tr("Answer"), tr("Delay (ms)"), tr("Limit")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(kPattern, QHeaderView::Stretch);
    header->setSectionResizeMode(kAnswer, QHeaderView::Stretch);
    table_->setMinimumHeight(table_->verticalHeader()->defaultSectionSize() * 8);
    connect(table_, &QTableWidget::currentCellChanged, this, &CTriggerRulesDlg::UpdateButtons);
}

QWidget* CTriggerRulesDlg::BuildButtons() {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    add_ = NamedButton(tr("&Add"), "RuleAdd");
    remove_ = NamedButton(tr("&Remove"), "RuleRemove");
    up_ = NamedButton(tr("Move &up"), "RuleUp");
    down_ = NamedButton(tr("Move &down"), "RuleDown");
    for (QPushButton* button : {add_, remove_, up_, down_})
        layout->addWidget(button);
    layout->addStretch(1);
    connect(add_, &QPushButton::clicked, this, [this] {
        const int at = table_->currentRow() + 1;  // below the current one, else first
        InsertRow(at, RowValues{});
        table_->setCurrentCell(at, kPattern);
    });
    connect(remove_, &QPushButton::clicked, this, [this] {
        table_->removeRow(table_->currentRow());
        UpdateButtons();
    });
    connect(up_, &QPushButton::clicked, this, [this] { MoveCurrent(-1); });
    connect(down_, &QPushButton::clicked, this, [this] { MoveCurrent(1); });
    return row;
}

QWidget* CTriggerRulesDlg::BuildFaults() {
    auto* group = new QGroupBox(tr("Faults (ASTM)"));
    group->setObjectName(QStringLiteral("Faults"));
    auto* form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    const CComSetting& set = engine_.Settings();
    const int values[] = {set.FaultBadChecksum,   set.FaultNak,       set.FaultWithholdAck,
                          set.FaultEnqContention, set.FaultDropAfter, set.FaultDelayMs};
    for (size_t i = 0; i < faults_.size(); ++i) {
        auto* spin = new QSpinBox;
        spin->setObjectName(QString::fromLatin1(kFaults[i].key));
        spin->setRange(0, kFaults[i].most);
        spin->setSpecialValueText(tr("Off"));
        spin->setValue(values[i]);
        form->addRow(tr(kFaults[i].label), spin);
        faults_[i] = spin;
    }
    return group;
}

// A key that does not parse shows its whole text as a pattern, its error
// below, so that the user sees it and can mend it rather than lose it.
void CTriggerRulesDlg::LoadRules() {
    const CComSetting& set = engine_.Settings();
    for (int n = 1; n <= CComSetting::kRuleKeyCount; ++n) {
        const std::string& line = set.RuleKey(n);
        if (line.empty()) continue;
        std::string why;
        const auto rule = CTriggerRule::Parse(line, &why);
        RowValues values;
        if (!rule) {
            values.pattern = LocalText(line);
            error_->setText(tr("Rule %1: %2").arg(table_->rowCount() + 1).arg(LocalText(why)));
        } else {
            values.on = rule->Enabled();
            values.kind = static_cast<int>(rule->GetKind());
            values.type = static_cast<int>(std::string_view("RAB").find(rule->Direction()));
            values.pattern = PatternField(rule->ToLine());
            values.answer = LocalText(rule->Answer());
            values.delayMs = static_cast<int>(rule->Delay().count());
            const CTriggerRule::Limit limit = rule->GetLimit();
            values.limit = limit == CTriggerRule::Limit::kAlways ? 0
                           : limit == CTriggerRule::Limit::kOnce ? 1
                                                                 : rule->Remaining();
        }
        InsertRow(table_->rowCount(), values);
    }
    UpdateButtons();
}

void CTriggerRulesDlg::InsertRow(int row, const RowValues& values) {
    table_->insertRow(row);
    auto* on = new QTableWidgetItem;
    on->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    table_->setItem(row, kOn, on);
    auto* kind = new QComboBox;
    for (const KindChoice& choice : kKinds)
        kind->addItem(tr(choice.label));
    table_->setCellWidget(row, kKind, kind);
    auto* type = new QComboBox;
    for (char letter : kTypes)
        type->addItem(QString(QChar::fromLatin1(letter)));
    table_->setCellWidget(row, kType, type);
    table_->setItem(row, kPattern, new QTableWidgetItem);
    table_->setItem(row, kAnswer, new QTableWidgetItem);
    auto* delay = new QSpinBox;
    delay->setRange(0, CTriggerRule::kMaxDelayMs);
    table_->setCellWidget(row, kDelay, delay);
    table_->setCellWidget(row, kLimit, new CLimitBox);
    Write(row, values);
    UpdateButtons();
}

CTriggerRulesDlg::RowValues CTriggerRulesDlg::Read(int row) const {
    RowValues values;
    values.on = table_->item(row, kOn)->checkState() == Qt::Checked;
    values.kind = qobject_cast<QComboBox*>(table_->cellWidget(row, kKind))->currentIndex();
    values.type = qobject_cast<QComboBox*>(table_->cellWidget(row, kType))->currentIndex();
    values.pattern = table_->item(row, kPattern)->text();
    values.answer = table_->item(row, kAnswer)->text();
    values.delayMs = qobject_cast<QSpinBox*>(table_->cellWidget(row, kDelay))->value();
    values.limit = qobject_cast<QSpinBox*>(table_->cellWidget(row, kLimit))->value();
    return values;
}

void CTriggerRulesDlg::Write(int row, const RowValues& values) {
    table_->item(row, kOn)->setCheckState(values.on ? Qt::Checked : Qt::Unchecked);
    qobject_cast<QComboBox*>(table_->cellWidget(row, kKind))->setCurrentIndex(values.kind);
    qobject_cast<QComboBox*>(table_->cellWidget(row, kType))->setCurrentIndex(values.type);
    table_->item(row, kPattern)->setText(values.pattern);
    table_->item(row, kAnswer)->setText(values.answer);
    qobject_cast<QSpinBox*>(table_->cellWidget(row, kDelay))->setValue(values.delayMs);
    qobject_cast<QSpinBox*>(table_->cellWidget(row, kLimit))->setValue(values.limit);
}

void CTriggerRulesDlg::MoveCurrent(int by) {
    const int from = table_->currentRow();
    const int to = from + by;
    if (from < 0 || to < 0 || to >= table_->rowCount()) return;
    const RowValues moved = Read(from);
    Write(from, Read(to));
    Write(to, moved);
    table_->setCurrentCell(to, table_->currentColumn());
}

void CTriggerRulesDlg::UpdateButtons() {
    const int row = table_->currentRow();
    const int rows = table_->rowCount();
    add_->setEnabled(rows < static_cast<int>(CTriggerRules::kMaxRules));
    remove_->setEnabled(row >= 0);
    up_->setEnabled(row > 0);
    down_->setEnabled(row >= 0 && row + 1 < rows);
}

std::string CTriggerRulesDlg::LineOf(const RowValues& values) const {
    std::string line = kKinds[values.kind].word;
    line += '\t';
    line += kTypes[values.type];
    line += '\t' + LocalBytes(values.pattern) + '\t' + LocalBytes(values.answer);
    if (values.delayMs > 0) line += "\tdelay=" + std::to_string(values.delayMs);
    if (values.limit == 1) line += "\tonce";
    if (values.limit > 1) line += "\ttimes=" + std::to_string(values.limit);
    if (!values.on) line += "\toff";
    return line;
}

std::optional<std::vector<std::string>> CTriggerRulesDlg::CheckedLines(QString* error) const {
    std::vector<std::string> lines;
    for (int row = 0; row < table_->rowCount(); ++row) {
        const RowValues values = Read(row);
        if (values.pattern.isEmpty() && values.answer.isEmpty()) continue;
        std::string why;
        // A tab or a line break would cut the line into other fields.
        const QRegularExpression cuts(QStringLiteral("[\\t\\r\\n]"));
        if (values.pattern.contains(cuts) || values.answer.contains(cuts))
            why = "a tab or a line break cannot stand in a field; write <HT>, <CR> or <LF>";
        const std::string line = LineOf(values);
        if (why.empty() && CTriggerRule::Parse(line, &why)) {
            lines.push_back(line);
            continue;
        }
        if (error != nullptr) *error = tr("Rule %1: %2").arg(row + 1).arg(LocalText(why));
        return std::nullopt;
    }
    return lines;
}

void CTriggerRulesDlg::accept() {
    QString error;
    const auto lines = CheckedLines(&error);
    if (!lines) {
        error_->setText(error);
        return;
    }
    std::array<int, CMainEngine::kFaultKeyCount> faults{};
    for (size_t i = 0; i < faults.size(); ++i)
        faults[i] = faults_[i]->value();
    engine_.SetTriggerRules(*lines, faults);
    // Written only when changed, so that a file without the key keeps it out.
    if (scriptHooks_->isChecked() != (engine_.Settings().ScriptHooks != 0))
        engine_.SetViewOption(SettingKey::ScriptHooks, scriptHooks_->isChecked());
    QDialog::accept();
}

}  // namespace qelvor
