// The main window's resize rule: each registered control keeps its anchors
// (move right or down, grow in width or height, by the full or half share of
// the client size change), so that the controls keep the places they were
// drawn at in dialog units. User-interface thread only.
#pragma once

#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

namespace qelvor {

// Anchor flags of one control; several may be combined.
enum Anchor : unsigned {
    kMoveRight = 1,
    kMoveDown = 2,
    kMoveBoth = 4,
    kGrowWidth = 8,
    kGrowHeight = 16,
    kGrowBoth = 32,
};

struct AnchorRule {
    unsigned flags = 0;
    int sharePercent = 100;
    // kMoveRight/kMoveDown: 0 the full share, 1 or 2 half of it. kMoveBoth:
    // 0 full both ways, 1 full height and half width, 2 full width and half
    // height.
    int moveMode = 0;
    bool keepMinimum = false;
    QSize minimum;  // recorded at the start for keepMinimum
};

// The new rectangle of a control after the client area changed by
// (dw, dh): the rule applied to rect, then clamped to clientSize.
QRect AnchoredRect(const QRect& rect, const AnchorRule& rule, int dw, int dh, QSize clientSize);

class CResizeAnchors {
  public:
    // Registers a control with its rule; a keepMinimum rule takes the
    // control's present size as its minimum.
    void Add(QWidget* control, AnchorRule rule);
    // The client size the controls were laid out for.
    void Start(QSize clientSize) { laidOut_ = clientSize; }
    // Moves every control by the change from the last layout; nothing when
    // the size did not change.
    void Resize(QSize clientSize);
    // Moves control's left edge by dx pixels (right for dx > 0), its width
    // and kept minimum shrinking by as much, so that a control shown at its
    // left end has room there; a negative dx gives the room back.
    void Narrow(QWidget* control, int dx);

  private:
    struct Entry {
        QWidget* control;
        AnchorRule rule;
    };
    std::vector<Entry> entries_;
    QSize laidOut_;
};

}  // namespace qelvor
