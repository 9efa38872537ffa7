// The line-end selector beside the send box: the choice goes to the set and
// follows typed text out; a rendering of the send row.
#include "window/line_end_selector.h"
#include "support/window_fixture.h"

class LineEndSelectorTest : public QObject {
    Q_OBJECT
  private slots:
    void addsTheChosenLineEnd_data() { AddLanguageRows(); }
    void addsTheChosenLineEnd() {
        WindowFixture f;
        ScopedUiLanguage scope(RowLanguage());
        CMainWindow& window = f.Window();
        auto* selector = f.Control<QComboBox>("SendLineEnd");
        QCOMPARE(selector->currentIndex(), 0);
        f.Type("a");
        QCOMPARE(f.Received(1), std::string("a"));
        selector->setCurrentIndex(3);
        QCOMPARE(f.settings.ReadProfileInt("ComSet", "SendLineEnd", 0), 3);
        f.Control<QLineEdit>("SendBox")->clear();
        f.Type("hi");
        QCOMPARE(f.Received(4), std::string("hi\r\n"));
        QCOMPARE(f.Control<QLineEdit>("SendBox")->text(), QString("hi"));  // the box keeps the text
        QVERIFY(selector->width() >= selector->sizeHint().width());
        QVERIFY(selector->geometry().right() < f.Control("SendData")->geometry().left());
        QTRY_COMPARE(f.Control<CTrafficListView>("TrafficList")->Model()->rowCount(), 2);
        QVERIFY(SaveScreenshot(window.grab().toImage(), "send-line-end-" + scope.Suffix()));
    }
};
QELVOR_WINDOW_TEST(LineEndSelectorTest);
#include "line_end_selector_test.moc"
