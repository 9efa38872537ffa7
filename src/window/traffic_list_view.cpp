#include "window/traffic_list_view.h"

#include <QAbstractItemModel>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <climits>
#include <optional>

namespace qelvor {

namespace {

// A row is its font's height and a little air.
constexpr int kRowPadding = 4;
// Pixels a click on the horizontal scroll bar's arrows moves.
constexpr int kColumnStep = 20;
constexpr int kNotNavigation = -2;

// A colour or a brush from a model's role; none for anything else.
std::optional<QBrush> BrushOf(const QVariant& value) {
    if (value.userType() == QMetaType::QColor) return QBrush(value.value<QColor>());
    if (value.userType() == QMetaType::QBrush) return value.value<QBrush>();
    return std::nullopt;
}

}  // namespace

CTrafficListView::CTrafficListView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    header_ = new QHeaderView(Qt::Horizontal, this);
    header_->setSectionsClickable(true);
    const auto relayout = [this] {
        UpdateGeometries();
        viewport()->update();
    };
    connect(header_, &QHeaderView::sectionResized, this, relayout);
    connect(header_, &QHeaderView::sectionMoved, this, relayout);
    connect(header_, &QHeaderView::sectionCountChanged, this, relayout);
    connect(header_, &QHeaderView::geometriesChanged, this, relayout);
    rowHeight_ = fontMetrics().height() + kRowPadding;
}

CTrafficListView::~CTrafficListView() {
    // The header is a child, destroyed after this object's own part: the
    // signals it sends while it goes must not reach this view any more.
    disconnect(header_, nullptr, this, nullptr);
    if (model_ != nullptr) disconnect(model_, nullptr, this, nullptr);
}

void CTrafficListView::SetModel(QAbstractItemModel* model) {
    if (model_ != nullptr) disconnect(model_, nullptr, this, nullptr);
    model_ = model;
    header_->setModel(model);
    if (model_ != nullptr) ConnectModel();
    OnReset();
    UpdateGeometries();
}

void CTrafficListView::ConnectModel() {
    using Model = QAbstractItemModel;
    // Only top-level rows are rows of a list.
    connect(model_, &Model::rowsInserted, this, [this](const QModelIndex& parent, int a, int b) {
        if (!parent.isValid()) OnRowsInserted(a, b);
    });
    connect(model_, &Model::rowsRemoved, this, [this](const QModelIndex& parent, int a, int b) {
        if (!parent.isValid()) OnRowsRemoved(a, b);
    });
    connect(model_, &Model::modelReset, this, &CTrafficListView::OnReset);
    connect(model_, &Model::dataChanged, this, &CTrafficListView::OnDataChanged);
    // A new order of rows keeps no trace of the selected one's place.
    connect(model_, &Model::layoutChanged, this, &CTrafficListView::OnReset);
    connect(model_, &QObject::destroyed, this, [this] {
        model_ = nullptr;
        OnReset();
    });
}

// --- geometry ---

int CTrafficListView::TopRow() const {
    return verticalScrollBar()->value();
}

int CTrafficListView::PageRows() const {
    return std::max(1, viewport()->height() / rowHeight_);
}

int CTrafficListView::RowAt(QPoint point) const {
    if (point.y() < 0) return -1;
    const int row = TopRow() + point.y() / rowHeight_;
    return row < rows_ ? row : -1;
}

QRect CTrafficListView::RowRect(int row) const {
    // A row far from the top would overflow a pixel coordinate.
    const long long y = static_cast<long long>(row - TopRow()) * rowHeight_;
    const auto clamped = static_cast<int>(std::clamp<long long>(y, INT_MIN / 2, INT_MAX / 2));
    return QRect(0, clamped, viewport()->width(), rowHeight_);
}

