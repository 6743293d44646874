#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a Qt test binary on a real X server (Xvfb), with the openbox window manager and
# without any, so that placement, moves and window hints meet a desktop's rules.
# Usage: desktop_test.sh TEST_BINARY
set -eu
BINARY=$1
WORK=$(mktemp -d /tmp/logora-desktop-XXXXXX)
XVFB_PID=""
WM_PID=""
cleanup() {
    [ -n "$WM_PID" ] && kill "$WM_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    # Gone before the next run looks for a free display, so that it never meets this one.
    [ -n "$WM_PID" ] && wait "$WM_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && wait "$XVFB_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
export HOME=$WORK XDG_RUNTIME_DIR=$WORK/run XDG_CONFIG_HOME=$WORK/config
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# The server picks a free display itself and names it once it listens: a display found free
# by its files could still be a server of an earlier run that is ending.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$WORK/display" >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 300); do
    [ -s "$WORK/display" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
done
[ -s "$WORK/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(cat "$WORK/display")
export QT_QPA_PLATFORM=xcb
echo "== without a window manager"
LOGORA_DESKTOP_WM=none "$BINARY"
openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
WM_PID=$!
# Up when it names itself on the root window, as a window manager of the EWMH does; a test
# "under openbox" without it would prove nothing.
up=""
for _ in $(seq 300); do
    if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
        up=1
        break
    fi
    kill -0 "$WM_PID" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$up" ]; then
    echo "openbox did not come up on $DISPLAY:" >&2
    cat "$WORK/openbox.log" >&2
    exit 1
fi
echo "== under openbox"
LOGORA_DESKTOP_WM=openbox "$BINARY"
