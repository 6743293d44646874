#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The phone tally of the Windows program under Wine, tapped by a real headless Chromium:
# the Windows side (PhoneWineTest.cpp) and the browser (tests/phone/browser.py) talk through
# two files in a channel folder, since Wine's console holds no pipe. The code the program
# draws is read by zbarimg, as a phone's camera reads it. Kills only what it started.
# Usage: phone-wine.sh SOURCE_DIR TEST_EXE
set -eu
src=$1
exe=$2
work=$(mktemp -d /tmp/logora-wine-phone.XXXXXX)
xvfb=""
desk=""
cleanup() {
    [ -n "$desk" ] && kill "$desk" 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 300); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { echo "no display"; exit 1; }
export DISPLAY=":$(cat "$work/display")"
mkdir "$work/channel"
: >"$work/channel/steps"
: >"$work/channel/answers"
export LOGORA_PHONE_PORT
LOGORA_PHONE_PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("", 0)); print(s.getsockname()[1])')
# A Wine server of an earlier test (it lingers a few seconds) would show this program's windows
# on that test's display, or none: its end is waited for, at most a minute.
timeout 60 wineserver -w || true
WINEDEBUG=-all wine "$exe" "Z:$(echo "$work/channel" | tr / '\\')" >"$work/out" 2>&1 </dev/null &
desk=$!
for _ in $(seq 1200); do
    [ -s "$work/channel/address" ] && break
    kill -0 "$desk" 2>/dev/null || break
    sleep 0.1
done
if [ ! -s "$work/channel/address" ]; then
    echo "the Windows program showed no address within 120 s:"
    cat "$work/out"
    exit 1
fi
address=$(tr -d "\r" <"$work/channel/address")
scanned=$(zbarimg --raw -q "$work/channel/code.bmp" || true)
if [ "$scanned" != "$address" ]; then
    echo "the code reads \"$scanned\", the window says \"$address\""
    exit 1
fi
# And off the screen: the window as Wine paints it.
window=$(timeout 30 xdotool search --sync --onlyvisible --name 手机检尺 2>/dev/null | head -1) || true
if [ -z "$window" ]; then
    echo "no window 手机检尺 on the screen within 30 s; the windows there:"
    for w in $(xdotool search --name . 2>/dev/null); do
        echo "  $(xdotool getwindowname "$w" 2>/dev/null) $(xwininfo -id "$w" 2>/dev/null | grep -E 'Map State|geometry' | tr -s ' ' | tr '\n' ' ')"
    done
    exit 1
fi
xwd -silent -id "$window" | xwdtopnm 2>/dev/null | pnmtopng >"$work/screen.png"
scanned=$(zbarimg --raw -q "$work/screen.png" || true)
if [ "$scanned" != "$address" ]; then
    echo "the window on the screen reads \"$scanned\""
    exit 1
fi
status=0
LOGORA_PHONE_CHANNEL=$work/channel /usr/bin/python3 "$src/tests/phone/browser.py" "$address" || status=$?
wait "$desk" || status=$?
desk=""
cat "$work/out"
exit $status
