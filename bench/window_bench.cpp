// The Qt window under load, shown on the offscreen platform: how many
// megabytes a second it records from a loopback peer that floods 100-byte
// CR LF frames (beside the engine alone, polled the same way, in the same
// run), whether that rate holds as the list grows, how late a 10 ms probe
// timer fires meanwhile, how much memory a million shown records take, and
// how long scrolling to the end of a million rows and painting one screen
// takes; the traffic list alone over a model of a hundred million rows
// (scroll to the end and paint; rows appended in batches up to 50 million);
// and a device's pace of 5 MB/s for 10 min (QELVOR_FLOOD_SECONDS shortens
// it): peak memory and records lost.
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractTableModel>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_support.h"

#include "config/com_setting.h"
#include "log/log_writer.h"
#include "window/data_detail_dlg.h"
#include "window/main_window.h"
#include "window/traffic_list_view.h"
#include "window/traffic_table_model.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kStreamBytes = 64u * 1024 * 1024;
constexpr int kProbeMs = 10;
constexpr int kManyRecords = 1000000;

double ResidentMiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

bool SendAll(int fd, const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Settings of a TCP client to a listener of the benchmark, in a folder of
// its own.
struct Rig {
    Rig() : folder(MakeFolder()), settings(qelvor::CComSetting::Loaded(folder + "/b.ini")) {
        listenFd = bench::ListenOnLoopback();
        settings.WorkMode = qelvor::kWorkModeTcpClient;
        settings.SvrIPAddr = "127.0.0.1";
        settings.IPPort = bench::PortOf(listenFd);
        settings.HandShake = 0;
        settings.AutoSaveLog = 0;
        settings.SplitStrs = "<CR><LF>";
    }
    ~Rig() {
        if (peerFd >= 0) close(peerFd);
        close(listenFd);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    static std::string MakeFolder() {
        char pattern[] = "/tmp/qelvor_window_bench_XXXXXX";
        return mkdtemp(pattern) != nullptr ? pattern : "/tmp";
    }
    void AcceptPeer() {
        peerFd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        const int on = 1;
        setsockopt(peerFd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    std::thread Flood(const std::string& stream) const {
        return std::thread([this, &stream] { SendAll(peerFd, stream); });
    }

    std::string folder;
    qelvor::CComSetting settings;
    int listenFd = -1;
    int peerFd = -1;
};

// The bytes received so far: the 'R' records' data, counted once each as
// they arrive, and the pending bytes.
class ReceivedCounter {
  public:
    size_t Count(const qelvor::CMsgExchange& exchange) {
        for (; counted_ < exchange.RecordCount(); ++counted_) {
            const qelvor::CMsgRecord& record = exchange.Record(counted_);
            if (record.Type() == 'R') bytes_ += record.Data().size();
        }
        return bytes_ + exchange.Pending().size();
    }

  private:
    size_t counted_ = 0;
    size_t bytes_ = 0;
};

void Report(benchmark::State& state, size_t received, double seconds) {
    state.SetIterationTime(seconds);
    state.counters["MB_per_s"] = static_cast<double>(received) / 1e6 / seconds;
    if (received != kStreamBytes) state.SkipWithError("the 'R' records lost bytes");
}

// First, so that the memory figure is not hidden by pages freed earlier.
void BM_WindowScrollsToTheEndOfAMillionRows(benchmark::State& state) {
    for (auto _ : state) {
        Rig rig;
        const double before = ResidentMiB();
        qelvor::CMainWindow window(rig.settings);
        window.show();
        window.Engine().InitExchange();
        for (int i = 0; i < kManyRecords; ++i)
            window.Engine().Exchange().AddRecord('R', bench::FramesOf(bench::kFrameSize));
        auto* view = window.findChild<qelvor::CTrafficListView*>(QStringLiteral("TrafficList"));
        while (view->Model()->rowCount() < kManyRecords)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        view->ScrollToTop();
        view->viewport()->repaint();
        const Clock::time_point start = Clock::now();
        view->ScrollToBottom();
        view->viewport()->repaint();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        state.counters["rss_growth_MiB"] = ResidentMiB() - before;
        state.counters["rows"] = view->Model()->rowCount();
    }
}
BENCHMARK(BM_WindowScrollsToTheEndOfAMillionRows)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// A model of the traffic list's shape whose rows are made up from their
// number, so that the list can be measured at any row count without a store.
class NumberedRows : public QAbstractTableModel {
  public:
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : rows;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 3;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::ForegroundRole)
            return QColor(index.row() % 2 != 0 ? Qt::darkGreen : Qt::blue);
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
        if (role != Qt::DisplayRole) return {};
        const int row = index.row();
        if (index.column() == 0) return QStringLiteral("R");
        if (index.column() == 1)
            return QString::asprintf("%02d:%02d:%02d.%03d", row / 3600000 % 24, row / 60000 % 60,
                                     row / 1000 % 60, row % 1000);
        return QStringLiteral("%1 ").arg(row, 9, 10, QLatin1Char('0')) +
               QString(88, QLatin1Char('x'));
    }
    void Append(int count) {
        beginInsertRows({}, rows, rows + count - 1);
        rows += count;
        endInsertRows();
    }
    int rows = 0;
};

// The traffic list as the window places it, over the made-up rows.
struct ListRig {
    ListRig() {
        view.SetModel(&model);
        const int widths[] = {20, 90, 500};
        for (int column = 0; column < 3; ++column)
            view.Header()->resizeSection(column, widths[column]);
        view.resize(313, 380);
        view.show();
        QCoreApplication::processEvents();
    }
    NumberedRows model;
    qelvor::CTrafficListView view;
};

double Seconds(Clock::duration elapsed) {
    return std::chrono::duration<double>(elapsed).count();
}

void BM_ListScrollsToTheEndOf100MillionRows(benchmark::State& state) {
    ListRig rig;
    rig.model.Append(100000000);
    for (auto _ : state) {
        rig.view.ScrollToTop();
        rig.view.viewport()->repaint();
        const Clock::time_point start = Clock::now();
        rig.view.ScrollToBottom();
        rig.view.viewport()->repaint();
        state.SetIterationTime(Seconds(Clock::now() - start));
    }
    state.counters["rows"] = rig.model.rows;
    state.counters["top_row"] = rig.view.TopRow();
}
BENCHMARK(BM_ListScrollsToTheEndOf100MillionRows)
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

// Rows appended in batches of what a frame brings at 50 MB/s, the list
// following the newest and painted after each batch, up to 50 million: the
// rows a second over the first 5 million beside those over the last 5.
void BM_ListFollowsRowsGrowingTo50Million(benchmark::State& state) {
    constexpr int kBatch = 8000, kTotal = 50000000, kTenth = kTotal / 10;
    for (auto _ : state) {
        ListRig rig;
        const double before = ResidentMiB();
        Clock::duration first{}, last{};
        while (rig.model.rows < kTotal) {
            const Clock::time_point start = Clock::now();
            rig.model.Append(kBatch);
            rig.view.ScrollToBottom();
            rig.view.viewport()->repaint();
            const Clock::duration took = Clock::now() - start;
            if (rig.model.rows <= kTenth) first += took;
            if (rig.model.rows > kTotal - kTenth) last += took;
        }
        state.SetIterationTime(Seconds(first + last));
        state.counters["rows_per_s_first_5M"] = kTenth / Seconds(first);
        state.counters["rows_per_s_last_5M"] = kTenth / Seconds(last);
        state.counters["last_over_first"] = Seconds(first) / Seconds(last);
        state.counters["rss_growth_MiB"] = ResidentMiB() - before;
    }
}
BENCHMARK(BM_ListFollowsRowsGrowingTo50Million)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Lateness of a probe timer of kProbeMs while the event loop runs: the
// window's responsiveness, as a user would feel it.
class ProbeTimer {
  public:
    ProbeTimer() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            lateMs_.push_back(static_cast<double>(since_.nsecsElapsed()) / 1e6 - kProbeMs);
            since_.restart();
        });
    }
    void Start() {
        since_.start();
        timer_.start(kProbeMs);
    }
    void Report(benchmark::State& state) {
        timer_.stop();
        std::sort(lateMs_.begin(), lateMs_.end());
        if (lateMs_.empty()) return;
        state.counters["probe_late_p99_ms"] = lateMs_[lateMs_.size() * 99 / 100];
        state.counters["probe_late_max_ms"] = lateMs_.back();
    }

  private:
    QTimer timer_;
    QElapsedTimer since_;
    std::vector<double> lateMs_;
};

