// The bands the main window adds under its dialog controls and above the
// status bar (the find bar, the quick-send row, the modem lines, the
// statistics): each is shown or hidden on its own; the window gives them
// their room. User-interface thread only.
#pragma once

#include <vector>

class QWidget;

namespace qelvor {

class CWindowBands {
  public:
    // Adds a band under those added before; it starts hidden. Its height is
    // the band's fixed height, or its size hint's when it has none.
    void Add(QWidget* band);
    // The height the shown bands take together.
    int ShownHeight() const;
    // Shows or hides a band; the change of ShownHeight() (0 when the band
    // was already so).
    int SetShown(QWidget* band, bool shown);
    bool Shown(const QWidget* band) const;
    // Lays the shown bands out one under the other, the width of the window,
    // the last one ending at bottom.
    void Place(int width, int bottom) const;

  private:
    struct Band {
        QWidget* widget;
        bool shown;
    };
    static int HeightOf(const QWidget* widget);
    std::vector<Band> bands_;
};

}  // namespace qelvor
