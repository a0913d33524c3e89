#!/usr/bin/env python3
"""The dialogs' pictures: the nine parts of the dialog panel, the pill buttons
with their captions (normal, hover, pressed, disabled), the check box of the
switches (four states unchecked, four checked), the slider track and knob,
and the high-score tabs (one frame per game mode).

    dialogs.py --list            the file names it writes
    dialogs.py <output folder>
"""
import io
import os
import subprocess
import sys

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "content"))
import sheetpack  # noqa: E402
import textnotes  # noqa: E402

NAVY, INK, SKY, CREAM, SUN, CORAL, TEAL = "#1d3557", "#457b9d", "#a8dadc", "#fff8e7", "#e9c46a", "#e63946", "#2a9d8f"

# name: (caption, colour, width). Every question asks whether to quit, stop,
# give up, pass or remove: its Yes is coral, its No the ink blue of the
# other actions.
BUTTONS = {
    "ok": ("OK", TEAL, 140), "yes": ("Yes", CORAL, 140), "no": ("No", INK, 140),
    "resume": ("Resume", TEAL, 220), "howtoplay": ("How to play", INK, 220), "settings": ("Settings", INK, 220),
    "stop": ("Stop game", CORAL, 220), "replay": ("Play again", TEAL, 160), "mainmenu": ("Main menu", INK, 160),
    "cancel": ("Cancel", CORAL, 140), "info": ("Credits", INK, 140), "help": ("Help", INK, 140),
    "prev": ("\u2039 Back", INK, 140), "next": ("Next \u203a", INK, 140),
}
BUTTON_HEIGHT = 44
# Each tab as wide as its name at 14 px needs; properties/dialogs.xml lays
# the switches of DIALOG_HIGHSCORES over them at the same widths.
TABS = [("Untimed", 100), ("Timed", 90), ("Word of the day", 150), ("Blitz", 90), ("Crisscross", 120)]
TAB_HEIGHT = 36
PANEL_PART = 16


def outputs():
    names = ["panel_%d.png" % i for i in range(9)]
    for stem in ["button_" + b for b in BUTTONS] + ["switch_box", "slider_knob", "highscore_tabs"]:
        names += [stem + ".png", stem + ".xml"]
    return names + ["slider_track.png"]


def mix(a, b, t):
    pa = [int(a[i:i + 2], 16) for i in (1, 3, 5)]
    pb = [int(b[i:i + 2], 16) for i in (1, 3, 5)]
    return "#" + "".join("%02x" % round(x + (y - x) * t) for x, y in zip(pa, pb))


def render(svg):
    result = subprocess.run(["rsvg-convert", "-f", "png"], input=svg.encode(), capture_output=True)
    if result.returncode != 0:
        sys.exit("rsvg-convert failed: " + result.stderr.decode())
    return textnotes.note(svg, Image.open(io.BytesIO(result.stdout)).convert("RGBA"))


def svg(width, height, body):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
            f'viewBox="0 0 {width} {height}">{body}</svg>')


def panel_parts():
    """A cream panel with a rounded navy outline, cut into nine parts."""
    size = PANEL_PART * 3
    whole = render(svg(size, size, f'<rect x="1.5" y="1.5" width="{size - 3}" height="{size - 3}" rx="8" '
                                   f'fill="{CREAM}" stroke="{NAVY}" stroke-width="3"/>'))
    return [whole.crop((c * PANEL_PART, r * PANEL_PART, (c + 1) * PANEL_PART, (r + 1) * PANEL_PART))
            for r in range(3) for c in range(3)]


def button_frames(caption, colour, width):
    """Normal, hover (lighter, sunflower glow), pressed (darker, 2 px down), disabled (grey)."""
    h = BUTTON_HEIGHT
    frames = []
    for state in range(4):
        fill = {0: colour, 1: mix(colour, "#ffffff", 0.2), 2: mix(colour, NAVY, 0.3), 3: "#9a9a9a"}[state]
        dy = 2 if state == 2 else 0
        glow = (f'<rect x="1" y="1" width="{width - 2}" height="{h - 6}" rx="19" fill="none" '
                f'stroke="{SUN}" stroke-width="2"/>') if state == 1 else ""
        shadow = "" if state == 2 else (f'<rect x="5" y="7" width="{width - 8}" height="{h - 10}" rx="17" '
                                        f'fill="{NAVY}" opacity="0.4"/>')
        text_alpha = 0.5 if state == 3 else 1.0
        frames.append(render(svg(width, h, (
            f'{shadow}{glow}<rect x="3" y="{3 + dy}" width="{width - 8}" height="{h - 10}" rx="17" fill="{fill}" '
            f'stroke="{NAVY}" stroke-width="2.5"/>'
            f'<ellipse cx="{width / 2 - 2}" cy="{12 + dy}" rx="{width / 2 - 20}" ry="5" fill="#ffffff" opacity="0.25"/>'
            f'<text x="{width / 2 - 1}" y="{h / 2 + 5 + dy}" font-family="DejaVu Sans" font-weight="bold" '
            f'font-size="19" text-anchor="middle" fill="#ffffff" stroke="{NAVY}" stroke-width="2.5" '
            f'paint-order="stroke" opacity="{text_alpha}">{caption}</text>'))))
    return frames


