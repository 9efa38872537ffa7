#include "window/client_area.h"

#include <algorithm>

namespace qelvor {

CClientArea::CClientArea(QWidget* window) : QWidget(window) {
    setObjectName(QStringLiteral("ClientArea"));
}

void CClientArea::Start(const QWidget* list, QWidget* statusBar) {
    statusBar_ = statusBar;
    firstSize_ = size();
    firstListHeight_ = list->height();
    anchors_.Start(size());
}

void CClientArea::AddBand(QWidget* band) {
    band->setParent(this);
    bands_.Add(band);
}

bool CClientArea::SetBandShown(QWidget* band, bool shown) {
    if (bands_.SetShown(band, shown) == 0) return false;
    Place();
    return true;
}

QSize CClientArea::SmallestSize() const {
    const int listSpare = std::max(firstListHeight_ - kSmallestListHeight, 0);
    return firstSize_ + QSize(0, std::max(bands_.ShownHeight() - listSpare, 0));
}

// The dialog controls take the area above the bands; the bands sit on the
// status bar.
void CClientArea::Place() {
    if (statusBar_ == nullptr) return;
    const int barHeight = statusBar_->height();
    anchors_.Resize(QSize(width(), height() - bands_.ShownHeight()));
    bands_.Place(width(), height() - barHeight);
    statusBar_->setGeometry(0, height() - barHeight, width(), barHeight);
}

void CClientArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Place();
}

}  // namespace qelvor
