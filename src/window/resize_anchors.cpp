#include "window/resize_anchors.h"

#include <QWidget>
#include <algorithm>

namespace qelvor {

namespace {

// The change along one axis for a "move" bit: the full share or half of it.
int Part(int change, bool half) {
    return half ? change / 2 : change;
}

QPoint MovedTopLeft(const QRect& rect, const AnchorRule& rule, int dx, int dy) {
    QPoint topLeft = rect.topLeft();
    const bool half = rule.moveMode != 0;
    if (rule.flags & kMoveRight) topLeft.rx() += Part(dx, half);
    if (rule.flags & kMoveDown) topLeft.ry() += Part(dy, half);
    if (rule.flags & kMoveBoth) {
        topLeft.rx() += Part(dx, rule.moveMode == 1);
        topLeft.ry() += Part(dy, rule.moveMode == 2);
    }
    return topLeft;
}

}  // namespace

QRect AnchoredRect(const QRect& rect, const AnchorRule& rule, int dw, int dh, QSize clientSize) {
    // Division truncates toward zero, as the share rule wants for shrinking.
    const int dx = dw * rule.sharePercent / 100;
    const int dy = dh * rule.sharePercent / 100;
    const QPoint topLeft = MovedTopLeft(rect, rule, dx, dy);
    int width = rect.width();
    int height = rect.height();
    if (rule.flags & (kGrowWidth | kGrowBoth)) width += dx;
    if (rule.flags & (kGrowHeight | kGrowBoth)) height += dy;
    if (rule.keepMinimum) {
        width = std::max(width, rule.minimum.width());
        height = std::max(height, rule.minimum.height());
    }
    // A control that would reach past the client area keeps a 5-pixel margin.
    if (topLeft.x() + width > clientSize.width()) width = clientSize.width() - topLeft.x() - 5;
    if (topLeft.y() + height > clientSize.height()) height = clientSize.height() - topLeft.y() - 5;
    return QRect(topLeft, QSize(std::max(width, 0), std::max(height, 0)));
}

void CResizeAnchors::Add(QWidget* control, AnchorRule rule) {
    if (rule.keepMinimum) rule.minimum = control->size();
    entries_.push_back({control, rule});
}

void CResizeAnchors::Resize(QSize clientSize) {
    const int dw = clientSize.width() - laidOut_.width();
    const int dh = clientSize.height() - laidOut_.height();
    if (dw == 0 && dh == 0) return;
    for (const Entry& entry : entries_) {
        if (entry.rule.sharePercent < 0 || entry.rule.sharePercent > 100) continue;
        entry.control->setGeometry(
            AnchoredRect(entry.control->geometry(), entry.rule, dw, dh, clientSize));
    }
    laidOut_ = clientSize;
}

void CResizeAnchors::Narrow(QWidget* control, int dx) {
    QRect rect = control->geometry();
    rect.setLeft(rect.left() + dx);
    control->setGeometry(rect);
    for (Entry& entry : entries_) {
        if (entry.control == control && entry.rule.keepMinimum) entry.rule.minimum.rwidth() -= dx;
    }
}

}  // namespace qelvor
