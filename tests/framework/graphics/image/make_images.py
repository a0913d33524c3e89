#!/usr/bin/python3
"""Writes the image loader test pictures into the folder given as argument.

Small pictures use the 4 x 2 tables below (the C++ tests hold the same
tables); PIL writes what it can, ImageMagick the low-depth grey and 16-bit
files. Larger sheets carry their coordinates in their colours."""
import os
import struct
import subprocess
import sys
import zlib

from PIL import Image
from PIL.PngImagePlugin import PngInfo

GREY = [0, 85, 170, 255, 255, 170, 85, 0]
ALPHA = [255, 0, 128, 255, 64, 255, 255, 10]
COLOURS = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0),
           (0, 255, 255), (255, 0, 255), (10, 20, 30), (200, 100, 50)]
PALETTE4 = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (10, 20, 30)]
INDICES4 = [0, 1, 2, 3, 3, 2, 1, 0]
PALETTE16 = [(i * 16, 255 - i * 16, i) for i in range(16)]
INDICES16 = [0, 5, 10, 15, 15, 10, 5, 0]
PALETTE256 = [(i, 255 - i, (i * 7) % 256) for i in range(256)]
INDICES256 = [0, 50, 100, 150, 200, 250, 255, 1]
PALETTE_ALPHA = [255, 128, 0, 255]


def small(mode, data):
    image = Image.new(mode, (4, 2))
    image.putdata(data)
    return image


def palette(entries, indices):
    image = small("P", indices)
    image.putpalette([c for entry in entries for c in entry])
    return image


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def claim(kind):
    """512 bytes: a 1 x 1 picture's header, then a chunk that claims 1.75 GB and holds the rest."""
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 2, 0, 0, 0))
    png += struct.pack(">I", 0x70000000) + kind + b"Comment\0"
    return png + b"x" * (512 - len(png))


def run_on_parts():
    """The compressed data of a 1 x 1 colour picture that runs on past its one pixel: the start
    (the header and the pixel's row) and a block of 200 KB of zeros to repeat (219 bytes; it
    begins and ends on a byte and refers to nothing before it)."""
    compressor = zlib.compressobj(9)
    start = compressor.compress(b"\x00\x10\x20\x30") + compressor.flush(zlib.Z_FULL_FLUSH)
    unit = compressor.compress(bytes(200 << 10)) + compressor.flush(zlib.Z_FULL_FLUSH)
    return start, unit


def run_on(units):
    """A well-formed 1 x 1 picture whose data runs on with the block repeated, then ends."""
    start, unit = run_on_parts()
    check = zlib.adler32(b"\x00\x10\x20\x30")
    for _ in range(units):
        check = zlib.adler32(bytes(200 << 10), check)
    data = start + unit * units + b"\x03\x00" + struct.pack(">I", check)  # an empty last block
    return one_pixel(data)


def run_on_by(extra, piece=1 << 20, head_alone=False):
    """The picture of run_on whose data runs on `extra` bytes past its flushed pixel (a stored block
    of zeros, an empty last block and the checksum), in IDAT chunks of `piece` bytes; with
    head_alone, the stored block's 5-byte head has an IDAT chunk of its own."""
    start, _ = run_on_parts()
    zeros = extra - 11
    check = zlib.adler32(bytes(zeros), zlib.adler32(b"\x00\x10\x20\x30"))
    data = start + b"\x00" + struct.pack("<HH", zeros, zeros ^ 0xFFFF) + bytes(zeros)
    cuts = (len(start), len(start) + 5) if head_alone else ()
    return one_pixel(data + b"\x03\x00" + struct.pack(">I", check), piece, cuts)


def one_pixel(data, piece=1 << 20, cuts=()):
    """A 1 x 1 colour picture of the compressed data, in IDAT chunks of `piece` bytes, also cut
    where `cuts` says."""
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 2, 0, 0, 0))
    bounds = sorted(set(range(0, len(data), piece)) | set(cuts)) + [len(data)]
    for at, end in zip(bounds, bounds[1:]):
        png += chunk(b"IDAT", data[at:end])
    return png + chunk(b"IEND", b"")


def run_on_seed(count):
    """The fuzz target's input for run_on: its first byte asks for the repeat, and its last two
    bytes (the block's length, the count) have the block written 64 x count times. The file
    stops inside its data chunk, whose length counts the repeated blocks."""
    start, unit = run_on_parts()
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 2, 0, 0, 0))
    png += struct.pack(">I", len(start) + len(unit) * 64 * count) + b"IDAT" + start
    return b"\x25" + png + unit + bytes([len(unit), count])


def segment(marker, data):
    return b"\xff" + bytes([marker]) + struct.pack(">H", len(data) + 2) + data


def many_scans():
    """16 KB: a progressive 8192 x 1024 colour picture's headers, then empty scans to the end."""
    jpeg = b"\xff\xd8" + segment(0xDB, b"\x00" + bytes([1] * 64))
    jpeg += segment(0xC2, b"\x08" + struct.pack(">HHB", 1024, 8192, 3) + b"\x01\x11\x00\x02\x11\x00\x03\x11\x00")
    table = bytes([1] + [0] * 15) + b"\x00"  # one code of one bit, for symbol 0
    jpeg += segment(0xC4, b"\x00" + table + b"\x10" + table)
    scan = segment(0xDA, b"\x01\x01\x00\x01\x3f\x00")  # the first component's coefficients 1 to 63
    while len(jpeg) + len(scan) + 2 <= 16384:
        jpeg += scan
    return jpeg + b"\xff\xd9"


def magick(out, *arguments):
    subprocess.run(["convert", *arguments], check=True, cwd=out)


