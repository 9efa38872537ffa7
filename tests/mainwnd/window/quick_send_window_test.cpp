// The send features of the main window driven through their widgets: the
// quick-send row and its keys over a loopback peer, the editor's OK and
// Cancel, the send history on Up and Down, the modem-lines band over a pty,
// and pane 0 while a lost link is being reopened. The last slot renders them
// for a look by eye.
#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <tuple>
#include <vector>

#include "i18n/window/scoped_ui_language.h"
#include "mainwnd/window/window_fixture.h"
#include "support/pty_pair.h"

using namespace qelvor;
using namespace qelvor::test;
using testing_support::PtyDevice;

namespace {

// The window started on the pty's slave as a serial device.
CMainWindow& OpenOnPty(WindowFixture& f, const PtyDevice& pty) {
    f.settings.WorkMode = kWorkModeSerial;
    f.settings.ComPort = 0;
    f.settings.ComName = pty.path;
    f.window = std::make_unique<CMainWindow>(f.settings);
    f.window->show();
    f.window->Start(CStartupArgs{}, nullptr);
    return *f.window;
}

QString AttemptText(const CComSetting& settings, int attempt) {
    return QString::fromStdString(
        StrPrintf(LoadStr(kStrReconnecting), settings.DescribePort().c_str(), attempt));
}

}  // namespace

class QuickSendWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void quickSendsReachThePeerWhileTheRowShows();
    void editorStoresAllChangedRowsOrNone();
    void historyWalksBackToTheDraft();
    void modemBandOnAPtySaysNotAvailable();
    void paneZeroCountsReconnectAttempts();
    void screenshot_data();
    void screenshot();
};

void QuickSendWindowTest::quickSendsReachThePeerWhileTheRowShows() {
    WindowFixture f;
    CMainWindow& window = f.Window();
    QVERIFY(f.peer.Valid());
    CMainEngine& engine = window.Engine();
    for (const auto& [index, name, text] :
         {std::tuple(0, "Frame", "<STX>A<ETX>"), std::tuple(1, "Bee", "B"),
          std::tuple(3, "Enq", "<ENQ>")})
        QVERIFY(engine.SetQuickSend(index, QuickSend{name, text}));
    const QSize opened = window.size();
    QWidget* row = f.Control("QuickSendRow");
    auto* shown = window.findChild<QAction*>("ShowQuickSends");
    QVERIFY(!row->isVisible() && !shown->isChecked());
    shown->trigger();
    QTRY_COMPARE(window.size(), opened + QSize(0, row->height()));
    QVERIFY(row->isVisible() && shown->isChecked() && engine.QuickSends().Shown());
    auto* first = f.Control<QPushButton>("QuickSend1");
    QCOMPARE(first->text(), QString("Frame"));
    QCOMPARE(first->toolTip(), QString("<STX>A<ETX>"));
    QVERIFY(first->isVisible() && first->isEnabled());
    QVERIFY(!f.Control("QuickSend3")->isVisible());

    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* box = f.Control<QLineEdit>("SendBox");
    const std::tuple<Qt::Key, std::string> presses[] = {{Qt::Key_unknown,
                                                         "\x02"
                                                         "A\x03"},
                                                        {Qt::Key_2, "B"},
                                                        {Qt::Key_4, "\x05"},
                                                        {Qt::Key_3, ""}};
    for (const auto& [key, bytes] : presses) {
        if (key == Qt::Key_unknown)
            first->click();
        else
            QTest::keyClick(box, key, Qt::ControlModifier);
        QCOMPARE(f.Received(bytes.size() + 1, 300), bytes);
    }
    // Hidden, the row takes its height back and its keys send nothing.
    shown->trigger();
    QTRY_COMPARE(window.size(), opened);
    QTest::keyClick(box, Qt::Key_2, Qt::ControlModifier);
    QCOMPARE(f.Received(1, 200), std::string());
    QVERIFY(!engine.QuickSends().Shown());
}

void QuickSendWindowTest::editorStoresAllChangedRowsOrNone() {
    WindowFixture f;
    CMainEngine& engine = f.Window(false).Engine();
    QVERIFY(engine.SetQuickSend(1, QuickSend{"Old", "x"}));
    struct Edit {
        std::vector<std::tuple<int, int, QString>> cells;  // row, column, text
        bool ok;
        bool accepted;
        QString refusalNames;  // what the refusal's text must hold
    };
    const Edit edits[] = {
        {{{2, 0, "Third"}, {2, 1, "<ENQ>"}}, true, true, {}},
        // Row 2 would be stored before row 5 is refused: it is put back.
        {{{1, 0, "New"}, {4, 0, "a\tb"}, {4, 1, "y"}}, true, false, "Button 5"},
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
                [&](QWidget* open) { refusal = qobject_cast<QMessageBox*>(open)->text(); });
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            accepted = !dialog->isVisible();
        });
        f.Control<QPushButton>("QuickSendEdit")->click();
        QVERIFY(watcher.found);
        QCOMPARE(accepted, edit.accepted);
        QCOMPARE(refusal.contains(edit.refusalNames), true);
        QCOMPARE(refusal.isEmpty(), edit.refusalNames.isEmpty());
    }
    const char* expected[] = {"|", "Old|x", "Third|<ENQ>", "|", "|"};
    for (int i = 0; i < 5; ++i) {
        const QuickSend& button = engine.QuickSends().Button(i);
        QCOMPARE(QString::fromStdString(button.name + "|" + button.text), QString(expected[i]));
    }
    QCOMPARE(f.Control<QPushButton>("QuickSend3")->text(), QString("Third"));
}

