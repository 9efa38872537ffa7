#include "window/line_end_selector.h"

#include <QSignalBlocker>

#include "config/com_setting.h"
#include "data/line_end.h"
#include "mainwnd/main_engine.h"

namespace qelvor {

CLineEndSelector::CLineEndSelector(CMainEngine& engine, QWidget* parent)
    : QComboBox(parent), engine_(engine) {
    setObjectName(QStringLiteral("SendLineEnd"));
    // In the order of LineEnd's values.
    addItems({tr("None"), QStringLiteral("CR"), QStringLiteral("LF"), QStringLiteral("CR LF")});
    setToolTip(tr("The line end sent after the typed text"));
    setAccessibleName(tr("Line end"));
    Refresh();
    connect(this, &QComboBox::currentIndexChanged, this,
            [this](int index) { engine_.SetSendLineEnd(LineEndOf(index)); });
}

void CLineEndSelector::Refresh() {
    const QSignalBlocker quiet(this);
    setCurrentIndex(static_cast<int>(LineEndOf(engine_.Settings().SendLineEnd)));
}

}  // namespace qelvor
