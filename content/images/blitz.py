#!/usr/bin/env python3
"""The Blitz scene's own pictures: the clock bar (steady, and refilling), the
buttons that move between words and ask for a hint (normal, hover, pressed,
disabled), the veil laid over a paused game, the mark beside each word of the
column (missed, found), the pop-up that says time was added, the scene's
background and the pieces of the frame round the column of words that the
classic scene's frame does not have (its top edge and corner, its inside).

    blitz.py --list            the file names it writes
    blitz.py <output folder>
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "content"))
import sheetpack  # noqa: E402
import textnotes  # noqa: E402
from dialogs import NAVY, INK, SKY, CREAM, SUN, CORAL, TEAL, pack_buttons, render, run, svg  # noqa: E402,F401

# name: (caption, colour, width)
BUTTONS = {"prevword": ("\u25b2 Previous", INK, 150), "nextword": ("\u25bc Next", INK, 150),
           "hint": ("Hint", INK, 110)}
SINGLE = ["pause_veil.png", "background.png", "panel_top.png", "panel_topcorner.png", "panel_bg.png"]
SHEETS = ["timer_bar", "blitz_mark", "popup_time_added"] + ["button_" + b for b in BUTTONS]
BAR_WIDTH, BAR_HEIGHT = 360, 22


def outputs():
    names = list(SINGLE)
    for stem in SHEETS:
        names += [stem + ".png", stem + ".xml"]
    return names


def timer_frames():
    """Frame 0 the running clock, frame 1 the clock while time is added, frame 2
    the clock in its last seconds."""
    frames = []
    for fill in (SUN, TEAL, CORAL):
        frames.append(render(svg(BAR_WIDTH, BAR_HEIGHT, (
            f'<rect x="1" y="1" width="{BAR_WIDTH - 2}" height="{BAR_HEIGHT - 2}" rx="10" fill="{fill}" '
            f'stroke="{NAVY}" stroke-width="2"/>'
            f'<rect x="10" y="4" width="{BAR_WIDTH - 20}" height="5" rx="2.5" fill="#ffffff" opacity="0.45"/>'))))
    return frames


def mark_frames():
    """Frame 0 a missed word (a coral cross), frame 1 a found one (a teal tick)."""
    cross = (f'<path d="M10 10 L22 22 M22 10 L10 22" stroke="{CREAM}" stroke-width="4" '
             f'stroke-linecap="round"/>')
    tick = (f'<path d="M9 17 L14 22 L23 10" fill="none" stroke="{CREAM}" stroke-width="4" '
            f'stroke-linecap="round" stroke-linejoin="round"/>')
    frames = []
    for fill, sign in ((CORAL, cross), (TEAL, tick)):
        frames.append(render(svg(32, 32, (
            f'<circle cx="17.5" cy="17.5" r="13" fill="{NAVY}" opacity="0.4"/>'
            f'<circle cx="16" cy="16" r="13" fill="{fill}" stroke="{NAVY}" stroke-width="2.5"/>{sign}'))))
    return frames


def popup_frames():
    body = (f'<rect x="4" y="4" width="232" height="60" rx="30" fill="{NAVY}" opacity="0.4"/>'
            f'<rect x="2" y="2" width="230" height="58" rx="29" fill="{TEAL}" stroke="{NAVY}" stroke-width="3"/>'
            f'<text x="117" y="41" font-family="DejaVu Sans" font-weight="bold" font-size="26" '
            f'text-anchor="middle" fill="{CREAM}" stroke="{NAVY}" stroke-width="1.5" paint-order="stroke">'
            f'+8 seconds</text>')
    return [render(svg(240, 66, body))]


def pause_veil():
    return render(svg(800, 600, f'<rect width="800" height="600" fill="{NAVY}" opacity="0.7"/>'))


FRAME = 10


def background():
    """Ink blue to navy, a soft band behind the word being solved and the mode's name."""
    return render(svg(800, 600, (
        f'<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="{INK}"/>'
        f'<stop offset="1" stop-color="{NAVY}"/></linearGradient></defs>'
        f'<rect width="800" height="600" fill="url(#g)"/>'
        f'<rect x="207" y="200" width="572" height="165" rx="16" fill="{NAVY}" opacity="0.35"/>'
        f'<rect x="0" y="515" width="800" height="85" fill="{NAVY}" opacity="0.5"/>'
        f'<rect x="0" y="513" width="800" height="3" fill="{SUN}"/>'
        f'<text x="788" y="504" font-family="DejaVu Sans" font-weight="bold" font-size="14" text-anchor="end" '
        f'fill="{SUN}">BLITZ</text>')))


def frame_pieces():
    """The column's top edge (one pixel wide, stretched), its top-right corner and its inside."""
    top = render(svg(1, FRAME, f'<rect width="1" height="{FRAME}" fill="{NAVY}"/>'
                               f'<rect y="3" width="1" height="3" fill="{SKY}"/>'))
    corner = render(svg(FRAME, FRAME, f'<path d="M0 0 H4 A6 6 0 0 1 {FRAME} 6 V{FRAME} H0 Z" fill="{NAVY}"/>'))
    inside = render(svg(195, 600, f'<rect width="195" height="600" fill="{CREAM}" opacity="0.16"/>'))
    return {"panel_top.png": top, "panel_topcorner.png": corner, "panel_bg.png": inside}


def build(out):
    os.makedirs(out, exist_ok=True)
    pause_veil().save(os.path.join(out, "pause_veil.png"))
    textnotes.save(background(), os.path.join(out, "background.png"))
    for name, image in frame_pieces().items():
        image.save(os.path.join(out, name))
    for stem, frames in (("timer_bar", timer_frames()), ("blitz_mark", mark_frames()),
                         ("popup_time_added", popup_frames())):
        sheetpack.pack(frames, os.path.join(out, stem + ".png"), os.path.join(out, stem + ".xml"))
    pack_buttons(out, BUTTONS)


if __name__ == "__main__":
    run(sys.argv, __doc__, outputs, build)
