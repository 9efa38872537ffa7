// The traffic list follows the newest row until a row is selected or it is scrolled up.
#include "support/window_fixture.h"

class ScrollLockTest : public QObject {
    Q_OBJECT
  private slots:
    void lockedBySelectionOrScrollingUntilNewest() {
        TrafficFixture f;
        f.Window();
        const auto lines = [](int count) { return QStringList(count, "line"); };
        QVERIFY(f.Receive(lines(40)));
        QScrollBar* bar = f.List()->verticalScrollBar();
        auto* newest = f.Control<QToolButton>("ScrollNewest");
        QTRY_VERIFY(bar->maximum() > 0 && bar->value() == bar->maximum());
        QVERIFY(!newest->isVisible());
        for (const bool bySelection : {true, false}) {
            const int fifthLast = f.Model()->rowCount() - 5;
            bySelection ? QTest::mouseClick(f.List()->viewport(), Qt::LeftButton, {},
                                            f.List()->RowRect(fifthLast).center())
                        : bar->triggerAction(QAbstractSlider::SliderPageStepSub);
            QVERIFY2(newest->isVisible(), bySelection ? "selection" : "scrolling");
            // A resized list keeps the button at its viewport's new corner.
            const QSize size = f.window->size();
            f.window->resize(size + QSize(bySelection ? 60 : 0, 40));
            QTRY_COMPARE(f.window->size(), size + QSize(bySelection ? 60 : 0, 40));
            const QRect corner = f.List()->viewport()->geometry();
            QCOMPARE(newest->geometry().bottomRight(), corner.bottomRight() - QPoint(5, 5));
            const int kept = bar->value();
            QVERIFY(f.Receive(lines(10)));
            QCOMPARE(bar->value(), kept);
            QVERIFY(bar->value() < bar->maximum());
            bySelection ? QTest::mouseClick(newest, Qt::LeftButton)
                        : QTest::keyClick(f.List(), Qt::Key_End);
            QCOMPARE(bar->value(), bar->maximum());
            QVERIFY(!newest->isVisible());
            QCOMPARE(f.Selected(), QString("-"));
            QVERIFY(f.Receive(lines(10)));
            QTRY_COMPARE(bar->value(), bar->maximum());
        }
    }
};
QELVOR_WINDOW_TEST(ScrollLockTest);
#include "scroll_lock_test.moc"
