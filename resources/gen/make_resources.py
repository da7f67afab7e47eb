#!/usr/bin/env python3
"""Builds every picture the exe embeds from the drawings in this folder.

  make_resources.py --out DIR [--rsvg rsvg-convert]

What the exe embeds: weather_NN.png, one per distinct drawing (NN the first
picture number showing it), composed on the white of the card's picture box;
weather_index.bin (byte n - 1: the NN picture n shows); weather_pictures.rc
(their resource lines); icon group 1 (app_icon_group.bin, app_icon_16.dib and
app_icon_32.dib plain, app_icon_48.png and app_icon_108.png compressed);
options_picture_rle8.bmp (palettised, RLE8) and options_background.png (256
colours, palettised).

The pixels the tests compare them with: weather_01.bmp .. weather_49.bmp
(52 x 52, 32 bits, straight alpha), app_icon_*.dib for every icon size,
options_picture.bmp and options_background.bmp. Also app_icon.ico and
contact_sheet.png for looking at.
"""
import argparse
import base64
import os
import re
import shutil
import subprocess

# The generator's own modules, beside this script (its folder is the script's).
import bmp_io
import png_io
import quantize
import weather_drawings
import app_drawings

HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.dirname(HERE)
SIZE = 52
ICON_SIZES = (108, 16, 32, 48)  # group order: the 108 px image first
PLAIN_ICON_SIZES = (16, 32)  # kept uncompressed for shells older than Vista


def resource_ids():
    ids = {}
    with open(os.path.join(RESOURCES, "resource_ids.h")) as f:
        for m in re.finditer(r"#define\s+(\w+)\s+(\d+)", f.read()):
            ids[m.group(1)] = int(m.group(2))
    return ids


def weather_set():
    """[(picture number, code text, drawing name)] in list order."""
    rows = []
    with open(os.path.join(RESOURCES, "weather_set.txt")) as f:
        for line in f:
            line = line.split("#", 1)[0].split()
            if line:
                rows.append((int(line[0]), line[1], line[2]))
    if [r[0] for r in rows] != list(range(1, 50)):
        raise SystemExit("weather_set.txt must list pictures 1 to 49 in order")
    for _, _, name in rows:
        if name not in weather_drawings.DRAWINGS:
            raise SystemExit("weather_set.txt names an unknown drawing: " + name)
    return rows


class Renderer:
    def __init__(self, rsvg, work):
        self.rsvg, self.work = rsvg, work
        os.makedirs(work, exist_ok=True)

    def render(self, name, svg, width=None, height=None):
        """SVG text to (width, height, rgba)."""
        svg_path = os.path.join(self.work, name + ".svg")
        png_path = os.path.join(self.work, name + ".png")
        with open(svg_path, "w") as f:
            f.write(svg)
        cmd = [self.rsvg, "-f", "png", "-o", png_path]
        if width:
            cmd += ["-w", str(width), "-h", str(height)]
        subprocess.run(cmd + [svg_path], check=True)
        return png_io.read_png(png_path)


FONTS = {  # fontconfig pattern: Debian package that ships it
    "DejaVu Sans:style=Book": "fonts-dejavu-core",
    "DejaVu Sans:style=Bold": "fonts-dejavu-core",
    "DejaVu Sans:style=Condensed Bold": "fonts-dejavu-extra",
}


