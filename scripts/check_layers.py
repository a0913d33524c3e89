#!/usr/bin/env python3
"""Checks that the program's libraries depend on one another in one direction.

The layers, from the bottom up:

    platform/*  <  sound  <  framework/core  <  framework/sound  <
    framework/graphics  <  framework/scene  <  game/words  <  game/frontend  <  game

A library may link only libraries of layers below its own (the platform
folders may link one another, the other platform folders the Win32 one), and
a source or header may include only headers of its own folder or of a layer
below it. Link-multiplicity settings, which only hide a cycle, are refused.

The sound engine's sources are layered inside sound/src too, one folder per
layer (SOUND_LAYERS, from the bottom up): a source there may include only
headers of its own folder or of a folder below it, and every source of
sound/src stands in one of those folders. Inside a folder, the files that
gather the whole folder (TOP_FILES: the sample loader, which lists every
format reader, and the table of outputs, which lists every output) stand
above the folder's other files: none of those includes them.

Usage: check_layers.py <source root>. Prints every offence and exits 1 when
there is one.
"""

import os
import re
import sys

# Folder prefix -> rank. Folders under platform/ share the bottom layer.
LAYERS = [
    ("platform", 0),
    ("sound", 1),
    ("framework/core", 2),
    ("framework/sound", 3),
    ("framework/graphics", 4),
    ("framework/scene", 5),
    ("game/words", 6),
    ("game/frontend", 7),
    ("game", 8),
]

# The sound engine's folders under sound/src, from the bottom up.
SOUND_LAYERS = ["system", "core", "channel", "mixer", "output", "format", "stream", "source", "song", "engine"]

# Headers of sound/src that only their own source and the folders above include.
TOP_FILES = ["sound/src/format/format_load.h", "sound/src/output/output_table.h"]

SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cpp", ".inc")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)
LIBRARY = re.compile(r"\b(?:qmv_library|add_library|add_executable)\s*\(\s*([A-Za-z0-9_]+)")
LINKS = re.compile(r"\b(?:qmv_library|target_link_libraries)\s*\(([^)]*)\)", re.DOTALL)


def layer_of(path):
    """The (rank, folder) of a path relative to the root, or None outside the layers."""
    for prefix, rank in LAYERS:
        if path == prefix or path.startswith(prefix + "/"):
            if prefix == "platform":
                parts = path.split("/")
                return rank, "/".join(parts[:2])
            return rank, prefix
    return None


def may_use(user, used):
    """Whether code of layer `user` may use code of layer `used` (both (rank, folder))."""
    if used[1] == user[1]:
        return True
    if user[0] == 0 and used[0] == 0:
        # Every platform stand-in may build on the Win32 one; the Win32 one on none.
        return user[1] != "platform/win32"
    return used[0] < user[0]


def sound_layer(path):
    """The folder of sound/src a path lies in and its rank, (None, None) outside sound/src."""
    if not path.startswith("sound/src/"):
        return None, None
    folder = path.split("/")[2]
    return folder, SOUND_LAYERS.index(folder) if folder in SOUND_LAYERS else None


def source_files(root, folder):
    for base, dirs, files in os.walk(os.path.join(root, folder)):
        dirs[:] = [d for d in dirs if d != "build"]
        for name in files:
            yield os.path.join(base, name)


def strip_comments(text):
    return re.sub(r"#[^\n]*", "", text)


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    root = os.path.abspath(sys.argv[1])
    offences = []

    build_files = []
    for prefix in ("platform", "sound", "framework", "game"):
        for path in source_files(root, prefix):
            if os.path.basename(path) == "CMakeLists.txt":
                build_files.append(os.path.relpath(path, root))

    # Which layer owns each target.
    owner = {}
    texts = {}
    for rel in build_files:
        with open(os.path.join(root, rel), encoding="utf-8") as f:
            texts[rel] = strip_comments(f.read())
        layer = layer_of(os.path.dirname(rel))
        for name in LIBRARY.findall(texts[rel]):
            owner[name] = layer

    for rel in build_files:
        text = texts[rel]
        user = layer_of(os.path.dirname(rel))
        if "LINK_INTERFACE_MULTIPLICITY" in text:
            offences.append(f"{rel}: sets LINK_INTERFACE_MULTIPLICITY (a link cycle)")
        for arguments in LINKS.findall(text):
            for token in arguments.split():
                used = owner.get(token)
                if used is not None and token not in LIBRARY.findall(text) and not may_use(user, used):
                    offences.append(f"{rel}: links {token} of {used[1]}, a layer above {user[1]}")

    for prefix in ("platform", "sound", "framework", "game"):
        for path in source_files(root, prefix):
            if not path.endswith(SOURCE_SUFFIXES):
                continue
            rel = os.path.relpath(path, root)
            user = layer_of(rel)
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            for header in INCLUDE.findall(text):
                used = layer_of(header)
                if used is not None and not may_use(user, used):
                    offences.append(f"{rel}: includes {header} of {used[1]}, a layer above {user[1]}")
            folder, rank = sound_layer(rel)
            if folder is not None and rank is None:
                offences.append(f"{rel}: lies outside the sound engine's layer folders")
                continue
            for header in INCLUDE.findall(text) if rank is not None else []:
                used_folder, used_rank = sound_layer(header)
                if used_rank is not None and used_rank > rank:
                    offences.append(f"{rel}: includes {header} of sound/src/{used_folder}, "
                                    f"a layer above sound/src/{folder}")
                if header in TOP_FILES and used_folder == folder and rel not in (header, header[:-2] + ".cpp"):
                    offences.append(f"{rel}: includes {header}, which gathers its folder and stands above "
                                    f"the folder's other files")

    for offence in offences:
        print(offence)
    if offences:
        print(f"{len(offences)} upward dependencies", file=sys.stderr)
        return 1
    print(f"{len(build_files)} build files and their sources depend downward only")
    return 0


if __name__ == "__main__":
    sys.exit(main())
