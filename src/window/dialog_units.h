// The main window's dialog template in pixels: its units, the font they
// belong to, and captions fitted to the buttons drawn in them.
// User-interface thread only.
#pragma once

#include <QRect>

class QAbstractButton;

namespace qelvor {

// The template's client area in dialog units.
inline constexpr int kDialogWidth = 430;
inline constexpr int kDialogHeight = 325;
// The font the units belong to: a dialog unit is a quarter of its mean
// character width and an eighth of its height, so the labels fit the
// template's buttons whatever font the desktop uses.
inline constexpr int kDialogFontPixels = 11;

// A rectangle in dialog units, in pixels.
QRect Pixels(QRect units);
// A caption wider than its button (a long engine caption such as "CheckSum
// ASTM", or a wide desktop font) is drawn in a smaller font, down to 8
// pixels, rather than cut.
void FitCaption(QAbstractButton* button);

}  // namespace qelvor
