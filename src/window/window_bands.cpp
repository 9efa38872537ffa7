#include "window/window_bands.h"

#include <QWidget>

namespace qelvor {

void CWindowBands::Add(QWidget* band) {
    band->hide();
    bands_.push_back({band, false});
}

int CWindowBands::HeightOf(const QWidget* widget) {
    const int fixed =
        widget->minimumHeight() == widget->maximumHeight() ? widget->minimumHeight() : 0;
    return fixed > 0 ? fixed : widget->sizeHint().height();
}

int CWindowBands::ShownHeight() const {
    int height = 0;
    for (const Band& band : bands_)
        if (band.shown) height += HeightOf(band.widget);
    return height;
}

int CWindowBands::SetShown(QWidget* widget, bool shown) {
    for (Band& band : bands_) {
        if (band.widget != widget || band.shown == shown) continue;
        band.shown = shown;
        widget->setVisible(shown);
        return shown ? HeightOf(widget) : -HeightOf(widget);
    }
    return 0;
}

bool CWindowBands::Shown(const QWidget* widget) const {
    for (const Band& band : bands_)
        if (band.widget == widget) return band.shown;
    return false;
}

void CWindowBands::Place(int width, int bottom) const {
    int top = bottom - ShownHeight();
    for (const Band& band : bands_) {
        if (!band.shown) continue;
        const int height = HeightOf(band.widget);
        band.widget->setGeometry(0, top, width, height);
        top += height;
    }
}

}  // namespace qelvor
