#include "window/scroll_lock.h"

#include <QEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QToolButton>

#include "window/traffic_list_view.h"

namespace qelvor {

namespace {

constexpr int kMargin = 4;

}  // namespace

CScrollLock::CScrollLock(CTrafficListView& list) : QObject(&list), list_(list) {
    newest_ = new QToolButton(&list_);
    newest_->setObjectName(QStringLiteral("ScrollNewest"));
    newest_->setText(tr("newest"));
    newest_->setArrowType(Qt::DownArrow);
    newest_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    newest_->setToolTip(tr("Go to the newest record and follow again (End)"));
    newest_->hide();
    connect(newest_, &QToolButton::clicked, this, &CScrollLock::ToNewest);
    // Only the user's own moves of the scroll bar count: rows appended below
    // move its end without any action.
    QScrollBar* bar = list_.verticalScrollBar();
    connect(bar, &QScrollBar::actionTriggered, this, [this] { OnScrollAction(); });
    connect(bar, &QScrollBar::sliderReleased, this, [this] { OnScrollAction(); });
    connect(&list_, &CTrafficListView::selectionChanged, this, &CScrollLock::Refresh);
    list_.installEventFilter(this);
    // The viewport is laid out after the list's own resize: its resize is the
    // one that tells where the corner now is.
    viewport_ = list_.viewport();
    viewport_->installEventFilter(this);
}

bool CScrollLock::Locked() const {
    const QScrollBar* bar = list_.verticalScrollBar();
    // The slider's position, since during a user's action the value is
    // not yet set.
    const bool away = scrolledAway_ && bar->sliderPosition() < bar->maximum();
    return away || list_.SelectedRow() >= 0;
}

void CScrollLock::OnScrollAction() {
    // The action is reported before the bar takes its new position.
    const QScrollBar* bar = list_.verticalScrollBar();
    scrolledAway_ = bar->sliderPosition() < bar->maximum();
    Refresh();
}

void CScrollLock::ToNewest() {
    scrolledAway_ = false;
    list_.ClearSelection();
    list_.ScrollToBottom();
    Refresh();
}

void CScrollLock::Refresh() {
    const bool locked = Locked();
    if (locked) PlaceButton();
    newest_->setVisible(locked);
    if (locked) newest_->raise();
}

void CScrollLock::PlaceButton() {
    newest_->adjustSize();
    // Over the viewport's bottom-right corner, clear of the scroll bar.
    const QRect area = list_.viewport()->geometry();
    newest_->move(area.right() - newest_->width() - kMargin,
                  area.bottom() - newest_->height() - kMargin);
}

bool CScrollLock::eventFilter(QObject* watched, QEvent* event) {
    // Events come also while the list is destroyed: nothing here may call
    // on it before the event is known to be one of the two.
    if (watched == viewport_ && event->type() == QEvent::Resize) PlaceButton();
    if (watched == &list_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_End) {
        ToNewest();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace qelvor
