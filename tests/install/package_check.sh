#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The checks a Debian packager runs first: lintian on the package and its debug package
# (with the package's own overrides), AppStream on the metainfo and the desktop entry's
# validator, each on what the package installs. Any error, warning or hint fails.
# Usage: package_check.sh BUILD_DIR
set -eu
WORK=$(mktemp -d /tmp/logora-pkgcheck-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
(cd "$1" && cpack -G DEB -B "$WORK/pkg" >/dev/null)
dpkg-deb -x "$WORK"/pkg/logora_*.deb "$WORK/root"
# lintian says so when it runs as root; that line is not a finding.
lintian --fail-on error,warning "$WORK"/pkg/logora_*.deb "$WORK"/pkg/logora-dbgsym_*.ddeb 2>&1 |
    grep -v '^running with root privileges' | tee "$WORK/lintian.txt"
[ ! -s "$WORK/lintian.txt" ]
appstreamcli validate --no-net --strict "$WORK/root/usr/share/metainfo/org.logora.Logora.metainfo.xml"
desktop-file-validate "$WORK/root/usr/share/applications/org.logora.Logora.desktop" >"$WORK/desktop.txt" 2>&1 || true
cat "$WORK/desktop.txt"
[ ! -s "$WORK/desktop.txt" ]
# The manual page is installed and reads without a warning.
MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
    "$WORK/root/usr/share/man/man1/logora.1.gz" 2>&1 >/dev/null | tee "$WORK/man.txt"
[ ! -s "$WORK/man.txt" ]
echo "lintian, appstreamcli and desktop-file-validate report nothing"
