#!/bin/bash
# Resident memory of the game at its main menu and in a classic round. A
# stored player (every tutorial seen, so no dialog opens over the menu) starts
# the game; 10 s after the start the menu is measured, then the untimed
# classic button is clicked until the log names the round's word, and 6 s
# later (the letter balls have rolled in) the round is measured. Each time
# VmRSS and its anonymous and file-backed parts from /proc/PID/status, and the
# proportional share from /proc/PID/smaps_rollup, in kB. Run under a display,
# from the repository root, after a build:
#   xvfb-run -a -s "-screen 0 1280x1024x24" bench/memory_rss.sh build
set -euo pipefail
build=$(realpath "${1:?usage: memory_rss.sh <build folder>}")
program="$build/run/quorvel"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/runtime"
source "$(dirname "$0")/game_run.sh"
store_player "$home/data" "$build/tools/scramble/scramble"
mkdir -p "$home/config"
cd "$(dirname "$program")"
SDL_AUDIODRIVER=dummy QMV_RANDOM_SEED=7 XDG_RUNTIME_DIR="$home/runtime" XDG_DATA_HOME="$home/data" \
    XDG_CONFIG_HOME="$home/config" "$program" 2>"$home/log" >/dev/null &
pid=$!
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
sleep 10
report menu
if ! choose_mode "$pid" "$home/log" 440 242 "Round 1 of CLASSIC_UNTIMED" 30 2; then
    echo "memory_rss.sh: no round was started" >&2
    kill "$pid"
    exit 1
fi
sleep 6
report round
kill "$pid"
wait "$pid" 2>/dev/null || true
