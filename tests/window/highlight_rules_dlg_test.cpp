// The highlight rules editor: a bad rule stores none, good ones fill the first keys and draw.
#include "support/window_fixture.h"

class HighlightRulesDlgTest : public QObject {
    Q_OBJECT
  private slots:
    // Rows 1 and 5 good, an unclosed regular expression in row 3 until emptied.
    void badRuleRefusedGoodOnesStoredAndDrawn() {
        WindowFixture f;
        f.settings.Highlight1 = "purple|#00FF00|old";  // a key that does not parse
        CMainWindow& window = f.Window();
        QVERIFY(f.peer.Send("say abbc\r\nhello\r\n"));
        QTRY_COMPARE(window.Engine().Exchange().RecordCount(), size_t(2));
        QString firstError, patternShown;
        bool refusedWhileBad = false;
        const auto edit = [&](QWidget* dialog) {
            const auto field = [&](const char* name, int row) {
                return Child(dialog, QString::fromLatin1(name) + QString::number(row));
            };
            const auto pattern = [&](int row) {
                return Child<QLineEdit>(dialog, "HighlightPattern" + QString::number(row));
            };
            patternShown = pattern(1)->text();
            pattern(1)->setText("hello");
            qobject_cast<QComboBox*>(field("HighlightMode", 5))->setCurrentIndex(1);
            pattern(5)->setText("ab+c");
            qobject_cast<QComboBox*>(field("HighlightMode", 3))->setCurrentIndex(1);
            pattern(3)->setText("(ab");
            ModalWatcher colour([](QWidget* picker) {
                qobject_cast<QColorDialog*>(picker)->setCurrentColor(QColor(0x10, 0x20, 0x30));
                qobject_cast<QDialog*>(picker)->accept();
            });
            QTest::mouseClick(field("HighlightColor", 5), Qt::LeftButton);
            auto* ok = Child<QPushButton>(dialog, "HighlightOk");
            QTest::mouseClick(ok, Qt::LeftButton);
            firstError = Child<QLabel>(dialog, "HighlightError")->text();
            refusedWhileBad = dialog->isVisible() && f.settings.Highlight1 == "purple|#00FF00|old";
            pattern(3)->clear();
            QTest::mouseClick(ok, Qt::LeftButton);
        };
        QVERIFY(Answered([&] { f.Action("EditHighlights")->trigger(); }, edit));
        QCOMPARE(patternShown, QString("purple|#00FF00|old"));
        QVERIFY2(firstError.startsWith("Rule 3: ") && refusedWhileBad, qPrintable(firstError));
        QCOMPARE(f.settings.Highlight1 + " " + f.settings.Highlight2 + f.settings.Highlight3 +
                     f.settings.Highlight8,
                 std::string("text|#FFF3A0|hello regex|#102030|ab+c"));
        // A dark rule's row is drawn in white.
        const QAbstractItemModel* rows = f.Control<CTrafficListView>("TrafficList")->Model();
        QCOMPARE(rows->index(0, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(0x102030));
        QCOMPARE(rows->index(0, 2).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::white));
        QCOMPARE(rows->index(1, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(0xFFF3A0));
    }
};
QELVOR_WINDOW_TEST(HighlightRulesDlgTest);
#include "highlight_rules_dlg_test.moc"
