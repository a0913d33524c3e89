#!/usr/bin/env python3
"""Renders every SVG file of a folder into a same-named PNG file with
rsvg-convert, at the size the SVG declares.

    svgrender.py <svg folder> <png folder>
"""
import os
import subprocess
import sys


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    source, target = argv[1], argv[2]
    os.makedirs(target, exist_ok=True)
    for name in sorted(os.listdir(source)):
        if name.endswith(".svg"):
            png = os.path.join(target, name[:-4] + ".png")
            result = subprocess.run(["rsvg-convert", "-f", "png", "-o", png, os.path.join(source, name)],
                                    capture_output=True, text=True)
            if result.returncode != 0:
                sys.exit("rsvg-convert failed on %s: %s" % (name, result.stderr))


if __name__ == "__main__":
    main(sys.argv)
