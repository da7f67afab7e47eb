#!/usr/bin/env python3
"""Where the bytes of Cloudwick.exe come from.

    python3 -m bench.exe_size [EXE] [--before OLD.exe] [--map LINK.map] [--top N]   (from the repository's root)

Prints the file's size against its budget, its sections, every resource,
and, from the link map the build writes beside the exe (Cloudwick.map), the
code and data of each object file and library member; the library bytes are
also charged to the file of ours whose reference brought them in, so a new
dependency shows under the line of code that made it. With --before, the
sections and resources of an older exe stand beside the new ones.
"""
import argparse
import collections
import os
import re
import sys

from tests.support.pe_file import PeFile, type_name

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)

KB = 1024
BUDGET, GOAL = 200 * KB, 190 * KB
KINDS = ((".text", "code"), (".rdata", "read-only data"), (".data", "data"), (".eh_frame", "unwind tables"))


def condition_picture(rtype, name):
    return rtype in (2, "PNG") and isinstance(name, int) and 101 <= name <= 149


def resource_label(rtype, name):
    if condition_picture(rtype, name):
        return "condition picture %d" % (name - 100)
    return {("PNG", 200): "options picture", ("PNG", 201): "dialog map", (10, 300): "condition picture table",
            (14, 1): "icon group", (16, 1): "version block", (24, 1): "manifest"}.get(
        (rtype, name), "%s %s" % (type_name(rtype), name))


def resource_group(rtype, name):
    if condition_picture(rtype, name) or (rtype, name) == (10, 300):
        return "condition pictures and their table"
    if rtype in (2, "PNG"):
        return "dialog pictures" if name in (200, 201) else "other pictures"
    if rtype in (3, 14):
        return "icon"
    return type_name(rtype)


def short(origin):
    """A map file's origin as a short name: app/app_win.cpp, libstdc++(string-inst.o)."""
    m = re.match(r"(?:.*/)?(lib[^/(]+)\.a\((.+)\)$", origin)
    if m:
        lib, member = m.groups()
        if lib.startswith("libcloudwick_"):  # one library per folder: app, feed, options, card
            return "core %s/%s" % (lib[len("libcloudwick_"):], member.replace(".obj", ""))
        return "%s(%s)" % (lib, member)
    m = re.match(r"(?:.*/)?objects\.a\((.+)\.obj\)$", origin)
    if m:
        return m.group(1)  # the exe's own files
    m = re.search(r"\.dir/(.+)\.obj$", origin)
    if m:
        return m.group(1)
    return os.path.basename(origin)


def ours(origin):
    return origin.startswith("core ") or origin.endswith(".cpp") or origin.endswith(".rc.res")


