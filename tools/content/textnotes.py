#!/usr/bin/env python3
"""Where the picture scripts draw text: every <text> of a rendered SVG is
noted with the box its letters take in the picture, its size, fill and
opacity, and the width its outline shows outside the letters, so that the
screen check can find the text in a drawn frame and measure it.

render() of a picture script calls note(svg, image); sheetpack.pack() and
saved() tell which file and frame the picture became. When the environment
names a file in QMV_CONTENT_TEXTS, the notes are written there at exit, one
text a line, tab separated:

    <picture file> <frame> <left> <top> <right> <bottom> <size> <fill> <outline> <outline px> <opacity> <text>

The box is measured with the same DejaVu font files the SVG names, laid out
as the SVG places them (x, y, text-anchor, and the translate and scale of the
text and of the groups round it).
"""
import atexit
import html
import os
import re

from PIL import ImageFont

FONT_DIR = "/usr/share/fonts/truetype/dejavu"
_records = []
_fonts = {}
_TAG = re.compile(r'<(/?)(g|text)\b([^>]*)>(?:([^<]*)</text>)?')
_ATTRIBUTE = re.compile(r'([\w-]+)="([^"]*)"')
_STEP = re.compile(r'(translate|scale)\(([^)]*)\)')


def _transform(text):
    """(scale x, scale y, move x, move y) of a transform of translates and scales."""
    sx, sy, tx, ty = 1.0, 1.0, 0.0, 0.0
    for kind, args in _STEP.findall(text or ""):
        values = [float(v) for v in re.split(r"[ ,]+", args.strip())]
        if kind == "translate":
            dx, dy = values[0], values[1] if len(values) > 1 else 0.0
            tx, ty = tx + sx * dx, ty + sy * dy
        else:
            kx, ky = values[0], values[1] if len(values) > 1 else values[0]
            sx, sy = sx * kx, sy * ky
    return sx, sy, tx, ty


def _then(outer, inner):
    sx, sy, tx, ty = outer
    ix, iy, jx, jy = inner
    return sx * ix, sy * iy, tx + sx * jx, ty + sy * jy


def _font(bold, size):
    key = (bold, size)
    if key not in _fonts:
        name = "DejaVuSans-Bold.ttf" if bold else "DejaVuSans.ttf"
        _fonts[key] = ImageFont.truetype(os.path.join(FONT_DIR, name), size)
    return _fonts[key]


def texts_of(svg):
    """Every text of the SVG: (box, size, fill, outline, outline px, opacity, text)."""
    found = []
    stack = [(1.0, 1.0, 0.0, 0.0)]
    for closing, tag, attributes, content in _TAG.findall(svg):
        attrs = dict(_ATTRIBUTE.findall(attributes))
        if tag == "g":
            if closing:
                stack.pop()
            elif not attributes.rstrip().endswith("/"):
                stack.append(_then(stack[-1], _transform(attrs.get("transform"))))
            continue
        words = html.unescape(content or "")
        if not words.strip():
            continue
        place = _then(stack[-1], _transform(attrs.get("transform")))
        place = _then(place, (1.0, 1.0, float(attrs.get("x", 0)), float(attrs.get("y", 0))))
        size = float(attrs["font-size"])
        anchor = {"middle": "ms", "end": "rs"}.get(attrs.get("text-anchor"), "ls")
        font = _font(attrs.get("font-weight") == "bold", round(size))
        left, top, right, bottom = font.getbbox(words, anchor=anchor)
        sx, sy, tx, ty = place
        box = (tx + sx * left, ty + sy * top, tx + sx * right, ty + sy * bottom)
        outline = attrs.get("stroke", "none")
        width = float(attrs.get("stroke-width", 1)) / 2 if outline != "none" else 0.0
        found.append((box, size * sy, attrs.get("fill", "#000000"), outline, width,
                      float(attrs.get("opacity", 1)), words))
    return found


def note(svg, image):
    """Keeps the SVG's texts with its rendered picture; answers the picture."""
    image.info["texts"] = texts_of(svg)
    return image


def saved(image, path, frame=0):
    """The picture (with its noted texts) became frame `frame` of `path`."""
    for box, size, fill, outline, width, opacity, words in image.info.get("texts", []):
        _records.append("\t".join([os.path.abspath(path), str(frame)] + ["%.1f" % v for v in box]
                                  + ["%.1f" % size, fill, outline, "%.2f" % width, "%.2f" % opacity,
                                     words.replace("\t", " ")]))


def save(image, path):
    """Saves a single picture and notes its texts."""
    image.save(path)
    saved(image, path)


def _write():
    with open(os.environ["QMV_CONTENT_TEXTS"], "w") as f:
        f.write("".join(line + "\n" for line in _records))


if os.environ.get("QMV_CONTENT_TEXTS"):
    atexit.register(_write)
