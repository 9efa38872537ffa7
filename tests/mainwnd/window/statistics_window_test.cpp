// The statistics band over a loopback peer, rendered in the light and dark
// themes, in both languages and at twice the scale; the theme choice, the CSV
// export and the highlight rules editor.
#include <QChart>
#include <QChartView>
#include <QLineSeries>

#include "astm/astm_frame.h"
#include "mainwnd/statistics_panel.h"
#include "mainwnd/theme.h"
#include "mainwnd/traffic_table_model.h"
#include "mainwnd/window/window_fixture.h"

namespace qelvor::test {

namespace {

const std::string kGood = astm::CAstmFrame{1, "H|\\^&\r", true}.Bytes();

std::string BadFrame() {
    std::string bad = astm::CAstmFrame{2, "P|1\r", true}.Bytes();
    bad[bad.size() - 3] = bad[bad.size() - 3] == '0' ? '1' : '0';
    return bad;
}

QString Stat(CMainWindow& window, const char* name) {
    auto* label = window.findChild<QLabel*>(QString::fromLatin1(name));
    return label != nullptr ? label->text() : QStringLiteral("(none)");
}

// The chart's series: 0 the received bytes, 1 the sent ones.
QLineSeries* Series(CMainWindow& window, int index) {
    auto* view = window.findChild<QChartView*>("StatisticsChart");
    return qobject_cast<QLineSeries*>(view->chart()->series().value(index));
}

// The seconds of a series that hold bytes, as "x:bytes".
QStringList Nonzero(const QLineSeries* series) {
    QStringList points;
    for (const QPointF& point : series->points())
        if (point.y() != 0) points << QStringLiteral("%1:%2").arg(point.x()).arg(point.y());
    return points;
}

// A TCP client window whose splitter cuts ASTM frames whole and that answers
// nothing, so that what is sent is the test's own: the band shown, then a
// short session with the peer.
void RunSession(WindowFixture& f) {
    f.settings.SplitStrs = "<CR><LF>,<ENQ>,<NAK>";
    f.settings.RespondStrs = "";
    f.settings.CheckSum = 0;  // ASTM
    CMainWindow& window = f.Window();
    f.Action("ShowStatistics")->setChecked(true);
    QVERIFY(f.peer.Send(kGood + BadFrame() + "\x05\x15"));
    auto* box = f.Control<QLineEdit>("SendBox");
    QTest::keyClicks(box, "abc");
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(f.Received(3), std::string("abc"));
    QTRY_COMPARE(window.Engine().Exchange().RecordCount(), size_t(5));
}

}  // namespace

class StatisticsWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanup() { CTheme::Apply(Theme::kSystem); }
    void countersInEachThemeAndLanguageThenReset_data();
    void countersInEachThemeAndLanguageThenReset();
    void windowMenuToolsAndTheChart();
    void anotherSetBringsItsBandAndColumns();

  private:
    QTemporaryDir config_;
    QString platformStyle_;
};

void StatisticsWindowTest::initTestCase() {
    // The theme goes to the user's file: here, one of the test's own.
    qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
    platformStyle_ = QApplication::style()->name();
}

void StatisticsWindowTest::countersInEachThemeAndLanguageThenReset_data() {
    QTest::addColumn<int>("theme");
    QTest::addColumn<int>("language");
    for (const Theme theme : {Theme::kLight, Theme::kDark}) {
        for (const UiLanguage language : kBothLanguages)
            QTest::addRow("%s-%s", theme == Theme::kDark ? "dark" : "light",
                          language == UiLanguage::Chinese ? "zh" : "en")
                << int(theme) << int(language);
    }
}

// Each session is rendered to stats-<theme>-<language>.png once the band's
// timer has read the counters, then Reset and hidden.
void StatisticsWindowTest::countersInEachThemeAndLanguageThenReset() {
    QFETCH(int, theme);
    CTheme::Apply(static_cast<Theme>(theme));
    WindowFixture f;
    ScopedUiLanguage scope(RowLanguage());
    RunSession(f);
    CMainWindow& shown = *f.window;
    auto* panel = f.Control<CStatisticsPanel>("StatisticsPanel");
    auto* timer = panel->findChild<QTimer*>("StatisticsTimer");
    QVERIFY(panel->isVisible() && timer->isActive());
    QCOMPARE(CComSetting::Loaded(f.settings.IniPath).StatisticsShown, 1);
    const QString received = QString::number(kGood.size() + BadFrame().size() + 2);
    // Read by the timer, not by the test.
    QTRY_COMPARE(Stat(shown, "StatBytesReceived"), received);
    const std::pair<const char*, QString> expected[] = {
        {"StatBytesSent", "3"},         {"StatRecordsSent", "1"}, {"StatRecordsReceived", "4"},
        {"StatBadFrames", "1"},         {"StatNaks", "1"},        {"StatEnqs", "1"},
        {"StatBytesReceived", received}};
    for (const auto& [name, text] : expected)
        QCOMPARE(Stat(shown, name), text);
    QCOMPARE(Nonzero(Series(shown, 1)).size(), qsizetype(1));
    // Run again by its own registration with QT_SCALE_FACTOR=2: every pixel of
    // the window is drawn at twice the size, none scaled up from a small bitmap.
    const bool twice = qgetenv("QT_SCALE_FACTOR") == "2";
    const QImage image = shown.grab().toImage();
    QCOMPARE(image.size(), shown.size() * (twice ? 2 : 1));
    const QString shot = twice ? QString("hidpi-en") : QString(QTest::currentDataTag());
    QVERIFY(SaveScreenshot(image, "stats-" + shot));

    QTest::mouseClick(f.Control<QPushButton>("StatReset"), Qt::LeftButton);
    for (const auto& [name, text] : expected)
        QCOMPARE(Stat(shown, name), QString("0"));
    QVERIFY(Nonzero(Series(shown, 0)).isEmpty() && Nonzero(Series(shown, 1)).isEmpty());
    // Hidden, the band reads nothing, and the set remembers it so.
    f.Action("ShowStatistics")->setChecked(false);
    QVERIFY(!panel->isVisible() && !timer->isActive());
    QCOMPARE(CComSetting::Loaded(f.settings.IniPath).StatisticsShown, 0);
}

