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
. "$(dirname "$0")/debian-source.sh"
host=x86_64-w64-mingw32
jobs=$(nproc 2>/dev/null || echo 2)
work="$out/debian-source"
rm -rf "$work"
mkdir -p "$work" "$out/include" "$out/lib" "$out/bin"
cd "$work"
debian_source openssl
debian_source postgresql-15

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
