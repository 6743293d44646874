#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Two installed programs in the same folders, one per truck: the second start asks nothing
# about the first one's live tally; after "退出" in the second and a kill of the first, the
# next start offers the killed one's tally and restores it whole.
. "$(dirname "$0")/common.sh" "$1"
start_display
STATE=$XDG_STATE_HOME/logora

snapshots() {
    ls "$STATE"/tally-snapshot-*.txt 2>/dev/null | wc -l
}
# Waits until the state folder holds this many snapshots, at most 30 s.
wait_snapshots() {
    for _ in $(seq 300); do
        [ "$(snapshots)" -eq "$1" ] && return 0
        sleep 0.1
    done
    echo "expected $1 snapshots, found $(snapshots): $(ls "$STATE")" >&2
    return 1
}

# A: 3 pieces at 12 cm, kept in its snapshot.
"$ROOT/usr/bin/logora" >"$WORK/a.log" 2>&1 &
A_PID=$!
A=$(grid_window)
click_twips "$A" 1500 3690
xdotool type --delay 50 3
wait_snapshots 1
A_FILE=$(ls "$STATE"/tally-snapshot-*.txt)

# B, started while A runs: its grid comes up and no question with it.
"$ROOT/usr/bin/logora" >"$WORK/b.log" 2>&1 &
B_PID=$!
wait_windows '^Logora$' 2
for _ in $(seq 20); do # the question, if one came, would come with the window
    [ "$(xdotool search --onlyvisible --name '^Logora$' | wc -l)" -gt 2 ] &&
        { echo "the second program asked about the first one's tally" >&2; exit 1; }
    sleep 0.1
done
B=$(xdotool search --onlyvisible --pid "$B_PID" --name '^Logora$' | head -1)
click_twips "$B" 9600 6990 # 退出
wait_gone "$B_PID"
[ -f "$A_FILE" ] || { echo "退出 in the second program removed the first one's tally" >&2; exit 1; }

# A killed, as by a power cut; the next start offers its tally, yes is the default.
kill -9 "$A_PID"
wait_gone "$A_PID"
"$ROOT/usr/bin/logora" >"$WORK/c.log" 2>&1 &
C_PID=$!
wait_windows '^Logora$' 2 || {
    echo "the next start asked nothing; state: $(ls -l "$STATE"); windows:" \
        "$(xdotool search --onlyvisible --name '.*' getwindowname %@ 2>/dev/null | tr '\n' '|')" >&2
    cat "$WORK/c.log" >&2
    exit 1
}
xdotool key Return
# Restored, the tally is the new program's own: its snapshot holds A's count.
for _ in $(seq 300); do
    [ ! -f "$A_FILE" ] && grep -qs "	3$" "$STATE"/tally-snapshot-*.txt && break
    sleep 0.1
done
grep -q "	3$" "$STATE"/tally-snapshot-*.txt || { echo "the tally was not restored" >&2; exit 1; }
kill -0 "$C_PID"
echo "two programs kept their own tallies"
