#!/usr/bin/env python3
"""The splash pictures the first scene shows one after another.

    splash.py --list            the file names it writes
    splash.py <output folder>
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from frontend import splash_card  # noqa: E402


def main(argv):
    if argv[1:] == ["--list"]:
        print("splash1.png")
    elif len(argv) == 2:
        os.makedirs(argv[1], exist_ok=True)
        splash_card().save(os.path.join(argv[1], "splash1.png"))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
