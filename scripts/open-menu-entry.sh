#!/bin/sh
# Opens a desktop entry as a desktop's menu does (gio launch), with a file
# for its %f, on an X server of its own with a window manager; waits for the
# window, closes it with Alt+F4 and waits for the program to end.
#   open-menu-entry.sh DESKTOP-FILE FILE
# Run inside an X server (xvfb-run); needs openbox, xdotool, xprop and gio.
set -eu
# A desktop's session sets no platform; CI sets offscreen for its tests, and
# the window would then never reach the X server.
unset QT_QPA_PLATFORM
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

openbox --startup "touch $work/wm-ready" >/dev/null 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 40); do [ -e "$work/wm-ready" ] && break; sleep 0.25; done
[ -e "$work/wm-ready" ] || { echo "the window manager did not start" >&2; exit 1; }

gio launch "$1" "$2"
window=""
for _ in $(seq 120); do
    window=$(xdotool search --name '^CORVANT Firmware Update Utility$' 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && break
    sleep 0.25
done
[ -n "$window" ] || { echo "the menu entry opened no window" >&2; exit 1; }
pid=$(xdotool getwindowpid "$window")
# Docks match the window with its entry by its class.
class=$(sed -n 's/^StartupWMClass=//p' "$1")
xdotool search --class "^$class\$" | grep -qx "$window" \
    || { echo "the window's class is not $class" >&2; exit 1; }
xprop -id "$window" _NET_WM_ICON | grep -q 'Icon (' \
    || { echo "the window has no icon" >&2; exit 1; }

xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4
for _ in $(seq 120); do kill -0 "$pid" 2>/dev/null || break; sleep 0.25; done
if kill -0 "$pid" 2>/dev/null; then
    echo "the window did not close on Alt+F4" >&2
    kill "$pid"
    exit 1
fi
