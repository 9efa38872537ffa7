#!/usr/bin/env bash
# Builds the .deb with CPack from a build folder, unpacks it with dpkg-deb
# into a temporary folder and checks its files, its control data, the
# unpacked qelvor-cli and the desktop entry.
#   package_test.sh BUILD_DIR SOURCE_DIR [SKIP_REASON]
set -euo pipefail

build=$1
source=$2
if [ -n "${3:-}" ]; then
    echo "skipped: $3"
    exit 77
fi
for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate; do
    if ! command -v "$tool" >/dev/null; then
        echo "FAIL: $tool is missing (scripts/setup.sh installs it)"
        exit 1
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The package goes into the temporary folder, so that the build folder keeps
# no package and the check never sees an old one.
if ! (cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1); then
    cat "$work/cpack.log"
    echo "FAIL: cpack -G DEB"
    exit 1
fi
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: expected one .deb, got ${debs[*]}"; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb")"

dpkg-deb -x "$deb" "$work/root"
(cd "$work/root" && find . -type f -o -type l | sed 's|^\./|/|' | sort) >"$work/files"
cat "$work/files"

# Each an extended regular expression for one whole path.
expected=(
    /usr/bin/qelvor
    /usr/bin/qelvor-cli
    /usr/lib/qelvor/plugins/LuaPlugins\.so
    /usr/lib/qelvor/plugins/LuaProc\.lua
    /usr/share/applications/qelvor\.desktop
    /usr/share/icons/hicolor/scalable/apps/qelvor\.svg
    /usr/share/doc/qelvor/copyright
)
# The man pages and the completion.
for page in qelvor qelvor-cli; do
    [ -f "$source/man/$page.1" ] && expected+=("/usr/share/man/man1/$page\.1\.gz")
done
[ -f "$source/completion/qelvor-cli" ] && expected+=(/usr/share/bash-completion/completions/qelvor-cli)
for want in "${expected[@]}"; do
    grep -Eqx -- "$want" "$work/files" || fail "the package lacks $want"
done
# Nothing lands outside /usr, and no build-tree file slips in.
grep -v '^/usr/' "$work/files" && fail "files outside /usr"
grep -E '\.(a|o|cpp|h)$|CMake' "$work/files" && fail "build files in the package"
# A library beside the programs would be found by nobody.
grep -E '^/usr/bin/.*\.so' "$work/files" && fail "a library in /usr/bin"

# Control data: the dependencies come from dpkg-shlibdeps, so the C++ runtime,
# Qt and Lua are named.
control=$(dpkg-deb -f "$deb")
echo "$control"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6widgets6 liblua5.4-0 libudev1 libminizip1; do
    grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
for field in Maintainer Section Description Version; do
    [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "control field $field is empty"
done

# The unpacked programs run from where they were unpacked.
cli="$work/root/usr/bin/qelvor-cli"
version=$("$cli" --version 2>&1) || fail "qelvor-cli --version exited with $?"
grep -q "$(dpkg-deb -f "$deb" Version | cut -d- -f1)" <<<"$version" ||
    fail "qelvor-cli --version says '$version', the package is $(dpkg-deb -f "$deb" Version)"
# Nothing goes to a library path, so no maintainer script calls ldconfig.
dpkg-deb -e "$deb" "$work/control"
grep -rl ldconfig "$work/control" && fail "a maintainer script calls ldconfig"
# The window program answers --version and --help without a display.
for option in --version --help; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$work/root/usr/bin/qelvor" $option 2>&1) ||
        fail "qelvor $option exited with $?: $out"
done
grep -q "$(dpkg-deb -f "$deb" Version | cut -d- -f1)" <<<"$(env -u DISPLAY "$work/root/usr/bin/qelvor" --version)" ||
    fail "qelvor --version does not name the package's version"
# The window program loads its Qt libraries; "-zip" without an archive needs
# no display and ends with status 2.
status=0
"$work/root/usr/bin/qelvor" -zip >"$work/zip.out" 2>&1 || status=$?
[ $status -eq 2 ] || { cat "$work/zip.out"; fail "qelvor -zip ended with $status, not 2"; }
"$cli" --list-ports >"$work/ports" 2>&1 || { cat "$work/ports"; fail "qelvor-cli --list-ports exited with $?"; }

# The unpacked qelvor-cli, as a TCP server in response-file mode, finds the
# plug-in in ../lib/qelvor/plugins/ and the sample script beside it: a peer's ACK is
# answered with the line the sample filled in.
answer_through_plugin() {
    local port=$1 answer pid
    printf '[ComSet]\r\nWorkMode=0\r\nIPPort=%d\r\nSvrIPAddr=127.0.0.1\r\nHandShake=1\r\nUsedResponseFile=1\r\nPreamble=\r\nPostamble=\r\nAutoSaveLog=0\r\nSendAfterLoadFile=0\r\n' \
        "$port" >"$work/plugin.ini"
    printf '2O|{SEQ}|x\r\n' >"$work/response.txt"
    "$cli" --ini "$work/plugin.ini" --set ComSet --data "$work/response.txt" --seconds 20 \
        >"$work/plugin.out" 2>&1 </dev/null &
    pid=$!
    for _ in $(seq 50); do
        { exec 3<>"/dev/tcp/127.0.0.1/$port"; } 2>/dev/null && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    answer=""
    if { true >&3; } 2>/dev/null; then
        printf '\x06' >&3
        answer=$(timeout 5 head -c 6 <&3 || true)
        exec 3>&-
    fi
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    [ "$answer" = "2O|1|x" ]
}
# A port taken by someone else is a reason to try another, not a failure.
plugin_ok=0
for _ in 1 2 3; do
    if answer_through_plugin $((20000 + RANDOM % 12000)); then
        plugin_ok=1
        break
    fi
done
[ $plugin_ok -eq 1 ] || { cat "$work/plugin.out"; fail "the unpacked qelvor-cli did not answer through the plug-in"; }

# The plug-in's own libraries resolve on this system.
ldd "$work/root/usr/lib/qelvor/plugins/LuaPlugins.so" | grep 'not found' && fail "LuaPlugins.so needs a missing library"

desktop="$work/root/usr/share/applications/qelvor.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx 'Categories=Development;Utility;' "$desktop" || fail "desktop categories"
grep -qx 'Exec=qelvor %f' "$desktop" || fail "desktop Exec line"

[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "package ok"
