#!/usr/bin/env python3
"""The letter balls: the ball's animation sheet, the two letter-overlay
sheets and the sheen, every letter and every frame drawn from one SVG template each.

Each letter owns 17 frames: 0..11 the ball rolling in (it drops, squashes
and settles; the letter is not shown yet), 11..16 the ball turning to its
selected side (cream to sky, the letter squeezed as it turns). The ball's
frames are the same for every letter, so its sheet stores them once; the
overlays hold the letter from frame 11 on.

    letterballs.py --list            the file names it writes
    letterballs.py <output folder>
"""
import io
import os
import subprocess
import sys

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "content"))
import sheetpack  # noqa: E402

NAVY, CREAM, SKY = "#1d3557", "#fff8e7", "#a8dadc"
FRAMES_PER_LETTER = 17
LETTER_COUNT = 57
BALL = 64
OUTPUTS = ["letterball_anim.png", "letterball_anim.xml", "letterball_40.png", "letterball_40.xml",
           "letterball_50.png", "letterball_50.xml", "chicklet_sheen.png", "chicklet_sheen.xml",
           "particleball.png"]
# The sheen: a band of light sweeping across the ball, top left to bottom right.
SHEEN_FRAMES = 8

# Rolling in: (scale x, scale y, drop in pixels) for frames 0..11.
ROLL_IN = [(0.15, 0.15, -20), (0.35, 0.35, -16), (0.6, 0.6, -10), (0.85, 0.85, -4), (1.05, 0.95, 0),
           (1.12, 0.86, 2), (0.96, 1.06, -2), (1.03, 0.97, 0), (0.99, 1.01, 0), (1.0, 1.0, 0), (1.0, 1.0, 0),
           (1.0, 1.0, 0)]
# Turning to the selected side, frames 11..16: how far the colour has turned
# and how wide the letter looks.
TURN = [(0.0, 1.0), (0.2, 0.8), (0.45, 0.5), (0.7, 0.5), (0.9, 0.8), (1.0, 1.0)]


def letter_of(index):
    """The letter each index shows, as the rack numbers letters."""
    if index < 26:
        return chr(ord("A") + index)
    if 27 <= index <= 49:
        return chr(192 + index - 27)
    if 50 <= index <= 54:
        return chr(217 + index - 50)
    if index == 56:
        return "\u00df"
    return ""


def mix(a, b, t):
    pa = [int(a[i:i + 2], 16) for i in (1, 3, 5)]
    pb = [int(b[i:i + 2], 16) for i in (1, 3, 5)]
    return "#" + "".join("%02x" % round(x + (y - x) * t) for x, y in zip(pa, pb))


def ball(x, sx, sy, drop, turned):
    face = mix(CREAM, SKY, turned)
    cx, cy, r = x + BALL / 2, BALL / 2 + drop, 26
    return (f'<g transform="translate({cx} {cy}) scale({sx} {sy})">'
            f'<ellipse cx="2" cy="3" rx="{r}" ry="{r}" fill="{NAVY}" opacity="0.35"/>'
            f'<circle r="{r}" fill="url(#face{round(turned * 100)})" stroke="{NAVY}" stroke-width="2.5"/>'
            f'<ellipse cx="-9" cy="-12" rx="10" ry="6" fill="#ffffff" opacity="0.6" transform="rotate(-35 -9 -12)"/>'
            f'</g>', face)


def ball_sheet_svg():
    poses, gradients = [], set()
    for i, (sx, sy, drop) in enumerate(ROLL_IN + [(1.0, 1.0, 0)] * 5):
        turned = TURN[i - 11][0] if i >= 11 else 0.0
        svg, face = ball(i * BALL, sx, sy, drop, turned)
        poses.append(svg)
        gradients.add((round(turned * 100), face))
    defs = "".join(f'<radialGradient id="face{k}" cx="0.38" cy="0.32" r="0.75">'
                   f'<stop offset="0" stop-color="#ffffff"/><stop offset="0.35" stop-color="{face}"/>'
                   f'<stop offset="1" stop-color="{mix(face, NAVY, 0.35)}"/></radialGradient>'
                   for k, face in sorted(gradients))
    width = BALL * FRAMES_PER_LETTER
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{BALL}" '
            f'viewBox="0 0 {width} {BALL}"><defs>{defs}</defs>{"".join(poses)}</svg>')


