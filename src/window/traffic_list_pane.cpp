#include "window/traffic_list_pane.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>

#include "config/com_setting.h"
#include "mainwnd/main_engine.h"
#include "window/data_detail_dlg.h"
#include "window/scroll_lock.h"
#include "window/traffic_list_view.h"
#include "window/traffic_table_model.h"
#include "window/viewport_mouse.h"

namespace qelvor {

namespace {

// New records are shown at most once a frame.
constexpr int kCatchUpMs = 16;
// What a cell's text leaves free on either side, together.
constexpr int kCellMarginPixels = 12;

}  // namespace

CTrafficListPane::CTrafficListPane(CMainEngine& engine, CComSetting& settings, QWidget* window)
    : QObject(window), engine_(engine), settings_(settings), window_(window) {
    BuildView(window);
    catchUpTimer_ = new QTimer(this);
    catchUpTimer_->setSingleShot(true);
    catchUpTimer_->setInterval(kCatchUpMs);
    connect(catchUpTimer_, &QTimer::timeout, this, &CTrafficListPane::CatchUp);
}

void CTrafficListPane::BuildView(QWidget* window) {
    list_ = new CTrafficListView(window);
    list_->setObjectName(QStringLiteral("TrafficList"));
    model_ = new CTrafficTableModel(engine_.Exchange(), settings_, window);
    model_->SetSideNames([this](char side) {
        return engine_.Tap().SideName(side == 'B' ? tap::Side::kB : tap::Side::kA);
    });
    list_->SetModel(model_);
    ArrangeColumns();
    new CViewportMouse(list_->viewport(),
                       [this](QMouseEvent* event) { return FilterMouse(event); });
    scrollLock_ = new CScrollLock(*list_);
}

void CTrafficListPane::ArrangeColumns() {
    QHeaderView* columns = list_->Header();
    // The data, the last column, takes the room a wider list has.
    columns->setStretchLastSection(true);
    columns->setHighlightSections(false);
    // The gap and frame check columns are numbered after the three first
    // ones, so hidden they change nothing; shown, they stand between the
    // time and the data, which is wider than the list and would push them
    // out of sight.
    const int widths[] = {20, 90, 500, 100, 50};
    for (int column = 0; column < CTrafficTableModel::kColumnCount; ++column)
        columns->resizeSection(column, widths[column]);
    columns->moveSection(columns->visualIndex(CTrafficTableModel::kColumnGap), 2);
    columns->moveSection(columns->visualIndex(CTrafficTableModel::kColumnCheck), 3);
}

void CTrafficListPane::ScheduleCatchUp(bool scroll) {
    if (scroll) scrollPending_ = true;
    if (!catchUpTimer_->isActive()) catchUpTimer_->start();
}

// A tap's rows name their endpoints in the type column, which is widened to
// the longer name once, when the names change; the user may narrow it again.
void CTrafficListPane::FitTypeColumn() {
    if (settings_.WorkMode != kWorkModeTap) return;
    const QFontMetrics metrics = list_->fontMetrics();
    const int needed = std::max(metrics.horizontalAdvance(model_->TypeText('A')),
                                metrics.horizontalAdvance(model_->TypeText('B'))) +
                       kCellMarginPixels;
    if (needed == fittedTypeWidth_) return;
    fittedTypeWidth_ = needed;
    QHeaderView* columns = list_->Header();
    if (columns->sectionSize(CTrafficTableModel::kColumnType) < needed)
        columns->resizeSection(CTrafficTableModel::kColumnType, needed);
}

void CTrafficListPane::CatchUp() {
    model_->CatchUp();
    FitTypeColumn();
    scrollLock_->Refresh();
    if (!scrollPending_) return;
    scrollPending_ = false;
    // A user reading back (scrolled up, or a row selected) keeps the view.
    if (!scrollLock_->Locked()) list_->ScrollToBottom();
}

void CTrafficListPane::OpenRecordDetail(int row) {
    // With a filter on, the row shows another record of the store.
    const size_t record = model_->RecordIndex(row);
    if (record == CTrafficTableModel::kNoRow) return;
    CDataDetail detail(engine_.Exchange().Records(), record,
                       settings_.GapScope != 0 ? GapScope::kSameType : GapScope::kAnyRecord);
    if (settings_.ProtocolMode == kProtocolAstm) detail.SetAstmDelimiters(engine_.AstmDelimiters());
    detail.SetHl7Mode(settings_.ProtocolMode == kProtocolHl7);
    CDataDetailDlg dialog(std::move(detail), settings_, window_,
                          [this](int view) { engine_.SetDetailView(view); });
    dialog.exec();
}

bool CTrafficListPane::FilterMouse(QMouseEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick && event->button() == Qt::LeftButton) {
        // Below the last row there is no record, and nothing opens.
        const int row = list_->RowAt(event->position().toPoint());
        if (row >= 0) OpenRecordDetail(row);
        return row >= 0;
    }
    if (event->button() != Qt::RightButton) return false;
    if (event->type() == QEvent::MouseButtonRelease)
        emit popupRequested(event->globalPosition().toPoint());
    return event->type() == QEvent::MouseButtonRelease;
}

}  // namespace qelvor
