#!/usr/bin/env python3
"""The 24 trophies of the trophy room, one SVG each: six forms (cup, medal,
shield, star, crown, plaque) in four finishes (bronze, silver, gold,
crystal), each with its own emblem letter, so that no two look alike.

    trophies.py --list             the file names it writes
    trophies.py <output folder>    writes trophy00.svg .. trophy23.svg
"""
import os
import sys

SIZE = 160
NAVY = "#1d3557"
FINISHES = [  # light, middle, dark
    ("bronze", "#f0b27a", "#c8793e", "#7a4420"),
    ("silver", "#f4f6f8", "#b8c2cc", "#66707a"),
    ("gold", "#fff1a8", "#e9c46a", "#a66f00"),
    ("crystal", "#e8fbff", "#7fd3e6", "#2a7f9a"),
]


def gradient(name, light, middle, dark):
    return (f'<linearGradient id="{name}" x1="0" y1="0" x2="1" y2="1">'
            f'<stop offset="0" stop-color="{light}"/><stop offset="0.45" stop-color="{middle}"/>'
            f'<stop offset="1" stop-color="{dark}"/></linearGradient>')


def base(dark):
    # Every form but the medal stands on the same navy plinth.
    return (f'<rect x="46" y="132" width="68" height="16" rx="3" fill="{NAVY}"/>'
            f'<rect x="56" y="122" width="48" height="12" rx="2" fill="{dark}" stroke="{NAVY}" stroke-width="2"/>')


def cup(dark):
    return (base(dark) +
            '<path d="M40 30 H120 C120 70 104 92 80 96 C56 92 40 70 40 30 Z" fill="url(#metal)" '
            f'stroke="{NAVY}" stroke-width="3"/>'
            f'<path d="M40 38 C20 38 20 66 46 72" fill="none" stroke="{NAVY}" stroke-width="6"/>'
            f'<path d="M120 38 C140 38 140 66 114 72" fill="none" stroke="{NAVY}" stroke-width="6"/>'
            f'<path d="M40 38 C22 38 22 64 46 70" fill="none" stroke="url(#metal)" stroke-width="3"/>'
            f'<path d="M120 38 C138 38 138 64 114 70" fill="none" stroke="url(#metal)" stroke-width="3"/>'
            f'<rect x="72" y="94" width="16" height="30" fill="url(#metal)" stroke="{NAVY}" stroke-width="2"/>', 80, 58)


def medal(dark):
    return (f'<path d="M52 8 L72 70 L88 70 L68 8 Z" fill="#e63946" stroke="{NAVY}" stroke-width="2"/>'
            f'<path d="M108 8 L88 70 L72 70 L92 8 Z" fill="#457b9d" stroke="{NAVY}" stroke-width="2"/>'
            f'<circle cx="80" cy="104" r="46" fill="url(#metal)" stroke="{NAVY}" stroke-width="3"/>'
            f'<circle cx="80" cy="104" r="36" fill="none" stroke="{dark}" stroke-width="3" stroke-dasharray="4 3"/>',
            80, 104)


def shield(dark):
    return (base(dark) +
            '<path d="M80 10 L128 24 C128 74 112 102 80 120 C48 102 32 74 32 24 Z" fill="url(#metal)" '
            f'stroke="{NAVY}" stroke-width="3"/>'
            f'<path d="M80 22 L116 32 C116 72 104 94 80 108 C56 94 44 72 44 32 Z" fill="none" '
            f'stroke="{dark}" stroke-width="2"/>', 80, 62)


def star(dark):
    points = []
    import math
    for i in range(10):
        r = 58 if i % 2 == 0 else 26
        a = -math.pi / 2 + i * math.pi / 5
        points.append(f"{80 + r * math.cos(a):.2f},{70 + r * math.sin(a):.2f}")
    return (base(dark) + f'<rect x="74" y="104" width="12" height="20" fill="{dark}" stroke="{NAVY}" stroke-width="2"/>'
            f'<polygon points="{" ".join(points)}" fill="url(#metal)" stroke="{NAVY}" stroke-width="3" '
            'stroke-linejoin="round"/>', 80, 74)


def crown(dark):
    return (base(dark) +
            '<path d="M30 110 L24 40 L54 70 L80 24 L106 70 L136 40 L130 110 Z" fill="url(#metal)" '
            f'stroke="{NAVY}" stroke-width="3" stroke-linejoin="round"/>'
            f'<circle cx="24" cy="40" r="7" fill="#e63946" stroke="{NAVY}" stroke-width="2"/>'
            f'<circle cx="80" cy="24" r="7" fill="#2a9d8f" stroke="{NAVY}" stroke-width="2"/>'
            f'<circle cx="136" cy="40" r="7" fill="#e63946" stroke="{NAVY}" stroke-width="2"/>'
            f'<rect x="30" y="100" width="100" height="10" fill="{dark}"/>', 80, 80)


def plaque(dark):
    return (base(dark) +
            f'<rect x="28" y="14" width="104" height="108" rx="10" fill="{dark}" stroke="{NAVY}" stroke-width="3"/>'
            '<rect x="38" y="24" width="84" height="88" rx="6" fill="url(#metal)"/>'
            f'<circle cx="44" cy="30" r="3" fill="{NAVY}"/><circle cx="116" cy="30" r="3" fill="{NAVY}"/>'
            f'<circle cx="44" cy="106" r="3" fill="{NAVY}"/><circle cx="116" cy="106" r="3" fill="{NAVY}"/>', 80, 68)


FORMS = [cup, medal, shield, star, crown, plaque]


def trophy(number):
    form = FORMS[number % len(FORMS)]
    name, light, middle, dark = FINISHES[number // len(FORMS)]
    body, cx, cy = form(dark)
    letter = chr(ord("A") + number)
    # The emblem: a small letter ball, the game's own mark.
    emblem = (f'<circle cx="{cx}" cy="{cy}" r="17" fill="{NAVY}"/>'
              f'<circle cx="{cx}" cy="{cy}" r="14" fill="#fff8e7"/>'
              f'<text x="{cx}" y="{cy + 7}" font-family="DejaVu Sans" font-weight="bold" font-size="20" '
              f'text-anchor="middle" fill="{NAVY}">{letter}</text>')
    shine = f'<ellipse cx="60" cy="40" rx="10" ry="5" fill="#ffffff" opacity="0.5" transform="rotate(-30 60 40)"/>'
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{SIZE}" height="{SIZE}" viewBox="0 0 {SIZE} {SIZE}">'
            f'<!-- trophy {number}: {form.__name__}, {name} -->'
            f'<defs>{gradient("metal", light, middle, dark)}</defs>'
            f'{body}{shine}{emblem}</svg>\n')


def main(argv):
    if argv[1:] == ["--list"]:
        print("\n".join("trophy%02d.svg" % n for n in range(24)))
        return
    if len(argv) != 2:
        sys.exit(__doc__)
    os.makedirs(argv[1], exist_ok=True)
    for number in range(24):
        with open(os.path.join(argv[1], "trophy%02d.svg" % number), "w") as f:
            f.write(trophy(number))


if __name__ == "__main__":
    main(sys.argv)
