#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the tests, the benchmarks and
# the fuzz targets need, when any of them is missing. Safe to run again; works
# as root and, for another user, through sudo.
set -euo pipefail

packages=(
    build-essential cmake pkg-config git
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    libsimpleini-dev zlib1g-dev libminizip-dev libudev-dev liblua5.4-dev libre2-dev
    clang libclang-rt-14-dev
    qt6-base-dev qt6-tools-dev qt6-l10n-tools qt6-tools-dev-tools qt6-translations-l10n
    qt6-charts-dev libqt6opengl6-dev
    libgl-dev xvfb xauth fonts-wqy-microhei
    python3-pyatspi at-spi2-core dbus-daemon dbus-bin python3-hl7 python3-serial socat
    groff-base unzip
    dpkg-dev fakeroot desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "setup: missing packages (${missing[*]}) and neither root nor sudo" >&2
    exit 1
fi
echo "setup: installing ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