def read_map(path):
    """({origin: {kind: bytes}}, {library member: origin whose reference included it})."""
    sizes = collections.defaultdict(collections.Counter)
    included_by = {}
    with open(path, encoding="latin-1") as f:
        lines = f.read().split("\n")
    i = 0
    while i < len(lines) and not lines[i].startswith("Archive member included"):
        i += 1
    i += 1
    while i < len(lines) and not lines[i].startswith(("Discarded input sections", "Memory Configuration")):
        line = lines[i]
        if line and not line.startswith(" "):
            parts = re.split(r"\s{2,}", line.strip(), maxsplit=1)
            reason = parts[1] if len(parts) > 1 else lines[i + 1].strip()
            m = re.match(r"(\S+?\.a\([^)]*\)|\S+)\s+\(", reason)
            if m:
                included_by[short(parts[0])] = short(m.group(1))
        i += 1
    while i < len(lines) and not lines[i].startswith("Linker script and memory map"):
        i += 1
    pending = None
    for line in lines[i:]:
        m = re.match(r"^ (\.\S+)(?:\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*))?$", line)
        if m and m.group(2) is None:
            pending = m.group(1)  # a long name: its address and size follow on the next line
            continue
        if m:
            name, address, size, origin = m.groups()
        else:
            m = re.match(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", line)
            if not (m and pending):
                pending = None
                continue
            name, (address, size, origin) = pending, m.groups()
        pending = None
        kind = next((k for prefix, k in KINDS if name.startswith(prefix)), None)
        if kind and int(address, 16) and int(size, 16):
            sizes[short(origin.strip())][kind] += int(size, 16)
    return sizes, included_by


def root_of(origin, included_by):
    seen = set()
    while origin in included_by and origin not in seen and not ours(origin):
        seen.add(origin)
        origin = included_by[origin]
    return origin


def print_map(path, top):
    sizes, included_by = read_map(path)
    total = collections.Counter()
    for kinds in sizes.values():
        total.update(kinds)
    print("\ncode and data by object file (link map %s):" % path)
    print("  %-44s %9s %9s %9s %9s %9s" % ("", "code", "ro data", "data", "unwind", "total"))
    rows = sorted(sizes.items(), key=lambda kv: -sum(kv[1].values()))
    for origin, k in rows[:top]:
        print("  %-44s %9d %9d %9d %9d %9d" % (origin[:44], k["code"], k["read-only data"], k["data"],
                                                k["unwind tables"], sum(k.values())))
    print("  %-44s %9d %9d %9d %9d %9d" % ("all %d files" % len(rows), total["code"], total["read-only data"],
                                           total["data"], total["unwind tables"], sum(total.values())))
    groups = collections.Counter()
    for origin, k in sizes.items():
        lib = "ours (card and core)" if ours(origin) else origin.split("(")[0]
        groups[lib] += sum(k.values())
    print("\nby library:")
    for lib, n in groups.most_common():
        print("  %-44s %9d" % (lib, n))
    charged = collections.Counter()
    for origin, k in sizes.items():
        if not ours(origin):
            root = root_of(origin, included_by)
            if ours(root):
                charged[root] += sum(k.values())
    print("\nlibrary bytes by the file of ours whose reference brought them in:")
    for root, n in charged.most_common(top):
        print("  %-44s %9d" % (root, n))
    print("  (the rest comes in through the C and C++ runtime's own start-up code)")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("exe", nargs="?", default=os.path.join(REPO, "build", "win", "Cloudwick.exe"))
    ap.add_argument("--before", help="an older exe to compare with")
    ap.add_argument("--map", help="the link map (default: Cloudwick.map beside the exe)")
    ap.add_argument("--top", type=int, default=25)
    args = ap.parse_args()
    if not os.path.isfile(args.exe):
        print("skipped: no exe at %s (build with tools/build.sh)" % args.exe)
        return 77
    new = PeFile(args.exe)
    old = PeFile(args.before) if args.before else None

    def row(label, after, before=None):
        if old is None:
            return "  %-40s %10d" % (label, after)
        return "  %-40s %10d %10d %+10d" % (label, before or 0, after, after - (before or 0))

    print("%s: %d bytes (%.1f KB); budget %d KB %s; goal %d KB %s" % (
        args.exe, new.size, new.size / KB, BUDGET // KB, "kept" if new.size < BUDGET else "EXCEEDED",
        GOAL // KB, "met" if new.size < GOAL else "not met"))
    if old:
        print("before: %s: %d bytes (%.1f KB)" % (args.before, old.size, old.size / KB))
    print("\nsections (bytes in the file):" + ("" if old is None else "   before / after / change"))
    names = [s[0] for s in new.sections] + [s[0] for s in (old.sections if old else []) if s[0] not in
                                            {n[0] for n in new.sections}]
    for name in names:
        after = sum(s[1] for s in new.sections if s[0] == name)
        before = sum(s[1] for s in old.sections if s[0] == name) if old else None
        print(row(name, after, before))
    print(row("whole file", new.size, old.size if old else None))

    print("\nresources by group:")
    groups_new, groups_old = collections.Counter(), collections.Counter()
    for rtype, name, size in new.resources:
        groups_new[resource_group(rtype, name)] += size
    for rtype, name, size in (old.resources if old else []):
        groups_old[resource_group(rtype, name)] += size
    for group in sorted(set(groups_new) | set(groups_old), key=lambda g: -max(groups_new[g], groups_old[g])):
        print(row(group, groups_new[group], groups_old[group] if old else None))
    print(row("all resources", sum(groups_new.values()), sum(groups_old.values()) if old else None))
    print("\nresources:")
    for rtype, name, size in sorted(new.resources, key=lambda r: -r[2]):
        print("  %-40s %10d" % (resource_label(rtype, name), size))

    map_path = args.map or os.path.join(os.path.dirname(os.path.abspath(args.exe)), "Cloudwick.map")
    if os.path.isfile(map_path):
        print_map(map_path, args.top)
    else:
        print("\nno link map at %s: the breakdown by object file needs the build's Cloudwick.map" % map_path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
