#!/bin/bash
# Run by package.sh --check inside a fresh Debian 12 chroot: installs the
# package the way a user would and starts each program once.
set -euo pipefail
deb=$1
export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8
apt-get update -q >/dev/null
apt-get install -y -q "$deb" >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; exit 1; }
grep -E '^(Setting up|Unpacking) tessaro' /tmp/apt.log
echo "$(grep -c '^Setting up' /tmp/apt.log) packages set up"

fail() { echo "FAILED: $*"; exit 1; }
for p in tessaro quillon tessaro-cli; do
  [ "$(command -v "$p")" = "/usr/bin/$p" ] || fail "$p not in /usr/bin"
  echo "$("$p" --version)"
  man -w "$p" >/dev/null 2>&1 || [ -f "/usr/share/man/man1/$p.1.gz" ] || fail "no man page for $p"
done
instrument-sim --help >/dev/null || fail "instrument-sim --help"
# Every library of the X11 platform plugin and the SVG icon plugins is there.
for plugin in platforms/libqxcb.so iconengines/libqsvgicon.so imageformats/libqsvg.so; do
  file=/usr/lib/x86_64-linux-gnu/qt6/plugins/$plugin
  [ -f "$file" ] || fail "missing $file"
  ! ldd "$file" | grep 'not found' || fail "$file lacks libraries"
done

# The windowed programs start and keep running until stopped.
mkdir -p /tmp/home && export HOME=/tmp/home QT_QPA_PLATFORM=offscreen
printf 'line 1\r\n' >/tmp/home/note.txt
for cmd in "tessaro --root /tmp/home" "quillon /tmp/home/note.txt"; do
  rc=0
  timeout 5 $cmd >/tmp/out.log 2>&1 || rc=$?
  [ "$rc" -eq 124 ] || { cat /tmp/out.log; fail "$cmd ended with $rc"; }
  ! grep -i 'could not\|cannot\|error' /tmp/out.log || fail "$cmd complained"
  echo "started: $cmd"
done

# The simulator and tessaro-cli talk over a pseudo-terminal.
instrument-sim --link /tmp/ttyDemo >/tmp/sim.log 2>&1 &
sim=$!
for _ in $(seq 50); do [ -e /tmp/ttyDemo ] && break; sleep 0.1; done
name=$(tessaro-cli --device /tmp/ttyDemo identify) || fail "identify"
kill "$sim"
echo "tessaro-cli identify: $name"
echo "package check passed"