def check_fonts():
    """rsvg would quietly substitute a missing face and letter words too wide."""
    if not shutil.which("fc-list"):
        return
    for pattern, package in FONTS.items():
        if not subprocess.run(["fc-list", pattern], stdout=subprocess.PIPE, check=True).stdout.strip():
            raise SystemExit("font %s missing: install %s (tools/setup.sh)" % (pattern, package))


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def on_white(rgba):
    out = bytearray(len(rgba))
    for i in range(0, len(rgba), 4):
        r, g, b, a = rgba[i:i + 4]
        out[i:i + 4] = bytes(((r * a + 255 * (255 - a) + 127) // 255,
                              (g * a + 255 * (255 - a) + 127) // 255,
                              (b * a + 255 * (255 - a) + 127) // 255, 255))
    return bytes(out)


def scaled(width, height, rgba, k):
    """Pixel-doubled copy, so the contact sheet shows the real pixels."""
    out = bytearray()
    for y in range(height):
        row = bytearray()
        for x in range(width):
            row += rgba[(y * width + x) * 4:(y * width + x) * 4 + 4] * k
        out += bytes(row) * k
    return bytes(out)


def contact_sheet(renderer, out, rows, pixels):
    cols, cell_w, cell_h, k = 7, 124, 136, 2
    lines = []
    for i, (number, code, name) in enumerate(rows):
        big = scaled(SIZE, SIZE, on_white(pixels[number]), k)
        tile = os.path.join(renderer.work, "tile_%02d.png" % number)
        png_io.write_png(tile, SIZE * k, SIZE * k, big)
        with open(tile, "rb") as f:
            uri = "data:image/png;base64," + base64.b64encode(f.read()).decode()
        x, y = (i % cols) * cell_w + 10, (i // cols) * cell_h + 8
        lines.append('<rect x="%d" y="%d" width="%d" height="%d" fill="none" stroke="#dddddd"/>'
                     % (x - 1, y - 1, SIZE * k + 2, SIZE * k + 2))
        lines.append('<image x="%d" y="%d" width="%d" height="%d" href="%s"/>'
                     % (x, y, SIZE * k, SIZE * k, uri))
        lines.append('<text x="%d" y="%d" font-family="DejaVu Sans" font-size="11" text-anchor="middle" '
                     'fill="#000">#%d code %s</text>' % (x + SIZE, y + SIZE * k + 15, number, code))
    w, h = cols * cell_w + 6, ((len(rows) + cols - 1) // cols) * cell_h + 6
    svg = ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d">'
           '<rect width="100%%" height="100%%" fill="#fff"/>%s</svg>' % (w, h, "".join(lines)))
    sheet = renderer.render("contact_sheet_src", svg)
    png_io.write_png(os.path.join(out, "contact_sheet.png"), sheet[0], sheet[1], sheet[2])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", required=True)
    ap.add_argument("--rsvg", default="rsvg-convert")
    ap.add_argument("--zopfli", help="the zopfli program, for the pictures the exe embeds")
    args = ap.parse_args()
    out = os.path.abspath(args.out)
    check_fonts()
    os.makedirs(out, exist_ok=True)
    renderer = Renderer(args.rsvg, os.path.join(out, "work"))
    deflate = png_io.zopfli_deflate(args.zopfli) if args.zopfli else png_io.zlib_deflate
    ids = resource_ids()
    rows = weather_set()

    drawn = {}
    for name in sorted({r[2] for r in rows}):
        w, h, rgba = renderer.render("weather_" + name, weather_drawings.drawing_svg(name))
        if (w, h) != (SIZE, SIZE):
            raise SystemExit("%s renders at %dx%d" % (name, w, h))
        drawn[name] = rgba
    pixels = {}
    stored = {}  # drawing name: the first picture number that shows it
    rc = ["// Generated by make_resources.py: picture n shows PNG IDB_WEATHER_BASE + byte n - 1 of",
          "// RCDATA IDR_WEATHER_INDEX; each distinct drawing is stored once, composed on white.",
          '%d RCDATA "%s"' % (ids["IDR_WEATHER_INDEX"], os.path.join(out, "weather_index.bin"))]
    for number, _, name in rows:
        pixels[number] = drawn[name]
        write(os.path.join(out, "weather_%02d.bmp" % number), bmp_io.bmp_file(SIZE, SIZE, drawn[name], 32))
        if name not in stored:
            stored[name] = number
            file_name = os.path.join(out, "weather_%02d.png" % number)
            write(file_name, png_io.png_bytes(SIZE, SIZE, on_white(drawn[name]), alpha=False, deflate=deflate))
            rc.append('%d PNG "%s"' % (ids["IDB_WEATHER_BASE"] + number, file_name))
    write(os.path.join(out, "weather_index.bin"), bytes(stored[name] for _, _, name in rows))
    with open(os.path.join(out, "weather_pictures.rc"), "w") as f:
        f.write("\n".join(rc) + "\n")
    contact_sheet(renderer, out, rows, pixels)

    entries = []
    for size in ICON_SIZES:
        w, h, rgba = renderer.render("app_icon_%d" % size, app_drawings.app_icon_svg(size), size, size)
        plain = bmp_io.icon_image(size, size, rgba)
        write(os.path.join(out, "app_icon_%d.dib" % size), plain)
        data = plain if size in PLAIN_ICON_SIZES else bmp_io.icon_png(size, size, rgba)
        if data is not plain:
            write(os.path.join(out, "app_icon_%d.png" % size), data)
        entries.append((size, data, ids["IDI_APP_IMAGE_%d" % size]))
        if size == 108:
            png_io.write_png(os.path.join(out, "app_icon.png"), w, h, rgba)
    write(os.path.join(out, "app_icon_group.bin"), bmp_io.icon_group(entries))
    write(os.path.join(out, "app_icon.ico"), bmp_io.ico_file(entries))

    for name, svg, size in (("options_picture", app_drawings.options_picture_svg(), (77, 28)),
                            ("options_background", app_drawings.options_background_svg(), (571, 342))):
        w, h, rgba = renderer.render(name, svg)
        if (w, h) != size:
            raise SystemExit("%s renders at %dx%d" % (name, w, h))
        opaque = on_white(rgba)
        if name == "options_background":
            # A palette of 256 colours: half the bytes, the same look.
            opaque = quantize.quantize(opaque)
        write(os.path.join(out, name + ".bmp"), bmp_io.bmp_file(w, h, opaque, 24))
        packed = png_io.palette_png_bytes(w, h, opaque, deflate=deflate) if name == "options_background" else None
        write(os.path.join(out, name + ".png"), packed or png_io.png_bytes(w, h, opaque, alpha=False, deflate=deflate))
        if name == "options_picture":
            # The card's first paint shows it: stored so that GDI decodes it
            # alone, palettised (it has fewer than 256 colours) and RLE8.
            rle = bmp_io.rle8_bmp_file(w, h, opaque)
            if rle is None or bmp_io.read_rle8_bmp(rle) != (w, h, opaque):
                raise SystemExit("the options picture must keep to 256 colours to be stored as RLE8")
            write(os.path.join(out, "options_picture_rle8.bmp"), rle)


if __name__ == "__main__":
    main()
