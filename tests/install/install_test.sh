#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the .deb into a fresh root, starts the installed program under Xvfb, types a
# piece count, exports the grid bill through the real LibreOffice and reads the bill back.
. "$(dirname "$0")/common.sh" "$1"
test -x "$ROOT/usr/bin/logora"
test -f "$ROOT/usr/share/applications/org.logora.Logora.desktop"
test -f "$ROOT/usr/share/icons/hicolor/scalable/apps/org.logora.Logora.svg"
test -f "$ROOT/usr/share/metainfo/org.logora.Logora.metainfo.xml"
test -f "$ROOT/usr/share/logora/bills/账单明细.xls"
start_display

"$ROOT/usr/bin/logora" >"$WORK/app.log" 2>&1 &
APP_PID=$!
W=$(grid_window)
# The program keeps a snapshot of a tally about a second after the user's first edit: once
# there is one, the typed count has reached the field.
click_twips "$W" 1500 3690   # the pieces cell of row 5 (12 cm), group 0
xdotool type --delay 50 3
for _ in $(seq 300); do
    ls "$XDG_STATE_HOME"/logora/tally-snapshot-*.txt >/dev/null 2>&1 && break
    sleep 0.1
done
click_twips "$W" 9600 5670   # 导出表格
wait_windows '^Logora$' 2    # the first-export reminder beside the grid
xdotool key Return           # dismisses it
BILL="$XDG_DATA_HOME/logora/账单明细.xls"
for _ in $(seq 150); do
    [ -f "$XDG_DATA_HOME/logora/.~lock.账单明细.xls#" ] && break   # the user's office has it
    sleep 0.2
done
test -f "$BILL"
soffice -env:UserInstallation=file://$WORK/reader --headless \
    --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1' \
    --outdir "$WORK/csv" "$BILL" >/dev/null 2>&1
ROW=$(sed -n 11p "$WORK"/csv/*.csv)
echo "bill row 11: $ROW"
echo "$ROW" | grep -q '^12,3,0.186' || { cat "$WORK/app.log"; exit 1; }
kill -0 "$APP_PID"
echo "installed program exported its bill"
