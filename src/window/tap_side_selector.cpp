#include "window/tap_side_selector.h"

#include <QLineEdit>
#include <QSignalBlocker>

#include "config/com_setting.h"
#include "mainwnd/main_engine.h"
#include "window/resize_anchors.h"

namespace qelvor {

namespace {

// Between the selector and the send box.
constexpr int kGapPixels = 4;

}  // namespace

CTapSideSelector::CTapSideSelector(CMainEngine& engine, QLineEdit& sendBox, CResizeAnchors& anchors,
                                   QWidget* parent)
    : QComboBox(parent), engine_(engine), sendBox_(sendBox), anchors_(anchors) {
    setObjectName(QStringLiteral("TapSendSide"));
    // In the order of TapSendSide's values.
    addItems({QStringLiteral("→ A"), QStringLiteral("→ B")});
    setToolTip(tr("The side of the tap the typed text is sent into"));
    setGeometry(sendBox_.x(), sendBox_.y(), sizeHint().width(), sendBox_.height());
    hide();
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        engine_.SetTapSendSide(index == 1 ? tap::Side::kB : tap::Side::kA);
    });
}

void CTapSideSelector::Refresh() {
    {
        const QSignalBlocker quiet(this);
        setCurrentIndex(engine_.Settings().TapSendSide == 1 ? 1 : 0);
    }
    const bool tap = engine_.Settings().WorkMode == kWorkModeTap;
    if (tap == shown_) return;
    shown_ = tap;
    const int room = width() + kGapPixels;
    anchors_.Narrow(&sendBox_, tap ? room : -room);
    setVisible(tap);
}

}  // namespace qelvor
