// The send features of the main window through their widgets: quick sends
// over a loopback peer, their editor, the send history, and the modem-lines
// band and reconnect status over a pty, rendered for a look by eye.
#include "i18n/window/scoped_ui_language.h"
#include "mainwnd/window/window_fixture.h"
#include "support/pty_pair.h"

using namespace qelvor;
using namespace qelvor::test;

class QuickSendWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void quickSendsReachThePeerWhileTheRowShows();
    void editorStoresAllChangedRowsOrNone();
    void historyWalksBackToTheDraft();
    void modemBandOnAPtyAndReconnectInPaneZero_data() { AddLanguageRows(); }
    void modemBandOnAPtyAndReconnectInPaneZero();
};

void QuickSendWindowTest::quickSendsReachThePeerWhileTheRowShows() {
    WindowFixture f;
    CMainWindow& window = f.Window();
    QVERIFY(f.peer.Valid());
    CMainEngine& engine = window.Engine();
    QVERIFY(engine.SetQuickSend(0, {"Frame", "<STX>A<ETX>"}) &&
            engine.SetQuickSend(1, {"B", "B"}) && engine.SetQuickSend(3, {"Enq", "<ENQ>"}));
    const QSize opened = window.size();
    QWidget* row = f.Control("QuickSendRow");
    auto* shown = window.findChild<QAction*>("ShowQuickSends");
    shown->trigger();
    QTRY_COMPARE(window.size(), opened + QSize(0, row->height()));
    QVERIFY(row->isVisible() && shown->isChecked() && !f.Control("QuickSend3")->isVisible());
    auto* first = f.Control<QPushButton>("QuickSend1");
    QCOMPARE(first->text() + " " + first->toolTip(), QString("Frame <STX>A<ETX>"));

    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* box = f.Control<QLineEdit>("SendBox");
    const std::pair<Qt::Key, std::string> presses[] = {
        {Qt::Key_unknown, "\2A\3"}, {Qt::Key_2, "B"}, {Qt::Key_4, "\5"}, {Qt::Key_3, ""}};
    for (const auto& [key, bytes] : presses) {
        if (key == Qt::Key_unknown) first->click();
        if (key != Qt::Key_unknown) QTest::keyClick(box, key, Qt::ControlModifier);
        QCOMPARE(f.Received(bytes.size() + 1, 300), bytes);
    }
    // Hidden, the row gives its height back and its keys send nothing.
    shown->trigger();
    QTRY_COMPARE(window.size(), opened);
    QTest::keyClick(box, Qt::Key_2, Qt::ControlModifier);
    QCOMPARE(f.Received(1, 200), std::string());
}

void QuickSendWindowTest::editorStoresAllChangedRowsOrNone() {
    WindowFixture f;
    CMainEngine& engine = f.Window(false).Engine();
    QVERIFY(engine.SetQuickSend(1, {"Old", "x"}));
    struct Edit {
        std::vector<std::tuple<int, int, QString>> cells;  // row, column, text
        bool ok, accepted;
        QString refusal;
    };
    const Edit edits[] = {
        {{{2, 0, "Third"}, {2, 1, "<ENQ>"}}, true, true, {}},
        // Row 2 is stored before row 5 is refused, and put back.
        {{{1, 0, "New"}, {4, 0, "a\tb"}}, true, false, "Button 5 cannot be stored"},
        {{{0, 0, "Zero"}}, false, false, {}},
    };
    for (const Edit& edit : edits) {
        bool accepted = false;
        QString refusal;
        ModalWatcher watcher([&](QWidget* dialog) {
            auto* table = dialog->findChild<QTableWidget*>("QuickSendTable");
            for (const auto& [row, column, text] : edit.cells)
                table->item(row, column)->setText(text);
            if (!edit.ok) return;
            ModalWatcher box(
                [&](QWidget* open) { refusal = static_cast<QMessageBox*>(open)->text(); });
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            accepted = !dialog->isVisible();
        });
        f.Control<QPushButton>("QuickSendEdit")->click();
        QVERIFY(watcher.found);
        QCOMPARE(accepted, edit.accepted);
        QCOMPARE(refusal.section(':', 0, 0), edit.refusal);
    }
    QStringList stored;
    for (int i = 0; i < 5; ++i)
        stored << QString::fromStdString(CQuickSends::Encode(engine.QuickSends().Button(i)));
    QCOMPARE(stored, QStringList({"", "Old\tx", "Third\t<ENQ>", "", ""}));
    QCOMPARE(f.Control<QPushButton>("QuickSend3")->text(), QString("Third"));
}

