// Renders the main window after a short session (sent, received and
// information records, a loaded data list) to screenshots/main-window-en.png
// and main-window-zh.png in the build folder, for a look by eye at cut
// labels and empty panes in both languages.
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QTableView>
#include <fstream>

#include "i18n/window/scoped_ui_language.h"
#include "mainwnd/window/window_fixture.h"

using namespace qelvor;
using namespace qelvor::test;

class WindowScreenshot : public QObject {
    Q_OBJECT

  private slots:
    void mainWindowAfterASession_data();
    void mainWindowAfterASession();
};

void WindowScreenshot::mainWindowAfterASession_data() {
    QTest::addColumn<int>("language");
    QTest::newRow("en") << int(UiLanguage::English);
    QTest::newRow("zh") << int(UiLanguage::Chinese);
}

void WindowScreenshot::mainWindowAfterASession() {
    QFETCH(int, language);
    WindowFixture f;
    ScopedUiLanguage scope(static_cast<UiLanguage>(language));
    f.settings.HandShake = 1;
    f.settings.UsedResponseFile = 1;
    CMainWindow& window = f.Window();
    QVERIFY(f.peer.Valid());
    const QString data = f.dir.filePath("astm.txt");
    std::ofstream(data.toStdString(), std::ios::binary)
        << "<STX>1H|\\^&|||Analyser<CR><ETX>\r\n<STX>2P|1<CR><ETX>\r\n<STX>3O|1|S42<CR><ETX>\r\n"
           "<STX>4L|1|N<CR><ETX>\r\n<EOT>\r\n";
    window.LoadDataFile(data);
    QVERIFY(f.peer.Send("\x05"));
    QCOMPARE(f.Received(1), std::string("\x06"));
    QVERIFY(
        f.peer.Send("\x02"
                    "1H|\\^&|||Host\r\x03"
                    "A7\r\n"));
    QCOMPARE(f.Received(1), std::string("\x06"));
    auto* box = f.Control<QLineEdit>("SendBox");
    QTest::keyClicks(box, "<STX>hello<ETX>");
    QTest::keyClick(box, Qt::Key_Return);
    auto* rows = f.Control<QTableView>("TrafficList")->model();
    QTRY_VERIFY(rows->rowCount() >= 7);
    QTest::mouseDClick(f.Control<QLabel>("StatusPane3"), Qt::LeftButton);
    QTest::qWait(50);

    QVERIFY(QDir().mkpath(QELVOR_SCREENSHOT_DIR));
    const QString path =
        QStringLiteral(QELVOR_SCREENSHOT_DIR "/main-window-%1.png").arg(scope.Suffix());
    const QImage image = window.grab().toImage();
    QCOMPARE(image.size(), window.size());
    QVERIFY(image.save(path));
    QVERIFY(QImage(path).size() == window.size());
}

QTEST_MAIN(WindowScreenshot)
#include "window_screenshot.moc"
