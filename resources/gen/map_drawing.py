"""The options dialog background: a dark map of the time zones around the South Atlantic.

Equirectangular, longitude -95 to about 20 across 571 pixels; the dialog shows
only its top-left 435 x 327 pixels.
"""
import os

OUTLINES = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "map_outlines.txt")
WEST, NORTH = -95.0, 14.0

SEA = ("#0d0f11", "#15181b")  # alternate time zones
LAND = "#34383c"
COAST = "#a4a8ac"
ZONE_LINE = "#8c9094"
GRID = "#4a4f54"
NAME = "#a8acb0"


def read_outlines(path=OUTLINES):
    """{(kind, name): [(lon, lat)]}; kind is "outline" (closed) or "border" (open)."""
    outlines, current = {}, None
    with open(path) as f:
        for line in f:
            words = line.split("#", 1)[0].split()
            if not words:
                continue
            if words[0] in ("outline", "border"):
                current = outlines.setdefault((words[0], words[1]), [])
                continue
            values = [float(w) for w in words]
            current.extend(zip(values[0::2], values[1::2]))
    return outlines


def map_svg(width, height):
    scale = width / 115.0  # pixels per degree

    def xy(lon, lat):
        return (lon - WEST) * scale, (NORTH - lat) * scale

    parts = ['<rect width="%d" height="%d" fill="%s"/>' % (width, height, SEA[0])]
    # Time zone bands 15 degrees wide centred on whole hours, shaded in turn.
    zones = []
    for hour in range(-7, 3):
        west = hour * 15 - 7.5
        x0, _ = xy(west, 0)
        x1, _ = xy(west + 15, 0)
        if hour % 2:
            parts.append('<rect x="%.1f" y="0" width="%.1f" height="%d" fill="%s"/>'
                         % (x0, x1 - x0, height, SEA[1]))
        zones.append((hour, x0, x1))
    # Grid: parallels every 10 degrees, meridians every 15.
    for lat in range(10, -60, -10):
        _, y = xy(0, lat)
        parts.append('<line x1="0" y1="%.1f" x2="%d" y2="%.1f" stroke="%s" stroke-width="%s"/>'
                     % (y, width, y, GRID, "1" if lat == 0 else "0.6"))
    _, y = xy(0, -23.44)
    parts.append('<line x1="0" y1="%.1f" x2="%d" y2="%.1f" stroke="%s" stroke-width="0.8" stroke-dasharray="6 3"/>'
                 % (y, width, y, GRID))
    for lon in range(-90, 30, 15):
        x, _ = xy(lon, 0)
        parts.append('<line x1="%.1f" y1="0" x2="%.1f" y2="%d" stroke="%s" stroke-width="0.6" '
                     'stroke-dasharray="1 3"/>' % (x, x, height, GRID))
    outlines = read_outlines()
    for (kind, _), points in sorted(outlines.items()):  # "border" sorts first
        if kind != "outline":
            continue
        d = "M" + "L".join("%.1f %.1f" % xy(lon, lat) for lon, lat in points) + "Z"
        parts.append('<path d="%s" fill="%s" stroke="%s" stroke-width="1" stroke-linejoin="round"/>'
                     % (d, LAND, COAST))
    for (kind, _), points in sorted(outlines.items()):
        if kind == "border":
            d = "M" + "L".join("%.1f %.1f" % xy(lon, lat) for lon, lat in points)
            parts.append('<path d="%s" fill="none" stroke="%s" stroke-width="0.8" stroke-dasharray="3 1.5" '
                         'stroke-linejoin="round"/>' % (d, COAST))
    # Zone borders and their hours along the top and bottom.
    for hour, x0, x1 in zones:
        parts.append('<line x1="%.1f" y1="0" x2="%.1f" y2="%d" stroke="%s" stroke-width="0.8" '
                     'stroke-dasharray="5 3"/>' % (x0, x0, height, ZONE_LINE))
        label = "UTC" if hour == 0 else "%+d" % hour
        for y in (13, height - 6):
            parts.append('<text x="%.1f" y="%d" font-family="DejaVu Sans" font-size="11" font-weight="bold" '
                         'text-anchor="middle" fill="%s">%s</text>' % ((x0 + x1) / 2, y, NAME, label))

    def name(text, lon, lat, size=10, spacing=1.5, italic=False):
        x, y = xy(lon, lat)
        parts.append('<text x="%.1f" y="%.1f" font-family="DejaVu Sans" font-size="%g" letter-spacing="%g" '
                     'text-anchor="middle" fill="%s"%s>%s</text>'
                     % (x, y, size, spacing, NAME, ' font-style="italic"' if italic else "", text))

    def place(text, lon, lat, anchor="start"):
        x, y = xy(lon, lat)
        dx = 4 if anchor == "start" else -4
        parts.append('<circle cx="%.1f" cy="%.1f" r="1.6" fill="%s"/>' % (x, y, NAME))
        parts.append('<text x="%.1f" y="%.1f" font-family="DejaVu Sans" font-size="8.5" text-anchor="%s" '
                     'fill="%s">%s</text>' % (x + dx, y + 3, anchor, NAME, text))

    name("SOUTH AMERICA", -58, -12, 11, 2)
    name("BRAZIL", -50, -7, 9)
    name("ARGENTINA", -66, -38, 9)
    name("PERU", -75, -10, 8)
    name("CHILE", -72.5, -28, 8)
    name("SOUTH ATLANTIC OCEAN", -24, -31, 10, 2, True)
    name("PACIFIC OCEAN", -84, -41, 10, 2, True)
    name("AFRICA", 12, -18, 11, 2)
    name("Equator", -12, 0.6, 8, 0.5, True)
    name("Tropic of Capricorn", -17, -22.7, 8, 0.5, True)
    place("Rio de Janeiro", -43.2, -22.9)
    place("Buenos Aires", -58.4, -34.6, "end")
    place("Lima", -77.0, -12.0, "end")
    place("Dakar", -17.4, 14.7)
    place("St Helena", -5.7, -15.9)
    place("Ascension", -14.4, -7.9)
    place("Tristan da Cunha", -12.3, -37.1)
    for lat in range(10, -60, -10):
        _, y = xy(0, lat)
        label = "0\u00b0" if lat == 0 else "%d\u00b0%s" % (abs(lat), "N" if lat > 0 else "S")
        if lat < 10:  # 10N would meet the hour labels
            parts.append('<text x="3" y="%.1f" font-family="DejaVu Sans" font-size="8" fill="%s">%s</text>'
                         % (y - 2, NAME, label))
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">%s</svg>'
            % (width, height, width, height, "".join(parts)))
