#!/usr/bin/python3
"""Fails when the card's folders, or the feed service's, include each other
against their layers, or when two source files depend on each other in a
loop.

The folders are layers: each may include only the folders its row of
ALLOWED names (app/ is the base; feed/ and options/ build on it; card/, the
program, on all of them). Every `#include "folder/..."` line of app/,
feed/, card/, options/ and any other top-level folder of the card's sources
is read; an arrow the table does not allow is printed with the lines that
make it, and so is a folder the table does not know (a new one must be
given its row). Inside the folders, a file pair (x.h/x.cpp counting as one
unit) whose units include each other, directly or round a longer loop, is
printed too. The service's folders (service/model/ ... service/config/,
then the server and the platform layers) are checked the same way against
SERVICE_ALLOWED. Usage: check_include_cycles.py [REPO_ROOT]
"""
import os
import re
import sys

# folder -> the folders its files may include (besides its own).
ALLOWED = {
    "app": set(),
    "resources": set(),
    "feed": {"app"},
    "options": {"app", "resources"},
    "card": {"app", "feed", "options", "resources"},
}
# The feed service's folders, lowest first; each may include the ones below
# it in the chain that service/layers.cmake links.
_CORE = ["model", "documents", "upstream", "places", "state", "http", "feed", "config"]
_BELOW = {
    "model": set(),
    "documents": {"model"},
    "upstream": {"model", "documents"},
    "places": {"model", "documents", "upstream"},
    "state": {"model", "documents", "upstream"},
    "http": {"model", "documents", "upstream", "places"},
}
_BELOW["feed"] = _BELOW["http"] | {"http", "state"}
_BELOW["config"] = _BELOW["feed"] | {"feed"}
SERVICE_ALLOWED = dict(_BELOW)
SERVICE_ALLOWED["server"] = set(_CORE)
SERVICE_ALLOWED["linux"] = set(_CORE) | {"server"}
SERVICE_ALLOWED["windows"] = set(_CORE) | {"server"}
NOT_THE_SERVICE = {"tests", "fuzz", "gen", "deploy"}
NOT_THE_CARD = {"service", "tests", "bench", "tools", "build", "out", "cmake"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"(([^"/]+)/([^"]+))"')


def code_folders(root, skip):
    """Every top-level folder of root holding C++ files, but those in skip."""
    out = []
    if not os.path.isdir(root):
        return out
    for name in sorted(os.listdir(root)):
        path = os.path.join(root, name)
        if name in skip or name.startswith(".") or not os.path.isdir(path):
            continue
        if any(f.endswith((".h", ".cpp")) for _, _, files in os.walk(path) for f in files):
            out.append(name)
    return out


def includes(root, folders):
    """[(file relative to root, line number, text, included path)] for every quoted include."""
    out = []
    for folder in folders:
        for dirpath, _, files in os.walk(os.path.join(root, folder)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(dirpath, name)
                with open(path, encoding="latin-1") as f:
                    for n, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if m:
                            out.append((os.path.relpath(path, root).replace(os.sep, "/"), n, line.strip(), m.group(1)))
    return out


def unit(path):
    """app/settings.cpp and app/settings.h are one unit: app/settings."""
    return os.path.splitext(path)[0]


def unit_loops(edges):
    """Every elementary loop of units once, from its smallest unit."""
    graph = {}
    for a, b in edges:
        graph.setdefault(a, set()).add(b)
    found = []

    def walk(start, node, path):
        for nxt in sorted(graph.get(node, ())):
            if nxt == start:
                found.append(path + [start])
            elif nxt not in path and nxt > start:
                walk(start, nxt, path + [nxt])

    for start in sorted(graph):
        walk(start, start, [start])
    return found


def check_tree(root, folders, allowed, label):
    """Prints the arrows of one tree's folders; True when one breaks the table."""
    lines = includes(root, folders)
    failed = False

    unknown = [f for f in folders if f not in allowed]
    for f in unknown:
        print("%s%s/ has no row in the table of allowed includes (tools/check_include_cycles.py)" % (label, f))
        failed = True

    arrows, wrong = {}, {}
    unit_edges = {}
    for where, n, text, target in lines:
        src, dst = where.split("/")[0], target.split("/")[0]
        if dst not in folders:
            continue
        if dst != src:
            arrows.setdefault(src, set()).add(dst)
            if src in allowed and dst not in allowed[src]:
                wrong.setdefault((src, dst), []).append("%s%s:%d: %s" % (label, where, n, text))
        a, b = unit(where), unit(target)
        if a != b:
            unit_edges.setdefault((a, b), []).append("%s%s:%d: %s" % (label, where, n, text))

    for f in folders:
        print("%-18s includes %-36s allowed: %s" % (label + f + "/", ", ".join(sorted(arrows.get(f, ()))) or "-",
                                                   ", ".join(sorted(allowed.get(f, ()))) or "-"))
    for (src, dst), places in sorted(wrong.items()):
        print("\n%s%s/ must not include %s%s/ (a lower layer cannot use a higher one):" % (label, src, label, dst))
        for p in places:
            print("    " + p)
        failed = True

    loops = unit_loops(unit_edges)
    for loop in loops:
        print("\nfiles that depend on each other: " + " -> ".join(label + u for u in loop))
        for a, b in zip(loop, loop[1:]):
            for p in unit_edges[(a, b)]:
                print("    " + p)
        failed = True
    return failed


def main(argv):
    root = os.path.abspath(argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    failed = check_tree(root, code_folders(root, NOT_THE_CARD), ALLOWED, "")
    service = os.path.join(root, "service")
    failed = check_tree(service, code_folders(service, NOT_THE_SERVICE), SERVICE_ALLOWED, "service/") or failed
    if not failed:
        print("every include follows the layers; no two files depend on each other")
        return 0
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