void QuickSendWindowTest::historyWalksBackToTheDraft() {
    WindowFixture f;
    f.Window();
    QVERIFY(f.peer.Valid());
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

// A pty has no modem lines, so no line can change here and no 'I' record of
// one can come; the engine's own tests count those records.
void QuickSendWindowTest::modemBandOnAPtySaysNotAvailable() {
    WindowFixture f;
    PtyDevice pty;
    QVERIFY(!pty.path.empty());
    f.window = std::make_unique<CMainWindow>(f.settings);
    const QSize closed = f.window->size();
    f.window.reset();
    CMainWindow& window = OpenOnPty(f, pty);
    auto* band = f.Control("ModemLines");
    QTRY_VERIFY(band->isVisible());
    QCOMPARE(window.size(), closed + QSize(0, band->height()));
    QVERIFY(f.Control("LinesNote")->isVisible());
    QCOMPARE(f.Control<QLabel>("LinesNote")->text(),
             QString("Modem lines not available on this device"));
    for (const char* name : {"LineDtr", "LineRts", "LineBreak", "LineCts", "LineRi"})
        QVERIFY2(!f.Control(name)->isEnabled(), name);
    QCOMPARE(f.Control("LineCts")->property("on").toBool(), false);
    QVERIFY(!window.Engine().SetDtr(false) && !window.Engine().SendBreak());
    f.Control<QPushButton>("ClosePort")->click();
    QTRY_VERIFY(!band->isVisible());
    QCOMPARE(window.size(), closed);
}

void QuickSendWindowTest::paneZeroCountsReconnectAttempts() {
    WindowFixture f;
    f.settings.AutoReconnect = 1;
    CMainWindow& window = f.Window();
    QVERIFY(f.peer.Valid());
    QVERIFY(window.Engine().SetQuickSend(0, QuickSend{"A", "A"}));
    auto* quick = f.Control<QPushButton>("QuickSend1");
    QVERIFY(quick->isEnabled());
    // The server goes away with the connection: every attempt is refused.
    f.listener.Reset();
    f.peer.Reset();
    QTRY_VERIFY(!quick->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(f.Control<QLabel>("StatusPane0")->text(), AttemptText(f.settings, 1),
                              5000);
    QVERIFY(!quick->isEnabled());
}

void QuickSendWindowTest::screenshot_data() {
    QTest::addColumn<int>("language");
    QTest::newRow("en") << int(UiLanguage::English);
    QTest::newRow("zh") << int(UiLanguage::Chinese);
}

// The window on a pty with four quick sends and the modem band, then the
// same window once the device has vanished and is being reopened, one above
// the other.
void QuickSendWindowTest::screenshot() {
    QFETCH(int, language);
    WindowFixture f;
    ScopedUiLanguage scope(static_cast<UiLanguage>(language));
    PtyDevice pty;
    f.settings.AutoReconnect = 1;
    CMainWindow& window = OpenOnPty(f, pty);
    CMainEngine& engine = window.Engine();
    const char* names[] = {"ENQ", "Header", "Result frame", "EOT"};
    const char* texts[] = {"<ENQ>", "<STX>1H|\\^&<CR><ETX>", "<STX>2R|1|^^^GLU|5.2<CR><ETX>",
                           "<EOT>"};
    for (int i = 0; i < 4; ++i)
        QVERIFY(engine.SetQuickSend(i, QuickSend{names[i], texts[i]}));
    engine.SetQuickSendsShown(true);
    QTRY_VERIFY(f.Control("ModemLines")->isVisible());
    f.Control<QPushButton>("QuickSend1")->click();
    QVERIFY(pty.Feed("\x06"));
    QTRY_VERIFY(engine.Exchange().RecordCount() >= 2);
    QTest::qWait(50);
    const QImage open = window.grab().toImage();
    pty.CloseMaster();
    QTRY_COMPARE_WITH_TIMEOUT(f.Control<QLabel>("StatusPane0")->text(), AttemptText(f.settings, 1),
                              5000);
    const QImage reconnecting = window.grab().toImage();

    QImage both(open.width(), open.height() + reconnecting.height() + 8, QImage::Format_RGB32);
    both.fill(Qt::darkGray);
    QPainter painter(&both);
    painter.drawImage(0, 0, open);
    painter.drawImage(0, open.height() + 8, reconnecting);
    painter.end();
    QVERIFY(QDir().mkpath(QELVOR_SCREENSHOT_DIR));
    QVERIFY(both.save(QStringLiteral(QELVOR_SCREENSHOT_DIR "/send-%1.png").arg(scope.Suffix())));
}

QTEST_MAIN(QuickSendWindowTest)
#include "quick_send_window_test.moc"
