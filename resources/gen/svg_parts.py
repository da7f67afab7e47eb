"""Drawing pieces shared by the condition pictures, as SVG fragments.

Every picture is a 52 x 52 canvas drawn for a white background; the pieces
take positions in that canvas.
"""
import math

FONT = "DejaVu Sans"

# Colours: (fill top, fill bottom, outline).
WHITE_CLOUD = ("#ffffff", "#dfe5ec", "#7f8c9a")
GREY_CLOUD = ("#c3c8cf", "#8e959e", "#5c636c")
DARK_CLOUD = ("#7b818b", "#3f444c", "#23272c")
RAIN = "#1f6fd6"
SNOW = "#2f8fd8"


class Picture:
    """Collects gradients and shapes of one drawing."""

    def __init__(self, size=52):
        self.size = size
        self.defs = []
        self.body = []
        self._ids = 0

    def new_id(self, stem):
        self._ids += 1
        return "%s%d" % (stem, self._ids)

    def add(self, fragment):
        self.body.append(fragment)

    def svg(self):
        s = self.size
        return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">\n'
                '<defs>%s</defs>\n%s\n</svg>\n') % (s, s, s, s, "".join(self.defs), "\n".join(self.body))

    def vertical_gradient(self, top, bottom, span=None):
        """Top-to-bottom gradient over each shape, or over canvas rows span=(y1, y2)."""
        gid = self.new_id("v")
        where = 'x1="0" y1="0" x2="0" y2="1"'
        if span:
            where = 'gradientUnits="userSpaceOnUse" x1="0" y1="%.2f" x2="0" y2="%.2f"' % span
        self.defs.append('<linearGradient id="%s" %s>'
                         '<stop offset="0" stop-color="%s"/><stop offset="1" stop-color="%s"/>'
                         '</linearGradient>' % (gid, where, top, bottom))
        return "url(#%s)" % gid

    def radial_gradient(self, inner, outer, fx=0.4, fy=0.4):
        gid = self.new_id("r")
        self.defs.append('<radialGradient id="%s" cx="0.5" cy="0.5" r="0.5" fx="%g" fy="%g">'
                         '<stop offset="0" stop-color="%s"/><stop offset="1" stop-color="%s"/>'
                         '</radialGradient>' % (gid, fx, fy, inner, outer))
        return "url(#%s)" % gid


def cloud(pic, left, bottom, width, colours=GREY_CLOUD, outline=1.2):
    """A cumulus of overlapping circles on a flat base, outlined as one shape."""
    u = width / 44.0
    parts = [("c", 9, -8, 8), ("c", 20, -14, 10.5), ("c", 32, -10.5, 8.8), ("c", 37, -6.5, 6.5),
             ("r", 7, -14, 31, 14, 7)]
    shapes = []
    for p in parts:
        if p[0] == "c":
            _, x, y, r = p
            shapes.append('<circle cx="%.2f" cy="%.2f" r="%.2f"/>' % (left + x * u, bottom + y * u, r * u))
        else:
            _, x, y, w, h, rx = p
            shapes.append('<rect x="%.2f" y="%.2f" width="%.2f" height="%.2f" rx="%.2f"/>'
                          % (left + x * u, bottom + y * u, w * u, h * u, rx * u))
    top_y = bottom - 24.5 * u
    # One gradient over the whole cloud, not one per circle.
    grad = pic.vertical_gradient(colours[0], colours[1], (top_y, bottom))
    joined = "".join(shapes)
    # Outline drawn as the same shapes stroked wide underneath, fill on top:
    # that leaves one clean outline around the union.
    pic.add('<g fill="%s" stroke="%s" stroke-width="%.2f">%s</g>' % (colours[2], colours[2], outline * 2, joined))
    pic.add('<g fill="%s">%s</g>' % (grad, joined))


def rain(pic, x, y, length=7, colour=RAIN, width=2.0):
    dx = length * 0.35
    pic.add('<line x1="%.2f" y1="%.2f" x2="%.2f" y2="%.2f" stroke="%s" stroke-width="%.2f" '
            'stroke-linecap="round"/>' % (x, y, x - dx, y + length, colour, width))