void CTrafficListView::UpdateGeometries() {
    const int headerHeight =
        header_->isHidden() ? 0 : std::max(header_->minimumHeight(), header_->sizeHint().height());
    setViewportMargins(0, headerHeight, 0, 0);
    const QRect area = viewport()->geometry();
    header_->setGeometry(area.left(), area.top() - headerHeight, area.width(), headerHeight);
    UpdateRowRange();
    // The columns scroll per pixel.
    QScrollBar* across = horizontalScrollBar();
    across->setRange(0, std::max(0, header_->length() - area.width()));
    across->setPageStep(area.width());
    across->setSingleStep(kColumnStep);
    header_->setOffset(across->value());
}

void CTrafficListView::UpdateRowRange() {
    // The vertical bar counts rows, so its range holds any row count of a
    // model; the scroll area shows or hides it as the range asks.
    QScrollBar* down = verticalScrollBar();
    down->setRange(0, std::max(0, rows_ - PageRows()));
    down->setPageStep(PageRows());
    down->setSingleStep(1);
}

void CTrafficListView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateGeometries();
}

void CTrafficListView::scrollContentsBy(int dx, int /*dy*/) {
    if (dx != 0) header_->setOffset(horizontalScrollBar()->value());
    viewport()->update();
}

void CTrafficListView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() != QEvent::FontChange) return;
    rowHeight_ = fontMetrics().height() + kRowPadding;
    UpdateGeometries();
    viewport()->update();
}

// --- scrolling and selection ---

void CTrafficListView::ScrollTo(int row, Place place) {
    if (row < 0 || row >= rows_) return;
    const int top = TopRow();
    const int page = PageRows();
    int target = top;
    if (place == Place::kCenter)
        target = row - page / 2;
    else if (row < top)
        target = row;
    else if (row >= top + page)
        target = row - page + 1;
    verticalScrollBar()->setValue(target);
}

void CTrafficListView::ScrollToTop() {
    verticalScrollBar()->setValue(0);
}

void CTrafficListView::ScrollToBottom() {
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void CTrafficListView::SelectRow(int row) {
    if (row < -1 || row >= rows_) row = -1;
    if (row == selected_) return;
    if (selected_ >= 0) viewport()->update(RowRect(selected_));
    selected_ = row;
    if (selected_ >= 0) viewport()->update(RowRect(selected_));
    emit selectionChanged(selected_);
}

// --- model changes ---

void CTrafficListView::CountRows() {
    rows_ = model_ != nullptr ? model_->rowCount() : 0;
    UpdateRowRange();
}

void CTrafficListView::OnRowsInserted(int first, int last) {
    CountRows();
    // The selection stays on its record; rows appended below the view only
    // move the scroll bar.
    if (selected_ >= first) SelectRow(selected_ + last - first + 1);
    if (first <= TopRow() + PageRows()) viewport()->update();
}

void CTrafficListView::OnRowsRemoved(int first, int last) {
    int selected = selected_;
    if (selected >= first && selected <= last)
        selected = -1;
    else if (selected > last)
        selected -= last - first + 1;
    CountRows();
    SelectRow(selected);
    viewport()->update();
}

void CTrafficListView::OnReset() {
    CountRows();
    SelectRow(-1);
    viewport()->update();
}

void CTrafficListView::OnDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight) {
    if (bottomRight.row() >= TopRow() && topLeft.row() <= TopRow() + PageRows())
        viewport()->update();
}

// --- drawing ---

void CTrafficListView::paintEvent(QPaintEvent* event) {
    if (model_ == nullptr) return;
    QPainter painter(viewport());
    const QRect area = event->rect();
    const int top = TopRow();
    const int first = top + std::max(area.top(), 0) / rowHeight_;
    const int last = std::min(rows_ - 1, top + area.bottom() / rowHeight_);
    // As item views set their texts off the cell's edges.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    for (int row = first; row <= last; ++row)
        PaintRow(painter, row, (row - top) * rowHeight_, margin);
}

void CTrafficListView::PaintRow(QPainter& painter, int row, int y, int textMargin) {
    const int width = viewport()->width();
    for (int visual = 0; visual < header_->count(); ++visual) {
        const int column = header_->logicalIndex(visual);
        if (header_->isSectionHidden(column)) continue;
        const QRect cell(header_->sectionViewportPosition(column), y, header_->sectionSize(column),
                         rowHeight_);
        if (cell.right() < 0 || cell.left() >= width) continue;
        PaintCell(painter, model_->index(row, column), cell, row == selected_, textMargin);
    }
}

