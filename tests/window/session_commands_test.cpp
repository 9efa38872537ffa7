// The capture-file commands of the window: a file left by a crash offered at
// start (open it, delete it, later), the opened file's records in the list,
// and "Keep this session"; renderings of the question and of an opened file.
#include <deque>

#include "config/app_paths.h"
#include "support/window_fixture.h"
#include "traffic/session_file.h"
#include "window/session_commands.h"

// A capture file in the window's sessions folder whose writer ended without
// closing it, holding frames "frame 0".. "frame N-1".
static std::string LeftCapture(const CComSetting& settings, size_t frames) {
    const std::string folder = SessionsDir(settings.ExeDir);
    EnsureFolder(folder);
    CSessionFile file;
    if (!file.Create(folder + "left.qcap", 1765100000)) return {};
    std::deque<CMsgRecord> records;
    for (size_t i = 0; i < frames; ++i)
        records.emplace_back('R', "frame " + std::to_string(i) + "\r\n",
                             SystemTime{2025, 12, 0, 7, 9, 33, 20, static_cast<uint16_t>(i)});
    return file.Append(records, 0, records.size()) ? file.Path() : std::string();
}

class SessionCommandsTest : public QObject {
    Q_OBJECT
  private slots:
    void openLeftCapture_data() { AddLanguageRows(); }
    // The question names the date; "Open it" fills the list read-only.
    void openLeftCapture() {
        WindowFixture f;
        ScopedUiLanguage scope(RowLanguage());
        const std::string left = LeftCapture(f.settings, 40);
        QVERIFY(!left.empty());
        f.settings.WorkMode = kWorkModeUdp;  // no peer is waited for
        QString question;
        QVERIFY(Answered([&] { f.Window(false).Start(CStartupArgs{}, nullptr); },
                         [&](QWidget* box) {
                             question = Child<QLabel>(box, "qt_msgbox_label")->text();
                             QVERIFY(SaveScreenshot(box->grab().toImage(),
                                                    "left-session-" + scope.Suffix()));
                             Child<QPushButton>(box, "OpenLeftSession")->click();
                         }));
        QCOMPARE(question, CSessionCommands::LeftSessionQuestion({left, 1765100000, 0}));
        QVERIFY(
            question.contains(QDateTime::fromSecsSinceEpoch(1765100000).toString("yyyy-MM-dd")));
        CMainWindow& window = *f.window;
        QVERIFY(window.Engine().Exchange().Records().ReadOnly());
        QVERIFY(window.Engine().LeftSessions().empty());  // opened once, not offered again
        auto* rows = f.Control<CTrafficListView>("TrafficList")->Model();
        QTRY_COMPARE(rows->rowCount(), 40);
        QCOMPARE(rows->index(39, 2).data().toString(), QString("frame 39<CR><LF>"));
        QTest::qWait(50);
        QVERIFY(SaveScreenshot(window.grab().toImage(), "opened-session-" + scope.Suffix()));
    }

    // "Delete it" removes the file; "Later" keeps it for the next start.
    void deleteOrKeepForLater() {
        for (const char* button : {"", "DeleteLeftSession"}) {
            WindowFixture f;
            const std::string left = LeftCapture(f.settings, 3);
            f.settings.WorkMode = kWorkModeUdp;
            QVERIFY(Answered([&] { f.Window(false).Start(CStartupArgs{}, nullptr); },
                             [&](QWidget* box) {
                                 if (*button != '\0') Child<QPushButton>(box, button)->click();
                             }));
            QCOMPARE(QFile::exists(QString::fromStdString(left)), *button == '\0');
            QVERIFY(!f.window->Engine().Exchange().Records().ReadOnly());
        }
    }

    // The window program killed with SIGKILL mid-capture: its capture file
    // holds every frame it had taken in.
    void captureSurvivesAKill() {
        QTemporaryDir dir;
        // A hard link, as the program finds its folder through /proc/self/exe:
        // its settings folder, and so its capture files, are then dir's.
        const QString program = dir.filePath("qelvor");
        std::error_code error;
        std::filesystem::create_hard_link(QELVOR_PROGRAM, program.toStdString(), error);
        if (error) std::filesystem::copy_file(QELVOR_PROGRAM, program.toStdString());
        loopback::Peer listener = loopback::Peer::Bound(SOCK_STREAM);
        std::ofstream(dir.filePath("qelvor.ini").toStdString())
            << "[ComSet]\r\nWorkMode=1\r\nSvrIPAddr=127.0.0.1\r\nIPPort=" << listener.Port()
            << "\r\n";
        QProcess window;
        window.start(program, {});
        loopback::Peer peer = listener.Accept(10000);
        QVERIFY(peer.Valid());
        std::string frames;
        for (int i = 0; i < 500; ++i)
            frames += "frame " + std::to_string(i) + "\r\n";
        QVERIFY(peer.SendAll(frames));
        const auto frameCount = [&] {
            const QStringList captures = QDir(dir.filePath("sessions")).entryList({"*.qcap"});
            CSessionFile file;
            if (captures.size() != 1 ||
                !file.OpenForReading(dir.filePath("sessions/" + captures[0]).toStdString()))
                return size_t{0};
            size_t found = 0;
            for (size_t i = 0; i < file.Count(); ++i)
                if (file.Read(i).Data() == "frame " + std::to_string(found) + "\r\n") ++found;
            return found;
        };
        QVERIFY(QTest::qWaitFor([&] { return frameCount() == 500; }, 10000));
        window.kill();
        QVERIFY(window.waitForFinished(5000));
        QCOMPARE(frameCount(), size_t{500});
    }

    // The menu's check mark follows the engine's choice, and sets it.
    void keepThisSession() {
        WindowFixture f;
        f.settings.KeepSessions = 1;
        f.settings.WorkMode = kWorkModeUdp;
        CMainWindow& window = f.Window(false);
        window.Start(CStartupArgs{}, nullptr);
        QAction* keep = f.Action("KeepSession");
        emit window.WindowMenu()->aboutToShow();
        QVERIFY(keep->isChecked());
        keep->toggle();
        QVERIFY(!window.Engine().SessionKept());
    }
};
QELVOR_WINDOW_TEST(SessionCommandsTest);
#include "session_commands_test.moc"
