#!/usr/bin/env python3
"""The front-end scenes' pictures: the backgrounds of the
loading screen, the main menu and the trophy room, the progress bar, the
loading logo (its letters rolling in, one frame each), the menu's two
springing logos (a coil and a bouncing ball), the menu's buttons (normal,
hover, pressed, disabled), the trophy room's sparkle, and the player list's
name rows, its border and its buttons, and the box a new player's name is
typed into with its blinking text cursor.

    frontend.py --list            the file names it writes
    frontend.py <output folder>
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "content"))
import sheetpack  # noqa: E402
import textnotes  # noqa: E402
from dialogs import NAVY, INK, SKY, CREAM, SUN, CORAL, TEAL, button_frames, render, svg  # noqa: E402,F401

# name: (caption, colour, width)
BUTTONS = {
    "play": ("Timed game", TEAL, 260), "play_untimed": ("Untimed game", TEAL, 260),
    "play_wod": ("Word of the day", TEAL, 260), "blitz": ("Blitz", TEAL, 260),
    "crisscross": ("Crisscross", TEAL, 260), "trophy": ("Trophy room", INK, 220),
    "highscores": ("High scores", INK, 220), "changename": ("Change player", INK, 220),
    "quit": ("Quit", CORAL, 220), "trophy_menu": ("Main menu", INK, 200),
    "player_add": ("Add player", TEAL, 160), "player_remove": ("Remove", CORAL, 160),
    # The player rows carry their name as a label of their own.
    "player_name": ("", INK, 300),
}
# Where the trophy room's 24 trophies stand: six on each of four shelves.
TROPHY_COLUMNS, TROPHY_ROWS = 6, 4
TROPHY_X0, TROPHY_DX, TROPHY_Y0, TROPHY_DY = 125, 110, 140, 100
TITLE = "QUORVEL"
SINGLE = ["background_load.png", "background_menu.png", "background_trophy.png", "progress_bar.png",
          "progress_frame.png", "sparkle.png", "player_border.png", "input_field.png",
          "text_cursor.png"]
SHEETS = ["logo_load", "logo_coil", "logo_bounce"] + ["button_" + b for b in BUTTONS]


def outputs():
    names = list(SINGLE)
    for stem in SHEETS:
        names += [stem + ".png", stem + ".xml"]
    return names


def gradient(width, height, extra=""):
    return render(svg(width, height, (
        f'<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="{INK}"/>'
        f'<stop offset="1" stop-color="{NAVY}"/></linearGradient></defs>'
        f'<rect width="{width}" height="{height}" fill="url(#g)"/>{extra}')))


def ball(cx, cy, r, letter, fill=CREAM):
    return (f'<circle cx="{cx + 3}" cy="{cy + 3}" r="{r}" fill="{NAVY}" opacity="0.4"/>'
            f'<circle cx="{cx}" cy="{cy}" r="{r}" fill="{fill}" stroke="{NAVY}" stroke-width="2.5"/>'
            f'<ellipse cx="{cx - r * 0.3}" cy="{cy - r * 0.45}" rx="{r * 0.45}" ry="{r * 0.22}" fill="#ffffff" '
            f'opacity="0.5"/>'
            f'<text x="{cx}" y="{cy + r * 0.36}" font-family="DejaVu Sans" font-weight="bold" font-size="{r * 1.05}" '
            f'text-anchor="middle" fill="{NAVY}">{letter}</text>')


def title_row(count, r, width, y):
    step = 2 * r + 8
    x0 = (width - step * (len(TITLE) - 1)) / 2
    return "".join(ball(x0 + i * step, y, r, TITLE[i]) for i in range(count))


def splash_card():
    body = (f'<rect x="2" y="2" width="476" height="236" rx="12" fill="{CREAM}" stroke="{NAVY}" stroke-width="3"/>'
            + title_row(len(TITLE), 26, 480, 100)
            + f'<text x="240" y="190" font-family="DejaVu Sans" font-size="22" text-anchor="middle" '
              f'fill="{NAVY}">a game of hidden words</text>')
    return render(svg(480, 240, body))


def load_background():
    dots = "".join(f'<circle cx="{x}" cy="{y}" r="{r}" fill="{SKY}" opacity="0.12"/>'
                   for x, y, r in ((90, 110, 60), (700, 480, 90), (640, 90, 40), (160, 520, 35)))
    return gradient(800, 600, dots)


def menu_background():
    panel = (f'<rect x="290" y="120" width="300" height="440" rx="14" fill="{NAVY}" opacity="0.35"/>'
             f'<rect x="20" y="120" width="250" height="440" rx="14" fill="{NAVY}" opacity="0.35"/>')
    return gradient(800, 600, panel + title_row(len(TITLE), 24, 800, 60))


def trophy_spot(column, row):
    """The centre of trophy `column`, `row`, as the trophy room's data places it."""
    return TROPHY_X0 + column * TROPHY_DX, TROPHY_Y0 + row * TROPHY_DY


