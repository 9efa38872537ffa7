// A pty flooded as fast as a writer can fill it, read side by side in one
// run by a plain reader (poll and read on the slave, nothing else) and by
// the serial port through the engine's real poll loop on 1 ms absolute
// deadlines, as qelvor-cli drives it. The goal is at least 0.6 of the plain
// reader's rate with every byte recorded.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>

#include "bench_support.h"

#include "config/com_setting.h"
#include "mainwnd/main_engine.h"
#include "mainwnd/main_view.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kStreamBytes = 64u * 1024 * 1024;
using bench::FramesOf;

// One pty pair; the writer fills the master with blocking writes.
struct Pty {
    Pty() {
        openpty(&master, &slave, nullptr, nullptr, nullptr);
        termios raw{};
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
        path = ttyname(slave);
    }
    ~Pty() {
        close(master);
        close(slave);
    }
    std::thread Feed(const std::string& stream) const {
        return std::thread([this, &stream] {
            for (size_t done = 0; done < stream.size();) {
                const ssize_t n = write(master, stream.data() + done, stream.size() - done);
                if (n <= 0) break;
                done += static_cast<size_t>(n);
            }
        });
    }
    int master = -1, slave = -1;
    std::string path;
};

// The plain reader: waits in poll and reads what the tty holds.
double PlainReaderMBps(const std::string& stream, size_t* received) {
    Pty pty;
    const Clock::time_point start = Clock::now();
    std::thread feeder = pty.Feed(stream);
    char buffer[65536];
    *received = 0;
    while (*received < stream.size()) {
        pollfd readable{pty.slave, POLLIN, 0};
        if (poll(&readable, 1, 5000) != 1) break;
        const ssize_t n = read(pty.slave, buffer, sizeof buffer);
        if (n <= 0) break;
        *received += static_cast<size_t>(n);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    feeder.join();
    return static_cast<double>(*received) / 1e6 / seconds;
}

// Bytes of the 'R' records taken out of the engine's store.
size_t TakeReceivedBytes(qelvor::CMainEngine& engine) {
    size_t bytes = 0;
    for (const qelvor::CMsgRecord& record : engine.Exchange().Records()) {
        if (record.Type() == 'R') bytes += record.Data().size();
    }
    engine.OnClearAllData();
    return bytes;
}

// The serial port, opened by the engine on the pty's slave and read by its
// poll timer on 1 ms absolute deadlines.
double EngineMBps(const std::string& stream, size_t* received) {
    char pattern[] = "/tmp/qelvor_serial_bench_XXXXXX";
    const std::string folder = mkdtemp(pattern) != nullptr ? pattern : "/tmp";
    Pty pty;
    qelvor::CComSetting settings = qelvor::CComSetting::Loaded(folder + "/bench.ini");
    settings.WorkMode = qelvor::kWorkModeSerial;
    settings.ComPort = 0;
    settings.ComName = pty.path;
    settings.BaudRate = 921600;
    settings.AutoSaveLog = 0;
    settings.SplitStrs = "<CR><LF>";
    qelvor::CSilentView view;
    auto engine = std::make_unique<qelvor::CMainEngine>(settings, view);
    engine->InitExchange();
    engine->OnOpenPort();
    const Clock::time_point start = Clock::now();
    std::thread feeder = pty.Feed(stream);
    *received = 0;
    const Clock::time_point end = start + std::chrono::seconds(120);
    for (Clock::time_point deadline = start;
         *received + engine->Exchange().Pending().size() < stream.size() && Clock::now() < end;) {
        deadline += std::chrono::milliseconds(1);
        std::this_thread::sleep_until(deadline);
        engine->OnTimer(qelvor::kTimerPoll);
        *received += TakeReceivedBytes(*engine);
    }
    // The last frame is cut short; closing records what is pending.
    engine->OnClosePort();
    *received += TakeReceivedBytes(*engine);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    feeder.join();
    engine.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return static_cast<double>(*received) / 1e6 / seconds;
}

void BM_SerialPtyFloodPlainReaderAndEngine(benchmark::State& state) {
    const std::string stream = FramesOf(kStreamBytes);
    for (auto _ : state) {
        size_t plainBytes = 0, engineBytes = 0;
        const double plain = PlainReaderMBps(stream, &plainBytes);
        const double engine = EngineMBps(stream, &engineBytes);
        state.SetIterationTime(static_cast<double>(kStreamBytes) / 1e6 / engine);
        state.counters["plain_MB_per_s"] = plain;
        state.counters["engine_MB_per_s"] = engine;
        state.counters["ratio"] = engine / plain;
        state.counters["recorded_bytes"] = static_cast<double>(engineBytes);
        if (plainBytes != stream.size()) state.SkipWithError("the plain reader lost bytes");
        if (engineBytes != stream.size()) state.SkipWithError("the 'R' records lost bytes");
    }
}
BENCHMARK(BM_SerialPtyFloodPlainReaderAndEngine)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
