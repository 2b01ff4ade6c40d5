#!/usr/bin/env bash
# Builds and starts the explorer. When this user has no settings of their own
# yet, it starts a demo: the instrument simulator on a pseudo-terminal as
# COM1, a local FTP server on 127.0.0.1, and a small folder as "MyComputer".
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
TESSARO="$BUILD_DIR/bin/tessaro"

run_tessaro() {
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting under a virtual X server (xvfb-run)."
    exec xvfb-run -a "$@"
  fi
  exec "$@"
}

config="${XDG_CONFIG_HOME:-$HOME/.config}/Local AppWizard-Generated Applications/Tessaro.ini"
if [ -f "$config" ] && [ "${TESSARO_DEMO:-0}" != 1 ]; then
  run_tessaro "$TESSARO" "$@"
fi

demo=$(mktemp -d /tmp/tessaro-demo.XXXXXX)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$demo"; }
trap cleanup EXIT INT TERM

mkdir -p "$demo/handheld/Jobs" "$demo/handheld/Formats" "$demo/ftp/upload"
printf '11 1001 100.000 200.000 10.000\r\n11 1002 110.000 205.000 10.500\r\n' > "$demo/handheld/Jobs/SITE1.TQS"
printf 'P1,100.0,200.0,10.0\r\nP2,110.0,205.0,10.5\r\n' > "$demo/ftp/upload/fixpoints.vrn"

"$BUILD_DIR/bin/instrument-sim" --link "$demo/ttyInstrument" \
    --transcript "$demo/instrument-transcript.txt" >"$demo/sim.out" 2>&1 &
pids+=($!)
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
/usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$port" -d "$demo/ftp" -w -u demo -P demo \
    >"$demo/ftp.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "$demo/ttyInstrument" ] && break; sleep 0.1; done

cat > "$demo/profile.ini" <<INI
[COM_DEVICES]
COM1=$demo/ttyInstrument

[FTP]
ServerName=127.0.0.1:$port
UserName=demo
Password=demo
INI
chmod 600 "$demo/profile.ini"
echo "Demo: instrument on $demo/ttyInstrument (COM1), FTP server on 127.0.0.1:$port (demo/demo)."
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: starting under a virtual X server (xvfb-run)."
  xvfb-run -a "$TESSARO" --root "$demo/handheld" --profile "$demo/profile.ini" "$@"
else
  "$TESSARO" --root "$demo/handheld" --profile "$demo/profile.ini" "$@"
fi
