// The traffic list's model: a batch of records is one insertion, a clear then growth a reset.
#include "support/window_fixture.h"
#include "window/popup_menus.h"

class TrafficTableModelTest : public QObject {
    Q_OBJECT
  private slots:
    void batchesAndResets() {
        WindowFixture f;
        f.settings.ScrollRSWnd = 1;
        CMainWindow& window = f.Window(false);
        QAbstractItemModel* rows = f.Control<CTrafficListView>("TrafficList")->Model();
        QSignalSpy inserted(rows, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(rows, &QAbstractItemModel::modelReset);
        CMsgExchange& exchange = window.Engine().Exchange();
        for (int i = 0; i < 5000; ++i)
            exchange.AddRecord('I', "line " + std::to_string(i));
        QTRY_COMPARE(rows->rowCount(), 5000);
        QCOMPARE(inserted.count(), 1);
        // A reset even when the count grows past the rows shown.
        window.RunCommand(kCmdClearAllData);
        for (int i = 0; i < 6000; ++i)
            exchange.AddRecord('I', "again");
        QTRY_COMPARE(reset.count(), 1);
        QCOMPARE(rows->rowCount(), 6000);
        QCOMPARE(rows->index(0, 2).data().toString(), QString("again"));
    }
};
QELVOR_WINDOW_TEST(TrafficTableModelTest);
#include "traffic_table_model_test.moc"
