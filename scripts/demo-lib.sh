# Sourced by run.sh and screenshots.sh: the demo's servers and files.
# Expects $work (a private folder removed at exit), $BIN (the programs) and
# the array pids (killed at exit); start_demo sets demo, profile and
# tessaro_args. The sourcing script sets "trap stop_demo EXIT".

# Stops every process in pids and removes $work.
stop_demo() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}

free_port() {
  /usr/bin/python3 - "$@" <<'PY'
import socket, sys
first = int(sys.argv[1]) if len(sys.argv) > 1 else 0
for port in ([0] if first == 0 else range(first, first + 100)):
    s = socket.socket()
    try:
        s.bind(("127.0.0.1", port))
    except OSError:
        continue
    print(s.getsockname()[1])
    break
PY
}

# start_demo [SIMULATOR OPTIONS]
start_demo() {
  demo="$work/demo"
  mkdir -p "$demo"
  cp -r scripts/demo/computer "$demo/computer"
  cp -r scripts/demo/server "$demo/server"
  mkdir -p "$demo/server/upload"
  "$BIN/instrument-sim" --link "$demo/ttyInstrument" --state scripts/demo/instrument.json "$@" \
      --transcript "$demo/instrument-transcript.txt" >"$demo/sim.log" 2>&1 &
  pids+=($!)
  local port
  port=$(free_port)
  /usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$port" -d "$demo/server" -w -u demo -P demo \
      >"$demo/ftp.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [ -e "$demo/ttyInstrument" ] && break; sleep 0.1; done
  for _ in $(seq 50); do /usr/bin/python3 -c "import socket; socket.create_connection(('127.0.0.1', $port))" \
      2>/dev/null && break; sleep 0.1; done
  profile="$demo/profile.ini"
  cat >"$profile" <<INI
[COM_DEVICES]
COM1=$demo/ttyInstrument

[FTP]
ServerName=127.0.0.1:$port
UserName=demo
Password=demo
INI
  chmod 600 "$profile"
  echo "Demo: instrument simulator on $demo/ttyInstrument (COM1), FTP server on 127.0.0.1:$port" \
       "(user demo, password demo), \"MyComputer\" is $demo/computer."
  tessaro_args=(--root "$demo/computer" --profile "$profile")
}

# An X display of its own (behind a cookie) with a window manager, so that
# windows can be moved and resized; sets display and XAUTHORITY.
start_virtual_display() {
  display=""
  for n in $(seq 90 189); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
  done
  [ -n "$display" ] || { echo "No free X display number." >&2; exit 1; }
  export XAUTHORITY="$work/Xauthority" XDG_RUNTIME_DIR="$work"
  : >"$XAUTHORITY"
  xauth -q -f "$XAUTHORITY" add "$display" MIT-MAGIC-COOKIE-1 "$(/usr/bin/python3 -c 'import secrets; print(secrets.token_hex(16))')"
  Xvfb "$display" -auth "$XAUTHORITY" -nolisten tcp -screen 0 1280x800x24 >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
  [ -e "/tmp/.X11-unix/X${display#:}" ] || { cat "$work/xvfb.log" >&2; exit 1; }

  # Openbox, so that windows can be moved and resized.
  DISPLAY="$display" openbox >"$work/openbox.log" 2>&1 &
  pids+=($!)
}
