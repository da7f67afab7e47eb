#!/usr/bin/env python3
"""Runs picture_check.exe (built beside Cloudwick.exe) under Wine in a fresh
prefix and compares what Windows drew with the generated pictures on white,
pixel for pixel.

  check_drawn_pictures.py --exe Cloudwick.exe --generated DIR --artifacts DIR

Catches a decoder or a picture table that flips rows, swaps channels, draws
the wrong picture for a number or draws for numbers outside 1..49, a
generator whose stored pictures are not the drawings composed on white, and
pictures decoded at load or more than once.
Exit 77 (skipped) without an exe.
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile

from resources.gen import png_io

SIZE, COLS, ROWS = 52, 7, 8


def read_bmp(path, opaque=False):
    """(width, height, rgba top row first) of a 24- or 32-bit BI_RGB .bmp.

    opaque: the fourth byte is not alpha (GDI leaves it undefined on a screen-like DIB)."""
    with open(path, "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 10)[0]
    _, w, h, _, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    assert compression == 0 and bits in (24, 32), path
    stride = (w * bits + 31) // 32 * 4
    rows = range(abs(h)) if h < 0 else range(h - 1, -1, -1)
    out = bytearray()
    for y in rows:
        row = data[offset + y * stride:offset + (y + 1) * stride]
        for x in range(w):
            b, g, r = row[x * bits // 8:x * bits // 8 + 3]
            a = row[x * 4 + 3] if bits == 32 and not opaque else 255
            out += bytes((r, g, b, a))
    return w, abs(h), bytes(out)


def on_white(r, a):
    # Straight colour r at alpha a over white, as AlphaBlend draws the
    # premultiplied colour (r * a + 127) // 255 there.
    return (r * a + 127) // 255 + 255 - a


def run_under_wine(check_exe, *outputs):
    prefix = tempfile.mkdtemp(prefix="resources-wine-")
    env = dict(os.environ, WINEPREFIX=prefix, WINEARCH="win32", WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree=;mshtml=")
    env.pop("DISPLAY", None)  # GDI only: no window, no display needed
    try:
        result = subprocess.run(["wine", check_exe] + ["Z:" + p.replace("/", "\\") for p in outputs], env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=240)
        return result.returncode, result.stdout.decode("latin-1")
    finally:
        subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL)
        shutil.rmtree(prefix, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", default="")
    ap.add_argument("--generated", required=True)
    ap.add_argument("--artifacts", required=True)
    args = ap.parse_args()
    if not args.exe:
        print("skipped: no exe given; configure with -DCLOUDWICK_EXE=/path/to/Cloudwick.exe")
        return 77
    check_exe = os.path.join(os.path.dirname(os.path.abspath(args.exe)), "picture_check.exe")
    if not os.path.isfile(check_exe):
        print("FAIL: %s missing (the Windows build makes it beside Cloudwick.exe)" % check_exe)
        return 1
    work = tempfile.mkdtemp(prefix="resources-drawn-")
    sheet = os.path.join(work, "drawn.bmp")
    dialog = {name: os.path.join(work, name + ".bmp") for name in ("options_picture", "options_background")}
    rc, output = run_under_wine(check_exe, sheet, dialog["options_picture"], dialog["options_background"])
    print(output.strip())
    failures = []
    facts = {line.split()[0]: line.split()[1:] for line in output.splitlines() if line.strip()}
    # Loading decodes nothing; drawing all 49 twice decodes each of the 36 distinct drawings once.
    expect = {"loaded": ["1"], "decoded_before_drawing": ["0"], "decoded": ["36"],
              "sheet": ["1", str(COLS * SIZE), str(ROWS * SIZE)],
              "icon": None, "options_picture": ["77", "28", "32"], "options_background": ["571", "342", "32"]}
    for key, want in expect.items():
        if want is not None and facts.get(key) != want:
            failures.append("%s: want %s, got %s" % (key, want, facts.get(key)))
    for size in (108, 48, 32, 16):
        if ("icon %d %d %d" % (size, size, size)) not in output:
            failures.append("icon of %d px not loaded at its size" % size)
    if rc != 0 or not os.path.exists(sheet):
        failures.append("picture_check.exe exit %d" % rc)
    else:
        w, h, drawn = read_bmp(sheet, opaque=True)
        os.makedirs(args.artifacts, exist_ok=True)
        png_io.write_png(os.path.join(args.artifacts, "resources_drawn_by_windows.png"), w, h, drawn)
        for n in range(1, 50):
            _, _, want = read_bmp(os.path.join(args.generated, "weather_%02d.bmp" % n))
            ox, oy = (n - 1) % COLS * SIZE, (n - 1) // COLS * SIZE
            worst = 0
            for y in range(SIZE):
                for x in range(SIZE):
                    i = (y * SIZE + x) * 4
                    j = ((oy + y) * w + ox + x) * 4
                    a = want[i + 3]
                    for c in range(3):
                        worst = max(worst, abs(drawn[j + c] - on_white(want[i + c], a)))
            if worst > 0:
                failures.append("picture %d drawn off by up to %d" % (n, worst))
        last = drawn[7 * SIZE * w * 4:]
        if any(v != 255 for v in last):
            failures.append("pictures 0 and 50 must draw nothing")
        for name, path in dialog.items():
            _, _, want = read_bmp(os.path.join(args.generated, name + ".bmp"))
            if read_bmp(path, opaque=True)[2] != want:
                failures.append("%s not drawn exactly as generated" % name)
    shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAIL:", f)
    if failures:
        return 1
    print("all 49 pictures and both dialog pictures drawn exactly as generated; icon sizes load")
    return 0


if __name__ == "__main__":
    sys.exit(main())
