// The quick-send row: its buttons, Ctrl+<n>, its height, and its editor.
#include "support/window_fixture.h"

class QuickSendRowTest : public QObject {
    Q_OBJECT
  private slots:
    // A button's composed bytes reach the peer, Ctrl+2 presses the second.
    void buttonsKeysAndTheirEditor() {
        WindowFixture f;
        CMainWindow& window = f.Window();
        CMainEngine& engine = window.Engine();
        QVERIFY(engine.SetQuickSend(0, {"Frame", "<STX>A<ETX>"}) &&
                engine.SetQuickSend(1, {"B", "B"}) && engine.SetQuickSend(3, {"Enq", "<ENQ>"}));
        const QSize opened = window.size();
        auto* box = f.Control<QLineEdit>("SendBox");
        const QRect boxPlace = box->geometry();
        QWidget* row = f.Control("QuickSendRow");
        auto* shown = f.Action("ShowQuickSends");
        shown->trigger();
        // Above the status bar, its height taken from the list: the window keeps its size.
        const int bottom = row->parentWidget()->height() - 22;
        QTRY_COMPARE(row->geometry(),
                     QRect(0, bottom - row->height(), opened.width(), row->height()));
        QCOMPARE(window.size(), opened);
        QCOMPARE(box->geometry(), boxPlace.translated(0, -row->height()));
        QVERIFY(row->isVisible() && shown->isChecked() && !f.Control("QuickSend3")->isVisible());
        auto* first = f.Control<QPushButton>("QuickSend1");
        QCOMPARE(first->text() + " " + first->toolTip(), QString("Frame <STX>A<ETX>"));

        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        first->click();
        QCOMPARE(f.Received(4, 300), std::string("\2A\3"));
        QTest::keyClick(box, Qt::Key_2, Qt::ControlModifier);
        QCOMPARE(f.Received(2, 300), std::string("B"));
        // Hidden, the row gives its height back and its keys send nothing.
        shown->trigger();
        QTRY_COMPARE(window.size(), opened);
        QTest::keyClick(box, Qt::Key_2, Qt::ControlModifier);
        QCOMPARE(f.Received(1, 200), std::string());

        // The editor's OK stores every changed row, or none if one is
        // refused: the cells set, whether it closes, the refusal.
        using Cells = std::vector<std::tuple<int, int, QString>>;
        const std::tuple<Cells, bool, QString> edits[] = {
            {{{2, 0, "Third"}, {2, 1, "<ENQ>"}}, true, {}},
            // Row 2 is stored before row 5 is refused, and put back.
            {{{1, 0, "New"}, {4, 0, "a\tb"}}, false, "Button 5 cannot be stored"},
        };
        for (const auto& [cells, closes, shownRefusal] : edits) {
            bool accepted = false;
            QString refusal;
            const auto edit = [&](QWidget* dialog) {
                auto* table = dialog->findChild<QTableWidget*>("QuickSendTable");
                for (const auto& [r, column, text] : cells)
                    table->item(r, column)->setText(text);
                ModalWatcher refused(
                    [&](QWidget* open) { refusal = static_cast<QMessageBox*>(open)->text(); });
                dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
                accepted = !dialog->isVisible();
            };
            QVERIFY(Answered([&] { f.Control<QPushButton>("QuickSendEdit")->click(); }, edit));
            QCOMPARE(accepted, closes);
            QCOMPARE(refusal.section(':', 0, 0), shownRefusal);
        }
        QStringList stored;
        for (int i = 0; i < 5; ++i)
            stored << QString::fromStdString(CQuickSends::Encode(engine.QuickSends().Button(i)));
        QCOMPARE(stored,
                 QStringList({"Frame\t<STX>A<ETX>", "B\tB", "Third\t<ENQ>", "Enq\t<ENQ>", ""}));
        QCOMPARE(f.Control<QPushButton>("QuickSend3")->text(), QString("Third"));
    }
};
QELVOR_WINDOW_TEST(QuickSendRowTest);
#include "quick_send_row_test.moc"
