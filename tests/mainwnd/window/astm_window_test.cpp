// The ASTM mode in the window: "Send message" in the data list's menu sends
// the list as one message to a loopback host, and the detail view of a
// received record shows its fields at the delimiters its header declared.
#include <QListView>
#include <QTableView>
#include <QTreeWidget>

#include "astm/astm_frame.h"
#include "mainwnd/popup_menus.h"
#include "mainwnd/window/window_fixture.h"

namespace qelvor::test {

namespace {

const std::string kEnq(1, astm::kEnq), kAck(1, astm::kAck), kEot(1, astm::kEot);

std::string FinalFrame(int number, const std::string& record) {
    return astm::CAstmFrame{number, record + '\r', true}.Bytes();
}

}  // namespace

class AstmWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void sendMessageFromTheDataListMenu();
    void detailViewShowsTheFieldsOfAReceivedRecord();
};

void AstmWindowTest::sendMessageFromTheDataListMenu() {
    WindowFixture f;
    f.settings.ProtocolMode = kProtocolAstm;
    CMainWindow& window = f.Window();
    window.Engine().DataList().Assign({"H|\\^&", "", "P|1"});
    auto* view = f.Control<QListView>("DataList");
    QTRY_COMPARE(view->model()->rowCount(), 3);
    const QPoint onFirst = view->visualRect(view->model()->index(0, 0)).center();
    int lastCommand = 0;
    ModalWatcher watcher([&](QWidget* popup) {
        auto* menu = qobject_cast<QMenu*>(popup);
        lastCommand = CommandOf(menu->actions().last());
        menu->setActiveAction(menu->actions().last());
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, onFirst);
    QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, onFirst);
    QVERIFY(watcher.found);
    QCOMPARE(lastCommand, int(kCmdSendAstmMessage));
    // The empty line is no record: two frames, then EOT.
    QCOMPARE(f.Received(1), kEnq);
    for (const std::string& frame : {FinalFrame(1, "H|\\^&"), FinalFrame(2, "P|1")}) {
        QVERIFY(f.peer.Send(kAck));
        QCOMPARE(f.Received(frame.size()), frame);
    }
    QVERIFY(f.peer.Send(kAck));
    QCOMPARE(f.Received(1), kEot);
    QTRY_VERIFY(window.Engine().AstmMessageResult() == std::optional<bool>(true));
}

void AstmWindowTest::detailViewShowsTheFieldsOfAReceivedRecord() {
    WindowFixture f;
    f.settings.ProtocolMode = kProtocolAstm;
    CMainWindow& window = f.Window();
    // The header declares its own marks: '#' fields, '~' repeats, '@' components.
    QVERIFY(f.peer.Send(kEnq));
    QCOMPARE(f.Received(1), kAck);
    for (const std::string& frame : {FinalFrame(1, "H#~@$"), FinalFrame(2, "O#1#s1@@@x#a~b")}) {
        QVERIFY(f.peer.Send(frame));
        QCOMPARE(f.Received(1), kAck);
    }
    QVERIFY(f.peer.Send(kEot));
    const CMsgExchange& store = window.Engine().Exchange();
    const auto orderRow = [&] {
        for (size_t i = 0; i < store.RecordCount(); ++i)
            if (store.Record(i).Data() == "record: O#1#s1@@@x#a~b") return int(i);
        return -1;
    };
    QTRY_VERIFY(orderRow() >= 0);
    auto* traffic = f.Control<QTableView>("TrafficList");
    QTRY_VERIFY(traffic->model()->rowCount() > orderRow());
    traffic->scrollTo(traffic->model()->index(orderRow(), 2));
    const QPoint onOrder = traffic->visualRect(traffic->model()->index(orderRow(), 2)).center();
    QStringList lines;
    ModalWatcher watcher([&](QWidget* dialog) {
        auto* tree = dialog->findChild<QTreeWidget*>("AstmFields");
        if (tree == nullptr) return;
        for (QTreeWidgetItemIterator it(tree); *it; ++it) {
            int depth = 0;
            for (QTreeWidgetItem* up = (*it)->parent(); up; up = up->parent())
                ++depth;
            lines << QString(depth * 2, ' ') + (*it)->text(0);
        }
    });
    QTest::mouseDClick(traffic->viewport(), Qt::LeftButton, {}, onOrder);
    QTRY_VERIFY(watcher.found);
    QCOMPARE(lines,
             (QStringList{"O Order", "  field 2: 1", "  field 3: s1@@@x", "    component 1: s1",
                          "    component 2: ", "    component 3: ", "    component 4: x",
                          "  field 4: a~b", "    repeat 1: a", "    repeat 2: b"}));
}

}  // namespace qelvor::test

QTEST_MAIN(qelvor::test::AstmWindowTest)
#include "astm_window_test.moc"
