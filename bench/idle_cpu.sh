#!/bin/bash
# CPU seconds the game uses over 10 s at its start screen (all its threads,
# the software rasteriser's included), after 6 s to settle. Run under a
# display, e.g.:
#   xvfb-run -a -s "-screen 0 1280x1024x24" bench/idle_cpu.sh build/run/quorvel
set -euo pipefail
program=$(realpath "${1:?usage: idle_cpu.sh <program>}")
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
cd "$(dirname "$program")"
# Its own runtime folder: the single-instance lock lives there, so a copy of
# the game running elsewhere on the machine cannot make this one end at once.
mkdir -m 700 "$home/runtime"
SDL_AUDIODRIVER=dummy XDG_RUNTIME_DIR="$home/runtime" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
    "$program" >/dev/null 2>&1 &
pid=$!
sleep 6
if ! kill -0 "$pid" 2>/dev/null; then
    echo "idle_cpu.sh: the game ended before it was measured" >&2
    exit 1
fi
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
t0=$(ticks)
sleep 10
t1=$(ticks)
kill "$pid"
wait "$pid" 2>/dev/null || true
awk -v t="$((t1 - t0))" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "cpu_seconds_per_10s=%.2f\n", t / hz }'
