// The traffic list's find bar: matches walked with Enter, F3 and Previous, the filter, a picture.
#include "support/window_fixture.h"

static const QStringList kShown = {"alpha 1", "beta 22", "alpha 333", "\x02z\x03"};

class FindBarTest : public QObject {
    Q_OBJECT
  private slots:
    // Enter then F3 walk the matches round, Previous and Shift+F3 back; a bad pattern's error in
    // the error colour; Escape closes the bar, not the window (each mode's matching: the matcher).
    void findAndFilter() {
        // The mode (text, hex), the pattern, its matches and the count shown.
        const std::tuple<int, QString, QStringList, QString> cases[] = {
            {0, "alpha", {kShown[0], kShown[2]}, "2 matches"},
            {0, "omega", {}, "no match"},
            {2, "02 0Z", {}, "hex pattern: 'Z' is no hex digit"}};
        TrafficFixture f;
        CMainWindow& window = f.Window();
        QVERIFY(f.Receive(kShown));
        auto* bar = f.Control("FindBar");
        auto* box = f.Control<QLineEdit>("FindPattern");
        auto* label = f.Control<QLabel>("FindCount");
        for (const auto& [mode, pattern, matches, count] : cases) {
            f.List()->ClearSelection();
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
        // A double-click opens the fifth 'R' record, not the store's fifth; nothing to save.
        QString text;
        bool saveShown = true;
        const size_t records = f.Store().RecordCount();
        const QPoint onLast = f.List()->RowRect(4).center();
        QVERIFY(
            Answered([&] { QTest::mouseDClick(f.List()->viewport(), Qt::LeftButton, {}, onLast); },
                     [&](QWidget* dialog) {
                         text = Child<QPlainTextEdit>(dialog, "DetailText")->toPlainText();
                         saveShown = Child(dialog, "SaveDetail")->isVisibleTo(dialog);
                     }));
        QCOMPARE(text, QString("alpha 5<CR><LF>"));
        QVERIFY(!saveShown && f.Store().RecordCount() == records);

        // Over a large store the filter runs in steps behind a progress bar.
        f.Control<QCheckBox>("FilterSent")->setChecked(true);
        f.Control<QCheckBox>("FilterInfo")->setChecked(true);
        const std::string noise(80, 'n');
        for (int i = 0; i < 200000; ++i)
            f.window->Engine().Exchange().AddRecord('I', noise + std::to_string(i));
        f.Search(1, "alpha \\d+<CR>");
        f.Control<QCheckBox>("FilterMatching")->setChecked(true);
        auto* progress = f.Control<QProgressBar>("FilterProgress");
        QVERIFY(progress->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!progress->isVisible(), 20000);
        QCOMPARE(f.ShownData(), (QStringList{kShown[0], kShown[2], "alpha 5"}));
        QCOMPARE(f.Count(), QString("3 matches"));

        // Escape ends the filter: every row back, the found one selected; opened again,
        // the bar finds its text anew.
        window.activateWindow();  // the detail view took the focus away
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        for (auto key : {Qt::Key_Return, Qt::Key_F3, Qt::Key_F3, Qt::Key_Escape})
            QTest::keyClick(box, key);
        QTRY_COMPARE(size_t(f.Model()->rowCount()), f.Store().RecordCount());
        QCOMPARE(f.Selected(), QString("alpha 5"));
        QTest::keyClick(f.List(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(!f.Control<QCheckBox>("FilterMatching")->isChecked());
        QTRY_COMPARE(f.Count(), QString("3 of 3"));

        // Cancel stops a filter under way: every row back, no pattern left.
        f.Control<QCheckBox>("FilterMatching")->setChecked(true);
        auto* cancel = f.Control<QToolButton>("FilterCancel");
        QVERIFY(progress->isVisible() && cancel->isVisible());
        cancel->click();
        QVERIFY(!progress->isVisible() && !cancel->isVisible());
        QCOMPARE(size_t(f.Model()->rowCount()), f.Store().RecordCount());
        QVERIFY(f.Control<QLineEdit>("FindPattern")->text().isEmpty());
    }

    void screenshot_data() { AddLanguageRows(); }
    // A filtered list, a match selected, both columns, a highlighted row.
    void screenshot() {
        TrafficFixture f;
        ScopedUiLanguage scope(RowLanguage());
        f.settings.Highlight1 = "text|#FFE08A|beta";
        f.settings.ShowCheckColumn = f.settings.ShowGapColumn = 1;
        f.settings.ShowDataListWnd = 0;
        CMainWindow& window = f.Window();
        const QString frame = QString::fromStdString(kAstmFrame);
        QVERIFY(
            f.Receive({kShown[0], kShown[1], frame + "F7", kShown[2], frame + "00", "alpha 4"}));
        f.Control<QCheckBox>("FilterInfo")->setChecked(false);
        QTest::keyClick(f.List(), Qt::Key_F, Qt::ControlModifier);
        f.Search(0, "alpha");
        QTest::keyClick(f.Control("FindPattern"), Qt::Key_Return);
        QTest::keyClick(f.Control("FindPattern"), Qt::Key_Return);
        QCOMPARE(f.Selected(), kShown[2]);
        // The match's row came into view, the columns stayed where they were.
        QCOMPARE(f.List()->horizontalScrollBar()->value(), 0);
        QTest::qWait(50);
        QVERIFY(SaveScreenshot(window.grab().toImage(), "find-" + scope.Suffix()));
    }
};
QELVOR_WINDOW_TEST(FindBarTest);
#include "find_bar_test.moc"
