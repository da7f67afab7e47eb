#!/usr/bin/python3
"""Fails when the folders of the card's code include each other in a cycle.

Reads every `#include "folder/..."` line in app/, feed/, card/, options/
and any other top-level folder of the card's sources (a new base layer
too), makes a graph of folder -> folder, and prints each cycle with the
lines that make its edges. Usage: check_include_cycles.py [REPO_ROOT]
"""
import os
import re
import sys

FOLDERS = ["app", "feed", "card", "options"]
NOT_THE_CARD = {"service", "tests", "bench", "tools", "build", "out", "cmake"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"')


def edges(root):
    """{(from, to): ["file:line: text", ...]} for includes across folders."""
    out = {}
    for folder in FOLDERS:
        base = os.path.join(root, folder)
        for dirpath, _, files in os.walk(base):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(dirpath, name)
                with open(path, encoding="latin-1") as f:
                    for n, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if m and m.group(1) in FOLDERS and m.group(1) != folder:
                            where = "%s:%d: %s" % (os.path.relpath(path, root), n, line.strip())
                            out.setdefault((folder, m.group(1)), []).append(where)
    return out


def cycles(graph):
    """Every elementary cycle once, starting at its first folder in FOLDERS order."""
    found = []

    def walk(start, node, path):
        for nxt in sorted(graph.get(node, ()), key=FOLDERS.index):
            if nxt == start:
                found.append(path + [start])
            elif nxt not in path and FOLDERS.index(nxt) > FOLDERS.index(start):
                walk(start, nxt, path + [nxt])

    for start in FOLDERS:
        walk(start, start, [start])
    return found


def find_folders(root):
    """The four, then every other top-level folder holding C++ files."""
    for name in sorted(os.listdir(root)):
        path = os.path.join(root, name)
        if (name in FOLDERS or name in NOT_THE_CARD or name.startswith(".") or not os.path.isdir(path)):
            continue
        if any(f.endswith((".h", ".cpp")) for _, _, files in os.walk(path) for f in files):
            FOLDERS.append(name)


def main(argv):
    root = os.path.abspath(argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    find_folders(root)
    e = edges(root)
    graph = {}
    for a, b in e:
        graph.setdefault(a, set()).add(b)
    found = cycles(graph)
    for a in FOLDERS:
        print("%-10s includes %s" % (a + "/", ", ".join(sorted(graph.get(a, ()), key=FOLDERS.index)) or "-"))
    if not found:
        print("no include cycle between %s" % ", ".join(f + "/" for f in FOLDERS))
        return 0
    print("\n%d include cycle(s):" % len(found))
    for c in found:
        print("\n  " + " -> ".join(c))
        for a, b in zip(c, c[1:]):
            for where in e[(a, b)]:
                print("    %s" % where)
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
