#!/bin/bash
# CPU seconds the game uses over 10 s while nobody touches it (all its
# threads, the software rasteriser's included, from the process's own account
# in /proc/<pid>/stat), in three states:
#   newplayer  the main menu under the new-player dialog (no stored player);
#   menu       the main menu of a stored player who has seen every tutorial;
#   timed      a timed classic round of that player, its clock running.
# Each state is measured with damage-tracked drawing and with full redraws
# (QMV_FULL_REDRAW=1), one after the other, the pair's order alternating from
# round to round, so that both see the same load. Timing starts once the log
# says the menu shows and SETTLE seconds more have passed (the fade into the
# menu and the dialog's fade-in); the round is started by one click on the
# menu's "Timed game" button, once the log names its word the pointer leaves
# the window, and timing starts SETTLE seconds after the letter balls have
# rolled in. Run under a display, from the repository root, after a build:
#   xvfb-run -a -s "-screen 0 1280x1024x24" bench/idle_cpu.sh build [rounds]
set -euo pipefail
build=$(realpath "${1:?usage: idle_cpu.sh <build folder> [rounds]}")
rounds=${2:-3}
settle=${SETTLE:-2}
measure=10
work=$(mktemp -d)
pid=
source "$(dirname "$0")/game_run.sh"
trap 'stop_game; rm -rf "$work"' EXIT

fail() {
    echo "idle_cpu.sh: $1" >&2
    exit 1
}

# Waits up to $2 seconds for the log to hold the text $1.
wait_for_log() {
    for _ in $(seq $(($2 * 10))); do
        grep -qs "$1" "$home/log" && return 0
        kill -0 "$pid" 2>/dev/null || fail "the game ended (log: $home/log)"
        sleep 0.1
    done
    fail "the log did not say \"$1\" in $2 s"
}

ticks() { awk '{ sub(/.*\) /, ""); print $12 + $13 }' "/proc/$pid/stat"; }

# One measurement: state $1, drawing $2 (damage or full); sets `seconds`.
measure() {
    home="$work/$1-$2"
    rm -rf "$home"
    local switch=(-u QMV_FULL_REDRAW)
    [ "$2" = full ] && switch=(QMV_FULL_REDRAW=1)
    start_game "$build" "$home" "$1" "${switch[@]}"
    wait_for_log "The menu shows" 60
    if [ "$1" = timed ]; then
        choose_mode "$pid" "$home/log" 440 172 "Round 1 of CLASSIC_TIMED" 15 1 || fail "no round was started"
        xdotool mousemove 1279 1023
        sleep 3   # the letter balls roll in
    fi
    sleep "$settle"
    kill -0 "$pid" 2>/dev/null || fail "the game ended before it was measured (log: $home/log)"
    local t0 t1
    t0=$(ticks)
    sleep "$measure"
    t1=$(ticks)
    stop_game
    seconds=$(awk -v t="$((t1 - t0))" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.2f", t / hz }')
}

declare -A figures
for round in $(seq "$rounds"); do
    for state in newplayer menu timed; do
        if [ $((round % 2)) = 1 ]; then order="damage full"; else order="full damage"; fi
        for drawing in $order; do
            measure "$state" "$drawing"
            echo "round $round: $state, $drawing drawing: $seconds CPU-s per ${measure} s"
            figures[$state-$drawing]+="$seconds "
        done
    done
done
echo
echo "CPU seconds per ${measure} s:"
for state in newplayer menu timed; do
    for drawing in damage full; do
        runs=${figures[$state-$drawing]}
        median=$(printf '%s\n' $runs | sort -n | awk '{ v[NR] = $1 } END { printf "%.2f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
        printf '%-10s %-6s median %5s  (runs: %s)\n' "$state" "$drawing" "$median" "${runs% }"
    done
done
