// The engine's real poll loop on a loopback TCP connection, driven on 1 ms
// absolute deadlines as qelvor-cli drives it: how many megabytes a second it
// records from a peer that sends as fast as it can (the design's ceiling is
// one 64 KiB block a tick, 65.5 MB/s), and how long a peer waits for the ACK
// of an ENQ.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_support.h"

#include "config/com_setting.h"
#include "mainwnd/main_engine.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kStreamBytes = 64u * 1024 * 1024;
using bench::FramesOf;
using bench::kFrameSize;
using bench::ListenOnLoopback;
using bench::PortOf;
constexpr int kRoundTrips = 2000;
constexpr double kCeilingMBps = 65.536;

// One engine connected as a TCP client to a listener of the benchmark.
struct Rig {
    explicit Rig(bool handShake)
        : folder(MakeFolder()), settings(qelvor::CComSetting::Loaded(folder + "/bench.ini")) {
        listenFd = ListenOnLoopback();
        settings.WorkMode = qelvor::kWorkModeTcpClient;
        settings.SvrIPAddr = "127.0.0.1";
        settings.IPPort = PortOf(listenFd);
        settings.HandShake = handShake ? 1 : 0;
        settings.AutoSaveLog = 0;
        settings.SplitStrs = "<CR><LF>,<ENQ>,<ACK>,<NAK>,<ETX>,<ETB>,<EOT><SOH>,<EOT>";
        settings.RespondStrs = "<ACK>,<ACK>,[DATA],[RDATA],<ACK>,<ACK>,<ACK>";
        engine = std::make_unique<qelvor::CMainEngine>(settings, view);
        engine->InitExchange();
        engine->OnOpenPort();
        peerFd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        const int on = 1;
        setsockopt(peerFd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    ~Rig() {
        engine.reset();
        close(peerFd);
        close(listenFd);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    static std::string MakeFolder() {
        char pattern[] = "/tmp/qelvor_engine_bench_XXXXXX";
        return mkdtemp(pattern) != nullptr ? pattern : "/tmp";
    }
    // Bytes of the 'R' records taken out of the store since the last call.
    size_t TakeReceivedBytes() {
        size_t bytes = 0;
        for (const qelvor::CMsgRecord& record : engine->Exchange().Records()) {
            if (record.Type() == 'R') bytes += record.Data().size();
        }
        engine->OnClearAllData();
        return bytes;
    }
    // Polls on 1 ms absolute deadlines until done() holds or limit passed.
    template <typename Done>
    void PollLoop(Done done, std::chrono::seconds limit, size_t& received) {
        const Clock::time_point end = Clock::now() + limit;
        Clock::time_point deadline = Clock::now();
        while (!done() && Clock::now() < end) {
            deadline += std::chrono::milliseconds(1);
            std::this_thread::sleep_until(deadline);
            engine->OnTimer(qelvor::kTimerPoll);
            received += TakeReceivedBytes();
        }
    }

    std::string folder;
    qelvor::CComSetting settings;
    qelvor::CSilentView view;
    std::unique_ptr<qelvor::CMainEngine> engine;
    int listenFd = -1;
    int peerFd = -1;
};

void BM_EngineRecordsAStreamOfFrames(benchmark::State& state) {
    const std::string stream = FramesOf(kStreamBytes);
    for (auto _ : state) {
        Rig rig(false);
        std::atomic<bool> sent{false};
        std::thread peer([&] {
            size_t done = 0;
            while (done < stream.size()) {
                const ssize_t n =
                    send(rig.peerFd, stream.data() + done, stream.size() - done, MSG_NOSIGNAL);
                if (n <= 0) break;
                done += static_cast<size_t>(n);
            }
            sent = true;
        });
        size_t received = 0;
        const Clock::time_point start = Clock::now();
        rig.PollLoop(
            [&] { return received + rig.engine->Exchange().Pending().size() >= stream.size(); },
            std::chrono::seconds(60), received);
        // The last frame is cut short; closing records what is pending.
        rig.engine->OnClosePort();
        received += rig.TakeReceivedBytes();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        peer.join();
        state.SetIterationTime(seconds);
        const double mbps = static_cast<double>(received) / 1e6 / seconds;
        state.counters["MB_per_s"] = mbps;
        state.counters["ceiling_pct"] = 100.0 * mbps / kCeilingMBps;
        state.counters["recorded_bytes"] = static_cast<double>(received);
        if (received != stream.size()) state.SkipWithError("the 'R' records lost bytes");
    }
}
BENCHMARK(BM_EngineRecordsAStreamOfFrames)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_EngineAnswersEnqRoundTrips(benchmark::State& state) {
    for (auto _ : state) {
        Rig rig(true);
        std::vector<double> micros;
        micros.reserve(kRoundTrips);
        std::atomic<bool> finished{false};
        std::thread peer([&] {
            std::mt19937 random(12345);
            std::uniform_int_distribution<int> pause(0, 999);
            for (int i = 0; i < kRoundTrips; ++i) {
                std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
                const Clock::time_point sentAt = Clock::now();
                char answer = 0;
                if (send(rig.peerFd, "\x05", 1, MSG_NOSIGNAL) != 1) break;
                if (recv(rig.peerFd, &answer, 1, 0) != 1 || answer != 0x06) break;
                micros.push_back(
                    std::chrono::duration<double, std::micro>(Clock::now() - sentAt).count());
            }
            finished = true;
        });
        size_t received = 0;
        const Clock::time_point start = Clock::now();
        rig.PollLoop([&] { return finished.load(); }, std::chrono::seconds(60), received);
        peer.join();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (micros.size() != static_cast<size_t>(kRoundTrips)) {
            state.SkipWithError("a round trip went unanswered");
            continue;
        }
        std::sort(micros.begin(), micros.end());
        state.counters["p50_ms"] = micros[micros.size() / 2] / 1000.0;
        state.counters["p99_ms"] = micros[micros.size() * 99 / 100] / 1000.0;
        state.counters["max_ms"] = micros.back() / 1000.0;
    }
}
BENCHMARK(BM_EngineAnswersEnqRoundTrips)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
