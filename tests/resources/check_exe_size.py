#!/usr/bin/env python3
"""The exe's size budget: Cloudwick.exe under 200 KB (goal: under 190 KB),
stripped, with no debug sections.

  check_exe_size.py --exe Cloudwick.exe

Prints the size against the budget and the goal, and on failure what the
file holds by section and by resource type (bench/exe_size.py breaks it down
by object file and by resource). Exit 77 (skipped) only when the exe is missing.
"""
import argparse
import collections
import os
import sys

from tests.support.pe_file import PeFile, type_name

KB = 1024
BUDGET, GOAL = 200 * KB, 190 * KB


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", default="")
    args = ap.parse_args()
    if not args.exe or not os.path.isfile(args.exe):
        print("skipped: no exe at %r; configure with -DCLOUDWICK_EXE=/path/to/Cloudwick.exe and build it" % args.exe)
        return 77
    pe = PeFile(args.exe)
    failures = []
    if pe.size >= BUDGET:
        failures.append("%d bytes (%.1f KB): over the %d KB budget" % (pe.size, pe.size / KB, BUDGET // KB))
    if pe.debug_sections():
        failures.append("debug sections left: %s" % ", ".join(pe.debug_sections()))
    if pe.has_symbols:
        failures.append("not stripped: a symbol table is left")
    print("Cloudwick.exe: %d bytes (%.1f KB); budget %d KB; goal %d KB %s" % (
        pe.size, pe.size / KB, BUDGET // KB, GOAL // KB,
        "met" if pe.size < GOAL else "not yet met (%.1f KB over)" % ((pe.size - GOAL) / KB)))
    if failures:
        print("by section (bytes in the file):")
        for name, in_file, _, _, _ in pe.sections:
            print("  %-16s %9d" % (name, in_file))
        by_type = collections.Counter()
        for rtype, _, size in pe.resources:
            by_type[type_name(rtype)] += size
        print("resources by type:")
        for name, size in by_type.most_common():
            print("  %-16s %9d" % (name, size))
        print("bench/exe_size.py tells which object files and resources the bytes come from")
        for f in failures:
            print("FAIL:", f)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
