#!/usr/bin/env python3
"""Review copies of the shipped content, to look at and listen to before a
change lands:

  contact-sheet.png  every PNG of the run folder on one grid, each fitted
                     into its cell over a checkerboard, with its name
  listening.txt      every sound and music file with its length, peak level
                     and mean amplitude, in the order of listening.wav
  listening.wav      every sound once, a second of silence between them,
                     and the first seconds of every music stream

    review.py <run folder> <output folder>
"""
import math
import os
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw, ImageFont

CELL, LABEL, COLUMNS = 200, 28, 6
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


def files(run, extensions):
    found = []
    for folder, _, names in os.walk(run):
        for name in names:
            if os.path.splitext(name)[1].lower() in extensions:
                found.append(os.path.relpath(os.path.join(folder, name), run))
    return sorted(found)


def contact_sheet(run, target):
    images = files(run, {".png"})
    rows = max(1, math.ceil(len(images) / COLUMNS))
    sheet = Image.new("RGB", (COLUMNS * CELL, rows * (CELL + LABEL)), "#1d3557")
    draw = ImageDraw.Draw(sheet)
    font = ImageFont.truetype(FONT, 11)
    checker = Image.new("RGB", (CELL, CELL), "#8a8f99")
    checker_draw = ImageDraw.Draw(checker)
    for y in range(0, CELL, 10):
        for x in range(0, CELL, 10):
            if (x + y) // 10 % 2:
                checker_draw.rectangle((x, y, x + 9, y + 9), fill="#b4b9c2")
    for i, name in enumerate(images):
        x, y = (i % COLUMNS) * CELL, (i // COLUMNS) * (CELL + LABEL)
        image = Image.open(os.path.join(run, name)).convert("RGBA")
        scale = min(1.0, (CELL - 8) / image.width, (CELL - 8) / image.height)
        if scale < 1.0:
            image = image.resize((max(1, round(image.width * scale)), max(1, round(image.height * scale))),
                                 Image.LANCZOS)
        cell = checker.copy()
        cell.paste(image, ((CELL - image.width) // 2, (CELL - image.height) // 2), image)
        sheet.paste(cell, (x, y))
        size = Image.open(os.path.join(run, name)).size
        draw.text((x + 4, y + CELL + 2), name, fill="#fff8e7", font=font)
        draw.text((x + 4, y + CELL + 14), "%dx%d" % size, fill="#a8dadc", font=font)
    sheet.save(target)
    return len(images)


def stat(path):
    result = subprocess.run(["sox", path, "-n", "stat"], capture_output=True, text=True)
    values = {}
    for line in result.stderr.splitlines():
        if ":" in line:
            key, _, value = line.partition(":")
            values[key.strip()] = value.strip()
    peak = max(abs(float(values.get("Maximum amplitude", 0))), abs(float(values.get("Minimum amplitude", 0))))
    return float(values.get("Length (seconds)", 0)), peak, float(values.get("Mean    amplitude", 0))


def listening(run, text_target, wav_target):
    sounds = files(run, {".wav", ".ogg"})
    lines = ["%-40s %8s %9s %10s" % ("file", "seconds", "peak dB", "mean")]
    with tempfile.TemporaryDirectory() as work:
        parts = []
        for i, name in enumerate(sounds):
            path = os.path.join(run, name)
            length, peak, mean = stat(path)
            lines.append("%-40s %8.3f %9.2f %10.6f" % (name, length, 20 * math.log10(peak) if peak else -999, mean))
            part = os.path.join(work, "%03d.wav" % i)
            clip = ["trim", "0", "8", "fade", "0", "8", "0.5"] if name.endswith(".ogg") else []
            subprocess.run(["sox", "-R", "-D", path, "-r", "44100", "-c", "2", "-b", "16", part] + clip + ["pad", "0", "1"],
                           check=True, capture_output=True)
            parts.append(part)
        if parts:
            subprocess.run(["sox", "-R", "-D"] + parts + [wav_target], check=True, capture_output=True)
    with open(text_target, "w") as f:
        f.write("\n".join(lines) + "\n")
    return len(sounds)


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    os.makedirs(argv[2], exist_ok=True)
    images = contact_sheet(argv[1], os.path.join(argv[2], "contact-sheet.png"))
    sounds = listening(argv[1], os.path.join(argv[2], "listening.txt"), os.path.join(argv[2], "listening.wav"))
    print("review: %d images in contact-sheet.png, %d sounds in listening.txt and listening.wav in %s"
          % (images, sounds, argv[2]))


if __name__ == "__main__":
    main(sys.argv)
