#!/bin/bash
# CPU the game spends from its start until the main menu shows, split into the
# start-up work and the frames drawn while the loading screen waits out its
# prescribed least time. By default the program starts as shipped: the splash
# picture fades in, stays and fades out (0.5 + 1.7 + 0.5 s), the splash scene
# fades into the loading screen (500 ms), which shows for at least 3.5 s from
# its first frame, and the menu fades in (400 ms). With --empty-splash the
# splash is cut to nothing by its branding file (no opening animation, no
# pictures), which leaves the start-up work with fewer frames around it.
#
# The game's threads are read from /proc at four moments:
#   shown    the window has appeared;
#   loaded   the loading screen shows its bar full (everything loaded, the
#            fade from the splash over);
#   waiting  1.5 s later, still on the loading screen;
#   menu     the new-player dialog's cream panel shows over the menu.
# "waiting" - "loaded" is what a frame of the wait costs. The start-up work is
# the CPU until "shown", plus that from "shown" to "loaded" and from "loaded"
# to "menu" less the frames of those stretches counted at the waiting rate.
# The software rasteriser's threads (llvmpipe-*) only draw frames; they are
# reported apart and not counted as start-up work.
#
# The whole process's CPU from its start to the menu, every thread included
# (those that ended before, such as the hardware check's), is read from the
# process's own account (utime + stime in /proc/<pid>/stat, in clock ticks).
#
# Run under a display from the repository root, after a build:
#   xvfb-run -a -s "-screen 0 1280x1024x24" bench/startup_cpu.sh build [--empty-splash]
set -euo pipefail
build=$(realpath "${1:?usage: startup_cpu.sh <build folder> [--empty-splash]}")
empty_splash=false
case "${2:-}" in
    "") ;;
    --empty-splash) empty_splash=true ;;
    *) echo "usage: startup_cpu.sh <build folder> [--empty-splash]" >&2; exit 2 ;;
esac
run="$build/run"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for entry in "$run"/*; do
    name=$(basename "$entry")
    case "$name" in
        quorvel) ;;
        splash|data.dat) $empty_splash || ln -s "$entry" "$work/$name" ;;
        *) ln -s "$entry" "$work/$name" ;;
    esac
done
cp "$run/quorvel" "$work/quorvel"
if $empty_splash; then
    mkdir "$work/splash"
    cat > "$work/splash/branding.xml" <<'XML'
<?xml version="1.0" encoding="utf-8" ?>
<Node id="branding">
	<String id="SHOW_ORVENDALE_ANIMATION">false</String>
</Node>
XML
    "$build/tools/datapack/datapack" "$work" "$work/data.dat" properties images fonts splash
fi
mkdir -p "$work/home/runtime" && chmod 700 "$work/home/runtime"
cd "$work"
SDL_AUDIODRIVER=dummy QMV_HEADLESS=1 XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config" \
    XDG_RUNTIME_DIR="$work/home/runtime" /usr/bin/python3 - <<'PY'
import os, subprocess, sys, time
from Xlib import X, display, error

FULL_BAR = (233, 196, 106)   # the loading bar's right end at (590, 420), once full
PANEL = (255, 248, 231)      # the new-player dialog's panel at (200, 200)
WAIT_WINDOW = 1.5            # seconds sampled inside the loading screen's least time

start = time.monotonic()
game = subprocess.Popen(["./quorvel"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

def cpu():
    """Seconds of CPU of the main thread, the other game threads and the rasteriser's
    (the scheduler's exact run time of each thread, not the 10 ms clock ticks)."""
    main = other = raster = 0.0
    for tid in os.listdir(f"/proc/{game.pid}/task"):
        try:
            with open(f"/proc/{game.pid}/task/{tid}/comm") as f:
                name = f.read().strip()
            with open(f"/proc/{game.pid}/task/{tid}/sched") as f:
                runtime = next(line for line in f if line.startswith("se.sum_exec_runtime"))
        except (OSError, StopIteration):
            continue
        seconds = float(runtime.split(":")[1]) / 1000
        if int(tid) == game.pid:
            main += seconds
        elif name.startswith("llvmpipe"):
            raster += seconds
        else:
            other += seconds
    return time.monotonic() - start, main, other, raster

TICK = os.sysconf("SC_CLK_TCK")
def account():
    """Seconds of CPU in the process's own account: every thread, those that
    have ended included (utime + stime of /proc/<pid>/stat)."""
    with open(f"/proc/{game.pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK

def fail(text):
    print("startup_cpu.sh: " + text, file=sys.stderr)
    game.kill()
    sys.exit(1)

screen = display.Display()
def find_window():
    pid_atom = screen.intern_atom("_NET_WM_PID")
    for window in screen.screen().root.query_tree().children:
        try:  # the game's short-lived test windows come and go meanwhile
            prop = window.get_full_property(pid_atom, X.AnyPropertyType)
            if prop is not None and len(prop.value) > 0 and int(prop.value[0]) == game.pid:
                if window.get_attributes().map_state == X.IsViewable:
                    return window
        except error.XError:
            pass
    return None

def pixel(window, x, y):
    data = window.get_image(x, y, 1, 1, X.ZPixmap, 0xffffffff).data
    return (data[2], data[1], data[0])

def wait_for(window, x, y, colour, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if pixel(window, x, y) == colour:
            return cpu()
        time.sleep(0.002)
    fail(f"the colour {colour} did not show at ({x}, {y})")

window = None
for _ in range(600):
    window = find_window()
    if window is not None:
        break
    time.sleep(0.01)
if window is None:
    fail("the game's window did not appear")
shown = cpu()
loaded = wait_for(window, 590, 420, FULL_BAR, 30)
time.sleep(WAIT_WINDOW)
waiting = cpu()
if pixel(window, 200, 200) == PANEL:
    fail("the menu came before the waiting stretch ended")
menu = wait_for(window, 200, 200, PANEL, 30)
whole = account()
game.kill()
game.wait()

span = waiting[0] - loaded[0]
rate = [(waiting[i] - loaded[i]) / span for i in range(1, 4)]
# Frames drawn between the window's showing and "loaded", and between
# "loaded" and the menu, are counted at the waiting rate and taken out.
loading = [loaded[i] - shown[i] - rate[i - 1] * (loaded[0] - shown[0]) for i in range(1, 4)]
setup = [menu[i] - loaded[i] - rate[i - 1] * (menu[0] - loaded[0]) for i in range(1, 4)]
def row(title, values):
    print("{:34s} main {:6.3f}  other {:6.3f}  rasteriser {:6.3f}".format(title, *values))
print(f"wall: window {shown[0]:.2f} s, loaded {loaded[0]:.2f} s, menu {menu[0]:.2f} s")
row("until the window shows:", shown[1:])
row("until loaded:", loaded[1:])
row("loading, frames taken out:", loading)
row("menu set-up, frames taken out:", setup)
print("waiting, per frame: main {:.2f} ms  other {:.2f} ms  rasteriser {:.2f} ms (at 60 frames a second)".format(
    *[r * 1000 / 60 for r in rate]))
work = sum(shown[i] + loading[i - 1] + setup[i - 1] for i in (1, 2))
print(f"start-up work (main and other, frames taken out): {work:.3f} s")
print("whole run to the menu: {:.3f} s without the rasteriser, {:.3f} s with it".format(
    menu[1] + menu[2], menu[1] + menu[2] + menu[3]))
print(f"whole process to the menu, its own account (every thread, ended ones included): {whole:.2f} s")
PY
