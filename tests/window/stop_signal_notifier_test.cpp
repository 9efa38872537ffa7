// A stop signal ends the program with status 0, even with the configuration dialog open.
#include <signal.h>

#include "support/window_fixture.h"

// Whether the process blocks the stop signals and ignores SIGPIPE yet.
static bool BlocksStopSignals(qint64 pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::map<std::string, unsigned long long> masks;  // by "SigBlk:" and "SigIgn:"
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigBlk:", 0) == 0 || line.rfind("SigIgn:", 0) == 0)
            masks[line.substr(0, 7)] = std::stoull(line.substr(7), nullptr, 16);
    const auto bit = [](int signalNumber) { return 1ull << (signalNumber - 1); };
    const unsigned long long stop = bit(SIGINT) | bit(SIGTERM) | bit(SIGHUP);
    return (masks["SigBlk:"] & stop) == stop && (masks["SigIgn:"] & bit(SIGPIPE)) != 0;
}

class StopSignalNotifierTest : public QObject {
    Q_OBJECT
  private slots:
    void aStopSignalEndsTheProgramWithADialogOpen() {
        QTemporaryDir dir;
        const QString ini = dir.filePath("stop.ini");
        std::ofstream(ini.toStdString()) << "[ComSet]\r\nWorkMode=1\r\nIPPort=1\r\n";
        // One set blocks and reads the three, and any of them ends the program alike.
        QProcess program;  // killed at the end if still running
        program.start(QELVOR_PROGRAM, {"-n", ini});
        QVERIFY(program.waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return BlocksStopSignals(program.processId()); }, 10000));
        QTest::qWait(300);
        QCOMPARE(kill(pid_t(program.processId()), SIGHUP), 0);
        QVERIFY(program.waitForFinished(10000) && program.exitStatus() == QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }
};
QELVOR_WINDOW_TEST(StopSignalNotifierTest);
#include "stop_signal_notifier_test.moc"
