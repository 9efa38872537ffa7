#include "window/statistics_panel.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QValueAxis>
#include <algorithm>

#include "config/com_setting.h"
#include "mainwnd/main_engine.h"
#include "window/band_host.h"
#include "window/theme.h"

namespace qelvor {

namespace {

// The byte axis never ends below this, so that a quiet line draws flat at
// the bottom rather than on a scale of zero.
constexpr qreal kSmallestByteScale = 10;

QLabel* ValueLabel(const char* name) {
    auto* label = new QLabel(QStringLiteral("0"));
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QString Count(uint64_t value) {
    return QString::number(value);
}

// The first "nice" scale (1, 2 or 5 times a power of ten) at or above the
// peak, so that the axis labels stay round numbers.
qreal NiceScale(qreal peak) {
    qreal scale = kSmallestByteScale;
    for (qreal power = 1; scale < peak; power *= 10) {
        for (const qreal step : {1.0, 2.0, 5.0}) {
            scale = step * power;
            if (scale >= peak) break;
        }
    }
    return scale;
}

}  // namespace

CStatisticsPanel::CStatisticsPanel(CTrafficStats& stats, QWidget* parent)
    : QWidget(parent), stats_(stats), clock_([] { return Clock::now(); }) {
    setObjectName(QStringLiteral("StatisticsPanel"));
    setFixedHeight(kHeight);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->addLayout(BuildCounters());
    layout->addWidget(BuildChart(), 1);
    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("StatisticsTimer"));
    timer_->setInterval(kRefreshMs);
    connect(timer_, &QTimer::timeout, this, &CStatisticsPanel::Refresh);
    FollowPalette();
    Refresh();
}

QLayout* CStatisticsPanel::BuildCounters() {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(2);
    const auto caption = [grid](const QString& text, int row, int column) {
        grid->addWidget(new QLabel(text), row, column);
    };
    // Reset sits in the grid's empty corner, above the captions.
    auto* reset = new QPushButton(tr("Reset"));
    reset->setObjectName(QStringLiteral("StatReset"));
    reset->setAutoDefault(false);
    connect(reset, &QPushButton::clicked, this, [this] {
        stats_.Reset();
        Refresh();
    });
    grid->addWidget(reset, 0, 0, Qt::AlignLeft);
    caption(tr("Sent"), 0, 1);
    caption(tr("Received"), 0, 2);
    caption(tr("Bytes"), 1, 0);
    caption(tr("Records"), 2, 0);
    caption(tr("Bytes/s"), 3, 0);
    grid->addWidget(bytesSent_ = ValueLabel("StatBytesSent"), 1, 1);
    grid->addWidget(bytesReceived_ = ValueLabel("StatBytesReceived"), 1, 2);
    grid->addWidget(recordsSent_ = ValueLabel("StatRecordsSent"), 2, 1);
    grid->addWidget(recordsReceived_ = ValueLabel("StatRecordsReceived"), 2, 2);
    grid->addWidget(rateSent_ = ValueLabel("StatRateSent"), 3, 1);
    grid->addWidget(rateReceived_ = ValueLabel("StatRateReceived"), 3, 2);
    caption(tr("Bad check frames"), 4, 0);
    caption(tr("NAKs received"), 5, 0);
    caption(tr("ENQs received"), 6, 0);
    grid->addWidget(badFrames_ = ValueLabel("StatBadFrames"), 4, 2);
    grid->addWidget(naks_ = ValueLabel("StatNaks"), 5, 2);
    grid->addWidget(enqs_ = ValueLabel("StatEnqs"), 6, 2);
    // The values keep a width for seven digits, so the grid does not jump
    // as the counts grow.
    const int digits = fontMetrics().horizontalAdvance(QStringLiteral("0000000"));
    grid->setColumnMinimumWidth(1, digits);
    grid->setColumnMinimumWidth(2, digits);
    return grid;
}

QWidget* CStatisticsPanel::BuildChart() {
    chart_ = new QChart;
    chart_->setMargins(QMargins(0, 0, 0, 0));
    chart_->setBackgroundRoundness(0);
    chart_->legend()->setAlignment(Qt::AlignRight);
    received_ = new QLineSeries;
    received_->setName(tr("Received"));
    sent_ = new QLineSeries;
    sent_->setName(tr("Sent"));
    chart_->addSeries(received_);
    chart_->addSeries(sent_);
    auto* seconds = new QValueAxis;
    seconds->setRange(-CTrafficStats::kSeconds, 0);
    // Four round marks, -60 s to now, that fit the band at any scale.
    seconds->setTickCount(4);
    seconds->setLabelFormat(QStringLiteral("%d s"));
    bytesAxis_ = new QValueAxis;
    bytesAxis_->setLabelFormat(QStringLiteral("%d"));
    bytesAxis_->setTickCount(3);
    bytesAxis_->setRange(0, kSmallestByteScale);
    chart_->addAxis(seconds, Qt::AlignBottom);
    chart_->addAxis(bytesAxis_, Qt::AlignLeft);
    for (QLineSeries* series : {received_, sent_}) {
        series->attachAxis(seconds);
        series->attachAxis(bytesAxis_);
    }
    auto* view = new QChartView(chart_);
    view->setObjectName(QStringLiteral("StatisticsChart"));
    view->setRenderHint(QPainter::Antialiasing);
    view->setFrameShape(QFrame::NoFrame);
    return view;
}

CStatisticsPanel::CStatisticsPanel(IBandHost& host, CComSetting& settings)
    : CStatisticsPanel(host.Engine().Stats()) {
    Join(host, settings);
}

void CStatisticsPanel::Join(IBandHost& host, CComSetting& settings) {
    host.AddBand(this);
    QAction* show = host.WindowMenu()->addAction(tr("Statistics"));
    show->setObjectName(QStringLiteral("ShowStatistics"));
    show->setCheckable(true);
    QObject::connect(show, &QAction::toggled, this, [this, &host, &settings](bool shown) {
        host.SetBandShown(this, shown);
        if (settings.StatisticsShown == (shown ? 1 : 0)) return;
        host.Engine().SetViewOption(SettingKey::StatisticsShown, shown);
    });
    show->setChecked(settings.StatisticsShown != 0);
    showAction_ = show;
}

void CStatisticsPanel::FollowSettings(const CComSetting& settings) {
    // Checking the command shows or hides the band; the value is the set's
    // own already, so nothing is written.
    showAction_->setChecked(settings.StatisticsShown != 0);
}

void CStatisticsPanel::Refresh() {
    const Clock::time_point now = clock_();
    ShowCounters(stats_.Counts(), stats_.Rate(now));
    ShowSeries(stats_.LastSeconds(now));
}

void CStatisticsPanel::ShowCounters(const CTrafficStats::Totals& totals,
                                    const CTrafficStats::Second& rate) {
    bytesSent_->setText(Count(totals.bytesSent));
    bytesReceived_->setText(Count(totals.bytesReceived));
    recordsSent_->setText(Count(totals.recordsSent));
    recordsReceived_->setText(Count(totals.recordsReceived));
    rateSent_->setText(Count(rate.out));
    rateReceived_->setText(Count(rate.in));
    badFrames_->setText(Count(totals.badCheckFrames));
    naks_->setText(Count(totals.nakReceived));
    enqs_->setText(Count(totals.enqReceived));
}

void CStatisticsPanel::ShowSeries(const CTrafficStats::Series& series) {
    // The newest second is at 0, the oldest at -59.
    QList<QPointF> in, out;
    qreal peak = 0;
    for (int i = 0; i < CTrafficStats::kSeconds; ++i) {
        const CTrafficStats::Second& second = series[static_cast<size_t>(i)];
        const qreal x = i - (CTrafficStats::kSeconds - 1);
        in.append(QPointF(x, static_cast<qreal>(second.in)));
        out.append(QPointF(x, static_cast<qreal>(second.out)));
        peak = std::max({peak, static_cast<qreal>(second.in), static_cast<qreal>(second.out)});
    }
    received_->replace(in);
    sent_->replace(out);
    bytesAxis_->setRange(0, NiceScale(peak));
}

void CStatisticsPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Refresh();
    timer_->start();
}

void CStatisticsPanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timer_->stop();
}

void CStatisticsPanel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) FollowPalette();
}

void CStatisticsPanel::FollowPalette() {
    if (chart_ == nullptr) return;
    const bool dark = CTheme::IsDark(palette());
    chart_->setTheme(dark ? QChart::ChartThemeDark : QChart::ChartThemeLight);
    // The theme sets its own background and fonts; the band keeps the
    // window's, so that the chart reads as part of it.
    chart_->setBackgroundBrush(palette().window());
    const QFont small = font();
    chart_->legend()->setFont(small);
    for (QAbstractAxis* axis : chart_->axes())
        axis->setLabelsFont(small);
    // Received in blue, sent in orange: apart on both backgrounds.
    received_->setColor(dark ? QColor(90, 170, 255) : QColor(20, 90, 200));
    sent_->setColor(dark ? QColor(255, 170, 60) : QColor(210, 110, 0));
}

}  // namespace qelvor
