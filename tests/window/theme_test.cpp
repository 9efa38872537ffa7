// The theme chosen in the menu: stored, applied to the style, the palette and the chart.
#include <QChart>
#include <QChartView>

#include "support/window_fixture.h"
#include "window/theme.h"

class ThemeTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { CTheme::Apply(Theme::kSystem); }
    void storedAndApplied() {
        const QString platformStyle = QApplication::style()->name();
        WindowFixture f;
        CMainWindow& window = f.Window(false);
        const QString file = qEnvironmentVariable("XDG_CONFIG_HOME") + "/qelvor/qelvor.conf";
        auto* chart = window.findChild<QChartView*>("StatisticsChart")->chart();
        // The action, the value stored, the style (empty: the platform's), dark.
        const std::tuple<QString, QString, QString, bool> steps[] = {
            {"ThemeDark", "dark", "fusion", true}, {"ThemeSystem", "system", "", false}};
        for (const auto& [action, value, style, dark] : steps) {
            f.Action(qPrintable(action))->trigger();
            QCOMPARE(QSettings(file, QSettings::IniFormat).value("Theme").toString(), value);
            QCOMPARE(QApplication::style()->name(), style.isEmpty() ? platformStyle : style);
            QTRY_COMPARE(window.palette().color(QPalette::Window).lightnessF() < 0.5, dark);
            QTRY_COMPARE(chart->theme(), dark ? QChart::ChartThemeDark : QChart::ChartThemeLight);
            for (const char* name : {"ThemeSystem", "ThemeLight", "ThemeDark"})
                QCOMPARE(f.Action(name)->isChecked(), name == action);
        }
    }
};
QELVOR_WINDOW_TEST(ThemeTest);
#include "theme_test.moc"
