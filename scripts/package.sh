#!/usr/bin/env bash
# Builds the Debian package of tessaro, quillon, tessaro-cli and
# instrument-sim into build-package/ (or $PACKAGE_BUILD_DIR).
#   --check  then installs it with apt into a fresh Debian 12 chroot
#            (debootstrap, kept in build-package/chroot-base) and starts the
#            programs there once; needs root.
set -euo pipefail
cd "$(dirname "$0")/.."
check=0
case "${1:-}" in
  --check) check=1 ;;
  "") ;;
  *) echo "usage: scripts/package.sh [--check]" >&2; exit 2 ;;
esac

./scripts/deps.sh
# dpkg-shlibdeps (dpkg-dev) and file find the libraries' packages; help2man
# writes the man pages.
./scripts/apt-missing.sh dpkg-dev file help2man
((check)) && ./scripts/apt-missing.sh debootstrap

BUILD_DIR=${PACKAGE_BUILD_DIR:-build-package}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Debian's hardening flags: fortified string and memory functions, the stack
# protector, and relocations made read-only at start-up (relro, bindnow).
# Debug information is left out: the package's programs are stripped.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS | sed -E 's/(^| )-g( |$)/ /')"
ldflags=$(dpkg-buildflags --get LDFLAGS)
# The install step does not build "all": the package holds no tests.
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
    "-DCMAKE_CXX_FLAGS=$cxxflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" "-DCMAKE_SHARED_LINKER_FLAGS=$ldflags" \
    "${launcher[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target tessaro quillon tessaro-cli instrument-sim manpages changelog
rm -f "$BUILD_DIR"/tessaro_*.deb
(cd "$BUILD_DIR" && cpack -G DEB >/dev/null)
deb=$(ls "$BUILD_DIR"/tessaro_*.deb)
# The control fields that matter to someone installing it, whatever their
# order in the file.
dpkg-deb -f "$deb" Package Version Architecture Installed-Size Depends Suggests Description
if command -v lintian >/dev/null; then
  echo "lintian:"
  lintian "$deb" || true
fi
echo "Package: $deb"
((check)) || exit 0

base="$BUILD_DIR/chroot-base"
if [ ! -x "$base/usr/bin/apt-get" ]; then
  rm -rf "$base"
  debootstrap --variant=minbase bookworm "$base" http://deb.debian.org/debian
fi
root="$BUILD_DIR/chroot-check"
rm -rf "$root"
cp -a "$base" "$root"
cp "$deb" "$root/tmp/"
cp scripts/package-check-inside.sh "$root/tmp/"
# The mounts live in a private mount namespace: they end with it.
unshare --mount --propagation private sh -c '
  mount -t proc proc "$1/proc"
  mount -t devpts -o newinstance,ptmxmode=0666 devpts "$1/dev/pts"
  ln -sf pts/ptmx "$1/dev/ptmx"
  chroot "$1" /bin/bash /tmp/package-check-inside.sh "/tmp/$2"
' sh "$root" "$(basename "$deb")"
rm -rf "$root"
