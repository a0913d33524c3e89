#!/usr/bin/env python3
"""The splash pictures the first scene shows one after another, and the
branding file with its timings (copied from content/splash).

    splash.py --list            the file names it writes
    splash.py <output folder>
"""
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from frontend import splash_card  # noqa: E402

BRANDING = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "splash", "branding.xml")


def main(argv):
    if argv[1:] == ["--list"]:
        print("splash1.png\nbranding.xml")
    elif len(argv) == 2:
        os.makedirs(argv[1], exist_ok=True)
        splash_card().save(os.path.join(argv[1], "splash1.png"))
        shutil.copyfile(BRANDING, os.path.join(argv[1], "branding.xml"))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
