#!/usr/bin/python3
"""Writes the built-in time-zone table of cloudwick-feed.exe: each IANA zone
name of the build machine's /usr/share/zoneinfo (Debian's tzdata) with the
POSIX TZ rule its TZif file ends with ("CET-1CEST,M3.5.0,M10.5.0/3").

    zone_table.py OUTPUT.inc [ZONEINFO_DIR]"""
import os
import sys


def footer(path):
    with open(path, "rb") as f:
        data = f.read()
    if not data.startswith(b"TZif") or data[4:5] not in (b"2", b"3", b"4"):
        return None
    if not data.endswith(b"\n"):
        return None
    start = data.rfind(b"\n", 0, len(data) - 1)
    rule = data[start + 1:-1]
    if not rule or any(c < 0x20 or c >= 0x7F or c in b'"\\' for c in rule):
        return None
    return rule.decode("ascii")


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    root = sys.argv[2] if len(sys.argv) == 3 else "/usr/share/zoneinfo"
    zones = {}
    for folder, dirs, files in os.walk(root):
        rel = os.path.relpath(folder, root)
        if rel.split(os.sep)[0] in ("posix", "right"):
            dirs[:] = []
            continue
        for name in files:
            rule = footer(os.path.join(folder, name))
            if rule is not None:
                zones[os.path.normpath(os.path.join(rel, name)).replace(os.sep, "/")] = rule
    if len(zones) < 300 or "Europe/Berlin" not in zones:
        sys.exit("zone_table: %s holds only %d zones; is tzdata installed?" % (root, len(zones)))
    rules = sorted(set(zones.values()))
    index = {r: i for i, r in enumerate(rules)}
    out = ["// Made by service/gen/zone_table.py from the build machine's %s; do not edit." % root,
           "const char* const kZoneRules[] = {"]
    out += ['    "%s",' % r for r in rules]
    out.append("};")
    out.append("const ZoneEntry kZones[] = {")
    out += ['    {"%s", %d},' % (n, index[zones[n]]) for n in sorted(zones)]
    out.append("};")
    with open(sys.argv[1], "w", encoding="ascii") as f:
        f.write("\n".join(out) + "\n")


main()
