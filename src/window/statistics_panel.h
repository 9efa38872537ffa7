// The statistics band of the main window: bytes and records each way, the
// bytes of the last whole second, frames with a bad check, NAKs and ENQs
// received, and a chart of the bytes of each of the last 60 seconds. It reads
// the engine's counters four times a second while it is shown, and not at
// all while hidden. User-interface thread only.
#pragma once

#include <QWidget>
#include <functional>

#include "traffic/traffic_stats.h"

class QAction;
class QChart;
class QLabel;
class QLineSeries;
class QTimer;
class QValueAxis;

namespace qelvor {

class CComSetting;
class IBandHost;

class CStatisticsPanel : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kHeight = 150;
    static constexpr int kRefreshMs = 250;
    using Clock = CTrafficStats::Clock;

    explicit CStatisticsPanel(CTrafficStats& stats, QWidget* parent = nullptr);
    // Joins host as a band with its menu command "Statistics" (checkable),
    // shown as the set's StatisticsShown says; the command stores the choice
    // in the set.
    CStatisticsPanel(IBandHost& host, CComSetting& settings);
    // Shown or hidden as the set's StatisticsShown now says: after another
    // set was chosen.
    void FollowSettings(const CComSetting& settings);

    // Reads the counters into the labels and the chart now.
    void Refresh();
    // The time the counters are read at; the steady clock unless replaced.
    void SetClock(std::function<Clock::time_point()> clock) { clock_ = std::move(clock); }

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void Join(IBandHost& host, CComSetting& settings);
    QLayout* BuildCounters();
    QWidget* BuildChart();
    void ShowCounters(const CTrafficStats::Totals& totals, const CTrafficStats::Second& rate);
    void ShowSeries(const CTrafficStats::Series& series);
    // The chart's colours follow the palette: light or dark.
    void FollowPalette();

    CTrafficStats& stats_;
    std::function<Clock::time_point()> clock_;
    QAction* showAction_ = nullptr;
    QTimer* timer_ = nullptr;
    QLabel* bytesSent_ = nullptr;
    QLabel* bytesReceived_ = nullptr;
    QLabel* recordsSent_ = nullptr;
    QLabel* recordsReceived_ = nullptr;
    QLabel* rateSent_ = nullptr;
    QLabel* rateReceived_ = nullptr;
    QLabel* badFrames_ = nullptr;
    QLabel* naks_ = nullptr;
    QLabel* enqs_ = nullptr;
    QChart* chart_ = nullptr;
    QLineSeries* received_ = nullptr;
    QLineSeries* sent_ = nullptr;
    QValueAxis* bytesAxis_ = nullptr;
};

}  // namespace qelvor
