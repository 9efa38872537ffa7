// Frame splitting throughput over 64 KiB blocks of 100-byte frames, with the
// default split list. SplitEtxOnly ends every frame in ETX, so the
// first-listed CR LF never occurs: splitting must stay linear in the block
// whatever the priority order.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "config/com_setting.h"
#include "traffic/msg_exchange.h"

namespace {

constexpr size_t kBlockSize = 65536;
constexpr size_t kFrameSize = 100;

std::string BlockOfFrames(const std::string& ending) {
    std::string block;
    block.reserve(kBlockSize);
    while (block.size() < kBlockSize) {
        std::string frame(kFrameSize - ending.size(), 'A');
        for (size_t i = 0; i < frame.size(); ++i)
            frame[i] = static_cast<char>('A' + i % 26);
        block += frame + ending;
    }
    block.resize(kBlockSize);
    return block;
}

void RunSplit(benchmark::State& state, const std::string& ending) {
    char pattern[] = "/tmp/qelvor_traffic_bench_XXXXXX";
    const std::string folder = mkdtemp(pattern) != nullptr ? pattern : "/tmp";
    qelvor::CComSetting settings = qelvor::CComSetting::Loaded(folder + "/bench.ini");
    settings.SplitStrs = "<CR><LF>,<ENQ>,<ACK>,<NAK>,<ETX>,<ETB>,<EOT><SOH>,<EOT>";
    settings.RespondStrs = "<ACK>,<ACK>,[DATA],[RDATA],<ACK>,<ACK>,<ACK>";
    settings.HandShake = 0;
    settings.WorkMode = qelvor::kWorkModeSerial;
    settings.ExeDir = folder + "/";
    qelvor::CMsgExchange exchange(settings);
    exchange.InitExchange(nullptr, nullptr, nullptr);
    const std::string block = BlockOfFrames(ending);
    size_t records = 0;
    for (auto _ : state) {
        exchange.SplitReceived(block, settings.WorkMode);
        records += exchange.RecordCount();
        // Keeps memory bounded over the run.
        exchange.ClearAll();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlockSize));
    state.counters["records/s"] =
        benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

void BM_SplitCrLf(benchmark::State& state) {
    RunSplit(state, "\r\n");
}
void BM_SplitEtxOnly(benchmark::State& state) {
    RunSplit(state, "\x03");
}

}  // namespace

BENCHMARK(BM_SplitCrLf);
BENCHMARK(BM_SplitEtxOnly);