void QuickSendWindowTest::historyWalksBackToTheDraft() {
    WindowFixture f;
    f.Window();
    auto* box = f.Control<QLineEdit>("SendBox");
    for (const char* text : {"one", "two", "three", "draft"}) {
        box->selectAll();
        QTest::keyClicks(box, text);
        if (QString(text) == "draft") break;
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(f.Received(strlen(text)), std::string(text));
    }
    const std::pair<Qt::Key, const char*> walk[] = {
        {Qt::Key_Up, "three"}, {Qt::Key_Up, "two"},     {Qt::Key_Up, "one"},    {Qt::Key_Up, "one"},
        {Qt::Key_Down, "two"}, {Qt::Key_Down, "three"}, {Qt::Key_Down, "draft"}};
    for (const auto& [key, text] : walk) {
        QTest::keyClick(box, key);
        QCOMPARE(box->text(), QString(text));
    }
}

// A pty has no modem lines: none can change, so no 'I' record of one can
// come here (the engine's tests count those). The window with four quick
// sends and the band is rendered above the same window while the vanished
// device is being reopened.
void QuickSendWindowTest::modemBandOnAPtyAndReconnectInPaneZero() {
    WindowFixture f;
    ScopedUiLanguage scope(RowLanguage());
    testing_support::PtyDevice pty;
    f.settings.AutoReconnect = 1;
    f.settings.WorkMode = kWorkModeSerial;
    f.settings.ComPort = 0;
    f.settings.ComName = pty.path;
    CMainWindow& window = f.Window();
    CMainEngine& engine = window.Engine();
    QVERIFY(engine.SetQuickSend(0, {"ENQ", "<ENQ>"}) &&
            engine.SetQuickSend(1, {"Header", "<STX>1H|\\^&<CR><ETX>"}) &&
            engine.SetQuickSend(2, {"Result frame", "<STX>2R|1|^^^GLU|5.2<CR><ETX>"}) &&
            engine.SetQuickSend(3, {"EOT", "<EOT>"}));
    engine.SetQuickSendsShown(true);
    QWidget* band = f.Control("ModemLines");
    QTRY_VERIFY(band->isVisible() && f.Control("LinesNote")->isVisible());
    if (scope.Suffix() == "en")
        QCOMPARE(f.Control<QLabel>("LinesNote")->text(),
                 QString("Modem lines not available on this device"));
    for (const char* name : {"LineDtr", "LineRts", "LineBreak", "LineCts", "LineRi"})
        QVERIFY2(!f.Control(name)->isEnabled(), name);
    QVERIFY(!engine.SetDtr(false) && !engine.SendBreak());
    f.Control<QPushButton>("QuickSend1")->click();
    QVERIFY(pty.Feed("\x06"));
    // The list shows them, not only the store holds them.
    QTRY_COMPARE(f.Control<QTableView>("TrafficList")->model()->rowCount(), 2);
    const int withBand = window.height();
    const QImage open = window.grab().toImage();

    pty.CloseMaster();
    const QString attempt = QString::fromStdString(
        StrPrintf(LoadStr(kStrReconnecting), f.settings.DescribePort().c_str(), 1));
    QTRY_COMPARE_WITH_TIMEOUT(f.Control<QLabel>("StatusPane0")->text(), attempt, 5000);
    QVERIFY(!band->isVisible() && !f.Control("QuickSend1")->isEnabled());
    QCOMPARE(window.height(), withBand - band->height());
    const QImage reconnecting = window.grab().toImage();
    QImage both(open.width(), open.height() + reconnecting.height() + 8, QImage::Format_RGB32);
    both.fill(Qt::darkGray);
    QPainter(&both).drawImage(0, 0, open);
    QPainter(&both).drawImage(0, open.height() + 8, reconnecting);
    QVERIFY(SaveScreenshot(both, "send-" + scope.Suffix()));
}

QTEST_MAIN(QuickSendWindowTest)
#include "quick_send_window_test.moc"
