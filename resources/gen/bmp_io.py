"""Windows bitmap and icon containers, written from RGBA pixels (top row first)."""
import struct

# Beside make_resources.py, which the build runs as a script; the resource
# tests import this file as resources.gen.bmp_io.
if __package__:
    from . import png_io
else:
    import png_io


def _info_header(width, height, bits, image_bytes):
    # BITMAPINFOHEADER, bottom-up rows, BI_RGB.
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_bytes, 2835, 2835, 0, 0)


def _rows_bottom_up(width, height, rgba, bits):
    stride = ((width * bits + 31) // 32) * 4
    out = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b, a = rgba[(y * width + x) * 4:(y * width + x) * 4 + 4]
            row += bytes((b, g, r, a)) if bits == 32 else bytes((b, g, r))
        row += bytes(stride - len(row))
        out += row
    return bytes(out)


def bmp_file(width, height, rgba, bits):
    """A .bmp file: 32 bits keeps straight (not premultiplied) alpha, 24 drops it."""
    pixels = _rows_bottom_up(width, height, rgba, bits)
    info = _info_header(width, height, bits, len(pixels))
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return head + info + pixels


def icon_image(width, height, rgba):
    """One RT_ICON image: 24-bit colour plus a 1-bit mask (set bits are transparent)."""
    colour = _rows_bottom_up(width, height, rgba, 24)
    mask_stride = ((width + 31) // 32) * 4
    mask = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray(mask_stride)
        for x in range(width):
            if rgba[(y * width + x) * 4 + 3] < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    # An icon's header counts colour and mask rows together.
    info = _info_header(width, height * 2, 24, len(colour) + len(mask))
    return info + colour + bytes(mask)


def icon_png(width, height, rgba):
    """One RT_ICON image as a PNG (Vista and later): the pixels icon_image
    draws, opaque where its mask is clear and transparent where it is set."""
    out = bytearray(rgba)
    for i in range(0, len(out), 4):
        out[i:i + 4] = out[i:i + 3] + b"\xff" if out[i + 3] >= 128 else b"\0\0\0\0"
    return png_io.png_bytes(width, height, bytes(out))


def _bits(data):
    return 32 if data[:4] == b"\x89PNG" else 24


def icon_group(entries):
    """RT_GROUP_ICON data; entries are (size, image bytes, resource id) in group order."""
    out = struct.pack("<HHH", 0, 1, len(entries))
    for size, data, res_id in entries:
        out += struct.pack("<BBBBHHIH", size % 256, size % 256, 0, 0, 1, _bits(data), len(data), res_id)
    return out


def ico_file(entries):
    """The same images as a .ico file, for looking at the icon outside the exe."""
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, data, _ in entries:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, _bits(data), len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data, _ in entries)


def _rle8_row(row):
    """One row in BI_RLE8: runs of two or more as (count, index), other
    stretches of three or more in absolute mode, padded to a word."""
    out = bytearray()
    i, n = 0, len(row)
    while i < n:
        run = 1
        while i + run < n and run < 255 and row[i + run] == row[i]:
            run += 1
        if run >= 2:
            out += bytes((run, row[i]))
            i += run
            continue
        j = i
        while j < n and j - i < 255 and not (j + 2 < n and row[j] == row[j + 1] == row[j + 2]):
            j += 1
        if j - i < 3:
            for v in row[i:j]:
                out += bytes((1, v))
        else:
            out += bytes((0, j - i)) + bytes(row[i:j]) + (b"\0" if (j - i) % 2 else b"")
        i = j
    return out


def rle8_bmp_file(width, height, rgba):
    """A .bmp file of opaque RGBA pixels, palettised and BI_RLE8-compressed.
    None when the picture has more than 256 colours."""
    colours = sorted({rgba[i:i + 3] for i in range(0, len(rgba), 4)})
    if len(colours) > 256:
        return None
    index = {c: k for k, c in enumerate(colours)}
    pixels = bytearray()
    for y in range(height - 1, -1, -1):
        row = [index[rgba[(y * width + x) * 4:(y * width + x) * 4 + 3]] for x in range(width)]
        pixels += _rle8_row(row) + (b"\0\0" if y else b"\0\1")  # end of line; end of bitmap
    table = b"".join(bytes((c[2], c[1], c[0], 0)) for c in colours)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1, len(pixels), 2835, 2835, len(colours), 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(table) + len(pixels), 0, 0,
                       14 + len(info) + len(table))
    return head + info + table + bytes(pixels)


def read_rle8_bmp(data):
    """(width, height, rgba top row first) of a BI_RLE8 .bmp file (or of its
    resource form, without the 14-byte file header)."""
    base = 14 if data[:2] == b"BM" else 0
    _, width, height, _, bits, compression, size, _, _, used, _ = struct.unpack_from("<IiiHHIIiiII", data, base)
    if bits != 8 or compression != 1:
        raise ValueError("not an RLE8 bitmap")
    used = used or 256
    table = data[base + 40:base + 40 + 4 * used]
    at, end = base + 40 + 4 * used, base + 40 + 4 * used + size
    rows = [bytearray() for _ in range(height)]
    y = height - 1
    while at < end:
        count, value = data[at], data[at + 1]
        at += 2
        if count:
            rows[y] += bytes((value,)) * count
        elif value == 0:
            y -= 1
        elif value == 1:
            break
        elif value == 2:
            raise ValueError("delta escapes are not written here")
        else:
            rows[y] += data[at:at + value]
            at += value + value % 2
    out = bytearray()
    for row in rows:
        if len(row) != width:
            raise ValueError("a row of %d pixels, not %d" % (len(row), width))
        for v in row:
            b, g, r = table[4 * v:4 * v + 3]
            out += bytes((r, g, b, 255))
    return width, height, bytes(out)
