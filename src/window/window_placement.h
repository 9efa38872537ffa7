// Where the user left the main window: its place and size, whether it was
// maximized, the traffic list's column widths and whether the menu bar was
// shown. Kept per user in section [Window] of qelvor.conf (beside the theme),
// one line a key, so that the rest of the file stays as the user has it; put
// back inside the screen the window opens on. User-interface thread only.
#pragma once

#include <QList>
#include <QRect>

class QHeaderView;
class QWidget;

namespace qelvor {

struct WindowPlacement {
    QRect geometry;  // the normal (not maximized) client rectangle; null: none stored
    bool maximized = false;
    QList<int> columnWidths;  // by column number
    bool menuBarShown = true;
};

class CWindowPlacement {
  public:
    // What is stored; the defaults for what is missing or unreadable.
    static WindowPlacement Stored();
    // Writes every key; false when the file was not written.
    static bool Store(const WindowPlacement& placement);
    static bool StoreMenuBarShown(bool shown);
    static QList<int> ColumnWidths(const QHeaderView* columns);
    // Sets the widths given; a column without one, or with one not above 0
    // or absurdly wide, keeps its own.
    static void SetColumnWidths(QHeaderView* columns, const QList<int>& widths);
    // The stored place, size and columns given to window and columns, kept
    // inside the screen; whether the menu bar was shown.
    static bool Restore(QWidget& window, QHeaderView* columns);
    static bool Store(const QWidget& window, const QHeaderView* columns, bool menuBarShown);
    // The window no smaller than smallest (as far as its screen allows) and
    // moved onto its screen's free area.
    static void KeepOnScreen(QWidget& window, QSize smallest);
    // rect moved, and cut where it is larger, so that it lies inside area.
    static QRect FitInside(QRect rect, const QRect& area);
};

}  // namespace qelvor
