"""The application icon, the card's options picture and the options dialog background."""
import map_drawing


def app_icon_svg(size):
    """Full moon on a black square with a thin light frame, drawn on a 108 grid.

    rsvg scales it to each icon size; the frame is kept two pixels wide at 48 px
    and up and one below, so it stays a crisp line at every size.
    """
    frame = (2.0 if size >= 48 else 1.0) * 108.0 / size
    craters = "".join('<circle cx="%g" cy="%g" r="%g" fill="#c9c2a4" fill-opacity="0.8"/>' % c
                      for c in ((42, 45, 7), (64, 62, 9), (58, 37, 4), (47, 70, 4.5), (72, 47, 3.5)))
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="108" height="108" viewBox="0 0 108 108">'
            '<defs><radialGradient id="moon" cx="0.5" cy="0.5" r="0.5" fx="0.38" fy="0.35">'
            '<stop offset="0" stop-color="#ffffff"/><stop offset="0.7" stop-color="#efebdc"/>'
            '<stop offset="1" stop-color="#cfc8ac"/></radialGradient>'
            '<radialGradient id="glow" cx="0.5" cy="0.5" r="0.5">'
            '<stop offset="0.6" stop-color="#5a5a50" stop-opacity="0.8"/>'
            '<stop offset="1" stop-color="#000000" stop-opacity="0"/></radialGradient></defs>'
            '<rect width="108" height="108" fill="#000"/>'
            '<rect x="%.3f" y="%.3f" width="%.3f" height="%.3f" fill="none" stroke="#d8d8d8" stroke-width="%.3f"/>'
            '<circle cx="54" cy="54" r="44" fill="url(#glow)"/>'
            '<circle cx="54" cy="54" r="35" fill="url(#moon)"/>%s</svg>'
            % (frame / 2, frame / 2, 108 - frame, 108 - frame, frame, craters))


def options_picture_svg():
    """The word options in grey lower case on a black gradient, 77 x 28."""
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="77" height="28" viewBox="0 0 77 28">'
            '<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1">'
            '<stop offset="0" stop-color="#3a3a3a"/><stop offset="0.55" stop-color="#101010"/>'
            '<stop offset="1" stop-color="#000000"/></linearGradient></defs>'
            '<rect width="77" height="28" fill="url(#g)"/>'
            '<text x="38" y="18.5" font-family="DejaVu Sans" font-size="14" text-anchor="middle" '
            'fill="#a6a6a6">options</text></svg>')


def options_background_svg():
    return map_drawing.map_svg(571, 342)
