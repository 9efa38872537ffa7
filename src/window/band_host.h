// What a band of the main window (a row under the dialog controls, above the
// status bar) may ask of the window it sits in: the engine it drives, its
// place among the bands, the window's menu for its command, and the window
// for its keys. The main window implements it; a band knows no more of the
// window than this. User-interface thread only.
#pragma once

class QAction;
class QMenu;
class QWidget;

namespace qelvor {

class CMainEngine;

class IBandHost {
  public:
    // The engine the window shows.
    virtual CMainEngine& Engine() = 0;
    // Takes band under those added before; the window owns it, and it
    // starts hidden.
    virtual void AddBand(QWidget* band) = 0;
    // Shows or hides band; the traffic list gives it room, and the window
    // grows only when the list has no more to give, never past the screen.
    virtual void SetBandShown(QWidget* band, bool shown) = 0;
    // The window's own menu (the status bar's button and empty space).
    virtual QMenu* WindowMenu() const = 0;
    // Puts action on the window, so that its shortcut works wherever the
    // focus is.
    virtual void AddWindowShortcut(QAction* action) = 0;

  protected:
    ~IBandHost() = default;
};

}  // namespace qelvor
