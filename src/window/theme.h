// The window theme the user chose: the platform's own style and palette, or
// the Fusion style with a light or a dark palette (Qt 6.4 has no colour
// scheme hint to ask the platform for either). The choice is the user's, not
// a settings set's; CThemeChoice keeps it, and the menu stores it through
// the engine. User-interface thread only, with a QApplication running.
#pragma once

#include <QPalette>
#include <QString>

class QMenu;
class QWidget;

namespace qelvor {

class CMainEngine;

enum class Theme { kSystem, kLight, kDark };

class CTheme {
  public:
    // The stored choice; System when none is stored or it is unknown.
    static Theme Stored();
    // Applies the theme to the whole application at once.
    static void Apply(Theme theme);
    // The theme applied last (System before any).
    static Theme Current();
    // A submenu "Theme" with System, Light and Dark, exclusive, checked on
    // the current one; choosing one applies it and has the engine store it.
    static QMenu* BuildMenu(QWidget* parent, CMainEngine& engine);

    static QPalette DarkPalette();
    // Whether a palette's window colour is a dark one.
    static bool IsDark(const QPalette& palette);

  private:
    static void RememberPlatformLook();
};

}  // namespace qelvor