def overlay_sheet_svg(size):
    """One row per letter, one column per turning pose (frames 11..16)."""
    cells = []
    for row in range(LETTER_COUNT):
        letter = letter_of(row)
        if not letter:
            continue
        for col, (turned, width) in enumerate(TURN):
            cx, cy = col * size + size / 2, row * size + size / 2
            cells.append(f'<text transform="translate({cx} {cy + size * 0.27}) scale({width} 1)" '
                         f'font-family="DejaVu Sans" font-weight="bold" font-size="{size * 0.72:.1f}" '
                         f'text-anchor="middle" fill="{NAVY}">{letter}</text>')
    width, height = size * len(TURN), size * LETTER_COUNT
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
            f'viewBox="0 0 {width} {height}">{"".join(cells)}</svg>')


def sheen_sheet_svg():
    cells = []
    for i in range(SHEEN_FRAMES):
        cx, cy = i * BALL + BALL / 2, BALL / 2
        offset = -40 + 80 * i / (SHEEN_FRAMES - 1)
        cells.append(f'<clipPath id="c{i}"><circle cx="{cx}" cy="{cy}" r="25"/></clipPath>'
                     f'<g clip-path="url(#c{i})"><rect x="{cx + offset - 7}" y="{cy - 40}" width="14" height="80" '
                     f'fill="#ffffff" opacity="0.7" transform="rotate(35 {cx + offset} {cy})"/></g>')
    width = BALL * SHEEN_FRAMES
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{BALL}" '
            f'viewBox="0 0 {width} {BALL}">{"".join(cells)}</svg>')


def particle_svg():
    """The small spark that flies out of a letter ball as it appears."""
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16" viewBox="0 0 16 16">'
            '<defs><radialGradient id="g" cx="0.4" cy="0.4" r="0.6"><stop offset="0" stop-color="#ffffff"/>'
            '<stop offset="0.5" stop-color="#e9c46a"/><stop offset="1" stop-color="#e9c46a" stop-opacity="0"/>'
            '</radialGradient></defs><circle cx="8" cy="8" r="7.5" fill="url(#g)"/></svg>')


def render(svg):
    result = subprocess.run(["rsvg-convert", "-f", "png"], input=svg.encode(), capture_output=True)
    if result.returncode != 0:
        sys.exit("rsvg-convert failed: " + result.stderr.decode())
    return Image.open(io.BytesIO(result.stdout)).convert("RGBA")


def build(out_folder):
    os.makedirs(out_folder, exist_ok=True)
    strip = render(ball_sheet_svg())
    poses = [strip.crop((i * BALL, 0, (i + 1) * BALL, BALL)) for i in range(FRAMES_PER_LETTER)]
    sheetpack.pack(poses * LETTER_COUNT, os.path.join(out_folder, "letterball_anim.png"),
                   os.path.join(out_folder, "letterball_anim.xml"))
    render(particle_svg()).save(os.path.join(out_folder, "particleball.png"))
    sheen = render(sheen_sheet_svg())
    sheetpack.pack([sheen.crop((i * BALL, 0, (i + 1) * BALL, BALL)) for i in range(SHEEN_FRAMES)],
                   os.path.join(out_folder, "chicklet_sheen.png"), os.path.join(out_folder, "chicklet_sheen.xml"))
    for size in (40, 50):
        grid = render(overlay_sheet_svg(size))
        blank = Image.new("RGBA", (size, size), (0, 0, 0, 0))
        frames = []
        for row in range(LETTER_COUNT):
            frames += [blank] * 11
            for col in range(len(TURN)):
                frames.append(grid.crop((col * size, row * size, (col + 1) * size, (row + 1) * size))
                              if letter_of(row) else blank)
        name = "letterball_%d" % size
        sheetpack.pack(frames, os.path.join(out_folder, name + ".png"), os.path.join(out_folder, name + ".xml"))


def main(argv):
    if argv[1:] == ["--list"]:
        print("\n".join(OUTPUTS))
    elif len(argv) == 2:
        build(argv[1])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
