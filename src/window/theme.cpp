#include "window/theme.h"

#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <QStyleFactory>

#include "config/theme_choice.h"
#include "mainwnd/main_engine.h"

namespace qelvor {

namespace {

struct ThemeName {
    Theme theme;
    const char* key;   // the stored value
    const char* name;  // the menu item's objectName
    const char* label;
};
constexpr ThemeName kThemes[] = {
    {Theme::kSystem, "system", "ThemeSystem", QT_TRANSLATE_NOOP("qelvor::CTheme", "System")},
    {Theme::kLight, "light", "ThemeLight", QT_TRANSLATE_NOOP("qelvor::CTheme", "Light")},
    {Theme::kDark, "dark", "ThemeDark", QT_TRANSLATE_NOOP("qelvor::CTheme", "Dark")},
};

// What the platform gave the application before any theme replaced it, so
// that System can bring it back without a restart.
struct PlatformLook {
    bool known = false;
    QString styleName;
    QPalette palette;
};

PlatformLook& Platform() {
    static PlatformLook look;
    return look;
}

Theme& Applied() {
    static Theme theme = Theme::kSystem;
    return theme;
}

}  // namespace

Theme CTheme::Stored() {
    const QString value = QString::fromStdString(CThemeChoice::Stored());
    for (const ThemeName& entry : kThemes)
        if (value.compare(QLatin1String(entry.key), Qt::CaseInsensitive) == 0) return entry.theme;
    return Theme::kSystem;
}

void CTheme::RememberPlatformLook() {
    PlatformLook& look = Platform();
    if (look.known) return;
    look.known = true;
    look.styleName = QApplication::style()->name();
    look.palette = QApplication::palette();
}

void CTheme::Apply(Theme theme) {
    RememberPlatformLook();
    const PlatformLook& look = Platform();
    if (theme == Theme::kSystem) {
        if (QStyle* platform = QStyleFactory::create(look.styleName))
            QApplication::setStyle(platform);
        QApplication::setPalette(look.palette);
    } else {
        QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"));
        const QPalette palette = theme == Theme::kDark ? DarkPalette() : fusion->standardPalette();
        QApplication::setStyle(fusion);
        QApplication::setPalette(palette);
    }
    Applied() = theme;
}

Theme CTheme::Current() {
    return Applied();
}

QPalette CTheme::DarkPalette() {
    const QColor window(53, 53, 53), base(35, 35, 35), text(230, 230, 230);
    const QColor disabled(127, 127, 127), highlight(42, 130, 218);
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, disabled);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Link, highlight);
    palette.setColor(QPalette::Highlight, highlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Light, window.lighter(150));
    palette.setColor(QPalette::Mid, window.darker(120));
    palette.setColor(QPalette::Dark, window.darker(200));
    palette.setColor(QPalette::Shadow, Qt::black);
    for (QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText})
        palette.setColor(QPalette::Disabled, role, disabled);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, window.lighter(130));
    return palette;
}

bool CTheme::IsDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

QMenu* CTheme::BuildMenu(QWidget* parent, CMainEngine& engine) {
    auto* menu = new QMenu(QApplication::translate("qelvor::CTheme", "Theme"), parent);
    menu->setObjectName(QStringLiteral("ThemeMenu"));
    auto* group = new QActionGroup(menu);
    group->setExclusive(true);
    for (const ThemeName& entry : kThemes) {
        QAction* action = menu->addAction(QApplication::translate("qelvor::CTheme", entry.label));
        action->setObjectName(QLatin1String(entry.name));
        action->setCheckable(true);
        action->setChecked(entry.theme == Current());
        group->addAction(action);
        const Theme theme = entry.theme;
        const char* key = entry.key;
        QObject::connect(action, &QAction::triggered, menu, [theme, key, &engine] {
            Apply(theme);
            engine.SetTheme(key);
        });
    }
    return menu;
}

}  // namespace qelvor
