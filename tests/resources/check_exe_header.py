#!/usr/bin/env python3
"""Both Windows exes carry the header of a Windows 7-11 program.

    check_exe_header.py EXE [EXE...]

From `objdump -p`: subsystem version 6.01 (Windows 7, as the manifests'
supported-OS lists start), DLL characteristics with NX_COMPAT (data
execution prevention), DYNAMIC_BASE (address space randomisation) and
TERMINAL_SERVICE_AWARE, and the relocations randomisation needs kept in the
file. Exit 77 (skipped) when an exe or objdump is missing.
"""
import re
import shutil
import subprocess
import sys

WANT_FLAGS = ("NX_COMPAT", "DYNAMIC_BASE", "TERMINAL_SERVICE_AWARE")


def objdump():
    for name in ("i686-w64-mingw32-objdump", "objdump"):
        if shutil.which(name):
            return name
    return None


def check(tool, exe):
    header = subprocess.run([tool, "-p", exe], capture_output=True, text=True)
    sections = subprocess.run([tool, "-h", exe], capture_output=True, text=True)
    if header.returncode != 0:
        return None
    text = header.stdout
    failures = []
    major = re.search(r"MajorSubsystemVersion\s+(\d+)", text)
    minor = re.search(r"MinorSubsystemVersion\s+(\d+)", text)
    version = (int(major.group(1)), int(minor.group(1))) if major and minor else None
    if version != (6, 1):
        failures.append("subsystem version %s, want 6.01" % (version,))
    block = text.split("DllCharacteristics", 1)[1].split("SizeOfStackReserve", 1)[0] if "DllCharacteristics" in text else ""
    for flag in WANT_FLAGS:
        if flag not in block:
            failures.append("DLL characteristics lack %s" % flag)
    if not re.search(r"^\s*\d+\s+\.reloc\s", sections.stdout, re.M):
        failures.append("no .reloc section: the exe cannot be moved to a random base")
    return failures


def main(argv):
    exes = argv[1:]
    tool = objdump()
    if not tool or not exes:
        print("objdump or the exes missing")
        return 77
    failed = False
    for exe in exes:
        failures = check(tool, exe)
        if failures is None:
            print("%s: missing or not a PE file" % exe)
            return 77
        for f in failures:
            print("%s: %s" % (exe, f))
        failed = failed or bool(failures)
        if not failures:
            print("%s: subsystem 6.01, %s, relocations kept" % (exe, ", ".join(WANT_FLAGS)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
