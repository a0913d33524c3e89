#!/usr/bin/env python3
"""Checks saved crossword boards against the board's rules, independently of
the game's code.

usage: crossword_check.py BOARDS.xml DICTIONARY AN

BOARDS.xml holds a vector "BOARD_LIST" of nodes "BOARD", each with "SOURCE"
(the round's source word), "WORD_COUNT" (how many words were to be laid out),
"COMPLETE" (whether the generator placed them all; a board it gave up on
holds fewer) and the saved table "CROSSWORD_TABLE". DICTIONARY is the main word list, one
word a line; AN is the anagram lister run as `AN -w -d DICTIONARY SOURCE`.

The rules, on a grid of 20 columns and 11 rows:
- letters only in columns 1..18 and rows 1..9; a word after the first ends
  by column 17 (across) or row 8 (down);
- the first word is the source, across row 5 from column (18 - n) // 2;
- every later word crosses an earlier one;
- a cell shared by two words holds one letter, lies across and down, and both
  words record the crossing with their own letter index; no cell is shared
  by three words, and no other cell is shared;
- the cells just before and after a word hold no letter;
- two crossings never touch, not even at a corner;
- every word is one of `an -w` over the main list for the source, and that
  list holds exactly one word of the source's full length: the source.
Exit status 0 when every board keeps every rule, 1 otherwise.
"""
import subprocess
import sys
import xml.etree.ElementTree as ET

COLUMNS, ROWS = 20, 11


def named(element):
    """The children of a node by their id."""
    return {child.get("id"): child for child in element}


def text(element, name):
    child = named(element).get(name)
    return "" if child is None or child.text is None else child.text


def placements_of(table):
    result = []
    for item in named(table)["PLACEMENT_LIST"]:
        fields = named(item)
        crossings = {}
        for crossing in fields.get("INTERSECTION_LIST", []):
            other = int(text(crossing, "WORD_INDEX"))
            if other in crossings:
                raise ValueError("crossing with word %d recorded twice" % other)
            crossings[other] = int(text(crossing, "LETTER_INDEX"))
        result.append({
            "word": text(item, "WORD"),
            "x": int(text(item, "X")),
            "y": int(text(item, "Y")),
            "across": text(item, "HORIZONTAL") != "false",
            "crossings": crossings,
        })
    return result


def cell(p, c):
    return (p["x"] + c, p["y"]) if p["across"] else (p["x"], p["y"] + c)


def board_faults(source, count, complete, table):
    faults = []
    words = placements_of(table)
    if (len(words) != count) if complete else (len(words) >= count):
        faults.append("%d of %d words laid out, complete: %s" % (len(words), count, complete))
    if not words:
        return faults + ["no words"]
    first = words[0]
    n = len(source)
    if (first["word"], first["x"], first["y"], first["across"]) != (source, (18 - n) // 2, 5, True):
        faults.append("first word %r does not stand centred across row 5" % first["word"])
    if len(named(table).get("ANAGRAM_LIST", [])) != 0:
        faults.append("a new board shows words")

    occupants = {}
    for i, p in enumerate(words):
        length = len(p["word"])
        for c in range(length):
            x, y = cell(p, c)
            if not (1 <= x <= 18 and 1 <= y <= 9):
                faults.append("%r has a letter at (%d, %d)" % (p["word"], x, y))
            occupants.setdefault((x, y), []).append((i, c))
        if i > 0:
            end_x, end_y = cell(p, length - 1)
            if (p["across"] and end_x > 17) or (not p["across"] and end_y > 8):
                faults.append("%r ends on the far border" % p["word"])
            if not any(other < i for other in p["crossings"]):
                faults.append("%r crosses no earlier word" % p["word"])
        for other, k in p["crossings"].items():
            if not (0 <= other < len(words)) or other == i or not (0 <= k < length):
                faults.append("%r records an impossible crossing" % p["word"])

    crossings = []
    for (x, y), here in occupants.items():
        letters = {words[i]["word"][c] for i, c in here}
        if len(letters) != 1:
            faults.append("cell (%d, %d) holds %s" % (x, y, sorted(letters)))
        if len(here) == 1:
            continue
        if len(here) > 2:
            faults.append("cell (%d, %d) is shared by %d words" % (x, y, len(here)))
            continue
        (a, ka), (b, kb) = here
        if words[a]["across"] == words[b]["across"]:
            faults.append("%r and %r overlap in one direction" % (words[a]["word"], words[b]["word"]))
        if words[a]["crossings"].get(b) != ka or words[b]["crossings"].get(a) != kb:
            faults.append("crossing of %r and %r at (%d, %d) not recorded by both"
                          % (words[a]["word"], words[b]["word"], x, y))
        crossings.append((x, y))
    # Every recorded crossing must be a shared cell.
    recorded = sum(len(p["crossings"]) for p in words)
    if recorded != 2 * len(crossings):
        faults.append("%d crossings recorded for %d shared cells" % (recorded, len(crossings)))

    for p in words:
        for c in (-1, len(p["word"])):
            if cell(p, c) in occupants:
                faults.append("a letter touches the end of %r at %s" % (p["word"], cell(p, c)))
    for i, (x1, y1) in enumerate(crossings):
        for x2, y2 in crossings[i + 1:]:
            if max(abs(x1 - x2), abs(y1 - y2)) < 2:
                faults.append("crossings at (%d, %d) and (%d, %d) touch" % (x1, y1, x2, y2))
    return faults


def main():
    boards_file, dictionary, an = sys.argv[1:4]
    listed = {}
    failures = 0
    boards = 0
    incomplete = 0
    for board in named(ET.parse(boards_file).getroot())["BOARD_LIST"]:
        boards += 1
        incomplete += text(board, "COMPLETE") != "true"
        source = text(board, "SOURCE")
        if source not in listed:
            out = subprocess.run([an, "-w", "-d", dictionary, source], capture_output=True, text=True, check=True)
            listed[source] = set(out.stdout.split())
        words = listed[source]
        table = named(board)["CROSSWORD_TABLE"]
        faults = board_faults(source, int(text(board, "WORD_COUNT")), text(board, "COMPLETE") == "true", table)
        full = sorted(w for w in words if len(w) == len(source))
        if full != [source]:
            faults.append("full-length anagrams of the source: %s" % full)
        for p in placements_of(table):
            if p["word"] not in words:
                faults.append("%r is no anagram of %r" % (p["word"], source))
        if faults:
            failures += 1
            if failures <= 20:
                print("board %d (%s): %s" % (boards, source, "; ".join(faults)))
    print("boards checked: %d (%d given up), sources: %d, boards failing: %d"
          % (boards, incomplete, len(listed), failures))
    return 1 if failures or boards == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
