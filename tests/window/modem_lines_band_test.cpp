// The modem-lines band on a pty, and the window reopening a vanished device.
#include "support/pty_pair.h"
#include "support/window_fixture.h"

class ModemLinesBandTest : public QObject {
    Q_OBJECT
  private slots:
    void onAPtyAndReconnectInPaneZero_data() { AddLanguageRows(); }
    // A pty has no modem lines (the engine's tests count their changes); the band and four quick
    // sends, above the window reopening the device, are rendered to send-<language>.png.
    void onAPtyAndReconnectInPaneZero() {
        WindowFixture f;
        ScopedUiLanguage scope(RowLanguage());
        testing_support::PtyDevice pty;
        std::tie(f.settings.AutoReconnect, f.settings.WorkMode, f.settings.ComPort,
                 f.settings.ComName) = std::make_tuple(1, kWorkModeSerial, 0, pty.path);
        CMainWindow& window = f.Window();
        CMainEngine& engine = window.Engine();
        QVERIFY(engine.SetQuickSend(0, {"ENQ", "<ENQ>"}) &&
                engine.SetQuickSend(1, {"Header", "<STX>1H|\\^&<CR><ETX>"}) &&
                engine.SetQuickSend(2, {"Result frame", "<STX>2R|1|^^^GLU|5.2<CR><ETX>"}) &&
                engine.SetQuickSend(3, {"EOT", "<EOT>"}));
        engine.SetQuickSendsShown(true);
        QWidget* band = f.Control("ModemLines");
        QTRY_VERIFY(band->isVisible() && f.Control("LinesNote")->isVisible());
        for (const char* name : {"LineDtr", "LineRts", "LineBreak", "LineCts", "LineRi"})
            QVERIFY2(!f.Control(name)->isEnabled(), name);
        f.Control<QPushButton>("QuickSend1")->click();
        QVERIFY(pty.Feed("\x06"));
        // The list shows them, not only the store holds them.
        QTRY_COMPARE(f.Control<CTrafficListView>("TrafficList")->Model()->rowCount(), 2);
        const QImage open = window.grab().toImage();

        pty.CloseMaster();
        const QString attempt = QString::fromStdString(
            StrPrintf(LoadStr(kStrReconnecting), f.settings.DescribePort().c_str(), 1));
        QTRY_COMPARE_WITH_TIMEOUT(f.Control<QLabel>("StatusPane0")->text(), attempt, 5000);
        QVERIFY(!band->isVisible() && !f.Control("QuickSend1")->isEnabled());
        const QImage reconnecting = window.grab().toImage();
        QImage both(open.width(), open.height() + reconnecting.height() + 8, QImage::Format_RGB32);
        both.fill(Qt::darkGray);
        QPainter(&both).drawImage(0, 0, open);
        QPainter(&both).drawImage(0, open.height() + 8, reconnecting);
        QVERIFY(SaveScreenshot(both, "send-" + scope.Suffix()));
    }
};
QELVOR_WINDOW_TEST(ModemLinesBandTest);
#include "modem_lines_band_test.moc"
