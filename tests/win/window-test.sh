#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The installed Windows program under Wine, as a new user meets it: a silent install into a
# fresh prefix, then a tally typed with a real keyboard and mouse (xdotool), a price saved,
# a switch to the list calculator, and a bill exported through the stand-in spreadsheet
# application registered as Excel. Screenshots land in $LOGORA_SHOTS when it is set.
#
#   window-test.sh <setup.exe> <logora_standin.dll> [<logora_win_fit_tests.exe>
#                  [<logora_win_ledger_tests.exe>]]
set -eu
setup=$(realpath "$1")
standin=$(realpath "$2")
fit=${3:+$(realpath "$3")}
ledger=${4:+$(realpath "$4")}
work=$(mktemp -d /tmp/logora-wine-XXXXXX)
if [ -n "${LOGORA_SHOTS:-}" ]; then mkdir -p "$LOGORA_SHOTS"; fi
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export HOME="$work/home" LC_ALL=C.UTF-8
mkdir -p "$HOME"
# The server picks a free display itself and names it once it listens.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
cleanup() {
    wineserver -k 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
# The server is up when it answers; the window manager when it names itself on the root.
wait_for() { # command [tries of 0.2 s, 150 by default]
    for _ in $(seq "${2:-150}"); do
        sh -c "$1" >/dev/null 2>&1 && return 0
        sleep 0.2
    done
    return 1
}
wait_for "[ -s '$work/display' ]" || { echo "FAIL: the X server did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"
wait_for "xdotool getmouselocation" || { echo "FAIL: the X server does not answer" >&2; exit 1; }
openbox >/dev/null 2>&1 &
wait_for "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'" ||
    { echo "FAIL: the window manager did not start" >&2; exit 1; }

fail() {
    echo "FAIL: $*" >&2
    shot "$work/failed.png"
    if [ -n "${LOGORA_SHOTS:-}" ]; then cp "$work/failed.png" "$LOGORA_SHOTS/" || true; fi
    exit 1
}
# The screen, or one window with its frame.
grab() {
    if [ -n "${2:-}" ]; then
        xwd -id "$2" -frame -silent | xwdtopnm 2>/dev/null | pnmtopng >"$1" 2>/dev/null || true
    else
        xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$1" 2>/dev/null || true
    fi
}
# A picture of it once three grabs in a row agree (about a third of a second still, less
# than a caret's blink): a window just shown may still be painting.
shot() {
    grab "$1" "${2:-}"
    same=0
    for _ in $(seq 40); do
        grab "$1.next" "${2:-}"
        if cmp -s "$1" "$1.next"; then
            same=$((same + 1))
            [ "$same" -ge 2 ] && break
        else
            same=0
            mv "$1.next" "$1"
        fi
    done
    rm -f "$1.next"
}
# Waits for a visible window whose title matches; prints its id.
window() {
    for _ in $(seq 1 150); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.2
    done
    return 1
}
# Clicks at a point of a window, given in pixels from its top left corner.
click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.3
}
typed() {
    xdotool type --delay 60 "$1"
    sleep 0.2
}

wineboot -i >/dev/null 2>&1
# Song-face Chinese for the definitions' 宋体, as on a Chinese Windows.
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"SimSun"="AR PL UMing CN"\r\n"NSimSun"="AR PL UMing CN"\r\n"\345\256\213\344\275\223"="AR PL UMing CN"\r\n' >"$work/fonts.reg"
wine regedit "$work/fonts.reg"

# Every caption and widest value of the four windows shows whole, at 100, 125, 150 and 200 %.
if [ -n "$fit" ]; then
    for dpi in 96 120 144 192; do
        printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"LogPixels"=dword:%08x\r\n' \
            "$dpi" >"$work/dpi.reg"
        wine regedit "$work/dpi.reg"
        wineserver -w
        wine "$fit" >"$work/fit-$dpi.log" 2>&1 || { cat "$work/fit-$dpi.log"; fail "controls cut at $dpi dpi"; }
        if [ -n "${LOGORA_SHOTS:-}" ]; then cp "$work/fit-$dpi.log" "$LOGORA_SHOTS/"; fi
    done
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"LogPixels"=dword:00000060\r\n' >"$work/dpi.reg"
    wine regedit "$work/dpi.reg"
    wineserver -w
fi
if [ -n "$ledger" ]; then
    wine "$ledger" >"$work/ledger.log" 2>&1 || { cat "$work/ledger.log"; fail "账单记录 window"; }
fi

start=$(date +%s%N)
wine "$setup" /S
wineserver -w
program="$WINEPREFIX/drive_c/Program Files/Logora"
[ -f "$program/logora.exe" ] || fail "the silent install left no logora.exe"
[ -f "$program/bills/账单明细.xls" ] || fail "the silent install left no bills"
[ -f "$program/uninstall.exe" ] || fail "no uninstaller"
ls "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Logora/"*.lnk >/dev/null ||
    fail "no Start-menu entry"
echo "installed in $(( ($(date +%s%N) - start) / 1000000 )) ms"

cp "$standin" "$work/logora_standin.dll"
LOGORA_STANDIN_PROGIDS=Excel.Application wine regsvr32 /s "$work/logora_standin.dll"
export LOGORA_STANDIN_LOG="$work/calls.txt"

start=$(date +%s%N)
(cd "$program" && wine logora.exe >"$work/logora.log" 2>&1 &)
grid=$(window '^Logora$') || fail "the grid window did not show"
echo "grid window up in $(( ($(date +%s%N) - start) / 1000000 )) ms"
# Ready for the keyboard once the window manager has made it the active window.
wait_for "[ \"\$(xdotool getactivewindow)\" = $grid ]" || true
shot "$work/grid-empty.png"

# A drag with the right button, from the title band, follows the pointer and ends on release.
at() { xdotool getwindowgeometry --shell "$1" | awk -F= '/^[XY]=/ {printf "%s ", $2}'; }
before=$(at "$grid")
xdotool mousemove --window "$grid" 20 8 mousedown 3
for step in 1 2 3 4; do xdotool mousemove_relative -- 20 15; done
wait_for "[ \"\$(xdotool getwindowgeometry --shell $grid | awk -F= '/^[XY]=/ {printf \"%s \", \$2}')\" != '$before' ]" ||
    fail "a right-button drag did not move the grid"
xdotool mouseup 3
set -- $before
wait_for "[ \"\$(xdotool getwindowgeometry --shell $grid | awk -F= '/^[XY]=/ {printf \"%s \", \$2}')\" = '$(($1 + 80)) $(($2 + 60)) ' ]" ||
    fail "the drag ended at $(at "$grid"), not 80, 60 from $before"
xdotool mousemove_relative -- 100 100
sleep 0.5 # nothing may follow now; a moved window would show within this
[ "$(at "$grid")" = "$(($1 + 80)) $(($2 + 60)) " ] || fail "the drag went on after the release"
xdotool mousemove --window "$grid" 20 8 mousedown 3 mousemove_relative -- -80 -60 mouseup 3

# Resting on "增加径级规格" shows its tool tip, a window of its own.
windows=$(xdotool search --onlyvisible --name '.*' 2>/dev/null | wc -l)
xdotool mousemove --window "$grid" 98 530
wait_for "[ \$(xdotool search --onlyvisible --name '.*' | wc -l) -gt $windows ]" ||
    fail "no tool tip over 增加径级规格"
shot "$work/tooltip.png"
xdotool mousemove --window "$grid" 400 20

# Ten and five pieces at 4 cm and 6 cm of group 1, whose length is 4 m.
click "$grid" 100 174
typed 10
xdotool key Return
typed 5
xdotool key Return
shot "$work/grid.png" "$grid"

# The price of the first class, saved; the grid comes back.
click "$grid" 433 568
prices=$(window '单价设置') || fail "the price window did not open"
# Minimised, the price window goes alone, as on Linux; 单价设置 brings it back.
xdotool windowminimize "$prices"
wait_for "xwininfo -id $prices | grep -q IsUnMapped" || fail "the price window did not minimise"
xwininfo -id "$grid" | grep -q IsViewable || fail "minimising the price window took the grid too"
# Wine may take a moment to learn that the window manager iconified it; a click before then
# finds it still open. A user clicks again, and so does the test, a few times at most.
back=""
for _ in 1 2 3 4 5; do
    click "$grid" 433 568
    if wait_for "xwininfo -id $prices | grep -q IsViewable" 25; then back=1; break; fi
done
[ -n "$back" ] || fail "单价设置 did not bring it back"
sleep 0.5
click "$prices" 210 115
typed 480
sleep 0.3
shot "$work/price.png" "$prices"
# "保存退出" by keyboard: past the two other prices, then Enter.
xdotool key Tab Tab Tab Return
appdata="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Logora"
wait_for "[ \"\$(od -An -c '$appdata/1(0).txt' | tr -d ' \\n')\" = '480\\r\\n' ]" || true
[ "$(od -An -c "$appdata/1(0).txt" | tr -d ' \n')" = '480\r\n' ] ||
    fail "the price was not saved as 480 CR LF in $appdata"

# The bill, through the stand-in "Excel"; the reminder is answered with Enter.
click "$grid" 645 378
# The first-export reminder, a box titled as the grid is, beside it.
wait_for "[ \$(xdotool search --onlyvisible --name '^Logora\$' | wc -l) -ge 2 ]" ||
    fail "no reminder came at the first export"
xdotool key Return
for _ in $(seq 1 100); do
    grep -q '^UserControl' "$work/calls.txt" 2>/dev/null && break
    sleep 0.2
done
cells=$(find "$WINEPREFIX/drive_c/users" "$HOME" -name '账单明细.xls.cells.txt' 2>/dev/null | head -1)
[ -n "$cells" ] || fail "no bill was saved; calls: $(cat "$work/calls.txt" 2>/dev/null)"
for expected in '原木一	7	2	n:10' '原木一	7	3	n:0.113' '原木一	8	3	n:0.1005' \
    '原木一	21	2	n:15' '原木一	21	3	n:0.2135'; do
    grep -qF "$expected" "$cells" || fail "bill cell '$expected' missing from $cells"
done
grep -q 'ExportAsFixedFormat' "$work/calls.txt" || fail "no PDF was archived"
number="$(date +%Y%m%d)-001"
grep -qF "原木一	2	2	s:$number" "$cells" || fail "the bill has no number $number beside 单号"

# 账单记录 lists the bill; Esc closes it.
click "$grid" 645 506
ledger=$(window '账单记录') || fail "账单记录 did not open"
shot "$work/ledger.png" "$ledger"
xdotool key Escape
wait_for "! xwininfo -id $ledger | grep -q IsViewable" || fail "Esc did not close 账单记录"

# The switch box by keyboard: F4 opens its list, Down only moves the highlight, Enter picks,
# so two steps down reach 锯材计算.
click "$grid" 630 286
xdotool key --delay 200 F4 Down Down Return
sawn=$(window '^Planora$') || fail "F4 Down Down Enter did not reach 锯材计算"
shot "$work/sawn.png" "$sawn"
# "返回" brings the grid back, its switch box still at 锯材计算; the wheel over it switches.
click "$sawn" 520 222
grid=$(window '^Logora$') || fail "返回 did not bring the grid back"
xdotool mousemove --window "$grid" 630 286 click 4 # up, from 锯材计算 to 多 材 长
list=$(window '多材长') || fail "the wheel over the switch box did not switch"
shot "$work/list.png" "$list"

# The same program at 150 %, as a trader with a high-dpi screen sees it: a fresh start, the
# tally's snapshot removed so that nothing is offered back.
wineserver -k
wineserver -w
rm -f "$WINEPREFIX/drive_c/users/$(id -un)/Documents/Logora/"tally-snapshot-*
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"LogPixels"=dword:00000090\r\n' >"$work/dpi.reg"
wine regedit "$work/dpi.reg"
wineserver -w
(cd "$program" && wine logora.exe >"$work/logora-144.log" 2>&1 &)
grid=$(window '^Logora$') || fail "the grid window did not show at 144 dpi"
wait_for "[ \"\$(xdotool getactivewindow)\" = $grid ]" || true
click "$grid" 150 261
typed 10
xdotool key Return
typed 5
xdotool key Return
shot "$work/grid-144.png" "$grid"
click "$grid" 650 852
prices=$(window '单价设置') || fail "the price window did not open at 144 dpi"
shot "$work/price-144.png" "$prices"

if [ -n "${LOGORA_SHOTS:-}" ]; then
    cp "$work/grid.png" "$work/price.png" "$work/list.png" "$work/sawn.png" "$work/ledger.png" \
        "$work/grid-144.png" "$work/price-144.png" "$LOGORA_SHOTS/"
fi
echo "window test passed"
