#include "window/window_placement.h"

#include <QHeaderView>
#include <QScreen>
#include <QStringList>
#include <QWidget>
#include <algorithm>
#include <functional>

#include "config/app_paths.h"
#include "config/ini_file.h"
#include "config/theme_choice.h"

namespace qelvor {

namespace {

constexpr const char* kSection = "Window";
// A stored column wider than this is taken for a damaged line.
constexpr int kWidestColumn = 20000;

// "a,b,c" as numbers; empty when any part is not a number.
QList<int> Numbers(const std::string& text) {
    QList<int> numbers;
    const QStringList parts = QString::fromStdString(text).split(QLatin1Char(','));
    for (const QString& part : parts) {
        bool ok = false;
        const int value = part.trimmed().toInt(&ok);
        if (!ok) return {};
        numbers << value;
    }
    return numbers;
}

std::string Joined(const QList<int>& numbers) {
    QStringList parts;
    for (int number : numbers)
        parts << QString::number(number);
    return parts.join(QLatin1Char(',')).toStdString();
}

bool Write(const std::function<bool(CIniFile&)>& edit) {
    const std::string path = CThemeChoice::FilePath();
    if (path.empty() || !EnsureFolder(FolderOf(path))) return false;
    CIniFile file(path);
    return file.Load() && edit(file) && file.Save();
}

QRect ScreenArea(const QWidget& window) {
    const QScreen* screen = window.screen();
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

}  // namespace

WindowPlacement CWindowPlacement::Stored() {
    CIniFile file(CThemeChoice::FilePath());
    WindowPlacement placement;
    if (!file.Load()) return placement;
    const QList<int> rect = Numbers(file.GetString(kSection, "Geometry", ""));
    if (rect.size() == 4 && rect[2] > 0 && rect[3] > 0)
        placement.geometry = QRect(rect[0], rect[1], rect[2], rect[3]);
    placement.maximized = file.GetInt(kSection, "Maximized", 0) != 0;
    placement.columnWidths = Numbers(file.GetString(kSection, "Columns", ""));
    placement.menuBarShown = file.GetInt(kSection, "MenuBar", 1) != 0;
    return placement;
}

bool CWindowPlacement::Store(const WindowPlacement& placement) {
    const QRect& r = placement.geometry;
    return Write([&](CIniFile& file) {
        return file.SetString(kSection, "Geometry",
                              Joined({r.x(), r.y(), r.width(), r.height()})) &&
               file.SetInt(kSection, "Maximized", placement.maximized ? 1 : 0) &&
               file.SetString(kSection, "Columns", Joined(placement.columnWidths)) &&
               file.SetInt(kSection, "MenuBar", placement.menuBarShown ? 1 : 0);
    });
}

bool CWindowPlacement::StoreMenuBarShown(bool shown) {
    return Write([&](CIniFile& file) { return file.SetInt(kSection, "MenuBar", shown ? 1 : 0); });
}

QList<int> CWindowPlacement::ColumnWidths(const QHeaderView* columns) {
    QList<int> widths;
    for (int column = 0; column < columns->count(); ++column)
        widths << columns->sectionSize(column);
    return widths;
}

void CWindowPlacement::SetColumnWidths(QHeaderView* columns, const QList<int>& widths) {
    for (int column = 0; column < std::min(int(widths.size()), columns->count()); ++column)
        if (widths[column] > 0 && widths[column] <= kWidestColumn)
            columns->resizeSection(column, widths[column]);
}

bool CWindowPlacement::Restore(QWidget& window, QHeaderView* columns) {
    const WindowPlacement stored = Stored();
    SetColumnWidths(columns, stored.columnWidths);
    if (!stored.geometry.isNull())
        window.setGeometry(FitInside(stored.geometry, ScreenArea(window)));
    if (stored.maximized) window.setWindowState(window.windowState() | Qt::WindowMaximized);
    return stored.menuBarShown;
}

bool CWindowPlacement::Store(const QWidget& window, const QHeaderView* columns, bool menuBarShown) {
    return Store(
        {window.normalGeometry(), window.isMaximized(), ColumnWidths(columns), menuBarShown});
}

void CWindowPlacement::KeepOnScreen(QWidget& window, QSize smallest) {
    const QRect area = ScreenArea(window);
    if (area.isEmpty()) return window.setMinimumSize(smallest);
    // The frame's size is known once the window is shown; before, it is 0.
    const QSize frame = window.frameGeometry().size() - window.size();
    window.setMinimumSize(smallest.boundedTo(area.size() - frame));
    if (window.isMaximized() || window.isFullScreen()) return;
    const QRect inside = FitInside(window.frameGeometry(), area);
    if (inside.topLeft() != window.frameGeometry().topLeft()) window.move(inside.topLeft());
}

QRect CWindowPlacement::FitInside(QRect rect, const QRect& area) {
    rect.setWidth(std::min(rect.width(), area.width()));
    rect.setHeight(std::min(rect.height(), area.height()));
    rect.moveLeft(std::clamp(rect.left(), area.left(), area.right() + 1 - rect.width()));
    rect.moveTop(std::clamp(rect.top(), area.top(), area.bottom() + 1 - rect.height()));
    return rect;
}

}  // namespace qelvor
