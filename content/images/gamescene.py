#!/usr/bin/env python3
"""The classic game scene's pictures: its three backgrounds (untimed, timed,
word of the day), the panel behind the letter rows, the frame round the
answer table (sides, corners, bottom and the panel behind the table), the scene's buttons (normal, hover,
pressed, disabled) and the word-result popups (the full-length and
all-words popups as short frame animations).

    gamescene.py --list            the file names it writes
    gamescene.py <output folder>
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "content"))
import sheetpack  # noqa: E402
import textnotes  # noqa: E402
from dialogs import NAVY, INK, SKY, CREAM, SUN, CORAL, TEAL, pack_buttons, render, run, svg  # noqa: E402

# name: (caption, colour, width)
BUTTONS = {
    "menu": ("Menu", INK, 120), "mivel": ("Shuffle", INK, 140), "lastword": ("Last word", INK, 140),
    "clear": ("Clear", INK, 140), "enter": ("Enter", TEAL, 140), "nextround": ("Next round", TEAL, 170),
    "giveup": ("Give up", CORAL, 170), "pass": ("Pass", CORAL, 170), "pass2": ("Pass", CORAL, 170),
    "wotd_done": ("Done", TEAL, 170),
}
# The word-result popups by code; 1 and 2 are animated.
POPUPS = {
    0: ("Not a word", CORAL), 3: ("Already found", INK), 4: ("Does not cross", CORAL),
    5: ("No free slot left", INK), 7: ("That letter is fixed", CORAL), 8: ("No words that long", INK),
    9: ("Not a word here", CORAL), 10: ("Good start!", TEAL), 11: ("Word of the day!", TEAL),
}
ANIMATED = {"popup_bingo": "Full word!", "popup_allwords": "All words found!"}
FRAME = 10  # thickness of the frame round the answer table

SINGLE = (["background.png", "background_timed.png", "background_wotd.png", "panel_left.png", "panel_right.png",
           "panel_leftcorner.png", "panel_rightcorner.png", "panel_bottom.png", "panel_bg.png", "panel_top.png",
           "panel_topleft.png", "panel_topright.png", "rack_panel.png"]
          + [f"popup_{code}.png" for code in POPUPS])
SHEETS = ["button_" + b for b in BUTTONS] + list(ANIMATED)


def outputs():
    names = list(SINGLE)
    for stem in SHEETS:
        names += [stem + ".png", stem + ".xml"]
    return names


def background(accent, caption, ink=None):
    """Ink blue to navy and the mode's name (in the accent, or in `ink` where
    the accent reads too faintly on navy)."""
    return render(svg(800, 600, (
        f'<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="{INK}"/>'
        f'<stop offset="1" stop-color="{NAVY}"/></linearGradient></defs>'
        f'<rect width="800" height="600" fill="url(#g)"/>'
        f'<rect x="0" y="515" width="800" height="85" fill="{NAVY}" opacity="0.5"/>'
        f'<rect x="0" y="513" width="800" height="3" fill="{accent}"/>'
        f'<text x="788" y="504" font-family="DejaVu Sans" font-weight="bold" font-size="14" text-anchor="end" '
        f'fill="{ink or accent}">{caption}</text>')))


def rack_panel():
    """The soft band behind the letter rows; the scene places it, and the
    answer table is fitted above it."""
    return panel(600, 170, f'<rect width="600" height="170" rx="16" fill="{NAVY}" opacity="0.35"/>')


def panel(width, height, body):
    return render(svg(width, height, body))


def frame_pieces():
    """Navy sides one pixel tall or wide (the scene stretches them), rounded corners."""
    side = panel(FRAME, 1, f'<rect width="{FRAME}" height="1" fill="{NAVY}"/>'
                           f'<rect x="3" width="3" height="1" fill="{SKY}"/>')
    right = panel(FRAME, 1, f'<rect width="{FRAME}" height="1" fill="{NAVY}"/>'
                            f'<rect x="4" width="3" height="1" fill="{SKY}"/>')
    bottom = panel(1, FRAME, f'<rect width="1" height="{FRAME}" fill="{NAVY}"/>'
                             f'<rect y="4" width="1" height="3" fill="{SKY}"/>')
    top = panel(1, FRAME, f'<rect width="1" height="{FRAME}" fill="{NAVY}"/>'
                          f'<rect y="3" width="1" height="3" fill="{SKY}"/>')
    left_corner = panel(FRAME, FRAME, f'<path d="M0 0 H{FRAME} V{FRAME} H6 A6 6 0 0 1 0 4 Z" fill="{NAVY}"/>')
    right_corner = panel(FRAME, FRAME, f'<path d="M0 0 H{FRAME} V4 A6 6 0 0 1 4 {FRAME} H0 Z" fill="{NAVY}"/>')
    top_left = panel(FRAME, FRAME, f'<path d="M0 {FRAME} V6 A6 6 0 0 1 6 0 H{FRAME} V{FRAME} Z" fill="{NAVY}"/>')
    top_right = panel(FRAME, FRAME, f'<path d="M0 0 H4 A6 6 0 0 1 {FRAME} 6 V{FRAME} H0 Z" fill="{NAVY}"/>')
    # Behind the table: 800 x 195, stretched to the table's size.
    back = panel(800, 195, f'<rect width="800" height="195" fill="{CREAM}" opacity="0.16"/>')
    return {"panel_left.png": side, "panel_right.png": right, "panel_bottom.png": bottom,
            "panel_leftcorner.png": left_corner, "panel_rightcorner.png": right_corner, "panel_bg.png": back,
            "panel_top.png": top, "panel_topleft.png": top_left, "panel_topright.png": top_right}


def bubble(text, colour, scale=1.0, glow=0.0):
    width, height = 300, 70
    rays = ""
    if glow > 0:
        rays = (f'<rect x="{6 - 4 * glow}" y="{6 - 4 * glow}" width="{288 + 8 * glow}" height="{58 + 8 * glow}" '
                f'rx="{29 + 4 * glow}" fill="{SUN}" opacity="{0.25 + 0.2 * glow:.2f}"/>')
    return render(svg(width, height, (
        rays
        + f'<g transform="translate(150 35) scale({scale}) translate(-150 -35)">'
          f'<rect x="9" y="11" width="284" height="52" rx="26" fill="{NAVY}" opacity="0.4"/>'
          f'<rect x="6" y="8" width="284" height="52" rx="26" fill="{colour}" stroke="{NAVY}" stroke-width="3"/>'
          f'<text x="148" y="42" font-family="DejaVu Sans" font-weight="bold" font-size="22" text-anchor="middle" '
          f'fill="{CREAM}" stroke="{NAVY}" stroke-width="3" paint-order="stroke">{text}</text></g>')))


def animated(text):
    """A sunflower glow that swells and settles round the bubble."""
    return [bubble(text, TEAL, 1.0, g) for g in (0.0, 0.4, 0.8, 1.0, 0.8, 0.5, 0.2, 0.0)]


def build(out):
    os.makedirs(out, exist_ok=True)
    for name, image in (("background.png", background(SKY, "UNTIMED")),
                        ("background_timed.png", background(SUN, "TIMED")),
                        ("background_wotd.png", background(TEAL, "WORD OF THE DAY", CREAM))):
        textnotes.save(image, os.path.join(out, name))
    rack_panel().save(os.path.join(out, "rack_panel.png"))
    for name, image in frame_pieces().items():
        image.save(os.path.join(out, name))
    for code, (text, colour) in POPUPS.items():
        textnotes.save(bubble(text, colour), os.path.join(out, f"popup_{code}.png"))
    for stem, text in ANIMATED.items():
        sheetpack.pack(animated(text), os.path.join(out, stem + ".png"), os.path.join(out, stem + ".xml"))
    pack_buttons(out, BUTTONS)


if __name__ == "__main__":
    run(sys.argv, __doc__, outputs, build)
