// The main window's client area under the menu bar: the dialog controls kept
// at their anchors, the bands above the status bar taking their room from the
// traffic list, and the status bar along the bottom. User-interface thread
// only.
#pragma once

#include <QWidget>

#include "window/resize_anchors.h"
#include "window/window_bands.h"

namespace qelvor {

class CClientArea : public QWidget {
    Q_OBJECT

  public:
    // The least height the traffic list keeps when bands take its room.
    static constexpr int kSmallestListHeight = 96;

    explicit CClientArea(QWidget* window);

    CResizeAnchors& Anchors() { return anchors_; }
    // The controls are laid out for the present size: it becomes the
    // smallest, list is the one that gives the bands room, statusBar sits at
    // the bottom.
    void Start(const QWidget* list, QWidget* statusBar);
    void AddBand(QWidget* band);
    // Whether the band changed.
    bool SetBandShown(QWidget* band, bool shown);
    bool BandShown(const QWidget* band) const { return bands_.Shown(band); }
    // The smallest size for the bands shown: the first size, taller by what
    // the bands need beyond the room the list can give.
    QSize SmallestSize() const;
    // Places the controls, bands and status bar for the present size.
    void Place();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    CResizeAnchors anchors_;
    CWindowBands bands_;
    QWidget* statusBar_ = nullptr;
    QSize firstSize_;
    int firstListHeight_ = 0;
};

}  // namespace qelvor
