// The traffic list's tools while a loopback peer sends: the find bar, the
// filter, the check and gap columns and scroll lock; the statistics band in
// the light and dark themes, in both languages and at twice the scale; the
// theme choice, the CSV export and the highlight rules editor. Each is
// rendered in use for a look by eye.
#include <QChart>
#include <QChartView>
#include <QLineSeries>

#include "data/check_sum.h"
#include "mainwnd/statistics_panel.h"
#include "mainwnd/theme.h"
#include "mainwnd/traffic_table_model.h"
#include "mainwnd/window/window_fixture.h"
#include "traffic/record_timing.h"

using namespace qelvor;
using namespace qelvor::test;

namespace {

const std::string kFrame =
    "\x02"
    "1H|\\^&|||Host\r\x03";  // its ASTM check is F7
const std::string kGood = kFrame + "F7\r\n", kBad = kFrame + "A7\r\n";
const QStringList kShown = {"alpha 1", "beta 22", "alpha 333", "\x02z\x03"};

struct FindFixture : WindowFixture {
    FindFixture() {
        settings.SplitStrs = "<CR><LF>";
        settings.RespondStrs = "<ACK>";
        settings.HandShake = 1;
        settings.ScrollRSWnd = 1;
    }
    QTableView* List() { return Control<QTableView>("TrafficList"); }
    CTrafficTableModel* Model() { return static_cast<CTrafficTableModel*>(List()->model()); }
    const CMsgExchange& Store() { return window->Engine().Exchange(); }
    size_t Stored(char type) {
        const MsgRecords& all = Store().Records();
        return size_t(
            std::count_if(all.begin(), all.end(), [&](auto& r) { return r.Type() == type; }));
    }
    // Sends each line with CR LF and waits until its record and answer are
    // stored and the list has caught up with them.
    bool Receive(const QStringList& lines) {
        const size_t before = Stored('R');
        for (const QString& line : lines)
            if (!peer.Send(line.toStdString() + "\r\n")) return false;
        const auto stored = [&] {
            if (Stored('R') != before + size_t(lines.size()) || !Model()->CaughtUp()) return false;
            return settings.RespondStrs.empty() || Store().Records().back().Type() == 'S';
        };
        return QTest::qWaitFor(stored) && QTest::qWaitFor([&] { return !Model()->CatchUp(); });
    }
    const CMsgRecord& Shown(int row) { return Store().Record(Model()->RecordIndex(row)); }
    // A row's record data without the CR LF that ended it.
    QString Line(int row) {
        QString data = QString::fromStdString(Shown(row).Data());
        if (data.endsWith("\r\n")) data.chop(2);
        return data;
    }
    // The data of the selected row's record; "-" for no selection.
    QString Selected() {
        const QModelIndexList rows = List()->selectionModel()->selectedRows();
        return rows.size() == 1 ? Line(rows[0].row()) : QString("-");
    }
    QStringList ShownData(char type = 0) {
        QStringList data;
        for (int row = 0; row < Model()->rowCount(); ++row)
            if (type == 0 || Shown(row).Type() == type) data << Line(row);
        return data;
    }
    QString Cell(int row, int column) { return Model()->index(row, column).data().toString(); }
    void Search(int mode, const QString& pattern) {
        Control<QComboBox>("FindMode")->setCurrentIndex(mode);
        auto* box = Control<QLineEdit>("FindPattern");
        box->clear();
        QTest::keyClicks(box, pattern);
    }
    QString Count() { return Control<QLabel>("FindCount")->text(); }
};

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
    f.settings.CheckSum = kCsAstm;
    CMainWindow& window = f.Window();
    f.Action("ShowStatistics")->setChecked(true);
    QVERIFY(f.peer.Send(kGood + kBad + "\x05\x15"));
    auto* box = f.Control<QLineEdit>("SendBox");
    QTest::keyClicks(box, "abc");
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(f.Received(3), std::string("abc"));
    QTRY_COMPARE(window.Engine().Exchange().RecordCount(), size_t(5));
}

}  // namespace

class TrafficToolsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanup() { CTheme::Apply(Theme::kSystem); }
    void findAndFilter();
    void columnsAndScrollLock();
    void screenshot_data() { AddLanguageRows(); }
    void screenshot();
    void countersInEachThemeAndLanguageThenReset_data();
    void countersInEachThemeAndLanguageThenReset();
    void windowMenuToolsAndTheChart();
    void anotherSetBringsItsBandAndColumns();

  private:
    QTemporaryDir config_;
    QString platformStyle_;
};

