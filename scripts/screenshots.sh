#!/usr/bin/env bash
# Makes the README's screenshots in docs/ from the real programs: the demo of
# run.sh on a virtual display, driven with xdotool like a user would.
#   docs/explorer.png  the three roots opened, with the server's folders
#   docs/transfer.png  a job's measurements on their way to "MyComputer"
#   docs/quillon.png   a file opened with View
set -euo pipefail
cd "$(dirname "$0")/.."
scripts=$(pwd)/scripts
"$scripts/deps.sh"
"$scripts/apt-missing.sh" xvfb xauth openbox xdotool imagemagick
BUILD_DIR=${BUILD_DIR:-build}
BIN="$BUILD_DIR/bin"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target tessaro quillon instrument-sim >/dev/null

work=$(mktemp -d /tmp/tessaro-shots.XXXXXX)
pids=()
. "$scripts/demo-lib.sh"
trap stop_demo EXIT

# A slow line, so that the transfer is still running when it is shot.
start_demo --baud 1200
start_virtual_display
export DISPLAY="$display"
# Openbox is ready when it tells the number of desktops.
for _ in $(seq 100); do xdotool get_num_desktops >/dev/null 2>&1 && break; sleep 0.1; done

"$BIN/tessaro" "${tessaro_args[@]}" >"$work/tessaro.log" 2>&1 &
pids+=($!)
explorer=$(xdotool search --sync --name '^Marvo Tessaro$' | head -n 1)
xdotool windowsize "$explorer" 460 640 windowmove "$explorer" 40 30
xdotool windowactivate --sync "$explorer"
sleep 1

# keys KEY... : presses them in the explorer, with a pause for type-ahead.
keys() { xdotool key --delay 80 "$@"; sleep 0.6; }
# find TEXT: selects the next visible node whose label begins with TEXT.
find() { xdotool type --delay 60 "$1"; sleep 0.6; }
shoot() { import -frame -window "$1" "$2"; echo "Wrote $2"; }

keys Home Right      # Port1: wakes and lists the instrument
sleep 25
keys Down Right Down Right
find FTP
keys Right           # logs on to the demo server
sleep 3
keys Down Down Right # its folder "jobs"
sleep 2
find MyComputer
keys Right Down Right
find Measurements
shoot "$explorer" docs/explorer.png

keys ctrl+c
find MyComputer
keys Down            # its folder "Jobs"
keys ctrl+v          # the "Data Download..." prompt
sleep 1
keys Return
# The Transfer window beside the explorer rather than over it, wide enough
# for the whole destination path: the tree shows the source (the job's
# measurements) and the destination folder, the window the file and the byte
# counter (a receive from the instrument shows no bar, only the bytes).
transfer=$(xdotool search --sync --onlyvisible --name '^Transfer$' | head -n 1)
xdotool windowsize "$transfer" 580 150 windowmove "$transfer" 520 250
# Shot when the instrument has sent three of the job's eight lines.
sent_lines() { grep -c 'TX MEAS B' "$demo/instrument-transcript.txt" || true; }
for _ in $(seq 600); do (($(sent_lines) >= 3)) && break; sleep 0.1; done
sleep 0.5
import -window root -crop 1080x690+30+0 +repage docs/transfer.png
echo "Wrote docs/transfer.png"
for _ in $(seq 600); do [ -f "$demo/computer/Jobs/BRIDGE.TQS" ] && break; sleep 0.1; done
sleep 1

find Notes
keys Right Down
xdotool key alt+e v  # View
editor=$(xdotool search --sync --name 'site-visit.txt - Quillon' | head -n 1)
xdotool windowsize "$editor" 560 300 windowmove "$editor" 120 120
sleep 1
shoot "$editor" docs/quillon.png
xdotool windowactivate --sync "$editor" key alt+F4  # closes the editor: the explorer takes input again
