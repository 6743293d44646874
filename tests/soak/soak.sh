#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Soak test of the installed program under Xvfb: random keys and clicks in every window for
# SOAK_SECONDS (default 180), switching windows and exporting through a stand-in
# spreadsheet. The program must stay up, keep exporting, and its memory must not grow.
# Usage: soak.sh BUILD_DIR FAKE_PLUGIN
. "$(dirname "$0")/../install/common.sh" "$1"
SECONDS_TO_RUN=${SOAK_SECONDS:-180}
cp "$2" "$ROOT"/usr/lib/*/logora/liblogora_calc.so
export LOGORA_FAKE_OUT=$WORK/exports.txt
start_display
# No browser on the soak display: the manual buttons report that instead.
export BROWSER=false PATH=/usr/sbin:/usr/bin:/sbin:/bin
"$ROOT/usr/bin/logora" >"$WORK/app.log" 2>&1 &
APP_PID=$!
W=$(grid_window)

# Rectangles (pixels) never clicked: the exit and minimise buttons of every window, and
# 账单记录, 标准对照, 价格明细 and 手机检尺 of each calculator, whose windows would take the
# clicks meant for the tally (价格明细 leads on to 价格表 and its file dialog).
excluded() {
    x=$1 y=$2
    for r in "600 440 90 44" "600 400 90 40" "375 388 95 44" \
        "605 488 81 36" "380 436 89 36" "480 376 81 32" "272 613 81 25" "232 605 81 25" \
        "272 644 81 25" "232 636 81 25" "288 445 81 25" "605 576 81 30" "380 480 89 36"; do
        set -- $r
        if [ "$x" -ge "$1" ] && [ "$x" -le $(($1 + $3)) ] && [ "$y" -ge "$2" ] && [ "$y" -le $(($2 + $4)) ]; then
            return 0
        fi
    done
    return 1
}

# No space: it presses a focused button, and "退出" legitimately ends the program. Escape
# closes what the keys opened, as a user would.
KEYS="0 1 2 3 4 5 6 7 8 9 period minus Return Return Tab Up Down Left Right BackSpace a e Escape"
nkeys=$(echo $KEYS | wc -w)
end=$(($(date +%s) + SECONDS_TO_RUN))
warm=$(($(date +%s) + 15))
rss_start=""
actions=0
while [ "$(date +%s)" -lt "$end" ]; do
    if ! kill -0 "$APP_PID" 2>/dev/null; then
        status=0
        wait "$APP_PID" || status=$?
        echo "program ended with status $status after $actions actions"
        grep -v -e mimeinfo -e xdg-open -e desktop -e 'No applications' "$WORK/app.log" | tail -20
        exit 1
    fi
    if [ -z "$rss_start" ] && [ "$(date +%s)" -ge "$warm" ]; then
        rss_start=$(rss_kb "$APP_PID")
    fi
    # Clicks are placed relative to the grid window: the other calculators open in its
    # place, so the excluded rectangles hold for whichever is shown, and a click meant for
    # a small dialog cannot land on an exit button beside it.
    target=$W
    r=$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')
    case $((r % 10)) in
    0|1|2|3)
        x=$((r / 10 % 700)); y=$((r / 7000 % 640))
        if ! excluded "$x" "$y"; then
            xdotool mousemove --window "$target" "$x" "$y" click 1 2>/dev/null || true
        fi ;;
    4)  # the switch combo of the grid window and the back buttons
        xdotool mousemove --window "$W" 645 290 click 1 2>/dev/null || true
        xdotool key --clearmodifiers Down Return 2>/dev/null || true ;;
    5)  # 导出表格 in the grid window
        xdotool mousemove --window "$W" 645 378 click 1 2>/dev/null || true ;;
    *)
        k=$(echo $KEYS | cut -d' ' -f$((r % nkeys + 1)))
        xdotool key --clearmodifiers "$k" 2>/dev/null || true ;;
    esac
    actions=$((actions + 1))
done
sleep 1
kill -0 "$APP_PID" 2>/dev/null || { echo "program died"; cat "$WORK/app.log"; exit 1; }
rss_end=$(rss_kb "$APP_PID")
exports=$(grep -c '^export' "$WORK/exports.txt" 2>/dev/null || echo 0)
echo "soak: ${SECONDS_TO_RUN}s, $actions actions, $exports exports, RSS ${rss_start} kB -> ${rss_end} kB"
if [ "$exports" -eq 0 ]; then
    echo "no export reached the spreadsheet; the windows shown at the end:"
    for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do xdotool getwindowname "$w"; done
    exit 1
fi
[ $((rss_end - rss_start)) -lt 20480 ] || { echo "memory grew by $((rss_end - rss_start)) kB"; exit 1; }