// Each pattern over the same lines, in a bar opened again each time: Enter,
// then F3 walk the matches in order and go round to the first; Previous and
// Shift+F3 go back. A bad pattern shows its error in the error colour and
// finds nothing. Escape closes the bar, not the window.
void TrafficToolsTest::findAndFilter() {
    // The mode (text, regex, hex), the pattern, its matches and the count shown.
    const std::tuple<int, QString, QStringList, QString> cases[] = {
        {0, "alpha", {kShown[0], kShown[2]}, "2 matches"},
        {1, "^(alpha|beta) \\d{2,}\\b", {kShown[1], kShown[2]}, "2 matches"},
        {2, "02 ?? 03", {kShown[3]}, "1 matches"},
        {0, "omega", {}, "no match"},
        {1, "(alpha", {}, "bad regular expression: missing )"},
        {2, "02 0Z", {}, "hex pattern: 'Z' is no hex digit"}};
    FindFixture f;
    CMainWindow& window = f.Window();
    QVERIFY(f.Receive(kShown));
    auto* bar = f.Control("FindBar");
    auto* box = f.Control<QLineEdit>("FindPattern");
    auto* label = f.Control<QLabel>("FindCount");
    for (const auto& [mode, pattern, matches, count] : cases) {
        f.List()->clearSelection();
        QTest::keyClick(f.List(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(window.BandShown(bar) && box->hasFocus());
        f.Search(mode, pattern);
        QVERIFY2(f.Count().startsWith(count), qPrintable(f.Count()));
        QCOMPARE(label->palette().color(QPalette::WindowText) ==
                     CTrafficTableModel::ErrorColor(label->palette()),
                 matches.isEmpty() && count != "no match");
        const auto n = static_cast<int>(matches.size());
        for (int step = 0; step <= n; ++step) {
            QTest::keyClick(box, step == 0 ? Qt::Key_Return : Qt::Key_F3);
            QCOMPARE(f.Selected(), n == 0 ? QString("-") : matches[step % n]);
            if (n > 0) QCOMPARE(f.Count(), QString("%1 of %2").arg(step % n + 1).arg(n));
        }
        if (n > 0) {
            QTest::mouseClick(f.Control<QPushButton>("FindPrevious"), Qt::LeftButton);
            QCOMPARE(f.Selected(), matches.back());
            QTest::keyClick(box, Qt::Key_F3, Qt::ShiftModifier);
            QCOMPARE(f.Selected(), matches[std::max(n - 2, 0)]);
        }
        QTest::keyClick(box, Qt::Key_Escape);
        QVERIFY(!window.BandShown(bar) && window.isVisible());
    }

    // The filter: the received rows only, also as they come.
    f.window->Engine().Exchange().AddRecord('I', "note");
    QTest::keyClick(f.List(), Qt::Key_F, Qt::ControlModifier);
    f.Control<QCheckBox>("FilterSent")->setChecked(false);
    f.Control<QCheckBox>("FilterInfo")->setChecked(false);
    QVERIFY(f.Receive({"alpha 5"}));
    QCOMPARE(f.ShownData(), kShown + QStringList{"alpha 5"});
    // A double-click on the row opens the store's fifth 'R' record, not the
    // store's fifth one, with nothing to save and nothing added.
    QString text;
    bool saveShown = true;
    ModalWatcher watcher([&](QWidget* dialog) {
        text = dialog->findChild<QPlainTextEdit*>("DetailText")->toPlainText();
        saveShown = dialog->findChild<QWidget*>("SaveDetail")->isVisibleTo(dialog);
    });
    const size_t records = f.Store().RecordCount();
    const QPoint onLast = f.List()->visualRect(f.Model()->index(4, 2)).center();
    QTest::mouseDClick(f.List()->viewport(), Qt::LeftButton, {}, onLast);
    QTRY_VERIFY(watcher.found);
    QCOMPARE(text, QString("alpha 5<CR><LF>"));
    QVERIFY(!saveShown && f.Store().RecordCount() == records);

    // Only the matching rows, also as they come.
    f.Search(0, "alpha");
    f.Control<QCheckBox>("FilterMatching")->setChecked(true);
    QVERIFY(f.Receive({"alpha 6", "beta 7"}));
    QCOMPARE(f.ShownData(), (QStringList{kShown[0], kShown[2], "alpha 5", "alpha 6"}));

    // Echo-free: every row but the sent ones, and the choice is kept.
    for (const char* name : {"FilterSent", "FilterInfo", "FilterMatching"})
        f.Control<QCheckBox>(name)->setChecked(name != std::string("FilterMatching"));
    f.Action("EchoFree")->trigger();
    QCOMPARE(f.settings.EchoFree, 1);
    const size_t sent = f.Stored('S');
    QTRY_COMPARE(size_t(f.Model()->rowCount()), f.Store().RecordCount() - sent);
    QVERIFY(sent > 0 && f.ShownData('S').empty() && !f.ShownData('I').empty());
    f.Action("EchoFree")->trigger();
    QTRY_COMPARE(size_t(f.Model()->rowCount()), f.Store().RecordCount());

    // Over a large store the filter runs in steps behind a progress bar.
    const std::string noise(80, 'n');
    for (int i = 0; i < 200000; ++i)
        f.window->Engine().Exchange().AddRecord('I', noise + std::to_string(i));
    f.Search(1, "alpha \\d+<CR>");
    f.Control<QCheckBox>("FilterMatching")->setChecked(true);
    auto* progress = f.Control<QProgressBar>("FilterProgress");
    QVERIFY(progress->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!progress->isVisible(), 20000);
    QCOMPARE(f.ShownData(), (QStringList{kShown[0], kShown[2], "alpha 5", "alpha 6"}));
    QCOMPARE(f.Count(), QString("4 matches"));

    // Escape ends the filter with the bar: every row is back and the found
    // record stays selected. Opened again, the bar finds its text anew.
    window.activateWindow();  // the detail view took the focus away
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    for (auto key : {Qt::Key_Return, Qt::Key_F3, Qt::Key_F3})
        QTest::keyClick(box, key);
    QTest::keyClick(box, Qt::Key_Escape);
    QTRY_COMPARE(size_t(f.Model()->rowCount()), f.Store().RecordCount());
    QCOMPARE(f.Selected(), QString("alpha 5"));
    QTest::keyClick(f.List(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(!f.Control<QCheckBox>("FilterMatching")->isChecked());
    QTRY_COMPARE(f.Count(), QString("3 of 4"));
}

// The chk column marks a bad ASTM frame; the +ms column shows the stamps'
// difference to the previous record, of any type or of the same type. The
// frames come 5 ms apart or more, with an 'I' record between.
void TrafficToolsTest::columnsAndScrollLock() {
    using Model = CTrafficTableModel;
    FindFixture f;
    f.settings.CheckSum = kCsAstm;
    f.Window();
    QHeaderView* header = f.List()->horizontalHeader();
    const int widths[] = {header->sectionSize(0), header->sectionSize(1), header->sectionSize(2)};
    f.Action("ShowCheckColumn")->trigger();
    f.Action("ShowGapColumn")->trigger();
    QVERIFY(!header->isSectionHidden(Model::kColumnCheck) &&
            !header->isSectionHidden(Model::kColumnGap));
    QCOMPARE(f.settings.ShowCheckColumn + f.settings.ShowGapColumn, 2);
    for (int column = 0; column < 3; ++column)
        QCOMPARE(header->sectionSize(column), widths[column]);
    // The new columns stand between the time and the data, in sight.
    const int order[] = {Model::kColumnType, Model::kColumnTime, Model::kColumnGap,
                         Model::kColumnCheck, Model::kColumnData};
    for (int visual = 0; visual < 5; ++visual)
        QCOMPARE(header->logicalIndex(visual), order[visual]);
    QVERIFY(f.Receive({QString::fromStdString(kFrame + "F7")}));
    QThread::msleep(5);
    f.window->Engine().Exchange().AddRecord('I', "between");
    QThread::msleep(5);
    QVERIFY(f.Receive({QString::fromStdString(kFrame + "A7")}));
    const int good = f.Model()->rowCount() - 5;  // each line is followed by its ACK
    const int bad = f.Model()->rowCount() - 2;
    QCOMPARE(f.Cell(good, Model::kColumnCheck), QString("ok"));
    QCOMPARE(f.Cell(bad, Model::kColumnCheck), QString("bad (want F7)"));
    QCOMPARE(f.Cell(bad + 1, Model::kColumnCheck), QString());  // the 'S' ACK
    const QColor error = Model::ErrorColor(QGuiApplication::palette());
    const auto foreground = [&](int row) {
        return f.Model()->index(row, Model::kColumnData).data(Qt::ForegroundRole);
    };
    QCOMPARE(foreground(bad).value<QColor>(), error);
    QVERIFY(foreground(good).value<QColor>() != error);

    const auto stamp = [&](int row) { return StampMillis(f.Shown(row).Time()); };
    QVERIFY(stamp(bad) - stamp(bad - 1) >= 5);
    QCOMPARE(f.Cell(bad, Model::kColumnGap), QString::number(stamp(bad) - stamp(bad - 1)));
    QCOMPARE(f.Cell(0, Model::kColumnGap), QString());  // the first has none
    f.Action("GapSameType")->trigger();
    QCOMPARE(f.settings.GapScope, 1);
    QCOMPARE(f.Cell(bad, Model::kColumnGap), QString::number(stamp(bad) - stamp(good)));

    // A highlight rule stored after the start is read again by Restyle.
    f.settings.Highlight1 = "hex|#203040|02 31 48";
    f.Model()->Restyle();
    QCOMPARE(f.Model()->index(good, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(0x203040));
    QCOMPARE(foreground(good).value<QColor>(), QColor(Qt::white));

    // Scroll lock: the view follows the newest row until a row is selected or
    // the list scrolled up; the newest button, then End, go back and follow again.
    const auto lines = [](int count) { return QStringList(count, "line"); };
    QVERIFY(f.Receive(lines(40)));
    QScrollBar* bar = f.List()->verticalScrollBar();
    auto* newest = f.Control<QToolButton>("ScrollNewest");
    QTRY_VERIFY(bar->maximum() > 0 && bar->value() == bar->maximum());
    QVERIFY(!newest->isVisible());
    for (const char* lockedBy : {"selection", "scrolling"}) {
        if (lockedBy == std::string("selection")) {
            const QModelIndex first = f.Model()->index(f.Model()->rowCount() - 5, 2);
            QTest::mouseClick(f.List()->viewport(), Qt::LeftButton, {},
                              f.List()->visualRect(first).center());
        } else {
            bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        }
        QVERIFY2(newest->isVisible(), lockedBy);
        const int kept = bar->value();
        QVERIFY(f.Receive(lines(10)));
        QCOMPARE(bar->value(), kept);
        QVERIFY(bar->value() < bar->maximum());
        if (lockedBy == std::string("selection"))
            QTest::mouseClick(newest, Qt::LeftButton);
        else
            QTest::keyClick(f.List(), Qt::Key_End);
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(!newest->isVisible());
        QCOMPARE(f.Selected(), QString("-"));
        QVERIFY(f.Receive(lines(10)));
        QTRY_COMPARE(bar->value(), bar->maximum());
    }
}

// The find bar open over a filtered list with a match selected, both new
// columns shown and a highlighted row, for a look by eye.
void TrafficToolsTest::screenshot() {
    FindFixture f;
    ScopedUiLanguage scope(RowLanguage());
    f.settings.Highlight1 = "text|#FFE08A|beta";
    f.settings.ShowCheckColumn = f.settings.ShowGapColumn = 1;
    f.settings.ShowDataListWnd = 0;
    CMainWindow& window = f.Window();
    const QString frame = QString::fromStdString(kFrame);
    QVERIFY(f.Receive({kShown[0], kShown[1], frame + "F7", kShown[2], frame + "00", "alpha 4"}));
    f.Control<QCheckBox>("FilterInfo")->setChecked(false);
    QTest::keyClick(f.List(), Qt::Key_F, Qt::ControlModifier);
    f.Search(0, "alpha");
    QTest::keyClick(f.Control("FindPattern"), Qt::Key_Return);
    QTest::keyClick(f.Control("FindPattern"), Qt::Key_Return);
    QCOMPARE(f.Selected(), kShown[2]);
    // The match's row came into view, the columns stayed where they were.
    QCOMPARE(f.List()->horizontalScrollBar()->value(), 0);
    QTest::qWait(50);
    QVERIFY(SaveScreenshot(window, "find-" + scope.Suffix()));
}

void TrafficToolsTest::initTestCase() {
    // The theme goes to the user's file: here, one of the test's own.
    qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
    platformStyle_ = QApplication::style()->name();
}

void TrafficToolsTest::countersInEachThemeAndLanguageThenReset_data() {
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
void TrafficToolsTest::countersInEachThemeAndLanguageThenReset() {
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
    const QString received = QString::number(kGood.size() + kBad.size() + 2);
    // Read by the timer, not by the test.
    QTRY_COMPARE(f.Control<QLabel>("StatBytesReceived")->text(), received);
    const std::pair<const char*, QString> expected[] = {
        {"StatBytesSent", "3"},         {"StatRecordsSent", "1"}, {"StatRecordsReceived", "4"},
        {"StatBadFrames", "1"},         {"StatNaks", "1"},        {"StatEnqs", "1"},
        {"StatBytesReceived", received}};
    for (const auto& [name, text] : expected)
        QCOMPARE(f.Control<QLabel>(name)->text(), text);
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
        QCOMPARE(f.Control<QLabel>(name)->text(), QString("0"));
    QVERIFY(Nonzero(Series(shown, 0)).isEmpty() && Nonzero(Series(shown, 1)).isEmpty());
    // Hidden, the band reads nothing, and the set remembers it so.
    f.Action("ShowStatistics")->setChecked(false);
    QVERIFY(!panel->isVisible() && !timer->isActive());
    QCOMPARE(CComSetting::Loaded(f.settings.IniPath).StatisticsShown, 0);
}

// The window menu's CSV export, highlight rules editor and themes, and the
// chart's seconds, on one window.
void TrafficToolsTest::windowMenuToolsAndTheChart() {
    WindowFixture f;
    f.settings.Highlight1 = "purple|#00FF00|old";  // a key that does not parse
    CMainWindow& window = f.Window();
    QVERIFY(f.peer.Send("first\r\nplain\r\n"));
    QTRY_COMPARE(window.Engine().Exchange().RecordCount(), size_t(2));
    const QString path = f.dir.filePath("out.csv");
    const auto exportTo = [&](const QString& target) {
        ModalWatcher watcher([&](QWidget* open) {
            auto* dialog = qobject_cast<QFileDialog*>(open);
            QCOMPARE(dialog->selectedFiles().value(0).section('/', -1), QString("traffic.csv"));
            QCOMPARE(dialog->nameFilters().value(0), QString("CSV (*.csv)"));
            // Typed as the user would, a whole path in the name field.
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(target);
            static_cast<QDialog*>(dialog)->accept();
        });
        f.Action("ExportCsv")->trigger();
        QVERIFY(watcher.found);
    };

    // Cancelled while the rows are written: neither the file nor its part.
    exportTo(path);
    QVERIFY(QFile::exists(path + ".part"));
    window.findChild<QProgressDialog*>("CsvExportProgress")->findChild<QPushButton*>()->click();
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
    QCOMPARE(f.Control<QLabel>("StatRateReceived")->text(), QString("10"));
    QCOMPARE(f.Control<QLabel>("StatRateSent")->text(), QString("4"));

    // The theme is stored in the user's file and applied, to the chart too.
    const QString file = config_.filePath("qelvor/qelvor.conf");
    auto* chart = window.findChild<QChartView*>("StatisticsChart")->chart();
    // The action, the value stored, the style (empty: the platform's), dark.
    const std::tuple<QString, QString, QString, bool> steps[] = {
        {"ThemeDark", "dark", "fusion", true},
        {"ThemeLight", "light", "fusion", false},
        {"ThemeSystem", "system", "", false}};
    for (const auto& [action, value, style, dark] : steps) {
        f.Action(qPrintable(action))->trigger();
        QCOMPARE(QSettings(file, QSettings::IniFormat).value("Theme").toString(), value);
        QCOMPARE(QApplication::style()->name(), style.isEmpty() ? platformStyle_ : style);
        QTRY_COMPARE(window.palette().color(QPalette::Window).lightnessF() < 0.5, dark);
        QTRY_COMPARE(chart->theme(), dark ? QChart::ChartThemeDark : QChart::ChartThemeLight);
        for (const char* name : {"ThemeSystem", "ThemeLight", "ThemeDark"})
            QCOMPARE(f.Action(name)->isChecked(), name == action);
    }
}

// A set chosen in the configuration dialog brings its own statistics band,
// columns and echo-free view; showing the band as the set says writes no key.
void TrafficToolsTest::anotherSetBringsItsBandAndColumns() {
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

QTEST_MAIN(TrafficToolsTest)
#include "traffic_tools_test.moc"
