#!/usr/bin/env bash
# Builds Qelvor and starts its window with the example settings: a TCP server
# on port 9000 answering with the default split and response lists. Without a
# display it starts qelvor-cli with the same settings instead; Ctrl+C ends it.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target qelvor qelvor-cli
example="$PWD/examples/tcp-server.ini"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "run-example: no display, starting qelvor-cli with the same settings" >&2
    exec build/src/app/cli/qelvor-cli --ini "$example" "$@"
fi
# The window reads the settings file beside the program; the example becomes
# it the first time, and the user's changes are kept after that.
settings=build/src/app/qelvor.ini
[ -e "$settings" ] || cp "$example" "$settings"
exec build/src/app/qelvor "$@"