// The window menu's CSV export, highlight rules editor and themes, and the
// chart's seconds, on one window.
void StatisticsWindowTest::windowMenuToolsAndTheChart() {
    WindowFixture f;
    f.settings.Highlight1 = "purple|#00FF00|old";  // a key that does not parse
    CMainWindow& window = f.Window();
    QVERIFY(f.peer.Send("first\r\nplain\r\n"));
    QTRY_COMPARE(window.Engine().Exchange().RecordCount(), size_t(2));
    const QString path = f.dir.filePath("out.csv");
    const auto exportTo = [&](const QString& target) {
        ModalWatcher watcher([&](QWidget* open) {
            auto* dialog = qobject_cast<QFileDialog*>(open);
            QVERIFY(dialog != nullptr);
            QCOMPARE(dialog->selectedFiles().value(0).section('/', -1), QString("traffic.csv"));
            QCOMPARE(dialog->nameFilters().value(0), QString("CSV (*.csv)"));
            // Typed as the user would, a whole path in the name field.
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            QVERIFY(name != nullptr);
            name->setText(target);
            static_cast<QDialog*>(dialog)->accept();
        });
        f.Action("ExportCsv")->trigger();
        QVERIFY(watcher.found);
    };

    // Cancelled while the rows are written: neither the file nor its part.
    exportTo(path);
    auto* progress = window.findChild<QProgressDialog*>("CsvExportProgress");
    QVERIFY(progress != nullptr);
    QVERIFY(QFile::exists(path + ".part"));
    progress->findChild<QPushButton*>()->click();
    QVERIFY(!QFile::exists(path) && !QFile::exists(path + ".part"));

    exportTo(path);
    const CMsgExchange& store = window.Engine().Exchange();
    QTRY_VERIFY(store.Record(store.RecordCount() - 1).Type() == 'I');
    QCOMPARE(QString::fromStdString(store.Record(store.RecordCount() - 1).Data()),
             "CSV export: 2 rows written to " + path);
    const QStringList lines = QString::fromStdString(ReadAll(path)).split("\r\n");
    QCOMPARE(lines.size(), 4);  // the header, two rows and the end of the last
    QVERIFY2(lines[2].contains(",R,plain"), qPrintable(lines[2]));

    // Rows 1 and 5 are good; an unclosed regular expression in row 3 keeps
    // everything from being stored until it is emptied, and the good rules go
    // into the first keys in row order.
    const int badRow = 3;
    QString firstError, patternShown;
    bool refusedWhileBad = false;
    ModalWatcher watcher([&](QWidget* open) {
        auto* dialog = qobject_cast<QDialog*>(open);
        QCOMPARE(dialog->objectName(), QString("HighlightRulesDlg"));
        const auto field = [&](const char* name, int row) {
            return dialog->findChild<QWidget*>(QString::fromLatin1(name) + QString::number(row));
        };
        patternShown = qobject_cast<QLineEdit*>(field("HighlightPattern", 1))->text();
        qobject_cast<QLineEdit*>(field("HighlightPattern", 1))->setText("hello");
        qobject_cast<QComboBox*>(field("HighlightMode", 5))->setCurrentIndex(1);
        qobject_cast<QLineEdit*>(field("HighlightPattern", 5))->setText("ab+c");
        qobject_cast<QComboBox*>(field("HighlightMode", badRow))->setCurrentIndex(1);
        qobject_cast<QLineEdit*>(field("HighlightPattern", badRow))->setText("(ab");
        ModalWatcher colour([](QWidget* picker) {
            qobject_cast<QColorDialog*>(picker)->setCurrentColor(QColor(0x10, 0x20, 0x30));
            qobject_cast<QDialog*>(picker)->accept();
        });
        QTest::mouseClick(field("HighlightColor", 5), Qt::LeftButton);
        auto* ok = dialog->findChild<QPushButton*>("HighlightOk");
        QTest::mouseClick(ok, Qt::LeftButton);
        firstError = dialog->findChild<QLabel*>("HighlightError")->text();
        refusedWhileBad = dialog->isVisible() && f.settings.Highlight1 == "purple|#00FF00|old";
        qobject_cast<QLineEdit*>(field("HighlightPattern", badRow))->clear();
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    f.Action("EditHighlights")->trigger();
    QVERIFY(watcher.found);
    QCOMPARE(patternShown, QString("purple|#00FF00|old"));
    QVERIFY2(firstError.startsWith(QStringLiteral("Rule %1: ").arg(badRow)),
             qPrintable(firstError));
    QVERIFY(refusedWhileBad);
    const CComSetting stored = CComSetting::Loaded(f.settings.IniPath);
    for (const CComSetting* s : {static_cast<const CComSetting*>(&f.settings), &stored}) {
        QCOMPARE(s->Highlight1, std::string("text|#FFF3A0|hello"));
        QCOMPARE(s->Highlight2, std::string("regex|#102030|ab+c"));
        QCOMPARE(s->Highlight3 + s->Highlight8, std::string());
    }

    // Counted an hour ahead, so that each second is the test's own: the
    // chart's point at -n holds the bytes of n seconds before the panel's
    // clock, and the rate is the last whole second's.
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
    QCOMPARE(Stat(window, "StatRateReceived") + "/" + Stat(window, "StatRateSent"), "10/4");

    // The theme is stored in the user's file and applied, to the chart too.
    const QString file = config_.filePath("qelvor/qelvor.conf");
    QCOMPARE(CTheme::SettingsPath(), file);
    auto* chart = window.findChild<QChartView*>("StatisticsChart")->chart();
    // The action, the value stored, the style (empty: the platform's), dark.
    const std::tuple<QString, QString, QString, bool> steps[] = {
        {"ThemeDark", "dark", "fusion", true},
        {"ThemeLight", "light", "fusion", false},
        {"ThemeSystem", "system", "", false}};
    for (const auto& [action, value, style, dark] : steps) {
        f.Action(qPrintable(action))->trigger();
        QCOMPARE(QSettings(file, QSettings::IniFormat).value("Theme").toString(), value);
        QCOMPARE(CTheme::Stored(), CTheme::Current());
        QCOMPARE(QApplication::style()->name(), style.isEmpty() ? platformStyle_ : style);
        QTRY_COMPARE(window.palette().color(QPalette::Window).lightnessF() < 0.5, dark);
        QTRY_COMPARE(chart->theme(), dark ? QChart::ChartThemeDark : QChart::ChartThemeLight);
        for (const char* name : {"ThemeSystem", "ThemeLight", "ThemeDark"})
            QCOMPARE(f.Action(name)->isChecked(), name == action);
    }
}

// A set chosen in the configuration dialog brings its own statistics band,
// columns and echo-free view; showing the band as the set says writes no key.
void StatisticsWindowTest::anotherSetBringsItsBandAndColumns() {
    WindowFixture f;
    f.settings.SetNames.insert("Lab");
    for (const char* key : {"StatisticsShown", "ShowCheckColumn", "EchoFree"})
        f.settings.WriteProfileInt("Lab", key, 1);
    CMainWindow& window = f.Window(false);
    auto* panel = window.findChild<CStatisticsPanel*>("StatisticsPanel");
    auto* header = f.Control<QTableView>("TrafficList")->horizontalHeader();
    QVERIFY(!window.BandShown(panel) && header->isSectionHidden(CTrafficTableModel::kColumnCheck));
    ModalWatcher watcher([](QWidget* dialog) {
        auto* series = dialog->findChild<QComboBox*>("Series");
        series->setCurrentIndex(series->findText("Lab"));
        emit series->activated(series->currentIndex());  // as a user's choice
        QTest::mouseClick(dialog->findChild<QPushButton*>("Save"), Qt::LeftButton);
    });
    QTest::mouseClick(f.Control<QPushButton>("SetPort"), Qt::LeftButton);
    QVERIFY(watcher.found);
    QCOMPARE(f.settings.GetCurrentSet(), std::string("Lab"));
    QVERIFY(window.BandShown(panel) && f.Action("ShowStatistics")->isChecked());
    QVERIFY(!header->isSectionHidden(CTrafficTableModel::kColumnCheck));
    QVERIFY(f.Action("EchoFree")->isChecked() && f.Action("ShowCheckColumn")->isChecked());
    const std::string file = ReadAll(QString::fromStdString(f.settings.IniPath));
    QCOMPARE(file.find("StatisticsShown=1"), file.rfind("StatisticsShown=1"));
    QVERIFY(file.find("StatisticsShown=0") == std::string::npos);
}

}  // namespace qelvor::test

QTEST_MAIN(qelvor::test::StatisticsWindowTest)
#include "statistics_window_test.moc"