def switch_frames():
    frames = []
    for checked in (False, True):
        for state in range(4):
            fill = {0: CREAM, 1: "#ffffff", 2: SKY, 3: "#cfcfcf"}[state]
            ring = f'<rect x="1" y="1" width="30" height="30" rx="7" fill="none" stroke="{SUN}" stroke-width="2"/>' \
                if state == 1 else ""
            tick = (f'<path d="M8 16 L14 22 L24 9" fill="none" stroke="{TEAL if state != 3 else "#7a7a7a"}" '
                    f'stroke-width="4" stroke-linecap="round" stroke-linejoin="round"/>') if checked else ""
            frames.append(render(svg(32, 32, f'{ring}<rect x="3" y="3" width="26" height="26" rx="6" fill="{fill}" '
                                             f'stroke="{NAVY}" stroke-width="2.5"/>{tick}')))
    return frames


def knob_frames():
    frames = []
    for state in range(4):
        fill = {0: SUN, 1: mix(SUN, "#ffffff", 0.3), 2: mix(SUN, NAVY, 0.25), 3: "#b0b0b0"}[state]
        frames.append(render(svg(28, 28, f'<circle cx="14" cy="14" r="11" fill="{fill}" stroke="{NAVY}" '
                                         f'stroke-width="2.5"/><circle cx="10" cy="10" r="3.5" fill="#ffffff" '
                                         f'opacity="0.6"/>')))
    return frames


def track():
    return render(svg(300, 28, f'<rect x="4" y="10" width="292" height="8" rx="4" fill="{SKY}" stroke="{NAVY}" '
                               f'stroke-width="2"/>'))


def tab_frames():
    """One frame per selected tab: the row of tabs with that one raised."""
    width = sum(w for _, w in TABS)
    frames = []
    for selected in range(len(TABS)):
        body = ""
        x = 0
        for i, (name, w) in enumerate(TABS):
            up = i == selected
            body += (f'<rect x="{x + 2}" y="{2 if up else 8}" width="{w - 4}" height="{TAB_HEIGHT}" rx="8" '
                     f'fill="{CREAM if up else SKY}" stroke="{NAVY}" stroke-width="2"/>'
                     f'<text x="{x + w / 2}" y="{24 if up else 29}" font-family="DejaVu Sans" '
                     f'font-weight="bold" font-size="14" text-anchor="middle" fill="{NAVY}">{name}</text>')
            x += w
        frames.append(render(svg(width, TAB_HEIGHT + 4, body)))
    return frames


def pack_buttons(out, buttons):
    """One sheet "button_<name>" per entry name: (caption, colour, width)."""
    for name, (caption, colour, width) in buttons.items():
        stem = os.path.join(out, "button_" + name)
        sheetpack.pack(button_frames(caption, colour, width), stem + ".png", stem + ".xml")


def run(argv, doc, outputs, build):
    """The command line every picture script shares: --list, or an output folder."""
    if argv[1:] == ["--list"]:
        print("\n".join(outputs()))
    elif len(argv) == 2:
        build(argv[1])
    else:
        sys.exit(doc)


def build(out):
    os.makedirs(out, exist_ok=True)
    for i, part in enumerate(panel_parts()):
        part.save(os.path.join(out, "panel_%d.png" % i))
    pack_buttons(out, BUTTONS)
    for stem, frames in (("switch_box", switch_frames()), ("slider_knob", knob_frames()),
                         ("highscore_tabs", tab_frames())):
        sheetpack.pack(frames, os.path.join(out, stem + ".png"), os.path.join(out, stem + ".xml"))
    track().save(os.path.join(out, "slider_track.png"))


if __name__ == "__main__":
    run(sys.argv, __doc__, outputs, build)
