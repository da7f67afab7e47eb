#!/usr/bin/env python3
"""Checks the resources inside Cloudwick.exe with wrestool (icoutils).

  check_exe_resources.py --exe Cloudwick.exe --generated DIR

The icon group, its images, the 49 condition pictures and the two dialog
pictures must be the generated files, and the version block must say exactly
what the card's about text and Explorer show. Exit 77 (skipped) without an exe.
"""
import argparse
import os
import re
import struct
import subprocess
import sys

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def wrestool(exe, *args):
    return subprocess.run(["wrestool", *args, exe], check=True, stdout=subprocess.PIPE).stdout


def listing(exe):
    """{(type, name)} of every resource, numbers as ints."""
    found = set()
    for line in wrestool(exe, "-l").decode().splitlines():
        m = re.search(r"--type=(\S+) --name=(\S+)", line)
        if m:
            t, n = (int(v) if v.isdigit() else v.strip("'") for v in m.groups())
            found.add((t, n))
    return found


def raw(exe, rtype, name):
    return wrestool(exe, "-x", "--raw", "--type=%d" % rtype, "--name=%d" % name)


def version_nodes(data, at=0, end=None):
    """Parses VS_VERSIONINFO-style nodes: [(key, value bytes, value type, children)]."""
    end = len(data) if end is None else end
    nodes = []
    while at + 6 <= end:
        length, value_length, value_type = struct.unpack_from("<HHH", data, at)
        if length == 0:
            break
        key_end = at + 6
        while data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[at + 6:key_end].decode("utf-16-le")
        pos = (key_end + 2 + 3) & ~3
        size = value_length * 2 if value_type == 1 else value_length
        value = data[pos:pos + size]
        children_at = (pos + size + 3) & ~3
        children = version_nodes(data, children_at, at + length) if children_at < at + length else []
        nodes.append((key, value, value_type, children))
        at = (at + length + 3) & ~3
    return nodes


def check_version(exe):
    data = raw(exe, 16, 1)
    root = version_nodes(data)
    check(len(root) == 1 and root[0][0] == "VS_VERSION_INFO", "one VS_VERSION_INFO block")
    key, fixed, _, children = root[0]
    sig, _, fv_ms, fv_ls, pv_ms, pv_ls = struct.unpack_from("<IIIIII", fixed)
    check(sig == 0xFEEF04BD, "fixed file info signature")
    check((fv_ms, fv_ls) == (0x00010000, 0), "file version 1.0.0.0, got %x.%x" % (fv_ms, fv_ls))
    check((pv_ms, pv_ls) == (0x00010000, 0), "product version 1.0.0.0, got %x.%x" % (pv_ms, pv_ls))
    by_key = {c[0]: c for c in children}
    check(set(by_key) == {"StringFileInfo", "VarFileInfo"}, "string and var blocks, got %s" % sorted(by_key))
    tables = by_key["StringFileInfo"][3]
    check([t[0] for t in tables] == ["040904B0"], "one string table 040904B0, got %s" % [t[0] for t in tables])
    strings = {s[0]: s[1].decode("utf-16-le").rstrip("\0") for s in tables[0][3]}
    expected = {"FileVersion": "1.00", "ProductVersion": "1.00", "ProductName": "Cloudwick",
                "InternalName": "Cloudwick", "OriginalFilename": "Cloudwick.exe"}
    check(strings == expected, "version strings exactly %s, got %s" % (expected, strings))
    translation = by_key["VarFileInfo"][3]
    check(len(translation) == 1 and translation[0][0] == "Translation"
          and struct.unpack("<HH", translation[0][1]) == (0x0409, 1200), "translation US English, Unicode")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", default="")
    ap.add_argument("--generated", required=True)
    args = ap.parse_args()
    if not args.exe:
        print("skipped: no exe given; configure with -DCLOUDWICK_EXE=/path/to/Cloudwick.exe")
        return 77
    if not os.path.isfile(args.exe):
        print("FAIL: no exe at", args.exe)
        return 1
    gen = args.generated
    found = listing(args.exe)

    check((14, 1) in found, "icon group 1")
    check(len([n for t, n in found if t == 14]) == 1, "exactly one icon group")
    group = raw(args.exe, 14, 1)
    with open(os.path.join(gen, "app_icon_group.bin"), "rb") as f:
        check(group == f.read(), "icon group is the generated one")
    count = struct.unpack_from("<H", group, 4)[0]
    entries = [struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i) for i in range(count)]
    check(entries and entries[0][7] == 30001 and entries[0][:2] == (108, 108) and entries[0][5] == 24,
          "first image of the group is 30001, 108 x 108, 24 bits")
    check([e[0] for e in entries] == [108, 16, 32, 48], "sizes 108, 16, 32, 48 in that order")
    icons = {n for t, n in found if t == 3}
    check(icons == {30001, 30002, 30003, 30004}, "icon images 30001-30004, got %s" % sorted(icons))
    for size, res_id in ((108, 30001), (16, 30002), (32, 30003), (48, 30004)):
        with open(os.path.join(gen, "app_icon_%d.dib" % size), "rb") as f:
            check(raw(args.exe, 3, res_id) == f.read(), "icon image %d is the generated %d px one" % (res_id, size))
    head = raw(args.exe, 3, 30001)[:40]
    _, w, h, _, bits = struct.unpack_from("<IiiHH", head)
    check((w, h, bits) == (108, 216, 24), "image 30001: 108 x 108 colour + mask rows, 24 bits")

    for n in range(1, 50):
        with open(os.path.join(gen, "weather_%02d.bmp" % n), "rb") as f:
            check(raw(args.exe, 2, 100 + n) == f.read()[14:], "bitmap %d is condition picture %d" % (100 + n, n))
    for res_id, name in ((200, "options_picture.bmp"), (201, "options_background.bmp")):
        with open(os.path.join(gen, name), "rb") as f:
            check(raw(args.exe, 2, res_id) == f.read()[14:], "bitmap %d is %s" % (res_id, name))
    check((24, 1) in found, "manifest")
    # Without an execution level Windows virtualises the card's registry and file writes.
    check((24, 1) in found and b'<requestedExecutionLevel level="asInvoker"' in raw(args.exe, 24, 1),
          "the manifest asks to run as invoker")
    check_version(args.exe)
    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    print("exe resources: icon group, %d pictures, version block all as built" % 51)
    return 0


if __name__ == "__main__":
    sys.exit(main())
