#!/usr/bin/env python3
"""The pieces of a playing board: the answer table's tiles (cream, and sky
for words not guessed) and small letters,
the letter-box slots (classic and crossword look), their markers, the hint
letters and the crossword highlight.

    gamepieces.py --list            the file names it writes
    gamepieces.py <output folder>
"""
import io
import os
import subprocess
import sys

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "content"))
import sheetpack  # noqa: E402
import textnotes  # noqa: E402

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import letterballs  # noqa: E402

NAVY, INK, SKY, CREAM, SUN, CORAL, TEAL = "#1d3557", "#457b9d", "#a8dadc", "#fff8e7", "#e9c46a", "#e63946", "#2a9d8f"
SLOT = 69
# Eight rows of tiles, the most a column holds, stand above the answer row.
TILE_W, TILE_H = 24, 24
HINT = 50
MAX_SLOTS = 8
SHEETS = ["anagram_tile", "small_letters", "small_letters_unguessed", "hint_letters", "crossword_highlight"]
SINGLES = ["letter_box.png", "xword_box.png", "blitz_dot.png", "xbox.png", "xword_overlay.png"]
OUTPUTS = [n + ext for n in SHEETS for ext in (".png", ".xml")] + SINGLES


def small_letter(frame):
    """The letter a small-letter frame shows: the letter balls' row plus one
    (frame 0 is blank)."""
    return letterballs.letter_of(frame - 1) if frame >= 1 else ""


def svg(width, height, body):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
            f'viewBox="0 0 {width} {height}">{body}</svg>')


def text(x, y, size, letter, colour):
    return (f'<text x="{x}" y="{y}" font-family="DejaVu Sans" font-weight="bold" font-size="{size}" '
            f'text-anchor="middle" fill="{colour}">{letter}</text>')


def render(source):
    result = subprocess.run(["rsvg-convert", "-f", "png"], input=source.encode(), capture_output=True)
    if result.returncode != 0:
        sys.exit("rsvg-convert failed: " + result.stderr.decode())
    return textnotes.note(source, Image.open(io.BytesIO(result.stdout)).convert("RGBA"))


def tile(face):
    return render(svg(TILE_W, TILE_H, f'<rect x="1.5" y="1.5" width="{TILE_W - 3}" height="{TILE_H - 3}" rx="4" '
                                      f'fill="{face}" stroke="{NAVY}" stroke-width="2"/>'))


def build(out):
    os.makedirs(out, exist_ok=True)
    sheetpack.pack([tile(CREAM), tile(SKY)], os.path.join(out, "anagram_tile.png"),
                   os.path.join(out, "anagram_tile.xml"))
    blank = Image.new("RGBA", (TILE_W, TILE_H), (0, 0, 0, 0))
    letters = [render(svg(TILE_W, TILE_H, text(TILE_W / 2, TILE_H * 0.72, 17, small_letter(f), NAVY)))
               if small_letter(f) else blank for f in range(58)]
    sheetpack.pack(letters, os.path.join(out, "small_letters.png"), os.path.join(out, "small_letters.xml"))
    # The letters of a missed word read as well as the found ones: the sky
    # tile under them tells them apart.
    sheetpack.pack(letters, os.path.join(out, "small_letters_unguessed.png"),
                   os.path.join(out, "small_letters_unguessed.xml"))
    hint_blank = Image.new("RGBA", (HINT, HINT), (0, 0, 0, 0))
    hints = [hint_blank] + [render(svg(HINT, HINT, text(HINT / 2, HINT * 0.72, 36, chr(ord("A") + i), NAVY)))
                            for i in range(26)]
    sheetpack.pack(hints, os.path.join(out, "hint_letters.png"), os.path.join(out, "hint_letters.xml"))
    # Frame n outlines the first n - 3 slots of a crossword word.
    width, height = MAX_SLOTS * SLOT + 22, SLOT + 18
    frames = []
    for n in range(MAX_SLOTS + 4):
        slots = max(n - 3, 0)
        body = (f'<rect x="3" y="3" width="{slots * SLOT + 16}" height="{SLOT + 12}" rx="10" fill="none" '
                f'stroke="{SUN}" stroke-width="5"/>') if slots else ""
        frames.append(render(svg(width, height, body)))
    sheetpack.pack(frames, os.path.join(out, "crossword_highlight.png"), os.path.join(out, "crossword_highlight.xml"))
    singles = {
        "letter_box.png": svg(SLOT, SLOT, f'<rect x="4" y="4" width="61" height="61" rx="12" fill="{SKY}" '
                                          f'stroke="{NAVY}" stroke-width="2.5" opacity="0.85"/>'),
        "xword_box.png": svg(SLOT, SLOT, f'<rect x="2" y="2" width="65" height="65" rx="6" fill="{CREAM}" '
                                         f'stroke="{NAVY}" stroke-width="2.5"/>'),
        "blitz_dot.png": svg(8, 8, f'<circle cx="4" cy="4" r="3.2" fill="{SUN}" stroke="{NAVY}" stroke-width="0.8"/>'),
        "xbox.png": svg(10, 10, f'<path d="M2 2 L8 8 M8 2 L2 8" stroke="{CORAL}" stroke-width="1.6" '
                                f'stroke-linecap="round"/>'),
        "xword_overlay.png": svg(SLOT, SLOT, f'<rect x="6" y="6" width="57" height="22" rx="8" fill="#ffffff" '
                                             f'opacity="0.25"/><rect x="2" y="2" width="65" height="65" rx="6" '
                                             f'fill="none" stroke="{TEAL}" stroke-width="1" opacity="0.5"/>'),
    }
    for name, source in singles.items():
        render(source).save(os.path.join(out, name))


def main(argv):
    if argv[1:] == ["--list"]:
        print("\n".join(OUTPUTS))
    elif len(argv) == 2:
        build(argv[1])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
