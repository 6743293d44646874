# SPDX-License-Identifier: GPL-3.0-or-later
# Fetches a Debian source package into the current folder, adding the deb-src entry of this
# machine's release the first time. Sourced by the scripts that build libraries for Windows;
# needs root (or sudo) the first time.
debian_source() {
    if apt-get source -qq "$1" >/dev/null 2>&1; then
        return 0
    fi
    SUDO=""
    if [ "$(id -u)" != 0 ]; then
        SUDO="sudo"
    fi
    # The source of the same release as the binary packages this machine has.
    if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ &&
        ! grep -qs '^deb-src' /etc/apt/sources.list; then
        codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
        printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
            "$codename" "$codename" | $SUDO tee /etc/apt/sources.list.d/logora-deb-src.sources >/dev/null
    fi
    $SUDO apt-get update -qq
    apt-get source -qq "$1" >/dev/null
}
