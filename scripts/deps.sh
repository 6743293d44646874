# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages that are missing, with one apt-get update at most.
# Sourced by scripts/run and scripts/test.

BUILD_PACKAGES="g++ cmake ninja-build qt6-base-dev fonts-noto-cjk fonts-arphic-uming libreoffice-calc libreoffice-dev libreoffice-dev-common libsqlite3-dev libpq-dev libcpp-httplib-dev nlohmann-json3-dev libqrencode-dev"
TEST_PACKAGES="libgtest-dev libbenchmark-dev xvfb xauth clang libclang-rt-14-dev valgrind dpkg-dev xdotool openbox x11-utils poppler-utils lintian appstream desktop-file-utils man-db postgresql postgresql-client zbar-tools python3-selenium chromium chromium-driver"
# The Windows program: cross compiler, installer maker, and Wine to run its tests.
WINDOWS_PACKAGES="g++-mingw-w64-x86-64-posix mingw-w64 nsis wine wine64 x11-apps netpbm tcl"

need_packages() {
    missing=""
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing="$missing $p"
        fi
    done
    if [ -n "$missing" ]; then
        echo "Installing:$missing"
        SUDO=""
        if [ "$(id -u)" != 0 ]; then
            SUDO="sudo"
        fi
        $SUDO apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
    fi
}

# Configures only when the build folder is new, then builds what changed.
build_preset() {
    if [ ! -f "build/$1/build.ninja" ]; then
        cmake --preset "$1"
    fi
    cmake --build --preset "$1"
}
