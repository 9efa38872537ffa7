// The side selector beside the send box in tap mode: "→ A" or "→ B", the
// endpoint the typed text is injected into, shown from the set's TapSendSide
// and handed to the engine when the user picks the other. Shown only while
// the set is a tap, at the send box's left end, whose room it takes.
// User-interface thread only.
#pragma once

#include <QComboBox>

class QLineEdit;

namespace qelvor {

class CMainEngine;
class CResizeAnchors;

class CTapSideSelector : public QComboBox {
    Q_OBJECT

  public:
    // Placed at sendBox's left end, hidden until Refresh finds a tap.
    CTapSideSelector(CMainEngine& engine, QLineEdit& sendBox, CResizeAnchors& anchors,
                     QWidget* parent);
    // Shows the set's side again, and the selector only in tap mode (the
    // set or its work mode changed).
    void Refresh();

  private:
    CMainEngine& engine_;
    QLineEdit& sendBox_;
    CResizeAnchors& anchors_;
    bool shown_ = false;
};

}  // namespace qelvor
