#!/bin/bash
# The front panel as a screen reader on Linux reads it: the editor runs under Xvfb with Qt's
# AT-SPI bridge, on a D-Bus session of its own, and atspipanel.py reads its controls through
# pyatspi, as Orca does. Exits 77 (skipped) when a tool it needs is missing.
#
# Usage: atspipanel.sh EDITOR
set -u

skip() {
    echo "SKIP: $1" >&2
    exit 77
}

here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != --inside ]; then
    editor=${1:?usage: atspipanel.sh EDITOR}
    [ -x "$editor" ] || { echo "FAIL: no editor at $editor" >&2; exit 1; }
    command -v xvfb-run >/dev/null || skip "xvfb-run is missing (package xvfb)"
    command -v xauth >/dev/null || skip "xauth is missing (package xauth)"
    command -v dbus-run-session >/dev/null || skip "dbus-run-session is missing (package dbus)"
    command -v dbus-send >/dev/null || skip "dbus-send is missing (package dbus)"
    launcher=
    for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
        [ -x "$candidate" ] && launcher=$candidate
    done
    [ -n "$launcher" ] || skip "at-spi-bus-launcher is missing (package at-spi2-core)"
    # A python of a virtual environment may lack the system's pyatspi.
    python=
    for candidate in python3 /usr/bin/python3; do
        if "$candidate" -c 'import pyatspi' 2>/dev/null; then
            python=$candidate
            break
        fi
    done
    [ -n "$python" ] || skip "python3 cannot import pyatspi (package python3-pyatspi)"

    # Settings, recovery files and the accessibility bus's socket stay in a folder of the
    # test's own; the session bus passes this environment to the bus it starts.
    home=$(mktemp -d)
    trap 'rm -rf "$home"' EXIT
    chmod 700 "$home"
    export XDG_RUNTIME_DIR=$home/runtime XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data \
        XDG_CACHE_HOME=$home/cache
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    xvfb-run -a -s "-screen 0 1280x1024x24" \
        dbus-run-session -- "$0" --inside "$editor" "$python"
    exit $?
fi

# Inside the private X server and D-Bus session.
editor=$2
python=$3
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# No JACK server is started for the editor: the panel exists without a device.
export JACK_NO_START_SERVER=1 JACK_DEFAULT_SERVER=vellichord-absent-$$
unset QT_LOGGING_RULES

# Qt 5.15 connects to the accessibility bus only when it sees that bus appear: when the bus
# is up already as the editor starts, the bridge registers the application on a connection
# that is not open yet and never again, and the editor is missing from the registry's desktop.
# So the editor starts first, and the bus is started (by asking for its address) once the
# editor is on the session bus and watches for it.
"$editor" >"$XDG_RUNTIME_DIR/editor.log" 2>&1 &
editor_pid=$!
trap 'kill $editor_pid 2>/dev/null; wait $editor_pid 2>/dev/null' EXIT

on_session_bus() {
    local name
    for name in $(dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus \
        /org/freedesktop/DBus org.freedesktop.DBus.ListNames 2>/dev/null | tr -s ' ' '\n' |
        grep '^:'); do
        dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus \
            /org/freedesktop/DBus org.freedesktop.DBus.GetConnectionUnixProcessID \
            "string:$name" 2>/dev/null | grep -qw "$editor_pid" && return 0
    done
    return 1
}

for _ in $(seq 300); do
    on_session_bus && break
    kill -0 $editor_pid 2>/dev/null || { echo "FAIL: the editor stopped" >&2; cat "$XDG_RUNTIME_DIR/editor.log" >&2; exit 1; }
    sleep 0.1
done
on_session_bus || { echo "FAIL: the editor never joined the session bus" >&2; exit 1; }
# Its watcher is set up right after it joins.
sleep 1
dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
    org.a11y.Bus.GetAddress >/dev/null || { echo "FAIL: no accessibility bus" >&2; exit 1; }

"$python" "$here/atspipanel.py" "$editor_pid"
status=$?
[ $status -eq 0 ] || cat "$XDG_RUNTIME_DIR/editor.log" >&2
exit $status
