#include "window/tap_rows.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace qelvor {

namespace {

// What a line edit's frame and margins take beside its text.
constexpr int kEditMarginPixels = 16;

}  // namespace

std::vector<QWidget*> CTapRows::Build(IControlMaker& maker, QGridLayout* grid, int row) {
    // In the order of CComSetForm::kTapKinds; the names are the port kinds'
    // radios above.
    const QStringList kinds{tr("SerialPort"), tr("TCP-Server"), tr("TCP-Client"), tr("UDP"),
                            tr("Virtual serial port")};
    const struct {
        const char* name;
        const char* kindName;
        const char* labelName;
        QString label;
        int ComSetControls::*kind;
        std::string ComSetControls::*rest;
    } sides[] = {
        {"TapA", "TapAKind", "TapALabel", tr("A", "tap side"), &ComSetControls::TapAKind,
         &ComSetControls::TapA},
        {"TapB", "TapBKind", "TapBLabel", tr("B", "tap side"), &ComSetControls::TapBKind,
         &ComSetControls::TapB},
    };
    std::vector<QWidget*> widgets;
    for (const auto& side : sides) {
        QLabel* label = maker.Label(side.labelName, side.label);
        QComboBox* kind = maker.List(side.kindName, kinds, side.kind);
        QLineEdit* rest = maker.Edit(side.name, side.rest);
        label->setBuddy(kind);
        rest->setAccessibleName(side.label);
        // A serial side's whole name shows, with its rate and format.
        rest->setMinimumWidth(
            rest->fontMetrics().horizontalAdvance(QStringLiteral("/dev/ttyUSB0:115200:8N1")) +
            kEditMarginPixels);
        QObject::connect(kind, &QComboBox::currentIndexChanged, rest,
                         [rest](int index) { rest->setPlaceholderText(Hint(index)); });
        grid->addWidget(label, row, 0);
        grid->addWidget(kind, row, 1);
        grid->addWidget(rest, row, 2, 1, 2);
        widgets.insert(widgets.end(), {label, kind, rest});
        ++row;
    }
    return widgets;
}

void CTapRows::ShowHints(const QWidget& dialog) {
    for (const char* side : {"TapA", "TapB"}) {
        auto* rest = dialog.findChild<QLineEdit*>(QLatin1String(side));
        auto* kind = dialog.findChild<QComboBox*>(QLatin1String(side) + QLatin1String("Kind"));
        if (rest != nullptr && kind != nullptr)
            rest->setPlaceholderText(Hint(kind->currentIndex()));
    }
}

QString CTapRows::Hint(int kind) {
    switch (kind) {
        case 0:
            return tr("/dev/ttyUSB0[:baud[:8N1]]");
        case 1:
            return tr("[address:]port");
        case 2:
            return tr("host:port");
        case 3:
            return tr("local port[:host:remote port]");
        case 4:
            return tr("link (empty: the default one)");
        default:
            return {};
    }
}

}  // namespace qelvor