def drizzle(pic, x, y, colour="#4a8fe0"):
    rain(pic, x, y, length=2.6, colour=colour, width=1.8)


def snowflake(pic, cx, cy, r, colour=SNOW, width=1.3):
    """Six arms; flakes big enough get little V tips."""
    d = []
    for k in range(3):
        a = math.radians(90 + 60 * k)
        ux, uy = math.cos(a) * r, math.sin(a) * r
        d.append("M%.2f %.2fL%.2f %.2f" % (cx - ux, cy - uy, cx + ux, cy + uy))
    if r >= 4.5:
        for k in range(6):
            a = math.radians(90 + 60 * k)
            bx, by = cx + math.cos(a) * r * 0.55, cy + math.sin(a) * r * 0.55
            for s in (-1, 1):
                b = a + s * math.radians(45)
                d.append("M%.2f %.2fL%.2f %.2f" % (bx, by, bx + math.cos(b) * r * 0.35,
                                                   by + math.sin(b) * r * 0.35))
    pic.add('<path d="%s" stroke="%s" stroke-width="%.2f" stroke-linecap="round" fill="none"/>'
            % ("".join(d), colour, width))


def pellet(pic, cx, cy, r=1.9):
    """An ice pellet of sleet."""
    pic.add('<circle cx="%.2f" cy="%.2f" r="%.2f" fill="#e3f3ff" stroke="#3f86c8" stroke-width="1"/>'
            % (cx, cy, r))


def bolt(pic, x, y, scale=1.0):
    """Lightning bolt with its top-left near (x, y)."""
    pts = [(5, 0), (13, 0), (9, 8), (14, 8), (3, 24), (6, 12), (1, 12)]
    d = " ".join("%.2f,%.2f" % (x + px * scale, y + py * scale) for px, py in pts)
    pic.add('<polygon points="%s" fill="#ffd21f" stroke="#b86e00" stroke-width="1.1" '
            'stroke-linejoin="round"/>' % d)


def sun(pic, cx, cy, r, rays=True):
    if rays:
        d = []
        for k in range(12):
            a = math.radians(k * 30)
            r1, r2 = r + 2.2, r + (6.0 if k % 2 == 0 else 4.5)
            d.append("M%.2f %.2fL%.2f %.2f" % (cx + math.cos(a) * r1, cy + math.sin(a) * r1,
                                               cx + math.cos(a) * r2, cy + math.sin(a) * r2))
        pic.add('<path d="%s" stroke="#f39c00" stroke-width="2.2" stroke-linecap="round"/>' % "".join(d))
    fill = pic.radial_gradient("#fff6a0", "#ffb400")
    pic.add('<circle cx="%.2f" cy="%.2f" r="%.2f" fill="%s" stroke="#dd8a00" stroke-width="1.1"/>'
            % (cx, cy, r, fill))


MOON_FILL = ("#fffdf0", "#e9dfae")
MOON_LINE = "#9c9164"


def full_moon(pic, cx, cy, r, craters=True):
    fill = pic.radial_gradient(MOON_FILL[0], MOON_FILL[1], 0.38, 0.36)
    pic.add('<circle cx="%.2f" cy="%.2f" r="%.2f" fill="%s" stroke="%s" stroke-width="1.1"/>'
            % (cx, cy, r, fill, MOON_LINE))
    if craters:
        for dx, dy, cr in ((-0.35, -0.2, 0.2), (0.3, 0.25, 0.24), (0.15, -0.45, 0.11),
                           (-0.2, 0.45, 0.12), (0.5, -0.1, 0.09)):
            pic.add('<circle cx="%.2f" cy="%.2f" r="%.2f" fill="#d8cc92" fill-opacity="0.75"/>'
                    % (cx + dx * r, cy + dy * r, cr * r))


