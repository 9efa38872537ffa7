#!/usr/bin/env bash
# The layering of the sources: Qt lives in src/window alone. Fails when a file
# elsewhere under src/ includes a Qt header or a window header, or when one of
# the given programs (the core's, the fuzz targets, qelvor-cli) needs a Qt
# library at run time.
# Usage: layering_test.sh SOURCE_ROOT PROGRAM...
set -u
src=$1/src
shift
failed=0

# Lines under src/ outside src/window that include what the pattern matches.
includes_below_window() {
    grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*$1" --include='*.h' --include='*.cpp' \
        "$src" | grep -v "^$src/window/"
}

for check in '[<"](Q[A-Za-z]|qt[a-z_]*[./])@@Qt included outside src/window' \
             '"window/@@the core includes the window layer'; do
    found=$(includes_below_window "${check%%@@*}")
    if [ -n "$found" ]; then
        echo "${check#*@@}:"
        echo "$found"
        failed=1
    fi
done

for program in "$@"; do
    if [ ! -x "$program" ]; then
        echo "no program at $program"
        failed=1
        continue
    fi
    qt_libraries=$(ldd "$program" | grep -E 'libQt[0-9]')
    if [ -n "$qt_libraries" ]; then
        echo "$program links Qt:"
        echo "$qt_libraries"
        failed=1
    fi
done

[ $failed -eq 0 ] && echo "Qt is in src/window only; $# programs are free of it"
exit $failed