void CTrafficListView::PaintCell(QPainter& painter, const QModelIndex& index, const QRect& cell,
                                 bool selected, int textMargin) {
    const QPalette::ColorGroup group = !isEnabled()       ? QPalette::Disabled
                                       : isActiveWindow() ? QPalette::Active
                                                          : QPalette::Inactive;
    const std::optional<QBrush> background = BrushOf(index.data(Qt::BackgroundRole));
    if (selected)
        painter.fillRect(cell, palette().brush(group, QPalette::Highlight));
    else if (background)
        painter.fillRect(cell, *background);
    // A selected row reads in the palette's colours, whatever the model says.
    const std::optional<QBrush> foreground = BrushOf(index.data(Qt::ForegroundRole));
    QColor pen = palette().color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    if (!selected && foreground) pen = foreground->color();
    const QVariant font = index.data(Qt::FontRole);
    painter.setFont(font.isValid() ? font.value<QFont>() : this->font());
    const QVariant alignment = index.data(Qt::TextAlignmentRole);
    const Qt::Alignment align =
        alignment.isValid() ? Qt::Alignment(alignment.toInt()) : (Qt::AlignLeft | Qt::AlignVCenter);
    const QRect text = cell.adjusted(textMargin, 0, -textMargin, 0);
    const QString shown = painter.fontMetrics().elidedText(index.data(Qt::DisplayRole).toString(),
                                                           Qt::ElideRight, text.width());
    painter.setPen(pen);
    painter.drawText(text, static_cast<int>(align), shown);
}

// --- keyboard and mouse ---

long long CTrafficListView::RowForKey(const QKeyEvent* event) const {
    // Without a selection the keys start at the top row in sight. A page
    // down from near the largest row number must not overflow.
    const bool none = selected_ < 0;
    const long long from = none ? TopRow() : selected_;
    switch (event->key()) {
        case Qt::Key_Up:
            return none ? from : from - 1;
        case Qt::Key_Down:
            return none ? from : from + 1;
        case Qt::Key_PageUp:
            return from - PageRows();
        case Qt::Key_PageDown:
            return from + PageRows();
        case Qt::Key_Home:
            return 0;
        case Qt::Key_End:
            return rows_ - 1;
        default:
            return kNotNavigation;
    }
}

void CTrafficListView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) return CopySelectedRow();
    const long long row = RowForKey(event);
    // Left and Right scroll the columns, as the scroll area does.
    if (row == kNotNavigation) return QAbstractScrollArea::keyPressEvent(event);
    if (rows_ == 0) return;
    const auto target = static_cast<int>(std::clamp<long long>(row, 0, rows_ - 1));
    SelectRow(target);
    ScrollTo(target);
}

void CTrafficListView::CopySelectedRow() const {
    if (selected_ < 0 || model_ == nullptr) return;
    // The cells as the list shows them: in their order, hidden ones left out.
    QStringList cells;
    for (int visual = 0; visual < header_->count(); ++visual) {
        const int column = header_->logicalIndex(visual);
        if (!header_->isSectionHidden(column))
            cells << model_->index(selected_, column).data().toString();
    }
    QGuiApplication::clipboard()->setText(cells.join(QLatin1Char('\t')));
}

void CTrafficListView::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    const int row = RowAt(event->position().toPoint());
    if (row < 0) return;
    // Ctrl and a click on the selected row take the selection away.
    if (event->modifiers().testFlag(Qt::ControlModifier) && row == selected_)
        return ClearSelection();
    SelectRow(row);
    ScrollTo(row);
}

void CTrafficListView::mouseMoveEvent(QMouseEvent* event) {
    if (!event->buttons().testFlag(Qt::LeftButton)) return;
    const int row = RowAt(event->position().toPoint());
    if (row < 0) return;
    SelectRow(row);
    ScrollTo(row);
}

}  // namespace qelvor
