#!/bin/sh
# Unpacks ProFTPD and Pure-FTPd, which conflict with vsftpd as installed
# packages, into one folder (default /tmp/tessaro-ftp-servers) for ftp_bench
# --server proftpd|pure-ftpd [--unpacked DIR]. Needs apt-get and dpkg-deb.
set -eu
target=${1:-/tmp/tessaro-ftp-servers}
mkdir -p "$target/debs"
cd "$target/debs"
# proftpd-core needs these libraries, not installed with vsftpd; mod_tls
# comes with proftpd-mod-crypto.
apt-get download proftpd-core proftpd-mod-crypto libmemcached11 libmemcachedutil2 libhashkit2 \
    libpcre2-posix3 pure-ftpd
for deb in *.deb; do
    dpkg-deb -x "$deb" "$target"
done
echo "unpacked into $target"
