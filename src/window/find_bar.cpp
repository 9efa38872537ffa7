#include "window/find_bar.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "config/com_setting.h"
#include "window/band_host.h"
#include "window/local_text.h"
#include "window/traffic_list_view.h"
#include "window/traffic_table_model.h"

namespace qelvor {

namespace {

// The modes in the order of the mode box.
constexpr MatchMode kModes[] = {MatchMode::kText, MatchMode::kRegex, MatchMode::kHex};

template <class T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QCheckBox* Toggle(QWidget* parent, const char* name, const QString& label, const QString& tip) {
    auto* box = Named(new QCheckBox(label, parent), name);
    box->setChecked(true);
    box->setToolTip(tip);
    return box;
}

}  // namespace

CFindBar::CFindBar(IBandHost& host, CTrafficTableModel& model, CTrafficListView& list,
                   const CComSetting& settings)
    : host_(host), model_(model), list_(list), settings_(settings) {
    setObjectName(QStringLiteral("FindBar"));
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(4, 2, 4, 2);
    rows->setSpacing(2);
    auto* findRow = new QHBoxLayout;
    auto* filterRow = new QHBoxLayout;
    rows->addLayout(findRow);
    rows->addLayout(filterRow);
    BuildFindRow(findRow);
    BuildFilterRow(filterRow);
    setFixedHeight(rows->sizeHint().height());
    // Escape closes the bar; the window's key filter, which swallows every
    // other Escape, never sees it, since a shortcut comes first.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &CFindBar::Close);
    connect(&model_, &CTrafficTableModel::filterProgress, this, &CFindBar::ShowProgress);
    connect(&list_, &CTrafficListView::selectionChanged, this, &CFindBar::ShowCount);
    host_.AddBand(this);
    AddCommands();
}

void CFindBar::BuildFindRow(QHBoxLayout* row) {
    row->addWidget(new QLabel(tr("Find"), this));
    pattern_ = Named(new QLineEdit(this), "FindPattern");
    pattern_->setClearButtonEnabled(true);
    pattern_->setPlaceholderText(tr("text, regular expression or hex bytes (02 ?? 03)"));
    row->addWidget(pattern_, 1);
    mode_ = Named(new QComboBox(this), "FindMode");
    mode_->addItems({tr("Text"), tr("Regex"), tr("Hex")});
    row->addWidget(mode_);
    auto* previous = Named(new QPushButton(tr("Previous"), this), "FindPrevious");
    previous->setToolTip(tr("Previous match (Shift+F3)"));
    auto* next = Named(new QPushButton(tr("Next"), this), "FindNext");
    next->setToolTip(tr("Next match (F3, Enter)"));
    for (QPushButton* button : {previous, next}) {
        button->setAutoDefault(false);
        row->addWidget(button);
    }
    count_ = Named(new QLabel(this), "FindCount");
    count_->setMinimumWidth(90);
    count_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(count_, 1);
    pattern_->setAccessibleName(tr("Find pattern"));
    count_->setAccessibleName(tr("Matches"));
    auto* close = Named(new QToolButton(this), "FindClose");
    close->setText(QStringLiteral("\u00d7"));
    close->setToolTip(tr("Close the find bar (Esc)"));
    close->setAutoRaise(true);
    close->setAccessibleName(tr("Close the find bar"));
    row->addWidget(close);
    connect(pattern_, &QLineEdit::textChanged, this, &CFindBar::ApplyPattern);
    connect(pattern_, &QLineEdit::returnPressed, this, &CFindBar::FindNext);
    connect(mode_, &QComboBox::currentIndexChanged, this, &CFindBar::ApplyPattern);
    connect(previous, &QPushButton::clicked, this, &CFindBar::FindPrevious);
    connect(next, &QPushButton::clicked, this, &CFindBar::FindNext);
    connect(close, &QToolButton::clicked, this, &CFindBar::Close);
}

void CFindBar::BuildFilterRow(QHBoxLayout* row) {
    row->addWidget(new QLabel(tr("Show"), this));
    sent_ = Toggle(this, "FilterSent", QStringLiteral("S"), tr("Sent rows"));
    received_ = Toggle(this, "FilterReceived", QStringLiteral("R"), tr("Received rows"));
    info_ = Toggle(this, "FilterInfo", QStringLiteral("I"), tr("Information rows"));
    matching_ = Toggle(this, "FilterMatching", tr("Only matching rows"),
                       tr("Only the rows that the find pattern matches"));
    matching_->setChecked(false);
    for (QCheckBox* box : {sent_, received_, info_, matching_}) {
        row->addWidget(box);
        connect(box, &QCheckBox::toggled, this, &CFindBar::ApplyFilter);
    }
    progress_ = Named(new QProgressBar(this), "FilterProgress");
    progress_->setRange(0, 1000);
    progress_->setTextVisible(false);
    progress_->setFixedWidth(120);
    progress_->hide();
    row->addWidget(progress_);
    cancel_ = Named(new QToolButton(this), "FilterCancel");
    cancel_->setText(tr("Cancel"));
    cancel_->setToolTip(tr("Stop the filter: show every row"));
    cancel_->hide();
    row->addWidget(cancel_);
    connect(cancel_, &QToolButton::clicked, this, &CFindBar::CancelFilter);
    row->addStretch(1);
}

void CFindBar::AddCommands() {
    QAction* find = host_.WindowMenu()->addAction(tr("Find..."));
    find->setObjectName(QStringLiteral("Find"));
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(find, &QAction::triggered, this, &CFindBar::Open);
    auto* next = new QAction(tr("Find next"), this);
    next->setObjectName(QStringLiteral("FindNextKey"));
    next->setShortcut(QKeySequence(Qt::Key_F3));
    connect(next, &QAction::triggered, this, &CFindBar::FindNext);
    auto* previous = new QAction(tr("Find previous"), this);
    previous->setObjectName(QStringLiteral("FindPreviousKey"));
    previous->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    connect(previous, &QAction::triggered, this, &CFindBar::FindPrevious);
    for (QAction* action : {find, next, previous})
        host_.AddWindowShortcut(action);
}

void CFindBar::Open() {
    host_.SetBandShown(this, true);
    // The text kept from the last time is searched for again.
    if (!pattern_->text().isEmpty()) ApplyPattern();
    pattern_->setFocus(Qt::ShortcutFocusReason);
    pattern_->selectAll();
}

void CFindBar::Close() {
    host_.SetBandShown(this, false);
    // A filter whose controls are out of sight would hide rows without a
    // trace: the list shows every row again (the echo-free view aside) and
    // no match, and stays on the record that was selected. The text stays
    // for the next search.
    const size_t record = model_.RecordIndex(list_.SelectedRow());
    ShowEveryType();
    matcher_.reset();
    model_.SetPattern(matcher_);
    if (record != CTrafficTableModel::kNoRow && !model_.Filtered()) {
        list_.SelectRow(static_cast<int>(record));
        list_.ScrollTo(static_cast<int>(record));
    }
    list_.setFocus(Qt::OtherFocusReason);
}

void CFindBar::ShowEveryType() {
    bool changed = false;
    for (QCheckBox* box : {sent_, received_, info_, matching_}) {
        const QSignalBlocker quiet(box);
        changed = changed || box->isChecked() != (box != matching_);
        box->setChecked(box != matching_);
    }
    if (changed) ApplyFilter();
}

void CFindBar::SetEchoFree(bool on) {
    if (echoFree_ == on) return;
    echoFree_ = on;
    ApplyFilter();
}

void CFindBar::Restyle() {
    // Text and regular expressions match the rows as shown: a new display
    // style needs the pattern built again. Other settings leave it be.
    if (style_ == settings_.ShowDataFmt) return;
    ApplyPattern();
}

// --- pattern and filter ---

void CFindBar::ApplyPattern() {
    error_.clear();
    style_ = settings_.ShowDataFmt;
    const QString text = pattern_->text();
    std::string why;
    const MatchMode mode = kModes[std::clamp(mode_->currentIndex(), 0, 2)];
    matcher_ = CRecordMatcher::Create(mode, LocalBytes(text), settings_.ShowDataFmt, &why);
    // An empty pattern is no error: there is just nothing to find.
    if (!matcher_ && !text.isEmpty()) error_ = LocalText(why);
    model_.SetPattern(matcher_);
    ShowCount();
}

void CFindBar::ApplyFilter() {
    CRecordFilter::Options options;
    options.showSent = sent_->isChecked() && !echoFree_;
    options.showReceived = received_->isChecked();
    options.showInfo = info_->isChecked();
    options.onlyMatching = matching_->isChecked();
    const bool filtered =
        !options.showSent || !options.showReceived || !options.showInfo || options.onlyMatching;
    model_.SetFilter(options, filtered);
    ShowCount();
}

void CFindBar::CancelFilter() {
    for (QCheckBox* box : {sent_, received_, info_, matching_}) {
        const QSignalBlocker quiet(box);
        box->setChecked(box != matching_);
    }
    {
        const QSignalBlocker quiet(pattern_);
        pattern_->clear();
    }
    ApplyPattern();
    ApplyFilter();
}

// --- finding ---

size_t CFindBar::CurrentRow() const {
    const int row = list_.SelectedRow();
    return row < 0 ? kNoRowFound : static_cast<size_t>(row);
}

void CFindBar::FindNext() {
    Find(true);
}

void CFindBar::FindPrevious() {
    Find(false);
}

void CFindBar::Find(bool forward) {
    // The rows the window has not announced yet are taken in first, so
    // that a match among them can be selected.
    model_.CatchUp();
    size_t row = kNoRowFound;
    const size_t from = CurrentRow();
    if (matcher_ && model_.CaughtUp()) {
        const CRecordFilter& matches = model_.Matches();
        row = forward ? matches.NextMatch(from) : matches.PreviousMatch(from);
    } else if (matcher_) {
        // Still counting over a large store: a walk from the current row
        // finds the match without waiting for the count.
        const CRecordMatcher::Rows rows = model_.MatcherRows();
        row = forward ? matcher_->FindNext(rows, from) : matcher_->FindPrevious(rows, from);
    }
    Select(row);
    ShowCount();
}

void CFindBar::Select(size_t row) {
    if (row == kNoRowFound || row >= static_cast<size_t>(model_.rowCount()))
        return list_.ClearSelection();
    // Only the rows scroll: the columns stay as the user put them.
    list_.SelectRow(static_cast<int>(row));
    list_.ScrollTo(static_cast<int>(row), CTrafficListView::Place::kCenter);
}

// --- what the bar shows ---

void CFindBar::ShowError(const QString& text) {
    QPalette palette = count_->palette();
    palette.setColor(QPalette::WindowText, CTrafficTableModel::ErrorColor(palette));
    count_->setPalette(palette);
    count_->setText(text);
    count_->setToolTip(text);
}

void CFindBar::ShowCount() {
    if (!error_.isEmpty()) return ShowError(error_);
    count_->setPalette(palette());
    count_->setToolTip(QString());
    if (!matcher_) return count_->setText(QString());
    const CRecordFilter& matches = model_.Matches();
    const size_t total = matches.MatchCount();
    if (!model_.CaughtUp()) return count_->setText(tr("%1 so far").arg(total));
    if (total == 0) return count_->setText(tr("no match"));
    const std::vector<size_t>& rows = matches.MatchRows();
    const size_t current = CurrentRow();
    const auto at = std::lower_bound(rows.begin(), rows.end(), current);
    if (current == kNoRowFound || at == rows.end() || *at != current)
        return count_->setText(tr("%1 matches").arg(total));
    count_->setText(tr("%1 of %2").arg(at - rows.begin() + 1).arg(total));
}

void CFindBar::ShowProgress(double progress, bool done) {
    progress_->setVisible(!done);
    cancel_->setVisible(!done);
    progress_->setValue(static_cast<int>(progress * 1000.0));
    ShowCount();
}

}  // namespace qelvor
