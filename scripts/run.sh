#!/usr/bin/env bash
# Builds the programs (not the tests) and starts the explorer.
#
# When this user has no settings of their own yet (or with TESSARO_DEMO=1) it
# starts a demo: the instrument simulator on a pseudo-terminal as COM1, an FTP
# server on 127.0.0.1 with sample jobs, and a small folder as "MyComputer".
# The demo servers stop when the explorer closes, and so does its profile.
# TESSARO_DEMO=0 (or --profile FILE among the arguments) starts the explorer
# on the real settings instead.
#
# Without a display it first runs a short tour with tessaro-cli in the
# terminal (TESSARO_TOUR=0 leaves it out), then starts the explorer on a
# virtual display with a VNC server that listens on 127.0.0.1 only, and
# prints how to connect. Ctrl+C stops everything.
#
# Arguments go to the explorer (tessaro --help).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts=$(pwd)/scripts

# The demo runs while this user has no settings (and no --profile is given),
# unless TESSARO_DEMO says otherwise.
config="${XDG_CONFIG_HOME:-$HOME/.config}/Local AppWizard-Generated Applications/Tessaro.ini"
own_profile=0
for arg in "$@"; do [ "$arg" = --profile ] && own_profile=1; done
case "${TESSARO_DEMO:-}" in
  0 | 1) want_demo=$TESSARO_DEMO ;;
  "") want_demo=1; { [ -f "$config" ] || ((own_profile)); } && want_demo=0 ;;
  *) echo "TESSARO_DEMO is 0 (no demo) or 1 (the demo), not \"$TESSARO_DEMO\"." >&2; exit 2 ;;
esac

headless=0
[ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && headless=1
"$scripts/deps.sh"
((headless)) && "$scripts/apt-missing.sh" xvfb xauth x11vnc openbox

BUILD_DIR=${BUILD_DIR:-build}
BIN="$BUILD_DIR/bin"
started=$SECONDS
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target tessaro quillon tessaro-cli instrument-sim
echo "Built tessaro, quillon, tessaro-cli and instrument-sim in $((SECONDS - started)) s."

work=$(mktemp -d /tmp/tessaro-run.XXXXXX)
chmod 700 "$work"
pids=()
trap 'echo; echo "Stopping."; exit 130' INT TERM

. "$scripts/demo-lib.sh"
trap stop_demo EXIT

demo=""
tessaro_args=()
if ((want_demo)); then
  cat <<EOF

This is the demo: a simulated instrument and a local FTP server. Settings changed in it go to
the demo's own profile and are lost when it stops. Your own settings live in
  $config
$([ -f "$config" ] && echo "(TESSARO_DEMO=1 asked for the demo.)" || echo "(none yet: the first settings saved outside the demo make them).")
To leave the demo:  TESSARO_DEMO=0 ./scripts/run.sh   (then Settings > Communication settings... > Detect)
or, with the instrument on a USB serial adapter, first
  $BIN/tessaro-cli --device /dev/ttyUSB0 detect --save
and from then on ./scripts/run.sh starts without the demo. README.md, "Connect your instrument", tells more.

EOF
  start_demo
elif [ ! -f "$config" ] && ((!own_profile)); then
  echo "No settings yet: the explorer writes them to $config."
  echo "Find the instrument with Settings > Communication settings... > Detect; name the server in Settings > Ftp settings..."
fi

if ((!headless)); then
  "$BIN/tessaro" "${tessaro_args[@]}" "$@"
  exit
fi

if [ -n "$demo" ] && [ "${TESSARO_TOUR:-1}" != 0 ]; then
  "$scripts/tour.sh" "$BIN/tessaro-cli" "$profile" "$demo" || echo "The tour stopped early; the explorer starts all the same."
fi

# No display: the explorer on a virtual X display (behind a cookie), shown by a
# VNC server on 127.0.0.1 only (behind a password of this run).
start_virtual_display

vnc_port=$(free_port 5900)
[ -n "$vnc_port" ] || { echo "No free port from 5900 on." >&2; exit 1; }
password=$(/usr/bin/python3 -c 'import secrets; print(secrets.token_urlsafe(6))')
(umask 077; echo "$password" >"$work/vnc-password")
x11vnc -display "$display" -auth "$XAUTHORITY" -localhost -rfbport "$vnc_port" -passwdfile "$work/vnc-password" \
    -forever -shared -quiet >"$work/x11vnc.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  /usr/bin/python3 -c "import socket; socket.create_connection(('127.0.0.1', $vnc_port))" 2>/dev/null && break
  sleep 0.1
done

DISPLAY="$display" "$BIN/tessaro" "${tessaro_args[@]}" "$@" &
tessaro_pid=$!
pids+=("$tessaro_pid")

stops="the explorer and the VNC server"
[ -n "$demo" ] && stops="the explorer, the VNC server and the demo servers"
host=$(hostname -f 2>/dev/null || hostname)
[ -n "${SSH_CONNECTION:-}" ] && host=$(echo "$SSH_CONNECTION" | awk '{print $3}')
cat <<EOF

The explorer runs on the virtual display $display. A VNC server shows it on 127.0.0.1 port $vnc_port only.
  From your computer:  ssh -N -L $vnc_port:127.0.0.1:$vnc_port $(id -un)@$host
                       and, while that runs, in a second terminal there:  vncviewer 127.0.0.1::$vnc_port
  On this machine:     vncviewer 127.0.0.1::$vnc_port
  VNC password:        $password
Ctrl+C stops $stops (so does closing the explorer).
EOF
[ -n "$demo" ] && echo "This is the demo: settings changed in it are lost; TESSARO_DEMO=0 ./scripts/run.sh leaves it out."
set +e
wait "$tessaro_pid"
echo "The explorer has closed."
