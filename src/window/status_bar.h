// The main window's status bar: four panes (280, 170 and 60 pixels wide, the
// last taking the rest, and pane 0 what a bar wider than the window's first
// width has beyond it; pane 2 widens into pane 1 when its text needs it) and,
// at its right end, the button of the window's own menu. It reports double-clicks and right-button
// releases on a pane; what they do is the window's business. User-interface thread only.
#pragma once

#include <QWidget>
#include <array>

class QLabel;
class QMenu;
class QTimer;
class QToolButton;

namespace qelvor {

class CStatusBar : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kPaneCount = 4;
    static constexpr int kHeight = 22;
    static constexpr int kClockPeriodMs = 200;

    explicit CStatusBar(QWidget* parent = nullptr);

    // Sets a pane's text; nothing is redrawn when it is the same.
    void SetPaneText(int pane, const QString& text);
    QString PaneText(int pane) const;
    void SetPaneToolTip(int pane, const QString& tip);
    QLabel* Pane(int pane) const { return panes_[static_cast<size_t>(pane)]; }
    // The menu the button at the right end opens.
    void SetMenu(QMenu* menu);
    // Pane 3 shows the time of day, kept current, or nothing: each call
    // turns the clock on or off.
    void ToggleClock();

  signals:
    void paneDoubleClicked(int pane);
    void paneRightReleased(int pane, QPoint globalPos);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    int PaneOf(QObject* watched) const;
    void LayOutPanes();
    void ShowClock();

    std::array<QLabel*, kPaneCount> panes_{};
    QToolButton* menuButton_ = nullptr;
    QTimer* clock_ = nullptr;
};

}  // namespace qelvor
