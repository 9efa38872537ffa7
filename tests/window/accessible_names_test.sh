#!/usr/bin/env bash
# The real window under Xvfb, read over AT-SPI as a screen reader reads it:
# every control on screen has a name.
#   accessible_names_test.sh QELVOR_PROGRAM
set -euo pipefail
program=$1
python=/usr/bin/python3
for tool in xvfb-run dbus-run-session dbus-send /usr/libexec/at-spi-bus-launcher; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done
"$python" -c "import pyatspi" 2>/dev/null || { echo "skipped: pyatspi is missing"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A hard link: the program's settings folder is then the temporary one.
ln "$program" "$work/qelvor" 2>/dev/null || cp "$program" "$work/qelvor"
printf '[ComSet]\r\nWorkMode=2\r\nUDPLocalPort=0\r\nUDPRemotePort=9\r\nSvrIPAddr=127.0.0.1\r\n' \
    >"$work/qelvor.ini"
cat >"$work/run.sh" <<RUN
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb
/usr/libexec/at-spi-bus-launcher --launch-immediately &
# The program joins the accessibility bus only if it is there when it starts.
for try in \$(seq 100); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \\
        org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
    sleep 0.1
done
"$work/qelvor" &
status=0
"$python" "$(dirname "$0")/accessible_names_walk.py" || status=\$?
kill %2 %1 2>/dev/null
exit \$status
RUN
status=0
timeout 150 xvfb-run -a dbus-run-session -- bash "$work/run.sh" 2>"$work/err" || status=$?
[ $status -eq 0 ] || tail -n 20 "$work/err"
exit $status
