#!/usr/bin/env python3
"""Checks that every layer of src/ includes only its own folder and the ones below it.

    tools/check_layers.py [SRC_DIR]

The layers, lowest first: core (shared vocabulary, platform), board (position, pattern
tables, bookkeeping, hash tables), threats, search, control, protocol. src/main.cpp sits on
top of them all. Every #include "folder/..." that reaches from a lower folder into a
higher one is listed, and the exit status is 1 when there is any.
"""

import os
import re
import sys

LAYERS = ["core", "board", "threats", "search", "control", "protocol"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/[^"]+"')


def crossings(src):
    found = []
    for folder in LAYERS:
        path = os.path.join(src, folder)
        if not os.path.isdir(path):
            continue
        for root, _, files in os.walk(path):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp", ".in")):
                    continue
                file = os.path.join(root, name)
                with open(file, encoding="utf-8") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if m and m.group(1) in LAYERS and LAYERS.index(m.group(1)) > LAYERS.index(folder):
                            found.append(f"{os.path.relpath(file, src)}:{number}: {folder} includes {line.strip()}")
    return found


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
    found = crossings(src)
    for line in found:
        print(line)
    print(f"{len(found)} include(s) from a lower layer into a higher one")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
