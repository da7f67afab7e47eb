#!/usr/bin/python3
"""Builds the Windows download with tools/package.sh into a folder of its
own and checks what a user gets: exactly the two programs (the built ones,
PE32 for x86, the service a GUI program under 1 MB) and a plain-text
read-me with Windows line ends that names both programs, the data source's
credit and terms, how to start, how to open the menu, port 80 and the
card's messages, and how to remove; one version number throughout.
Usage: check_package.py WINDOWS_BUILD_DIR WORK_DIR   (exit 77: nothing built)"""
import os
import re
import struct
import subprocess
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def pe_header(data):
    """(machine, subsystem) of a PE image."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return None, None
    machine = struct.unpack_from("<H", data, pe + 4)[0]
    magic = struct.unpack_from("<H", data, pe + 24)[0]
    subsystem = struct.unpack_from("<H", data, pe + 24 + 68)[0] if magic == 0x10B else None
    return machine, subsystem


def main(win, work):
    for exe in ("Cloudwick.exe", "cloudwick-feed.exe"):
        if not os.path.isfile(os.path.join(win, exe)):
            print("SKIP: %s is not built in %s" % (exe, win))
            return 77
    version_h = open(os.path.join(ROOT, "resources", "version.h")).read()
    version = re.search(r'#define CLOUDWICK_VERSION_TEXT "([^"]+)"', version_h).group(1)
    shown = re.search(r'#define CLOUDWICK_APP_VERSION "([^"]+)"', version_h).group(1)
    numbers = re.search(r'#define CLOUDWICK_VERSION_NUMBERS (\d+),(\d+),', version_h).groups()
    subprocess.run(["bash", os.path.join(ROOT, "tools", "package.sh"), win, work], check=True)
    path = os.path.join(work, "cloudwick-%s-win32.zip" % version)
    failures = []

    def check(cond, what):
        if not cond:
            failures.append(what)

    # One version story: the card's about text, the resource and the zip's name.
    check(version == shown, "the download's version %s is the card's %s" % (version, shown))
    check("%d.%02d" % tuple(int(n) for n in numbers) == version,
          "the version resource's numbers %s say %s" % (",".join(numbers), version))

    with zipfile.ZipFile(path) as z:
        check(z.testzip() is None, "the archive reads back")
        names = sorted(z.namelist())
        check(names == ["Cloudwick.exe", "README.txt", "cloudwick-feed.exe"], "contents: %r" % names)
        for exe in ("Cloudwick.exe", "cloudwick-feed.exe"):
            if exe not in names:
                continue
            data = z.read(exe)
            check(data == open(os.path.join(win, exe), "rb").read(), exe + " is the built one")
            machine, subsystem = pe_header(data)
            check(machine == 0x14C, "%s is PE32 for x86 (machine %r)" % (exe, machine))
            check(subsystem == 2, "%s is a GUI program (subsystem %r)" % (exe, subsystem))
        if "cloudwick-feed.exe" in names:
            size = z.getinfo("cloudwick-feed.exe").file_size
            check(size < 1 << 20, "cloudwick-feed.exe is under 1 MB (%d bytes)" % size)
        if "README.txt" in names:
            raw = z.read("README.txt")
            check(all(b < 0x80 for b in raw), "the read-me is plain ASCII")
            check(raw.count(b"\n") == raw.count(b"\r\n") > 10, "the read-me has Windows line ends")
            text = raw.decode("ascii", "replace")
            for words in ("Cloudwick " + version, "Cloudwick.exe", "cloudwick-feed.exe",
                          "Weather data by Open-Meteo.com", "CC BY 4.0", "https://open-meteo.com/en/terms",
                          "GeoNames", "non-commercial", "How to start", "How to remove", "Start on Windows",
                          "Exit", "Delete the folder", "title strip", "options\" picture", "port 80",
                          "Port 80 is used by another program", "network error", "cloudwick-feed.log"):
                check(words in text, "the read-me says %r" % words)
    for f in failures:
        print("FAIL:", f)
    print("checked", path, "FAIL" if failures else "PASS")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
