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

qt_includes=$(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](Q[A-Za-z]|qt[a-z_]*[./])' \
                  --include='*.h' --include='*.cpp' "$src" | grep -v "^$src/window/")
if [ -n "$qt_includes" ]; then
    echo "Qt included outside src/window:"
    echo "$qt_includes"
    failed=1
fi

window_includes=$(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"window/' \
                      --include='*.h' --include='*.cpp' "$src" | grep -v "^$src/window/")
if [ -n "$window_includes" ]; then
    echo "the core includes the window layer:"
    echo "$window_includes"
    failed=1
fi

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
