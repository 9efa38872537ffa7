// Filtering a store of 1,000,000 received ASTM-like records of 100 bytes by a
// regular expression, a piece of text and a hex byte pattern, each a whole
// filter build of the store; and the longest single step of a build run in
// steps of 4 ms as the window's tick runs it. Matching reads each record in
// the Fmt style, the list's default, so every record is put in notation.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "config/com_setting.h"
#include "data/display_format.h"
#include "traffic/msg_exchange.h"
#include "traffic/record_filter.h"

namespace {

using qelvor::CRecordFilter;
using qelvor::MatchMode;
using Clock = std::chrono::steady_clock;

constexpr size_t kRecordCount = 1000000;
constexpr auto kStepBudget = std::chrono::milliseconds(4);

// STX, a frame number, a result record with a running sequence number, CR,
// ETX, two check characters, CR LF: exactly bench::kFrameSize bytes.
std::string Frame(size_t n) {
    char text[128];
    std::snprintf(text, sizeof text, "\x02%zuR|%zu|^^^GLU^Glucose|%zu|mg/dL|70-110|N||F|", n % 8, n,
                  n % 997);
    std::string frame(text);
    frame.resize(bench::kFrameSize - 6, 'x');
    return frame +
           "\r\x03"
           "5A\r\n";
}

// Made once for all the benchmarks of the run.
const qelvor::CMsgExchange& Store() {
    static const qelvor::CComSetting settings;
    static qelvor::CMsgExchange exchange(settings);
    if (exchange.RecordCount() == 0) {
        const qelvor::SystemTime time{2024, 5, 0, 7, 12, 0, 0, 0};
        for (size_t n = 0; n < kRecordCount; ++n)
            exchange.AppendRecord(qelvor::CMsgRecord('R', Frame(n), time));
    }
    return exchange;
}

void RunFilter(benchmark::State& state, MatchMode mode, const char* pattern) {
    const auto& store = Store();
    CRecordFilter filter(store);
    for (auto _ : state) {
        filter.Reset({.onlyMatching = true},
                     qelvor::CRecordMatcher::Create(mode, pattern, qelvor::kStyleFmt, nullptr));
        filter.Step(Clock::time_point::max());
        benchmark::DoNotOptimize(filter.Rows().data());
    }
    state.counters["matches"] = static_cast<double>(filter.MatchCount());
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kRecordCount));
}

void BM_FilterRegex(benchmark::State& state) {
    RunFilter(state, MatchMode::kRegex, "R\\|\\d*77\\|\\^\\^\\^GLU.*\\|99[0-6]\\|");
}
void BM_FilterText(benchmark::State& state) {
    RunFilter(state, MatchMode::kText, "^Glucose|996|");
}
void BM_FilterHex(benchmark::State& state) {
    RunFilter(state, MatchMode::kHex, "7C 39 39 36 7C ?? ?? 2F");
}

// The processor time of this thread: a step's own work, without the time
// the scheduler gave to other programs while it ran.
Clock::duration ThreadCpuTime() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

double Millis(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Runs builds in steps with a deadline of 4 ms and reports the longest step,
// by the wall clock and by this thread's processor time.
void BM_FilterLongestStep(benchmark::State& state) {
    const auto& store = Store();
    CRecordFilter filter(store);
    Clock::duration longest{};
    Clock::duration longestCpu{};
    size_t steps = 0;
    for (auto _ : state) {
        filter.Reset({.onlyMatching = true},
                     qelvor::CRecordMatcher::Create(MatchMode::kRegex, "\\|99[0-6]\\|",
                                                    qelvor::kStyleFmt, nullptr));
        for (bool done = false; !done; ++steps) {
            const auto start = Clock::now();
            const auto startCpu = ThreadCpuTime();
            done = filter.Step(start + kStepBudget);
            longestCpu = std::max(longestCpu, ThreadCpuTime() - startCpu);
            longest = std::max(longest, Clock::now() - start);
        }
    }
    state.counters["longest_step_ms"] = Millis(longest);
    state.counters["longest_step_cpu_ms"] = Millis(longestCpu);
    state.counters["steps"] = static_cast<double>(steps) / static_cast<double>(state.iterations());
}

}  // namespace

BENCHMARK(BM_FilterRegex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterHex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterLongestStep)->Unit(benchmark::kMillisecond);