def coordinates(width, height, blue, step=1):
    """Red = (x / step) mod 256, green = (y / step) mod 256, blue fixed."""
    image = Image.new("RGB", (width, height))
    image.putdata([((x // step) % 256, (y // step) % 256, blue) for y in range(height) for x in range(width)])
    return image


def main(out):
    os.makedirs(out, exist_ok=True)
    path = lambda name: os.path.join(out, name)
    grey = small("L", GREY)
    grey.save(path("grey8.png"))
    grey.convert("1", dither=Image.NONE).save(path("grey1.png"))
    magick(out, "grey8.png", "-depth", "2", "-type", "Grayscale", "grey2.png")
    magick(out, "grey8.png", "-depth", "4", "-type", "Grayscale", "-define", "png:bit-depth=4", "grey4.png")
    small("I;16", [g * 257 for g in GREY]).save(path("grey16.png"))
    grey.save(path("greytrns.png"), transparency=85)
    greyalpha = Image.merge("LA", (grey, small("L", ALPHA)))
    greyalpha.save(path("greyalpha8.png"))
    magick(out, "greyalpha8.png", "-depth", "16", "-define", "png:color-type=4",
           "-define", "png:bit-depth=16", "greyalpha16.png")
    palette(PALETTE4, INDICES4).save(path("palette2.png"), bits=2)
    palette(PALETTE16, INDICES16).save(path("palette4.png"), bits=4)
    palette(PALETTE256, INDICES256).save(path("palette8.png"), bits=8)
    palette(PALETTE4, INDICES4).save(path("palettetrns.png"), bits=2, transparency=bytes(PALETTE_ALPHA))
    rgb = small("RGB", COLOURS)
    rgb.save(path("rgb8.png"))
    rgba = small("RGBA", [c + (a,) for c, a in zip(COLOURS, ALPHA)])
    rgba.save(path("rgba8.png"))
    texts = PngInfo()
    texts.add_text("Title", "Quorvel")
    texts.add_text("Comment", "letters " * 40, zip=True)
    texts.add_itxt("Description", "a word game", lang="en", tkey="Description")
    rgba.save(path("rgba8text.png"), pnginfo=texts)
    for kind in (b"tEXt", b"zTXt", b"iTXt", b"sPLT", b"pCAL", b"sCAL"):
        with open(path("claim" + kind.decode().lower() + ".png"), "wb") as f:
            f.write(claim(kind))
    with open(path("runon.png"), "wb") as f:
        f.write(run_on(2400))  # 512 KB, 480 MB inflated
    for name, picture in (("300", run_on_by(300)), ("5120", run_on_by(5 << 10)), ("8192", run_on_by(8 << 10)),
                          ("11264", run_on_by(11 << 10)), ("5120split", run_on_by(5 << 10, 512)),
                          ("5120head", run_on_by(5 << 10, head_alone=True))):
        with open(path("runon%s.png" % name), "wb") as f:
            f.write(picture)
    with open(path("runon.seed"), "wb") as f:
        f.write(run_on_seed(255))  # 3.4 MB, 3.2 GB inflated
    magick(out, "rgb8.png", "-depth", "16", "PNG48:rgb16.png")
    magick(out, "rgba8.png", "-depth", "16", "PNG64:rgba16.png")
    magick(out, "rgba8.png", "-interlace", "PNG", "interlaced.png")
    small("RGBA", [c + (255,) for c in COLOURS]).save(path("opaque32.png"))
    small("RGBA", [c + (254 if i == 5 else 255,) for i, c in enumerate(COLOURS)]).save(path("alpha254.png"))
    # JPEG: flat 8 x 8 blocks decode close to their colours.
    blocks = Image.new("RGB", (16, 16))
    for i, colour in enumerate([(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)]):
        blocks.paste(colour, ((i % 2) * 8, (i // 2) * 8, (i % 2) * 8 + 8, (i // 2) * 8 + 8))
    blocks.save(path("colour.jpg"), quality=100, subsampling=0)
    blocks.save(path("colour.JPEG"), quality=100, subsampling=0)
    greyblocks = Image.new("L", (16, 16))
    for i, value in enumerate([0, 100, 200, 255]):
        greyblocks.paste(value, ((i % 2) * 8, (i // 2) * 8, (i % 2) * 8 + 8, (i // 2) * 8 + 8))
    greyblocks.save(path("grey.jpg"), quality=100)
    blocks.save(path("progressive.jpg"), quality=100, subsampling=0, progressive=True)
    Image.new("CMYK", (8, 8), (0, 255, 0, 0)).save(path("cmyk.jpg"))
    with open(path("manyscans.jpg"), "wb") as f:
        f.write(many_scans())
    coordinates(256, 64, 7).save(path("sheet.png"))
    coordinates(100, 100, 9).save(path("pad100.png"))
    coordinates(2048, 512, 3, step=8).save(path("wide.png"))
    coordinates(1100, 100, 5, step=8).save(path("toowide.png"))
    coordinates(64, 32, 1).save(path("strip.png"))
    # Masks: values are x * 4 + y * 64 (a 64 x 32 sheet), and one too small.
    small("L", GREY).save(path("mask.png"))
    mask = Image.new("L", (64, 32))
    mask.putdata([(x * 4 + y * 64) % 256 for y in range(32) for x in range(64)])
    mask.save(path("stripmask.png"))
    Image.new("L", (32, 32), 200).save(path("smallmask.png"))
    threshold = Image.new("L", (3, 3))
    threshold.putdata([0, 127, 128, 129, 255, 0, 0, 0, 255])
    threshold.save(path("threshold.png"))


if __name__ == "__main__":
    main(sys.argv[1])
