# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the package tests: build the .deb, unpack it into a fresh root, run under Xvfb.
# Usage: . common.sh BUILD_DIR   (sets WORK, ROOT, DISPLAY; cleans up on exit)
set -eu
BUILD_DIR=$1
WORK=$(mktemp -d /tmp/logora-pkgtest-XXXXXX)
ROOT=$WORK/root
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/config XDG_DATA_HOME=$WORK/data
export XDG_CACHE_HOME=$WORK/cache XDG_RUNTIME_DIR=$WORK/run XDG_STATE_HOME=$WORK/state
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
XVFB_PID=""
APP_PID=""

# The processes of this run: the program and the offices it started, also the user's "show"
# that outlives it, told by the runtime folder that only this run's processes have.
our_pids() {
    for env in /proc/[0-9]*/environ; do
        pid=${env#/proc/}
        pid=${pid%/environ}
        [ "$pid" = $$ ] || [ "$pid" = "$XVFB_PID" ] && continue
        if { tr '\0' '\n' <"$env"; } 2>/dev/null | grep -qxF "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR"; then
            echo "$pid"
        fi
    done
}

# Waits until none of the given processes runs (a zombie has ended), at most 10 s.
wait_gone() {
    for _ in $(seq 100); do
        running=""
        for pid in "$@"; do
            state=$(sed 's/.*) //' /proc/"$pid"/stat 2>/dev/null | cut -c1) || true
            [ -n "$state" ] && [ "$state" != Z ] && running="$running $pid"
        done
        [ -z "$running" ] && return 0
        sleep 0.1
    done
}

cleanup() {
    pids=$(our_pids)
    [ -n "$pids" ] && kill -9 $pids 2>/dev/null || true
    # Asked to end, the X server removes its lock and socket; killed, it would leave them.
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    wait_gone $pids $XVFB_PID
    rm -rf "$WORK"
}
trap cleanup EXIT

(cd "$BUILD_DIR" && cpack -G DEB -B "$WORK/pkg" >/dev/null)
dpkg-deb -x "$WORK"/pkg/logora_*.deb "$ROOT"

start_display() {
    # The server picks a free display itself and names it once it listens: a display found
    # free by its files could still be a server of an earlier run that is ending.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$WORK/display" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 300); do
        if [ -s "$WORK/display" ]; then
            export DISPLAY=:$(cat "$WORK/display")
            return 0
        fi
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    echo "no display" >&2
    return 1
}

# Waits until a number of visible windows carry the title, at most 30 s.
wait_windows() {
    for _ in $(seq 300); do
        [ "$(xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l)" -ge "$2" ] && return 0
        sleep 0.1
    done
    return 1
}

# The grid window, once it is mapped.
grid_window() {
    xdotool search --sync --onlyvisible --name '^Logora$' | head -1
}

# Clicks at a point given in twips of the window's client area.
click_twips() {
    xdotool mousemove --window "$1" $(($2 / 15)) $(($3 / 15)) click 1
}

rss_kb() {
    awk '/^VmRSS/ {print $2}' /proc/"$1"/status
}
