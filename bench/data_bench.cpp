// Speed of the notation and hexadecimal conversions on 64 KiB, against a
// plain copy of the same input.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "data/ctrl_char_notation.h"

namespace {

constexpr size_t kInputSize = 64 * 1024;

// Printable text with about one control byte in twenty, as a line protocol's
// traffic looks.
const std::string& Input() {
    static const std::string input = [] {
        std::mt19937 rng(12345);
        std::uniform_int_distribution<int> percent(0, 99);
        std::uniform_int_distribution<int> printable(0x20, 0x7E);
        std::uniform_int_distribution<int> control(0x00, 0x1F);
        std::string bytes(kInputSize, '\0');
        for (char& c : bytes) {
            int value = percent(rng) < 5 ? control(rng) : printable(rng);
            // The input holds no '<' so that its escaped form reads back to it.
            if (value == '<') value = '{';
            c = static_cast<char>(value);
        }
        return bytes;
    }();
    return input;
}

std::string HexText(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size() * 3);
    char pair[4];
    for (char c : bytes) {
        std::snprintf(pair, sizeof pair, "%02X ", static_cast<unsigned char>(c));
        text.append(pair, 3);
    }
    return text;
}

void BM_Memcpy64K(benchmark::State& state) {
    const std::string& input = Input();
    std::string output(input.size(), '\0');
    for (auto _ : state) {
        std::memcpy(output.data(), input.data(), input.size());
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}
BENCHMARK(BM_Memcpy64K);

void BM_Escape64K(benchmark::State& state) {
    const std::string& input = Input();
    for (auto _ : state) {
        std::string text = qelvor::EscapeCtrlChars(input);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}
BENCHMARK(BM_Escape64K);

void BM_Unescape64K(benchmark::State& state) {
    const std::string text = qelvor::EscapeCtrlChars(Input());
    if (qelvor::UnescapeCtrlChars(text) != Input()) {
        state.SkipWithError("escaped input does not read back");
        return;
    }
    for (auto _ : state) {
        std::string bytes = qelvor::UnescapeCtrlChars(text);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Unescape64K);

void BM_HexText64K(benchmark::State& state) {
    const std::string text = HexText(Input());
    if (qelvor::HexTextToBytes(text) != Input()) {
        state.SkipWithError("hexadecimal text does not read back");
        return;
    }
    for (auto _ : state) {
        std::string bytes = qelvor::HexTextToBytes(text);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_HexText64K);

}  // namespace
