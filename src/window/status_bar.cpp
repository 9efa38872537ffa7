#include "window/status_bar.h"

#include <QLabel>
#include <QMouseEvent>
#include <QTime>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

namespace qelvor {

namespace {

// The right edges of panes 0 to 2 in a bar of the window's first width;
// pane 3 reaches the menu button.
constexpr int kPaneRightEdges[] = {280, 450, 510};
constexpr int kFirstWidth = 645;

}  // namespace

CStatusBar::CStatusBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("StatusBar"));
    for (int i = 0; i < kPaneCount; ++i) {
        auto* pane = new QLabel(this);
        pane->setObjectName(QStringLiteral("StatusPane%1").arg(i));
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setTextFormat(Qt::PlainText);
        pane->installEventFilter(this);
        panes_[static_cast<size_t>(i)] = pane;
    }
    menuButton_ = new QToolButton(this);
    menuButton_->setObjectName(QStringLiteral("WindowMenu"));
    menuButton_->setText(QStringLiteral("\u2261"));
    menuButton_->setToolTip(tr("Window menu"));
    menuButton_->setAccessibleName(tr("Window menu"));
    menuButton_->setPopupMode(QToolButton::InstantPopup);
    menuButton_->setAutoRaise(true);
    clock_ = new QTimer(this);
    clock_->setInterval(kClockPeriodMs);
    connect(clock_, &QTimer::timeout, this, &CStatusBar::ShowClock);
    resize(parent != nullptr ? parent->width() : 645, kHeight);
}

void CStatusBar::ToggleClock() {
    if (PaneText(3).isEmpty()) {
        clock_->start();
        ShowClock();
    } else {
        clock_->stop();
        SetPaneText(3, QString());
    }
}

void CStatusBar::ShowClock() {
    SetPaneText(3, QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
}

void CStatusBar::SetPaneText(int pane, const QString& text) {
    if (pane < 0 || pane >= kPaneCount) return;
    QLabel* label = Pane(pane);
    if (label->text() == text) return;
    label->setText(text);
    if (pane == 2) LayOutPanes();
}

QString CStatusBar::PaneText(int pane) const {
    return pane >= 0 && pane < kPaneCount ? Pane(pane)->text() : QString();
}

void CStatusBar::SetPaneToolTip(int pane, const QString& tip) {
    if (pane >= 0 && pane < kPaneCount) Pane(pane)->setToolTip(tip);
}

void CStatusBar::SetMenu(QMenu* menu) {
    menuButton_->setMenu(menu);
}

void CStatusBar::resizeEvent(QResizeEvent*) {
    LayOutPanes();
}

// Pane 0 (the port and its peer) takes what a wider bar has beyond its first
// width. Pane 2 ("response file" and the like) is narrow: a text wider than it
// takes room from pane 1 rather than being cut, up to half of pane 1.
void CStatusBar::LayOutPanes() {
    const int buttonWidth = kHeight;
    const int grown = std::max(width() - kFirstWidth, 0);
    const int wanted = Pane(2)->text().isEmpty() ? 0 : Pane(2)->sizeHint().width();
    const int pane2Left =
        grown + std::clamp(kPaneRightEdges[2] - wanted,
                           (kPaneRightEdges[0] + kPaneRightEdges[1]) / 2, kPaneRightEdges[1]);
    int left = 0;
    for (int i = 0; i < kPaneCount; ++i) {
        int right = i < 3 ? kPaneRightEdges[i] + grown : width() - buttonWidth;
        if (i == 1) right = pane2Left;
        Pane(i)->setGeometry(left, 0, std::max(right - left, 0), height());
        left = right;
    }
    menuButton_->setGeometry(width() - buttonWidth, 0, buttonWidth, height());
}

int CStatusBar::PaneOf(QObject* watched) const {
    for (int i = 0; i < kPaneCount; ++i) {
        if (Pane(i) == watched) return i;
    }
    return -1;
}

bool CStatusBar::eventFilter(QObject* watched, QEvent* event) {
    const int pane = PaneOf(watched);
    if (pane < 0) return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        emit paneDoubleClicked(pane);
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        emit paneRightReleased(pane, static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace qelvor
