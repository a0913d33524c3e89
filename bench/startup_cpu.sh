#!/bin/bash
# CPU seconds the game spends from its start until the main menu shows (the
# new-player dialog's panel appears), with the splash cut to nothing by its
# branding file (no opening animation, no pictures), so what remains is the
# start-up work and the loading screen's prescribed 3.5 s. Reports the wall
# time, the CPU of all threads, and the CPU without the software
# rasteriser's threads (llvmpipe-*), which draw every frame of those 3.5 s.
# Run under a display from the repository root, after a build:
#   xvfb-run -a -s "-screen 0 1280x1024x24" bench/startup_cpu.sh build
set -euo pipefail
build=$(realpath "${1:?usage: startup_cpu.sh <build folder>}")
run="$build/run"
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
pid=0
for entry in "$run"/*; do
    name=$(basename "$entry")
    case "$name" in
        splash|data.dat|quorvel) ;;
        *) ln -s "$entry" "$work/$name" ;;
    esac
done
cp "$run/quorvel" "$work/quorvel"
mkdir "$work/splash"
cat > "$work/splash/branding.xml" <<'XML'
<?xml version="1.0" encoding="utf-8" ?>
<Node id="branding">
	<String id="SHOW_ORVENDALE_ANIMATION">false</String>
</Node>
XML
"$build/tools/datapack/datapack" "$work" "$work/data.dat" properties images fonts splash
mkdir -p "$work/home/runtime" && chmod 700 "$work/home/runtime"
cd "$work"
start=$(date +%s.%N)
SDL_AUDIODRIVER=dummy QMV_HEADLESS=1 XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config" \
    XDG_RUNTIME_DIR="$work/home/runtime" ./quorvel >/dev/null 2>&1 &
pid=$!
window=""
for _ in $(seq 1 300); do
    window=$(xdotool search --onlyvisible --pid "$pid" --name Quorvel 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    sleep 0.05
done
[ -n "$window" ] || { echo "startup_cpu.sh: the game's window did not appear" >&2; exit 1; }
# The dialog's cream panel at (200, 200) means the menu has opened.
for _ in $(seq 1 600); do
    colour=$(import -window "$window" -format '%[pixel:p{200,200}]' info: 2>/dev/null || true)
    [ "$colour" = "srgb(255,248,231)" ] && break
    sleep 0.02
done
end=$(date +%s.%N)
hz=$(getconf CLK_TCK)
total=$(awk '{print $14 + $15}' "/proc/$pid/stat")
raster=0
for task in /proc/"$pid"/task/*; do
    if grep -q '^llvmpipe' "$task/comm" 2>/dev/null; then
        raster=$((raster + $(awk '{print $14 + $15}' "$task/stat")))
    fi
done
awk -v s="$start" -v e="$end" -v t="$total" -v r="$raster" -v hz="$hz" 'BEGIN {
    printf "wall_seconds=%.2f cpu_seconds=%.2f cpu_seconds_without_rasteriser=%.2f\n", e - s, t / hz, (t - r) / hz }'
