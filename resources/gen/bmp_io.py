"""Windows bitmap and icon containers, written from RGBA pixels (top row first)."""
import struct

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
