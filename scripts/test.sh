#!/usr/bin/env bash
# Configures, builds and runs the whole test suite.
#   scripts/test.sh                     ordinary build in build/
#   scripts/test.sh address,undefined   sanitizer build in build-asan/
#   scripts/test.sh thread              sanitizer build in build-tsan/
set -euo pipefail
cd "$(dirname "$0")/.."

sanitize="${1:-}"
case "$sanitize" in
    "") dir=build ;;
    thread) dir=build-tsan ;;
    *) dir=build-asan ;;
esac
jobs=$(nproc)

cmake -S . -B "$dir" -DQELVOR_SANITIZE="$sanitize" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j "$jobs"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
ctest --test-dir "$dir" --output-on-failure -j "$jobs"
