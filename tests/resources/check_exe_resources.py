#!/usr/bin/env python3
"""Checks the resources inside Cloudwick.exe with wrestool (icoutils).

  check_exe_resources.py --exe Cloudwick.exe --generated DIR

The icon group, its images, the condition pictures with the table of which
one each of the 49 shows, and the two dialog pictures must be the generated
files; every PNG must hold exactly the pixels the tests know (the condition
pictures composed on white); no picture is stored twice or uncompressed; the
version block must say exactly what the card's about text and Explorer
show. Exit 77 (skipped) without an exe.
"""
import argparse
import os
import re
import struct
import subprocess
import sys
import tempfile

from resources.gen import bmp_io, png_io
from check_drawn_pictures import on_white, read_bmp

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
    return wrestool(exe, "-x", "--raw", "--type=%s" % rtype, "--name=%d" % name)


def png_pixels(data):
    """(width, height, rgba) of PNG bytes."""
    with tempfile.NamedTemporaryFile(suffix=".png") as f:
        f.write(data)
        f.flush()
        return png_io.read_png(f.name)


def icon_dib_pixels(path):
    """(width, rgba) of a plain icon image: colour rows, alpha 0 where the mask is set."""
    with open(path, "rb") as f:
        data = f.read()
    _, w, h2, _, bits = struct.unpack_from("<IiiHH", data)
    h, stride, mask_stride = h2 // 2, (w * 3 + 3) // 4 * 4, (w + 31) // 32 * 4
    mask_at = 40 + stride * h
    out = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            b, g, r = data[40 + y * stride + x * 3:40 + y * stride + x * 3 + 3]
            masked = data[mask_at + y * mask_stride + x // 8] & (0x80 >> (x % 8))
            out += bytes((0, 0, 0, 0)) if masked else bytes((r, g, b, 255))
    return w, bytes(out)


def composed_on_white(path):
    _, _, rgba = read_bmp(path)
    out = bytearray()
    for i in range(0, len(rgba), 4):
        out += bytes(on_white(rgba[i + c], rgba[i + 3]) for c in range(3)) + b"\xff"
    return bytes(out)


def check_pictures(exe, gen, found):
    check({n for t, n in found if t == 2} == {200}, "one bitmap (RT_BITMAP): the options picture")
    with open(os.path.join(gen, "weather_index.bin"), "rb") as f:
        index = f.read()
    check((10, 300) in found and raw(exe, 10, 300) == index, "RCDATA 300 is the generated picture table")
    check(len(index) == 49 and all(1 <= m <= n for n, m in enumerate(index, 1)),
          "each of the 49 pictures shows a stored picture of its own number or an earlier one")
    stored = sorted(set(index))
    pngs = {n for t, n in found if t == "PNG"}
    check(pngs == {100 + m for m in stored} | {201},
          "PNG resources: the %d stored pictures and the dialog's map, got %s" % (len(stored), sorted(pngs)))
    decoded = {}
    for m in stored:
        with open(os.path.join(gen, "weather_%02d.png" % m), "rb") as f:
            data = raw(exe, "PNG", 100 + m)
            check(data == f.read(), "PNG %d is the generated weather_%02d.png" % (100 + m, m))
        decoded[m] = png_pixels(data)
    for n, m in enumerate(index, 1):
        want = composed_on_white(os.path.join(gen, "weather_%02d.bmp" % n))
        check(decoded[m] == (52, 52, want), "picture %d (stored as %d) is its drawing on white" % (n, m))
    check(len({decoded[m][2] for m in stored}) == len(stored), "no drawing is stored twice")
    data = raw(exe, "PNG", 201)
    with open(os.path.join(gen, "options_background.png"), "rb") as f:
        check(data == f.read(), "PNG 201 is options_background.png")
    check(png_pixels(data) == read_bmp(os.path.join(gen, "options_background.bmp")),
          "PNG 201 holds the pixels of options_background.bmp")
    data = raw(exe, 2, 200)
    with open(os.path.join(gen, "options_picture_rle8.bmp"), "rb") as f:
        check(data == f.read()[14:], "bitmap 200 is options_picture_rle8.bmp")
    check(bmp_io.read_rle8_bmp(data) == read_bmp(os.path.join(gen, "options_picture.bmp")),
          "bitmap 200 is RLE8 and holds the pixels of options_picture.bmp")


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
    check((fv_ms, fv_ls) == (0x00010017, 0), "file version 1.23.0.0, got %x.%x" % (fv_ms, fv_ls))
    check((pv_ms, pv_ls) == (0x00010017, 0), "product version 1.23.0.0, got %x.%x" % (pv_ms, pv_ls))
    by_key = {c[0]: c for c in children}
    check(set(by_key) == {"StringFileInfo", "VarFileInfo"}, "string and var blocks, got %s" % sorted(by_key))
    tables = by_key["StringFileInfo"][3]
    check([t[0] for t in tables] == ["040904B0"], "one string table 040904B0, got %s" % [t[0] for t in tables])
    strings = {s[0]: s[1].decode("utf-16-le").rstrip("\0") for s in tables[0][3]}
    expected = {"FileVersion": "1.23", "ProductVersion": "1.23", "ProductName": "Cloudwick",
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
    check(entries and entries[0][7] == 30001 and entries[0][:2] == (108, 108),
          "first image of the group is 30001, 108 x 108")
    check([e[0] for e in entries] == [108, 16, 32, 48], "sizes 108, 16, 32, 48 in that order")
    icons = {n for t, n in found if t == 3}
    check(icons == {30001, 30002, 30003, 30004}, "icon images 30001-30004, got %s" % sorted(icons))
    for size, res_id, kind in ((108, 30001, "png"), (16, 30002, "dib"), (32, 30003, "dib"), (48, 30004, "png")):
        data = raw(args.exe, 3, res_id)
        with open(os.path.join(gen, "app_icon_%d.%s" % (size, kind)), "rb") as f:
            check(data == f.read(), "icon image %d is the generated %d px one" % (res_id, size))
        bits = [e[5] for e in entries if e[7] == res_id]
        w, rgba = icon_dib_pixels(os.path.join(gen, "app_icon_%d.dib" % size))
        if kind == "png":
            check(bits == [32] and png_pixels(data) == (w, w, rgba),
                  "icon image %d: a %d px PNG of the plain image's pixels" % (res_id, size))
        else:
            _, w, h, _, b = struct.unpack_from("<IiiHH", data)
            check(bits == [24] and (w, h, b) == (size, 2 * size, 24),
                  "icon image %d: plain, %d px colour + mask rows at 24 bits" % (res_id, size))

    check_pictures(args.exe, gen, found)
    check((24, 1) in found, "manifest")
    # Without an execution level Windows virtualises the card's registry and file writes.
    check((24, 1) in found and b'<requestedExecutionLevel level="asInvoker"' in raw(args.exe, 24, 1),
          "the manifest asks to run as invoker")
    # Sharp on every monitor: per-monitor aware on Windows 10 (V2, else V1),
    # system aware on 7 and 8.1, which read only dpiAware.
    manifest = raw(args.exe, 24, 1) if (24, 1) in found else b""
    check(b"<dpiAwareness>PerMonitorV2, PerMonitor</dpiAwareness>" in manifest and
          b"<dpiAware>true</dpiAware>" in manifest, "the manifest asks for per-monitor DPI awareness")
    check_version(args.exe)
    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    print("exe resources: icon group, pictures and their table, version block all as built")
    return 0


if __name__ == "__main__":
    sys.exit(main())
