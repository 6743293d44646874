#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds libpq, PostgreSQL's client library, for Windows with MinGW-w64 from Debian's own
# source packages: OpenSSL first (from Debian's openssl source, for TLS), then libpq from
# postgresql-15 against it. Leaves include/, lib/ and bin/ (the DLLs) in the given folder;
# does nothing when they are there already. The repository keeps no copy of either source.
set -eu
out=$1
if [ -f "$out/bin/libpq.dll" ] && [ -f "$out/include/libpq-fe.h" ]; then
    exit 0
fi
SUDO=""
if [ "$(id -u)" != 0 ]; then
    SUDO="sudo"
fi
host=x86_64-w64-mingw32
jobs=$(nproc 2>/dev/null || echo 2)
work="$out/debian-source"
rm -rf "$work"
mkdir -p "$work" "$out/include" "$out/lib" "$out/bin"
cd "$work"
fetch() {
    if ! apt-get source -qq "$1" >/dev/null 2>&1; then
        if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ &&
            ! grep -qs '^deb-src' /etc/apt/sources.list; then
            codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
            printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
                "$codename" "$codename" | $SUDO tee /etc/apt/sources.list.d/logora-deb-src.sources >/dev/null
        fi
        $SUDO apt-get update -qq
        apt-get source -qq "$1" >/dev/null
    fi
}
fetch openssl
fetch postgresql-15

# OpenSSL: only its two libraries.
ssl="$work/ssl"
(
    cd openssl-*/
    ./Configure mingw64 --cross-compile-prefix=$host- shared no-tests \
        --prefix="$ssl" >configure.log 2>&1
    make -j"$jobs" build_libs >make.log 2>&1
    mkdir -p "$ssl/include" "$ssl/lib"
    cp -r include/openssl "$ssl/include/"
    cp libssl.dll.a libcrypto.dll.a "$ssl/lib/"
    cp libssl-3-x64.dll libcrypto-3-x64.dll "$out/bin/"
)

# libpq with TLS.
(
    cd postgresql-15-*/
    ./configure --host=$host --without-readline --without-zlib --without-icu --with-openssl \
        --with-includes="$ssl/include" --with-libraries="$ssl/lib" >configure.log 2>&1
    make -j"$jobs" -C src/interfaces/libpq >make.log 2>&1
    cp src/interfaces/libpq/libpq.dll "$out/bin/"
    cp src/interfaces/libpq/libpq.a "$out/lib/libpq.dll.a"
    cp src/interfaces/libpq/libpq-fe.h src/include/postgres_ext.h src/include/pg_config_ext.h \
        "$out/include/"
)
rm -rf "$work"
echo "libpq and OpenSSL for MinGW built from Debian's postgresql-15 and openssl sources"
