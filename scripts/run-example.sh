#!/usr/bin/env bash
# Builds qelvor-cli and starts it with the example settings: a TCP server on
# port 9000 answering with the default split and response lists. Ctrl+C ends it.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target qelvor-cli
exec "$(find build -type f -name qelvor-cli -perm -u+x | head -n 1)" --ini "$PWD/examples/tcp-server.ini" "$@"
