#!/usr/bin/env bash
# Installs what building, running and testing need, when it is missing.
# Debian 12 packages only; run as root (or with sudo available).
set -euo pipefail

# libssh2 carries the SFTP link; openssh-server and openssh-client are the real
# peer of its tests and of the benchmark against OpenSSH's own sftp.
# clang and its sanitizer and libFuzzer runtimes: the sanitizer build and the
# fuzz harnesses of scripts/test.sh.
packages=(build-essential cmake pkg-config qt6-base-dev qt6-serialport-dev libqt6svg6
          libgtest-dev googletest python3-pyftpdlib python3-openssl vsftpd openssl curl xvfb xauth openbox
          libssh2-1-dev openssh-server openssh-client
          clang libclang-rt-14-dev)

exec "$(dirname "$0")/apt-missing.sh" "${packages[@]}"
