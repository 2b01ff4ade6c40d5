#!/usr/bin/env bash
# Runs a Qt test program on an X display of its own (Xvfb, behind a cookie)
# with a window manager (openbox), as a user's desktop runs it: windows are
# mapped, activated and focused by the window manager, not by Qt's offscreen
# platform. Exits 77 (skipped) when Xvfb or openbox is missing, or 1 where
# TESSARO_CI is set.
#   under-x11.sh PROGRAM [ARGUMENTS...]
set -uo pipefail

for tool in Xvfb openbox xauth; do
    if ! command -v "$tool" >/dev/null; then
        echo "no $tool here (packages xvfb, openbox, xauth)"
        [ -n "${TESSARO_CI:-}" ] && exit 1
        exit 77
    fi
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

export XAUTHORITY="$work/Xauthority" XDG_RUNTIME_DIR="$work"
: >"$XAUTHORITY"
cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')

# Xvfb takes a display's lock file atomically and gives up where another
# server holds it: the next number is tried, so parallel tests never share.
display=""
for n in $(shuf -i 100-999 -n 40); do
    xauth -q -f "$XAUTHORITY" add ":$n" MIT-MAGIC-COOKIE-1 "$cookie"
    Xvfb ":$n" -auth "$XAUTHORITY" -nolisten tcp -screen 0 1280x800x24 >"$work/xvfb.log" 2>&1 &
    pid=$!
    for _ in $(seq 100); do
        if [ -S "/tmp/.X11-unix/X$n" ] && kill -0 "$pid" 2>/dev/null; then
            display=":$n"
            break
        fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ -n "$display" ]; then
        pids+=("$pid")
        break
    fi
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
done
[ -n "$display" ] || { cat "$work/xvfb.log"; exit 1; }
export DISPLAY="$display"

# The tests start once openbox manages the screen.
DISPLAY="$display" openbox --startup "touch $work/managing" >"$work/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e "$work/managing" ] && break; sleep 0.1; done
[ -e "$work/managing" ] || { echo "openbox did not start:"; cat "$work/openbox.log"; exit 1; }

QT_QPA_PLATFORM=xcb "$@"
