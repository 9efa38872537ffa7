// The traffic list's view commands: check and gap columns, gap scope, echo-free.
#include "support/window_fixture.h"
#include "traffic/record_timing.h"

class TrafficListOptionsTest : public QObject {
    Q_OBJECT
  private slots:
    // chk marks a bad ASTM frame; +ms is the gap to the previous record, of
    // any or the same type (frames 5 ms or more apart, an 'I' between).
    void columnsGapScopeAndEchoFree() {
        using Model = CTrafficTableModel;
        TrafficFixture f;
        f.settings.CheckSum = kCsAstm;
        f.Window();
        QHeaderView* header = f.List()->Header();
        const int widths[] = {header->sectionSize(0), header->sectionSize(1),
                              header->sectionSize(2)};
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
        QVERIFY(f.Receive({QString::fromStdString(kAstmFrame + "F7")}));
        QThread::msleep(5);
        f.window->Engine().Exchange().AddRecord('I', "between");
        QThread::msleep(5);
        QVERIFY(f.Receive({QString::fromStdString(kAstmFrame + "A7")}));
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
        QCOMPARE(f.Cell(bad, Model::kColumnGap), QString::number(stamp(bad) - stamp(bad - 1)));
        f.Action("GapSameType")->trigger();
        QCOMPARE(f.settings.GapScope, 1);
        QCOMPARE(f.Cell(bad, Model::kColumnGap), QString::number(stamp(bad) - stamp(good)));

        // Echo-free: every row but the sent ones, and the choice is kept.
        f.Action("EchoFree")->trigger();
        QCOMPARE(f.settings.EchoFree, 1);
        QTRY_VERIFY(!f.ShownData('I').empty() && f.ShownData('S').empty());
        const auto echoFree = size_t(f.Model()->rowCount());
        f.Action("EchoFree")->trigger();
        QTRY_COMPARE(size_t(f.Model()->rowCount()), f.Store().RecordCount());
        QCOMPARE(echoFree, f.Store().RecordCount() - size_t(f.ShownData('S').size()));
    }
};
QELVOR_WINDOW_TEST(TrafficListOptionsTest);
#include "traffic_list_options_test.moc"
