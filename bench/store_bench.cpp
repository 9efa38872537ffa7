// The traffic store on disk against the store held in memory, in one run:
// the rate at which a flood of 100-byte frames is split and recorded with a
// write of the capture file at every 64 KiB block (a poll tick) and without
// one; then a capture of QELVOR_STORE_RECORDS records (default 100,000,000,
// 10 GB) built on disk: anonymous resident memory before and after, disk
// use a record, the slowest of 1,000 random reads (the detail view's), a
// find to a match 1,000,000 rows away, and a regular-expression filter over
// every record, in MB of record data a second.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "config/com_setting.h"
#include "data/display_format.h"
#include "traffic/msg_exchange.h"
#include "traffic/record_filter.h"

namespace {

using Clock = std::chrono::steady_clock;
using qelvor::CMsgExchange;

constexpr size_t kFloodBytes = 256u << 20;
constexpr size_t kBlock = 64 * 1024;

std::string TempFolder() {
    char pattern[] = "/var/tmp/qelvor_store_bench_XXXXXX";
    return mkdtemp(pattern) != nullptr ? std::string(pattern) + "/" : "/var/tmp/";
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The flood through the splitter into the store, a write at every block.
double FloodMBps(bool onDisk) {
    static const std::string stream = bench::FramesOf(kFloodBytes);
    qelvor::CComSetting settings;
    settings.SplitStrs = "<CR><LF>";
    settings.AutoSaveLog = 0;
    const std::string folder = TempFolder();
    double mbps = 0;
    {
        CMsgExchange exchange(settings);
        exchange.InitExchange(nullptr, nullptr, nullptr);
        if (onDisk) exchange.Store().StartSession(folder, false);
        const auto start = Clock::now();
        for (size_t at = 0; at < stream.size(); at += kBlock) {
            exchange.OnReceive(stream.data() + at, static_cast<int>(kBlock));
            exchange.FlushStore();
        }
        mbps = static_cast<double>(stream.size()) / 1e6 / Seconds(start);
    }
    std::filesystem::remove_all(folder);
    return mbps;
}

void BM_StoreFloodDiskAgainstMemory(benchmark::State& state) {
    for (auto _ : state) {
        const double memory = FloodMBps(false);
        const double disk = FloodMBps(true);
        state.counters["memory_MBps"] = memory;
        state.counters["disk_MBps"] = disk;
        state.counters["disk_to_memory"] = disk / memory;
    }
}
BENCHMARK(BM_StoreFloodDiskAgainstMemory)->Iterations(3)->Unit(benchmark::kSecond);

size_t CaptureRecords() {
    const char* set = std::getenv("QELVOR_STORE_RECORDS");
    const long long n = set != nullptr ? std::atoll(set) : 0;
    return n > 0 ? static_cast<size_t>(n) : 100000000;
}

// Record n: an ASTM-like result line of 100 bytes; the one at target alone
// holds "NEEDLE".
std::string Frame(size_t n, size_t target) {
    char text[128];
    std::snprintf(text, sizeof text, "\x02%zuR|%zu|^^^GLU^Glucose|%zu|mg/dL|%s|N||F|", n % 8, n,
                  n % 997, n == target ? "NEEDLE" : "70-110");
    std::string frame(text);
    frame.resize(bench::kFrameSize - 4, 'x');
    return frame + "\r\x03\r\n";
}

void BM_StoreHundredMillionRecords(benchmark::State& state) {
    const size_t count = CaptureRecords();
    const size_t target = std::min(count - 1, size_t{1000000} + count / 2);
    for (auto _ : state) {
        qelvor::CComSetting settings;
        const std::string folder = TempFolder();
        {
            CMsgExchange exchange(settings);
            exchange.InitExchange(nullptr, nullptr, nullptr);
            exchange.Store().StartSession(folder, false);
            const double anonBefore = bench::StatusMiB(getpid(), "RssAnon");
            const qelvor::SystemTime time{2026, 12, 1, 7, 12, 0, 0, 0};
            auto start = Clock::now();
            for (size_t n = 0; n < count; ++n) {
                exchange.AppendRecord(qelvor::CMsgRecord('R', Frame(n, target), time));
                if (n % 1000 == 999) exchange.FlushStore();
            }
            exchange.FlushStore();
            state.counters["append_MBps"] =
                1e-6 * static_cast<double>(bench::kFrameSize * count) / Seconds(start);
            state.counters["rss_anon_before_MiB"] = anonBefore;
            state.counters["rss_anon_after_MiB"] = bench::StatusMiB(getpid(), "RssAnon");
            const std::string path = exchange.Records().SessionPath();
            const double disk = static_cast<double>(
                std::filesystem::file_size(path) +
                std::filesystem::file_size(qelvor::CSessionFile::IndexPathOf(path)));
            state.counters["disk_bytes_over_data"] =
                disk / static_cast<double>(count) - static_cast<double>(bench::kFrameSize);

            std::mt19937_64 random(7);
            double slowest = 0;
            for (int i = 0; i < 1000; ++i) {
                start = Clock::now();
                benchmark::DoNotOptimize(exchange.Record(random() % count).Data().size());
                slowest = std::max(slowest, Seconds(start));
            }
            state.counters["random_read_max_ms"] = slowest * 1e3;

            const qelvor::CRecordMatcher::Rows rows{exchange.Records(), nullptr};
            const auto needle = qelvor::CRecordMatcher::Create(qelvor::MatchMode::kText, "NEEDLE",
                                                               qelvor::kStyleFmt, nullptr);
            start = Clock::now();
            const size_t found = needle->FindNext(rows, target - std::min(target, size_t{1000000}));
            state.counters["find_1M_rows_s"] = Seconds(start);
            if (found != target) state.SkipWithError("find did not reach the match");

            qelvor::CRecordFilter filter(exchange);
            filter.Reset({.onlyMatching = true},
                         qelvor::CRecordMatcher::Create(qelvor::MatchMode::kRegex,
                                                        "R\\|\\d*77\\|\\^\\^\\^GLU.*\\|99[0-6]\\|",
                                                        qelvor::kStyleFmt, nullptr));
            start = Clock::now();
            while (!filter.Step(Clock::now() + std::chrono::milliseconds(10))) {
            }
            state.counters["filter_MBps"] =
                1e-6 * static_cast<double>(bench::kFrameSize * count) / Seconds(start);
            state.counters["filter_matches"] = static_cast<double>(filter.MatchCount());
        }
        std::filesystem::remove_all(folder);
    }
}
BENCHMARK(BM_StoreHundredMillionRecords)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
