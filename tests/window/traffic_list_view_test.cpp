// The traffic list's view over a hundred million rows: scrolling, paint, selection, copy.
#include <set>

#include "support/window_fixture.h"

namespace {

constexpr int kHuge = 100000000;
const QColor kMarked(0x20, 0xc0, 0x60);

// Cells "column:row", every seventh row with a background; counts what a paint asks for.
class NumberedRows : public QAbstractTableModel {
  public:
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : rows;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 3;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        asked.insert(index.row());
        ++calls;
        if (role == Qt::BackgroundRole && index.row() % 7 == 0) return kMarked;
        if (role != Qt::DisplayRole) return {};
        return QString("%1:%2").arg(index.column()).arg(index.row());
    }
    void Insert(int first, int count) {
        beginInsertRows({}, first, first + count - 1);
        rows += count;
        endInsertRows();
    }
    void Reset() {
        beginResetModel();
        endResetModel();
    }
    int rows = kHuge;
    mutable std::set<int> asked;
    mutable int calls = 0;
};

struct ViewFixture {
    ViewFixture() {
        view.SetModel(&rows);
        for (int column = 0; column < 3; ++column)
            view.Header()->resizeSection(column, 60 + 40 * column);
        view.resize(400, 300);
        view.show();
    }
    // The colour painted at the left edge of a row.
    QColor Painted(int row) {
        return view.viewport()->grab().toImage().pixelColor(1, view.RowRect(row).center().y());
    }
    NumberedRows rows;
    CTrafficListView view;
};

}  // namespace

class TrafficListViewTest : public QObject {
    Q_OBJECT
  private slots:
    // The end of a hundred million rows, a jump to the middle; the paint asks for the rows in
    // sight only, draws the selection and a row's background.
    void hugeModelScrollsByRowsAndPaintsOnlyRowsInSight() {
        ViewFixture f;
        f.view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.view));
        QScrollBar* bar = f.view.verticalScrollBar();
        const int page = f.view.PageRows();
        QCOMPARE(std::make_pair(bar->maximum(), bar->pageStep()),
                 std::make_pair(kHuge - page, page));
        f.view.ScrollToBottom();
        f.rows.asked.clear();
        f.rows.calls = 0;
        f.view.viewport()->repaint();
        QCOMPARE(*f.rows.asked.rbegin(), kHuge - 1);
        QCOMPARE(*f.rows.asked.begin(), f.view.TopRow());
        QVERIFY(f.rows.asked.size() <= size_t(page + 1));
        QVERIFY(f.rows.calls <= int(f.rows.asked.size()) * 3 * 5);  // three cells, five roles
        const QRect last = f.view.RowRect(kHuge - 1);
        QCOMPARE(f.view.RowAt(last.center()), kHuge - 1);
        QCOMPARE(f.view.RowAt(QPoint(1, last.bottom() + 1)), -1);
        bar->setValue(kHuge / 2);
        QCOMPARE(f.view.RowAt(QPoint(1, 1)), kHuge / 2);

        const int marked = (kHuge / 2 + 6) / 7 * 7;  // the first marked row in sight
        f.view.SelectRow(marked + 1);
        QCOMPARE(f.Painted(marked), kMarked);
        QCOMPARE(f.Painted(marked + 1), f.view.palette().color(QPalette::Highlight));
        QCOMPARE(f.Painted(marked + 2), f.view.palette().color(QPalette::Base));
    }

    // Mouse and keys select one row and bring it into sight, Ctrl and a click take it away; it
    // stays on its record as rows come before it, a reset clears it; Ctrl+C copies its shown
    // cells in their order; the columns scroll per pixel.
    void selectionCopyAndColumns() {
        ViewFixture f;
        const int page = f.view.PageRows(), last = kHuge - 1;
        const auto click = [&f](int row, Qt::KeyboardModifiers keys = {}) {
            QTest::mouseClick(f.view.viewport(), Qt::LeftButton, keys,
                              f.view.RowRect(row).center());
        };
        click(2);
        // clang-format off
        const std::tuple<Qt::Key, Qt::KeyboardModifiers, int> steps[] = {  // key, selected after
            {Qt::Key_Down, {}, 3}, {Qt::Key_PageDown, {}, 3 + page}, {Qt::Key_PageUp, {}, 3},
            {Qt::Key_Up, {}, 2}, {Qt::Key_Home, {}, 0}, {Qt::Key_End, Qt::ControlModifier, last},
            {Qt::Key_Up, {}, last - 1}, {Qt::Key_End, {}, last}, {Qt::Key_Home, Qt::ControlModifier, 0}};
        // clang-format on
        for (const auto& [key, modifiers, selected] : steps) {
            QTest::keyClick(&f.view, key, modifiers);
            QCOMPARE(f.view.SelectedRow(), selected);
            QVERIFY(selected >= f.view.TopRow() && selected < f.view.TopRow() + page);
        }
        click(0, Qt::ControlModifier);
        QCOMPARE(f.view.SelectedRow(), -1);
        f.view.verticalScrollBar()->setValue(1000);
        QTest::keyClick(&f.view, Qt::Key_Down);  // from the top row in sight
        QCOMPARE(f.view.SelectedRow(), 1000);

        QSignalSpy changed(&f.view, &CTrafficListView::selectionChanged);
        f.rows.Insert(0, 3);
        f.rows.Insert(f.rows.rows, 5);
        QCOMPARE(f.view.SelectedRow(), 1003);
        QCOMPARE(f.view.verticalScrollBar()->maximum(), kHuge + 8 - page);
        f.rows.Insert(0, 1);
        QCOMPARE(f.view.SelectedRow(), 1004);
        f.rows.Reset();
        QCOMPARE(changed.count(), 3);
        QCOMPARE(changed.last().at(0).toInt(), -1);

        QHeaderView* header = f.view.Header();
        header->moveSection(2, 0);
        header->setSectionHidden(1, true);
        f.view.SelectRow(5);
        QTest::keyClick(&f.view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("2:5\t0:5"));
        QScrollBar* across = f.view.horizontalScrollBar();
        QCOMPARE(across->maximum(), 0);
        header->resizeSection(2, 1000);
        QCOMPARE(across->maximum(), 1060 - f.view.viewport()->width());
        across->setValue(across->maximum());
        QCOMPARE(header->offset(), across->maximum());
    }
};
QELVOR_WINDOW_TEST(TrafficListViewTest);
#include "traffic_list_view_test.moc"