def trophy_background():
    shelves = "".join(
        f'<rect x="80" y="{TROPHY_Y0 + row * TROPHY_DY + 38}" width="640" height="10" rx="4" fill="{INK}" '
        f'stroke="{NAVY}" stroke-width="2"/>' for row in range(TROPHY_ROWS))
    # A faint stand marks where each trophy will be, so an empty room still
    # shows how much is left to earn.
    spots = "".join(
        f'<ellipse cx="{x}" cy="{y + 36}" rx="30" ry="6" fill="{SKY}" opacity="0.25"/>'
        for x, y in (trophy_spot(c, r) for r in range(TROPHY_ROWS) for c in range(TROPHY_COLUMNS)))
    # The room's title is a label of the scene, in the title font.
    panel = (f'<rect x="60" y="80" width="680" height="420" rx="16" fill="{NAVY}" opacity="0.45"/>'
             f'<rect x="60" y="504" width="500" height="62" rx="10" fill="{CREAM}" opacity="0.92"/>')
    return gradient(800, 600, panel + shelves + spots)


def sparkle():
    """A four-pointed glint with a soft halo, laid over an earned trophy."""
    rays = "".join(f'<path d="M60 {60 - r} L{60 + r * 0.16} 60 L60 {60 + r} L{60 - r * 0.16} 60 Z" fill="#ffffff" '
                   f'transform="rotate({angle} 60 60)" opacity="{alpha}"/>'
                   for r, angle, alpha in ((56, 0, 0.95), (56, 90, 0.95), (34, 45, 0.7), (34, 135, 0.7)))
    return render(svg(120, 120, (
        '<defs><radialGradient id="h"><stop offset="0" stop-color="#fff1a8" stop-opacity="0.75"/>'
        '<stop offset="1" stop-color="#fff1a8" stop-opacity="0"/></radialGradient></defs>'
        f'<circle cx="60" cy="60" r="58" fill="url(#h)"/>{rays}')))


def player_border():
    return render(svg(312, 56, f'<rect x="3" y="3" width="306" height="50" rx="24" fill="none" stroke="{SUN}" '
                               f'stroke-width="5"/>'))


def input_field():
    """The box a name is typed into: white, inset, with a navy rim."""
    return render(svg(300, 34, f'<rect x="1" y="1" width="298" height="32" rx="6" fill="#ffffff" stroke="{NAVY}" '
                               f'stroke-width="2"/><rect x="4" y="4" width="292" height="3" rx="1.5" fill="{NAVY}" '
                               f'opacity="0.12"/>'))


def text_cursor():
    """The text cursor of a name box: a thin navy bar as tall as a line of body text."""
    return render(svg(3, 22, f'<rect x="0.5" y="0" width="2" height="22" rx="1" fill="{NAVY}"/>'))


def progress_bar():
    return render(svg(400, 24, f'<rect x="1" y="1" width="398" height="22" rx="11" fill="{SUN}" '
                               f'stroke="{NAVY}" stroke-width="2"/><rect x="12" y="5" width="376" height="5" '
                               f'rx="2.5" fill="#ffffff" opacity="0.45"/>'))


def progress_frame():
    return render(svg(408, 32, f'<rect x="2" y="2" width="404" height="28" rx="14" fill="{NAVY}" '
                               f'stroke="{CREAM}" stroke-width="2.5"/>'))


def logo_frames():
    """The title's letter balls rolling in one by one, then the whole title."""
    return [render(svg(480, 80, title_row(n, 26, 480, 40))) for n in range(len(TITLE) + 1)]


def coil_frames():
    """A spring squeezed and let go: its height follows one bounce."""
    frames = []
    for h in (70, 50, 36, 56, 84, 76, 68, 70):
        turns = 6
        gap = h / turns
        path = " ".join(f"L {20 if i % 2 else 60} {100 - i * gap:.1f}" for i in range(1, turns + 1))
        frames.append(render(svg(80, 110, (
            f'<path d="M 40 100 {path}" fill="none" stroke="{SUN}" stroke-width="5" stroke-linejoin="round" '
            f'stroke-linecap="round"/>' + ball(40, 100 - h - 12, 14, "Q", SKY)))))
    return frames


def bounce_frames():
    """A letter ball dropping, squashing on the floor and rising again."""
    frames = []
    for y, squash in ((20, 1.0), (45, 1.0), (72, 1.0), (86, 0.7), (72, 1.0), (45, 1.0), (20, 1.0)):
        frames.append(render(svg(70, 110, (
            f'<rect x="5" y="104" width="60" height="4" rx="2" fill="{NAVY}" opacity="0.5"/>'
            f'<g transform="translate(35 {y}) scale({2 - squash} {squash})">{ball(0, 0, 16, "V")}</g>'))))
    return frames


def build(out):
    os.makedirs(out, exist_ok=True)
    for name, image in (("background_load.png", load_background()),
                        ("background_menu.png", menu_background()),
                        ("background_trophy.png", trophy_background()), ("progress_bar.png", progress_bar()),
                        ("progress_frame.png", progress_frame()), ("sparkle.png", sparkle()),
                        ("player_border.png", player_border()), ("input_field.png", input_field()),
                        ("text_cursor.png", text_cursor())):
        textnotes.save(image, os.path.join(out, name))
    for stem, frames in (("logo_load", logo_frames()), ("logo_coil", coil_frames()),
                         ("logo_bounce", bounce_frames())):
        sheetpack.pack(frames, os.path.join(out, stem + ".png"), os.path.join(out, stem + ".xml"))
    for name, (caption, colour, width) in BUTTONS.items():
        stem = os.path.join(out, "button_" + name)
        sheetpack.pack(button_frames(caption, colour, width), stem + ".png", stem + ".xml")


def main(argv):
    if argv[1:] == ["--list"]:
        print("\n".join(outputs()))
    elif len(argv) == 2:
        build(argv[1])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
