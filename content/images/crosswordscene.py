#!/usr/bin/env python3
"""The crossword scene's pictures: the backdrop seen through the board's
window (a faint grid of cells on sky), the overlay round that window (the
scene's own colours, so the board slides under it), and the buttons that
move between words and zoom the board (normal, hover, pressed, disabled).

    crosswordscene.py --list            the file names it writes
    crosswordscene.py <output folder>
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "content"))
import textnotes  # noqa: E402
from dialogs import NAVY, INK, SKY, CREAM, SUN, TEAL, pack_buttons, render, run, svg  # noqa: E402

# The board's window on the screen; the scene reads clicks there too.
WINDOW = (85, 20, 715, 360)
# Cells of the grid as the board shows them zoomed out (69-pixel slots at half size).
CELL = 34.5
# name: (caption, colour, width)
BUTTONS = {"zoom": ("Zoom", INK, 120), "xword_next": ("Next word", INK, 150), "xword_prev": ("Previous", INK, 150)}
SINGLE = ["background.png", "overlay.png"]


def outputs():
    names = list(SINGLE)
    for name in BUTTONS:
        names += ["button_" + name + ".png", "button_" + name + ".xml"]
    return names


def background():
    """Sky paper with a faint navy grid, lit from the top left."""
    x0, y0, x1, y1 = WINDOW
    lines = []
    x = x0 + CELL
    while x < x1:
        lines.append(f'<line x1="{x:.1f}" y1="{y0}" x2="{x:.1f}" y2="{y1}"/>')
        x += CELL
    y = y0 + CELL
    while y < y1:
        lines.append(f'<line x1="{x0}" y1="{y:.1f}" x2="{x1}" y2="{y:.1f}"/>')
        y += CELL
    return render(svg(800, 600, (
        f'<defs><radialGradient id="light" cx="0.25" cy="0.15" r="0.9"><stop offset="0" stop-color="{CREAM}"/>'
        f'<stop offset="1" stop-color="{SKY}"/></radialGradient></defs>'
        f'<rect width="800" height="600" fill="{SKY}"/>'
        f'<rect x="{x0}" y="{y0}" width="{x1 - x0}" height="{y1 - y0}" fill="url(#light)"/>'
        f'<g stroke="{NAVY}" stroke-width="1" opacity="0.06">{"".join(lines)}</g>')))


def overlay():
    """Ink blue to navy everywhere but the board's rounded window, which has a
    navy rim and a sunflower hairline."""
    x0, y0, x1, y1 = WINDOW
    w, h = x1 - x0, y1 - y0
    return render(svg(800, 600, (
        f'<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="{INK}"/>'
        f'<stop offset="1" stop-color="{NAVY}"/></linearGradient>'
        f'<mask id="hole"><rect width="800" height="600" fill="#ffffff"/>'
        f'<rect x="{x0}" y="{y0}" width="{w}" height="{h}" rx="14" fill="#000000"/></mask></defs>'
        f'<rect width="800" height="600" fill="url(#g)" mask="url(#hole)"/>'
        f'<rect x="{x0 + 3}" y="{y0 + 4}" width="{w}" height="{h}" rx="14" fill="none" stroke="{NAVY}" '
        f'stroke-width="3" opacity="0.4"/>'
        f'<rect x="{x0}" y="{y0}" width="{w}" height="{h}" rx="14" fill="none" stroke="{NAVY}" stroke-width="3"/>'
        f'<rect x="{x0 + 3}" y="{y0 + 3}" width="{w - 6}" height="{h - 6}" rx="12" fill="none" stroke="{SUN}" '
        f'stroke-width="1" opacity="0.6"/>'
        f'<text x="400" y="592" font-family="DejaVu Sans" font-weight="bold" font-size="14" text-anchor="middle" '
        f'fill="{TEAL}">Crisscross</text>')))


def build(out):
    os.makedirs(out, exist_ok=True)
    textnotes.save(background(), os.path.join(out, "background.png"))
    overlay().save(os.path.join(out, "overlay.png"))
    pack_buttons(out, BUTTONS)


if __name__ == "__main__":
    run(sys.argv, __doc__, outputs, build)
