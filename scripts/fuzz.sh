#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of
# seconds (default 10), starting from its seed inputs.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-10}"
command -v clang++ >/dev/null || { echo "fuzz: clang++ not found, skipped"; exit 0; }

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DQELVOR_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)"
for target in build-fuzz/fuzz/fuzz_*; do
    name=$(basename "$target"); name=${name#fuzz_}
    work=$(mktemp -d)
    cp -r fuzz/corpus/"$name"/. "$work"/ 2>/dev/null || true
    echo "fuzz: $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "$work" 2>&1 | tail -n 3
    rm -rf "$work"
done
