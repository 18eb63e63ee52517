#!/bin/sh
# Runs atspi_check.py against the program in a virtual display with a D-Bus session of its
# own; skips (status 77) where a tool it needs is missing.
#
#   atspi_check.sh PROGRAM CHECK.py
program=$1
check=$2
for tool in xvfb-run dbus-run-session; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is missing (apt-get install xvfb dbus)"
        exit 77
    fi
done
if [ ! -x /usr/libexec/at-spi-bus-launcher ]; then
    echo "SKIP: the accessibility bus is missing (apt-get install at-spi2-core)"
    exit 77
fi
python=""
for candidate in python3 /usr/bin/python3; do
    if "$candidate" -c 'import pyatspi' >/dev/null 2>&1; then
        python=$candidate
        break
    fi
done
if [ -z "$python" ]; then
    echo "SKIP: pyatspi is missing (apt-get install python3-pyatspi)"
    exit 77
fi
# A display number of its own, clear of other test runs starting at the same time; no reset
# of the display when a client leaves (the accessibility bus launcher is one).
exec xvfb-run -a -n $((100 + $$ % 800)) -s "-screen 0 1280x1024x24 -noreset" \
    dbus-run-session -- "$python" "$check" "$program"