def crescent(pic, cx, cy, r):
    """A waxing crescent opening to the upper right: the disc less an offset disc, as one outlined shape."""
    ri = r * 0.78
    ox, oy = cx + r * 0.42, cy - r * 0.30
    dx, dy = ox - cx, oy - cy
    d = math.hypot(dx, dy)
    a = (r * r - ri * ri + d * d) / (2 * d)
    h = math.sqrt(r * r - a * a)
    mx, my = cx + a * dx / d, cy + a * dy / d
    p1 = (mx + h * dy / d, my - h * dx / d)
    p2 = (mx - h * dy / d, my + h * dx / d)
    fill = pic.radial_gradient("#fff7c8", "#f1d46a", 0.3, 0.5)
    pic.add('<path d="M%.2f %.2fA%.2f %.2f 0 1 0 %.2f %.2fA%.2f %.2f 0 0 1 %.2f %.2fZ" fill="%s" stroke="#b08d1e" '
            'stroke-width="1.1" stroke-linejoin="round"/>'
            % (p1[0], p1[1], r, r, p2[0], p2[1], ri, ri, p1[0], p1[1], fill))


def haze_band(pic, x, y, w, h=3.6, colour="#a9aeb5", opacity=0.9):
    pic.add('<rect x="%.2f" y="%.2f" width="%.2f" height="%.2f" rx="%.2f" fill="%s" fill-opacity="%.2f"/>'
            % (x, y, w, h, h / 2, colour, opacity))


def grey_band(pic, x, y, w, h):
    """The flat grey layer of drizzle pictures."""
    fill = pic.vertical_gradient(GREY_CLOUD[0], GREY_CLOUD[1])
    pic.add('<rect x="%.2f" y="%.2f" width="%.2f" height="%.2f" rx="%.2f" fill="%s" stroke="%s" '
            'stroke-width="1.2"/>' % (x, y, w, h, h / 2.2, fill, GREY_CLOUD[2]))


def word(pic, text, x, baseline, size, colour, halo="#ffffff", stretch=None, weight="bold", spacing=0):
    """Lettering with a white halo so it stays legible over shapes."""
    style = ' font-stretch="%s"' % stretch if stretch else ""
    pic.add('<text x="%.2f" y="%.2f" font-family="%s" font-size="%.2f" font-weight="%s"%s '
            'letter-spacing="%.2f" text-anchor="middle" fill="%s" stroke="%s" stroke-width="%.2f" '
            'stroke-linejoin="round" paint-order="stroke">%s</text>'
            % (x, baseline, FONT, size, weight, style, spacing, colour, halo, 2.4 if halo else 0, text))


def swoosh(pic, x, y, w, colour="#7d93aa", width=1.6, curl=True):
    """A wind line with a curl at its end."""
    if curl:
        d = "M%.2f %.2fH%.2fc3.5 0 3.5 -5 0.5 -5c-1.5 0 -2.2 1.2 -1.8 2.2" % (x, y, x + w)
    else:
        d = "M%.2f %.2fH%.2f" % (x, y, x + w)
    pic.add('<path d="%s" fill="none" stroke="%s" stroke-width="%.2f" stroke-linecap="round"/>'
            % (d, colour, width))


def starburst(pic, cx, cy, r_out, r_in, points=14):
    pts = []
    for k in range(points * 2):
        a = math.radians(-90 + k * 180.0 / points)
        r = r_out if k % 2 == 0 else r_in
        pts.append("%.2f,%.2f" % (cx + math.cos(a) * r, cy + math.sin(a) * r))
    fill = pic.radial_gradient("#d4d6da", "#8d9198", 0.45, 0.4)
    pic.add('<polygon points="%s" fill="%s" stroke="#5b6067" stroke-width="1.1" stroke-linejoin="round"/>'
            % (" ".join(pts), fill))


def sparkle(pic, cx, cy, r, colour="#e0a800"):
    d = ("M%.2f %.2fQ%.2f %.2f %.2f %.2fQ%.2f %.2f %.2f %.2fQ%.2f %.2f %.2f %.2fQ%.2f %.2f %.2f %.2fZ"
         % (cx, cy - r, cx, cy, cx + r, cy, cx, cy, cx, cy + r, cx, cy, cx - r, cy, cx, cy, cx, cy - r))
    pic.add('<path d="%s" fill="%s"/>' % (d, colour))
