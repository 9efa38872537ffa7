// The traffic list's find bar, filter, check and gap columns and scroll lock
// while a loopback peer sends lines, each answered with an ACK.
#include "data/check_sum.h"
#include "mainwnd/traffic_table_model.h"
#include "mainwnd/window/window_fixture.h"
#include "traffic/record_timing.h"

using namespace qelvor;
using namespace qelvor::test;

namespace {

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

const std::string kFrame =
    "\x02"
    "1H|\\^&|||Host\r\x03";  // its ASTM check is F7
const QStringList kShown = {"alpha 1", "beta 22", "alpha 333", "\x02z\x03"};

}  // namespace

class TrafficFindTest : public QObject {
    Q_OBJECT

  private slots:
    void findAndFilter();
    void columnsAndScrollLock();
    void screenshot_data() { AddLanguageRows(); }
    void screenshot();
};

// Each pattern over the same lines, in a bar opened again each time: Enter,
// then F3 walk the matches in order and go round to the first; Previous and
// Shift+F3 go back. A bad pattern shows its error in the error colour and
// finds nothing. Escape closes the bar, not the window.
void TrafficFindTest::findAndFilter() {
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
void TrafficFindTest::columnsAndScrollLock() {
    using Model = CTrafficTableModel;
    FindFixture f;
    f.settings.CheckSum = kCsAstm;
    f.Window();
    QHeaderView* header = f.List()->horizontalHeader();
    QVERIFY(header->isSectionHidden(Model::kColumnCheck) &&
            header->isSectionHidden(Model::kColumnGap));
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
void TrafficFindTest::screenshot() {
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

QTEST_MAIN(TrafficFindTest)
#include "traffic_find_test.moc"
