#!/usr/bin/env python3
"""The sheet packer: assembles the frames of one image resource into one
sheet of at most 1024x1024 and writes the image description the resource
loader reads ("image" node with the sheet's file and a "frames" list).
Frames with the same pixels are stored once: every frame of the list that
shows them names the same rectangle.

As a module: pack(frames, sheet_path, description_path), frames being a list
of PIL images in frame order. As a program:

    sheetpack.py <sheet.png> <description.xml> <frame.png>...
"""
import os
import sys

from PIL import Image

import textnotes

MAX_SIDE = 1024
GAP = 1  # clear pixels between frames and from the edges, so filtering never mixes neighbours


class PackError(Exception):
    pass


def shelf_layout(sizes, width):
    """Places (w, h) boxes on shelves, tallest first; answers the positions
    in input order and the height used, or None when a box is wider."""
    order = sorted(range(len(sizes)), key=lambda i: (-sizes[i][1], -sizes[i][0], i))
    positions = [None] * len(sizes)
    x = y = GAP
    shelf = 0
    for i in order:
        w, h = sizes[i]
        if w + 2 * GAP > width:
            return None, None
        if x + w + GAP > width:
            x, y = GAP, y + shelf + GAP
            shelf = 0
        positions[i] = (x, y)
        x += w + GAP
        shelf = max(shelf, h)
    return positions, y + shelf + GAP


def layout(sizes):
    """The smallest power-of-two sheet (by area, then squarer) that holds the boxes."""
    best = None
    side = 16
    while side <= MAX_SIDE:
        positions, used = shelf_layout(sizes, side)
        if positions is not None:
            height = 16
            while height < used:
                height *= 2
            if height <= MAX_SIDE:
                key = (side * height, abs(side - height))
                if best is None or key < best[0]:
                    best = (key, side, height, positions)
        side *= 2
    if best is None:
        raise PackError("the frames do not fit into %dx%d" % (MAX_SIDE, MAX_SIDE))
    return best[1], best[2], best[3]


def pack(frames, sheet_path, description_path):
    unique, index_of, names = [], {}, []
    for frame in frames:
        frame = frame.convert("RGBA")
        key = (frame.size, frame.tobytes())
        if key not in index_of:
            index_of[key] = len(unique)
            unique.append(frame)
        names.append(index_of[key])
    width, height, positions = layout([f.size for f in unique])
    sheet = Image.new("RGBA", (width, height), (0, 0, 0, 0))
    for frame, position in zip(unique, positions):
        sheet.paste(frame, position)
    sheet.save(sheet_path, "PNG", optimize=True)
    for i, frame in enumerate(frames):
        textnotes.saved(frame, sheet_path, i)
    folder = os.path.dirname(os.path.abspath(description_path))
    relative = os.path.relpath(os.path.abspath(sheet_path), folder)
    lines = ['<?xml version="1.0" encoding="utf-8" ?>', "<root>",
             '\t<Node id="image" file="%s">' % relative, '\t\t<Vector id="frames">']
    for i in names:
        (x, y), (w, h) = positions[i], unique[i].size
        lines.append('\t\t\t<Node x="%d" y="%d" width="%d" height="%d" />' % (x, y, w, h))
    lines += ["\t\t</Vector>", "\t</Node>", "</root>", ""]
    with open(description_path, "w") as f:
        f.write("\n".join(lines))
    return len(unique), (width, height)


def main(argv):
    if len(argv) < 4:
        sys.exit(__doc__)
    try:
        pack([Image.open(p) for p in argv[3:]], argv[1], argv[2])
    except PackError as error:
        sys.exit("sheetpack: %s" % error)


if __name__ == "__main__":
    main(sys.argv)
