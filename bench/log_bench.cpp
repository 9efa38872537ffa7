// The continuous log under a burst: how long the user-interface thread spends
// handing each record over, and how fast the lines reach the file.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "config/com_setting.h"
#include "log/log_writer.h"
#include "traffic/msg_record.h"

namespace {

constexpr int kBurst = 100000;

std::vector<qelvor::CMsgRecord> BurstRecords() {
    std::vector<qelvor::CMsgRecord> records;
    records.reserve(kBurst);
    qelvor::SystemTime t = qelvor::SystemTime::Now();
    for (int i = 0; i < kBurst; ++i) {
        // A typical instrument frame: STX, a few fields, ETX, checksum, CR LF.
        std::string frame =
            "\x02"
            "1H|\\^&|||host^" +
            std::to_string(i) +
            "|||||P|1\x03"
            "A5\r\n";
        records.emplace_back(i % 2 == 0 ? 'R' : 'S', std::move(frame), t);
    }
    return records;
}

off_t FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

void BM_LogBurst(benchmark::State& state) {
    char folder[] = "/tmp/qelvor_log_bench_XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string path = std::string(folder) + "/Qelvor.log";
    const std::vector<qelvor::CMsgRecord> records = BurstRecords();
    off_t expected = 0;
    for (const auto& record : records) {
        expected += static_cast<off_t>(qelvor::CLogWriter::FormatLine(record).size() + 2);
    }
    qelvor::CComSetting settings;
    double callerSeconds = 0;
    double fileSeconds = 0;
    for (auto _ : state) {
        ::unlink(path.c_str());
        qelvor::CLogWriter writer;
        writer.Start(path, settings);
        writer.SetArchiverPath("");
        auto start = std::chrono::steady_clock::now();
        for (const auto& record : records)
            writer.LogRecord(record);
        auto handedOver = std::chrono::steady_clock::now();
        while (FileSize(path) < expected)
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        auto written = std::chrono::steady_clock::now();
        callerSeconds += std::chrono::duration<double>(handedOver - start).count();
        fileSeconds += std::chrono::duration<double>(written - start).count();
    }
    const double lines = static_cast<double>(state.iterations()) * kBurst;
    state.counters["caller_ns_per_record"] = callerSeconds * 1e9 / lines;
    state.counters["lines_per_second"] = lines / fileSeconds;
    ::unlink(path.c_str());
    ::rmdir(folder);
}

}  // namespace

BENCHMARK(BM_LogBurst)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
