// The statistics band: its counters in each theme and language, Reset, the chart's seconds.
#include <QChartView>
#include <QLineSeries>

#include "support/window_fixture.h"
#include "window/statistics_panel.h"
#include "window/theme.h"

// The chart's series: 0 the received bytes, 1 the sent ones.
static QLineSeries* Series(CMainWindow& window, int index) {
    auto* view = window.findChild<QChartView*>("StatisticsChart");
    return qobject_cast<QLineSeries*>(view->chart()->series().value(index));
}

// The seconds of a series that hold bytes, as "x:bytes".
static QStringList Nonzero(const QLineSeries* series) {
    QStringList points;
    for (const QPointF& point : series->points())
        if (point.y() != 0) points << QStringLiteral("%1:%2").arg(point.x()).arg(point.y());
    return points;
}

class StatisticsPanelTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { CTheme::Apply(Theme::kSystem); }
    void countersInEachThemeAndLanguageThenReset_data() {
        QTest::addColumn<int>("theme");
        QTest::addColumn<int>("language");
        for (const QString tag : {"light-en", "light-zh", "dark-en", "dark-zh"})
            QTest::newRow(qPrintable(tag))
                << int(tag.startsWith("dark") ? Theme::kDark : Theme::kLight)
                << int(tag.endsWith("zh") ? UiLanguage::Chinese : UiLanguage::English);
    }
    // Rendered to stats-<theme>-<language>.png, then Reset and hidden.
    void countersInEachThemeAndLanguageThenReset() {
        QFETCH(int, theme);
        CTheme::Apply(static_cast<Theme>(theme));
        WindowFixture f;
        ScopedUiLanguage scope(RowLanguage());
        // Frames cut whole and nothing answered: what is sent is the test's.
        f.settings.SplitStrs = "<CR><LF>,<ENQ>,<NAK>";
        f.settings.RespondStrs = "";
        f.settings.CheckSum = kCsAstm;
        CMainWindow& shown = f.Window();
        f.Action("ShowStatistics")->setChecked(true);
        QVERIFY(f.peer.Send(kGoodFrame + kBadFrame + "\x05\x15"));
        f.Type("abc");
        QCOMPARE(f.Received(3), std::string("abc"));
        QTRY_COMPARE(shown.Engine().Exchange().RecordCount(), size_t(5));
        auto* panel = f.Control<CStatisticsPanel>("StatisticsPanel");
        auto* timer = panel->findChild<QTimer*>("StatisticsTimer");
        QVERIFY(panel->isVisible() && timer->isActive());
        const QString received = QString::number(kGoodFrame.size() + kBadFrame.size() + 2);
        // Read by the timer, not by the test.
        QTRY_COMPARE(f.Control<QLabel>("StatBytesReceived")->text(), received);
        const std::pair<const char*, QString> expected[] = {
            {"StatBytesSent", "3"},         {"StatRecordsSent", "1"}, {"StatRecordsReceived", "4"},
            {"StatBadFrames", "1"},         {"StatNaks", "1"},        {"StatEnqs", "1"},
            {"StatBytesReceived", received}};
        for (const auto& [name, text] : expected)
            QCOMPARE(f.Control<QLabel>(name)->text(), text);
        QCOMPARE(Nonzero(Series(shown, 1)).size(), qsizetype(1));
        // Run again at QT_SCALE_FACTOR=2: drawn at twice the size, not scaled up.
        const bool twice = qgetenv("QT_SCALE_FACTOR") == "2";
        const QImage image = shown.grab().toImage();
        QCOMPARE(image.size(), shown.size() * (twice ? 2 : 1));
        const QString shot = twice ? QString("hidpi-en") : QString(QTest::currentDataTag());
        QVERIFY(SaveScreenshot(image, "stats-" + shot));

        QTest::mouseClick(f.Control<QPushButton>("StatReset"), Qt::LeftButton);
        for (const auto& [name, text] : expected)
            QCOMPARE(f.Control<QLabel>(name)->text(), QString("0"));
        QVERIFY(Nonzero(Series(shown, 0)).isEmpty() && Nonzero(Series(shown, 1)).isEmpty());
        // Hidden, the band reads nothing; the set remembers it (the write: the engine's tests).
        f.Action("ShowStatistics")->setChecked(false);
        QVERIFY(!panel->isVisible() && !timer->isActive());
        QCOMPARE(CComSetting::Loaded(f.settings.IniPath).StatisticsShown, 0);
    }

    // Counted an hour ahead, each second the test's own: the point at -n holds the
    // bytes of n seconds before, the rate the last whole second's.
    void chartSecondsAndRates() {
        WindowFixture f;
        CMainWindow& window = f.Window(false);
        CTrafficStats& stats = window.Engine().Stats();
        const auto t0 =
            std::chrono::time_point_cast<std::chrono::seconds>(CTrafficStats::Clock::now()) +
            std::chrono::hours(1);
        stats.OnRecord('R', std::string(10, 'r'), t0);
        stats.OnRecord('S', "abcd", t0 + std::chrono::milliseconds(900));
        stats.OnRecord('R', "xyz", t0 + std::chrono::seconds(1));
        auto* panel = window.findChild<CStatisticsPanel*>("StatisticsPanel");
        panel->SetClock([t0] { return t0 + std::chrono::milliseconds(1500); });
        panel->Refresh();
        QCOMPARE(Nonzero(Series(window, 0)), (QStringList{"-1:10", "0:3"}));
        QCOMPARE(Nonzero(Series(window, 1)), QStringList{"-1:4"});
        QCOMPARE(f.Control<QLabel>("StatRateReceived")->text(), QString("10"));
        QCOMPARE(f.Control<QLabel>("StatRateSent")->text(), QString("4"));
    }
};
QELVOR_WINDOW_TEST(StatisticsPanelTest);
#include "statistics_panel_test.moc"
