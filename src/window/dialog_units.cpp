#include "window/dialog_units.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <cmath>

namespace qelvor {

namespace {

// The pixels of one dialog unit.
constexpr double kUnitX = 1.5;
constexpr double kUnitY = 1.625;

}  // namespace

QRect Pixels(QRect units) {
    const auto x = [](int v) { return static_cast<int>(std::lround(v * kUnitX)); };
    const auto y = [](int v) { return static_cast<int>(std::lround(v * kUnitY)); };
    return QRect(x(units.x()), y(units.y()), x(units.width()), y(units.height()));
}

void FitCaption(QAbstractButton* button) {
    constexpr int kMargin = 8;
    constexpr int kSmallestPixels = 8;
    QFont fitted = button->parentWidget()->font();
    while (fitted.pixelSize() > kSmallestPixels &&
           QFontMetrics(fitted).horizontalAdvance(button->text()) > button->width() - kMargin)
        fitted.setPixelSize(fitted.pixelSize() - 1);
    button->setFont(fitted);
}

}  // namespace qelvor