// A million 100-byte records, one in a hundred matching, filtered by a
// regular expression typed into the find bar with "only matching rows" on:
// the time until the filter has taken in the whole store, and how late the
// probe timer fires meanwhile.
void BM_WindowFiltersAMillionRecordsByRegex(benchmark::State& state) {
    for (auto _ : state) {
        Rig rig;
        qelvor::CMainWindow window(rig.settings);
        window.show();
        window.Engine().InitExchange();
        const std::string tail = bench::FramesOf(bench::kFrameSize).substr(8);
        char number[16];
        for (int i = 0; i < kManyRecords; ++i) {
            snprintf(number, sizeof number, "%07d:", i);
            window.Engine().Exchange().AddRecord('R', number + tail);
        }
        auto* view = window.findChild<qelvor::CTrafficListView*>(QStringLiteral("TrafficList"));
        auto* model = static_cast<qelvor::CTrafficTableModel*>(view->Model());
        while (model->rowCount() < kManyRecords)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        bool done = false;
        QObject::connect(model, &qelvor::CTrafficTableModel::filterProgress,
                         [&](double, bool caughtUp) { done = caughtUp; });
        window.findChild<QComboBox*>(QStringLiteral("FindMode"))->setCurrentIndex(1);
        window.findChild<QCheckBox*>(QStringLiteral("FilterMatching"))->setChecked(true);
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        done = false;
        ProbeTimer probe;
        probe.Start();
        const Clock::time_point start = Clock::now();
        window.findChild<QLineEdit*>(QStringLiteral("FindPattern"))
            ->setText(QStringLiteral("^[0-9]{5}42:"));
        while (!done && Clock::now() - start < std::chrono::seconds(60))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        probe.Report(state);
        state.counters["rows_shown"] = model->rowCount();
        if (model->rowCount() != kManyRecords / 100) state.SkipWithError("wrong rows shown");
    }
}
BENCHMARK(BM_WindowFiltersAMillionRecordsByRegex)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_EngineAloneRecordsAFlood(benchmark::State& state) {
    const std::string stream = bench::FramesOf(kStreamBytes);
    for (auto _ : state) {
        Rig rig;
        qelvor::CSilentView view;
        qelvor::CMainEngine engine(rig.settings, view);
        engine.Startup({});
        rig.AcceptPeer();
        std::thread peer = rig.Flood(stream);
        const Clock::time_point start = Clock::now();
        Clock::time_point deadline = start;
        size_t received = 0;
        ReceivedCounter counter;
        while (received < stream.size() && Clock::now() - start < std::chrono::seconds(120)) {
            deadline += std::chrono::milliseconds(1);
            std::this_thread::sleep_until(deadline);
            engine.OnTimer(qelvor::kTimerPoll);
            received = counter.Count(engine.Exchange());
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        peer.join();
        Report(state, received, seconds);
    }
}
BENCHMARK(BM_EngineAloneRecordsAFlood)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_WindowRecordsAFlood(benchmark::State& state) {
    const std::string stream = bench::FramesOf(kStreamBytes);
    for (auto _ : state) {
        Rig rig;
        qelvor::CMainWindow window(rig.settings);
        window.show();
        window.Start({}, nullptr);
        rig.AcceptPeer();
        ProbeTimer probe;
        std::thread peer = rig.Flood(stream);
        const Clock::time_point start = Clock::now();
        probe.Start();
        size_t received = 0;
        ReceivedCounter counter;
        while (received < stream.size() && Clock::now() - start < std::chrono::seconds(120)) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            received = counter.Count(window.Engine().Exchange());
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        probe.Report(state);
        peer.join();
        Report(state, received, seconds);
    }
}
BENCHMARK(BM_WindowRecordsAFlood)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// On the window that holds a huge capture: scrolling to its end and painting,
// opening the detail view of the middle record (the gap walks back by type),
// and a regular-expression filter over every record typed into the find bar,
// with its rate and the probe timer's lateness meanwhile.
void MeasureHugeCapture(benchmark::State& state, qelvor::CMainWindow& window, size_t bytes) {
    auto* view = window.findChild<qelvor::CTrafficListView*>(QStringLiteral("TrafficList"));
    auto* model = static_cast<qelvor::CTrafficTableModel*>(view->Model());
    view->ScrollToTop();
    view->viewport()->repaint();
    Clock::time_point start = Clock::now();
    view->ScrollToBottom();
    view->viewport()->repaint();
    state.counters["scroll_end_paint_ms"] = Seconds(Clock::now() - start) * 1e3;
    const qelvor::CMsgExchange& exchange = window.Engine().Exchange();
    start = Clock::now();
    {
        qelvor::CDataDetailDlg detail(
            qelvor::CDataDetail(exchange.Records(), exchange.RecordCount() / 2,
                                qelvor::GapScope::kSameType),
            window.Engine().Settings(), &window);
        detail.show();
        QCoreApplication::processEvents();
    }
    state.counters["detail_open_ms"] = Seconds(Clock::now() - start) * 1e3;
    bool done = false;
    QObject::connect(model, &qelvor::CTrafficTableModel::filterProgress,
                     [&](double, bool caughtUp) { done = caughtUp; });
    window.findChild<QComboBox*>(QStringLiteral("FindMode"))->setCurrentIndex(1);
    window.findChild<QLineEdit*>(QStringLiteral("FindPattern"))->setText(QStringLiteral("^QRS"));
    ProbeTimer probe;
    probe.Start();
    start = Clock::now();
    window.findChild<QCheckBox*>(QStringLiteral("FilterMatching"))->setChecked(true);
    while (!done && Clock::now() - start < std::chrono::seconds(1200))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    state.counters["filter_MBps"] =
        static_cast<double>(bytes) / 1e6 / Seconds(Clock::now() - start);
    probe.Report(state);
}

// The window following a flood of QELVOR_GROWTH_RECORDS 100-byte records
// (default 5 million): the rate over the first tenth of them beside the
// rate over the last tenth, in one run, so that a list that slows down as
// its rows pile up shows; and the anonymous memory it holds at the end.
// With the argument 1 the continuous log writes every record too.
void BM_WindowIntakeAsRecordsGrow(benchmark::State& state) {
    const char* set = std::getenv("QELVOR_GROWTH_RECORDS");
    const size_t records = set != nullptr && std::atol(set) > 0 ? size_t(std::atol(set)) : 5000000;
    const size_t tenth = records / 10 * bench::kFrameSize;
    const std::string block = bench::FramesOf(10000 * bench::kFrameSize);
    for (auto _ : state) {
        Rig rig;
        rig.settings.ScrollRSWnd = 1;
        rig.settings.AutoSaveLog = static_cast<int>(state.range(0));
        qelvor::CLogWriter log;
        log.Start(rig.folder + "/continuous.log", rig.settings);
        qelvor::CMainWindow window(rig.settings);
        window.show();
        window.Start({}, &log);
        rig.AcceptPeer();
        std::thread peer([&] {
            for (size_t sent = 0; sent < records * bench::kFrameSize; sent += block.size())
                if (!SendAll(rig.peerFd, block)) break;
        });
        const size_t total = records * bench::kFrameSize;
        const Clock::time_point start = Clock::now();
        Clock::time_point firstDone{}, lastStart{};
        ReceivedCounter counter;
        for (size_t received = 0;
             received < total && Clock::now() - start < std::chrono::seconds(1200);) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            received = counter.Count(window.Engine().Exchange());
            if (firstDone == Clock::time_point{} && received >= tenth) firstDone = Clock::now();
            if (lastStart == Clock::time_point{} && received >= total - tenth)
                lastStart = Clock::now();
        }
        const Clock::time_point end = Clock::now();
        peer.join();
        const double firstRate = static_cast<double>(tenth) / 1e6 / Seconds(firstDone - start);
        const double lastRate = static_cast<double>(tenth) / 1e6 / Seconds(end - lastStart);
        state.SetIterationTime(Seconds(end - start));
        state.counters["records"] = static_cast<double>(records);
        state.counters["MB_per_s_first_tenth"] = firstRate;
        state.counters["MB_per_s_last_tenth"] = lastRate;
        state.counters["last_over_first"] = lastRate / firstRate;
        state.counters["MB_per_s"] = static_cast<double>(total) / 1e6 / Seconds(end - start);
        state.counters["rss_anon_MiB"] = bench::StatusMiB(getpid(), "RssAnon");
        if (lastStart == Clock::time_point{}) state.SkipWithError("the flood did not arrive");
        if (state.range(0) == 0) MeasureHugeCapture(state, window, total);
    }
}
BENCHMARK(BM_WindowIntakeAsRecordsGrow)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_WindowUnderATcpFloodAt5MBps(benchmark::State& state) {
    const auto flood = bench::FloodTime(600);
    for (auto _ : state) {
        Rig rig;
        qelvor::CMainWindow window(rig.settings);
        window.show();
        window.Start({}, nullptr);
        rig.AcceptPeer();
        size_t sent = 0;
        std::atomic<bool> done{false};
        std::thread peer([&] {
            sent = bench::PacedFrames(rig.peerFd, 5e6, flood);
            done.store(true);
        });
        ProbeTimer probe;
        probe.Start();
        ReceivedCounter counter;
        size_t received = 0;
        // Once the peer is done, what is still on its way gets 5 s.
        Clock::time_point giveUp = Clock::time_point::max();
        while ((!done.load() || received < sent) && Clock::now() < giveUp) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            received = counter.Count(window.Engine().Exchange());
            if (done.load() && giveUp == Clock::time_point::max())
                giveUp = Clock::now() + std::chrono::seconds(5);
        }
        peer.join();
        probe.Report(state);
        state.counters["peak_rss_MiB"] = bench::PeakResidentMiB(getpid());
        state.counters["frames_sent"] = static_cast<double>(sent / bench::kFrameSize);
        state.counters["frames_lost"] =
            static_cast<double>((sent - std::min(sent, received)) / bench::kFrameSize);
    }
}
BENCHMARK(BM_WindowUnderATcpFloodAt5MBps)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

// The application lives in main, not in a static: destroyed after Qt's own
// statics at exit, it would crash the program once the figures are out.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
