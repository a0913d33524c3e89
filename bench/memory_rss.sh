#!/bin/bash
# Resident memory of the game at its first start, at its main menu and in a
# classic round. First the game starts with no stored player, as it does the
# first time, and 10 s after the start the main menu under the new-player
# dialog is measured (newplayer). Then a stored player (every tutorial seen,
# so no dialog opens over the menu) starts it again; 10 s after the start the
# menu is measured, then the untimed classic button is clicked until the log
# names the round's word, and 6 s later (the letter balls have rolled in) the
# round is measured. Each time VmRSS and its anonymous and file-backed parts
# from /proc/PID/status, and the proportional share from
# /proc/PID/smaps_rollup, in kB. Run under a display, from the repository
# root, after a build:
#   xvfb-run -a -s "-screen 0 1280x1024x24" bench/memory_rss.sh build
set -euo pipefail
build=$(realpath "${1:?usage: memory_rss.sh <build folder>}")
work=$(mktemp -d)
pid=
source "$(dirname "$0")/game_run.sh"
trap 'stop_game; rm -rf "$work"' EXIT

report() {
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "memory_rss.sh: the game ended before it was measured" >&2
        exit 1
    fi
    awk -v at="$1" '/^(VmRSS|RssAnon|RssFile):/ { v[$1] = $2 }
        END { printf "%s VmRSS=%d RssAnon=%d RssFile=%d", at, v["VmRSS:"], v["RssAnon:"], v["RssFile:"] }' \
        "/proc/$pid/status"
    awk '/^Pss:/ { printf " Pss=%d\n", $2 }' "/proc/$pid/smaps_rollup"
}

start_game "$build" "$work/first" newplayer
sleep 10
if ! grep -qs "asks for a new player" "$work/first/log"; then
    echo "memory_rss.sh: the first start did not ask for a new player" >&2
    exit 1
fi
report newplayer
stop_game

start_game "$build" "$work/stored" stored
sleep 10
report menu
if ! choose_mode "$pid" "$work/stored/log" 440 242 "Round 1 of CLASSIC_UNTIMED" 30 2; then
    echo "memory_rss.sh: no round was started" >&2
    exit 1
fi
sleep 6
report round
stop_game
