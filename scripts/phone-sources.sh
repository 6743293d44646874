#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The phone tally's libraries for the Windows build, from Debian's own source packages:
# cpp-httplib's one header, nlohmann-json's headers and qrencode's C sources, into the given
# folder, once. The repository keeps no copy of them. Needs root (or sudo) the first time.
set -eu
out=$1
if [ -f "$out/include/httplib.h" ] && [ -f "$out/include/nlohmann/json.hpp" ] &&
    [ -f "$out/qrencode/qrencode.h" ]; then
    exit 0
fi
. "$(dirname "$0")/debian-source.sh"
work="$out/debian-source"
rm -rf "$work" "$out/include" "$out/qrencode"
mkdir -p "$work" "$out/include" "$out/qrencode"
cd "$work"
debian_source cpp-httplib
debian_source nlohmann-json3
# When the mirror lacks qrencode's Debian part, the upstream tarball its .dsc names is used,
# once its checksum there is checked.
if ! debian_source qrencode; then
    orig=$(ls qrencode_*.orig.tar.* 2>/dev/null | head -1)
    [ -n "$orig" ] && [ -f qrencode_*.dsc ] || exit 1
    sum=$(sed -n '/^Checksums-Sha256:/,/^[A-Z]/p' qrencode_*.dsc | grep " $orig\$" | awk '{print $1}')
    [ -n "$sum" ] && echo "$sum  $orig" | sha256sum -c --quiet - || exit 1
    tar xf "$orig"
fi
# Upstream's single header: the whole server, compiled into the program.
cp cpp-httplib-*/httplib.h "$out/include/"
cp -r nlohmann-json3-*/include/nlohmann "$out/include/"
cd qrencode-*/
for f in bitstream mask mmask mqrspec qrencode qrinput qrspec rsecc split; do
    cp "$f.c" "$f.h" "$out/qrencode/"
done
cp qrencode_inner.h "$out/qrencode/"
echo "cpp-httplib $(sed -n 's/^#define CPPHTTPLIB_VERSION "\(.*\)"/\1/p' "$out/include/httplib.h"), nlohmann-json and qrencode from Debian's sources"
