// The traffic list's model: records appended at once come as one insertion, a
// clear followed by growth as a reset.
#include "support/window_fixture.h"
#include "window/popup_menus.h"

class TrafficTableModelTest : public QObject {
    Q_OBJECT
  private slots:
    void batchesAndResets() {
        WindowFixture f;
        f.settings.ScrollRSWnd = 1;
        CMainWindow& window = f.Window(false);
        auto* view = f.Control<QTableView>("TrafficList");
        QSignalSpy inserted(view->model(), &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(view->model(), &QAbstractItemModel::modelReset);
        CMsgExchange& exchange = window.Engine().Exchange();
        for (int i = 0; i < 5000; ++i)
            exchange.AddRecord('I', "line " + std::to_string(i));
        QTRY_COMPARE(view->model()->rowCount(), 5000);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(view->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
        // A reset even when the count grows past the rows shown.
        window.RunCommand(kCmdClearAllData);
        for (int i = 0; i < 6000; ++i)
            exchange.AddRecord('I', "again");
        QTRY_COMPARE(reset.count(), 1);
        QCOMPARE(view->model()->rowCount(), 6000);
        QCOMPARE(view->model()->index(0, 2).data().toString(), QString("again"));
    }
};
QELVOR_WINDOW_TEST(TrafficTableModelTest);
#include "traffic_table_model_test.moc"
