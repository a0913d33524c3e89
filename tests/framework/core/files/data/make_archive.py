#!/usr/bin/python3
"""Builds a ZIP archive for the archive reader's tests, optionally damaged.

make_archive.py OUT [--deflated NAME FILE] [--stored NAME FILE]
                    [--flip-byte NAME] [--claim NAME SIZE] [--truncate BYTES]

--flip-byte changes the first stored byte of an entry (its CRC no longer
matches); --claim rewrites the uncompressed size that both headers state;
--truncate cuts the finished archive to its first BYTES bytes.
"""
import argparse
import struct
import zipfile

CENTRAL = b"PK\x01\x02"


def entries(data):
    """Yields (name, central header offset, local header offset)."""
    pos = data.find(CENTRAL)
    while pos >= 0:
        name_len, extra_len, comment_len = struct.unpack_from("<HHH", data, pos + 28)
        local = struct.unpack_from("<I", data, pos + 42)[0]
        name = data[pos + 46:pos + 46 + name_len].decode("utf-8")
        yield name, pos, local
        pos = data.find(CENTRAL, pos + 46 + name_len + extra_len + comment_len)


def find(data, wanted):
    for name, central, local in entries(data):
        if name == wanted:
            return central, local
    raise SystemExit("no entry " + wanted)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--deflated", nargs=2, action="append", default=[])
    parser.add_argument("--stored", nargs=2, action="append", default=[])
    parser.add_argument("--flip-byte", action="append", default=[])
    parser.add_argument("--claim", nargs=2, action="append", default=[])
    parser.add_argument("--truncate", type=int)
    args = parser.parse_args()

    with zipfile.ZipFile(args.out, "w") as archive:
        for name, path in args.deflated:
            archive.write(path, name, compress_type=zipfile.ZIP_DEFLATED)
        for name, path in args.stored:
            archive.write(path, name, compress_type=zipfile.ZIP_STORED)

    data = bytearray(open(args.out, "rb").read())
    for name in args.flip_byte:
        _, local = find(data, name)
        name_len, extra_len = struct.unpack_from("<HH", data, local + 26)
        data[local + 30 + name_len + extra_len] ^= 0xFF
    for name, size in args.claim:
        central, local = find(data, name)
        struct.pack_into("<I", data, central + 24, int(size))
        struct.pack_into("<I", data, local + 22, int(size))
    if args.truncate is not None:
        data = data[:args.truncate]
    open(args.out, "wb").write(bytes(data))


if __name__ == "__main__":
    main()
