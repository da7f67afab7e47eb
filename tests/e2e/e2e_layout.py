"""The card as it stands before any refresh: texts, pixel rectangles at
96 DPI, window size and styles."""
import harness
from harness import CARD

# The card's design in twips: id, name, parent id, left, top, width, height, text.
# None as text: the control has no caption to compare (pictures, frame, lines).
DESIGN = [
    (101, "Picture2", 0, 1785, 4320, 1140, 390, None),
    (102, "Picture1", 0, 2115, 1275, 855, 825, None),
    (103, "Frame1", 0, 60, 60, 2985, 345, None),
    (104, "Label3", 103, 2670, 45, 270, 255, b"  _"),
    (105, "Label6", 103, 90, 45, 1215, 255, b"Cloudwick"),
    (106, "txtDateTime", 0, 135, 750, 2820, 255, b""),
    (107, "txtTitle", 0, 135, 495, 2820, 255, b"options: Select Location"),
    (108, "lblBar", 0, 120, 4035, 2895, 135, b""),  # the ten design dashes are emptied at start-up
    (109, "txtWSpeed", 0, 1185, 1995, 1020, 270, b""),
    (110, "Line2", 0, 120, 4200, 2880, None, None),  # a line: from (120, 4200) to (3000, 4200)
    (111, "Line1", 0, 120, 1080, 2880, None, None),
    (112, "txtDay1", 0, 120, 3045, 2865, 255, b""),
    (113, "txtDay2", 0, 135, 3405, 2865, 495, b""),
    (114, "Label8", 0, 165, 1995, 1095, 270, b"Wind Speed :"),
    (115, "Label9", 0, 165, 2700, 855, 270, b"Forecast :"),
    (116, "txtWTemp", 0, 1185, 1650, 915, 270, b""),
    (117, "txtCond", 0, 1185, 2340, 1710, 270, b""),
    (118, "txtTemp", 0, 1185, 1320, 915, 270, b""),
    (119, "Label4", 0, 165, 1650, 855, 270, b"Feels Like :"),
    (120, "Label2", 0, 165, 2340, 1095, 270, b"Condition :"),
    (121, "Label1", 0, 165, 1320, 645, 270, b"Temp :"),
]

WS_POPUP = 0x80000000
WS_CAPTION = 0x00C00000
WS_THICKFRAME = 0x00040000
WS_SYSMENU = 0x00080000
WS_VISIBLE = 0x10000000
WS_EX_TOPMOST = 0x8
WS_EX_TOOLWINDOW = 0x80
WS_EX_APPWINDOW = 0x40000


def px(twips):
    return int(twips / harness.TWIPS_PER_PIXEL + 0.5)


def check_design_controls(c, ctls, client_origin):
    """Every control of the design at its pixel rectangle, in its parent, with its text."""
    ox, oy = client_origin
    for cid, name, parent, l, t, w, h, text in DESIGN:
        f = ctls.get(cid)
        if not c.true(f is not None, "%s (id %d) exists" % (name, cid)):
            continue
        c.eq(int(f["parent_id"]), parent, name + " parent")
        x, y, rw, rh = harness.rect(f)
        if h is None:  # a line: one pixel high by default
            c.eq((x, y, rw), (px(l), px(t), px(w)), name + " left, top, width (px)")
            c.true(1 <= rh <= 2, "%s is a thin line (height %d px)" % (name, rh))
        else:
            c.eq((x, y, rw, rh), (px(l), px(t), px(w), px(h)), name + " rect in its parent (px)")
        if text is not None:
            c.eq(f["text"], text, name + " text")
        c.eq(f["visible"], "1", name + " visible")
    # Frame1's children also sit where the design says on screen.
    frame = ctls.get(103)
    if frame:
        fx, fy, _, _ = harness.rect(frame, "screen")
        c.eq((fx - ox, fy - oy), (px(60), px(60)), "Frame1 on screen relative to the card's client area")
        for cid in (104, 105):
            if cid in ctls:
                sx, sy, _, _ = harness.rect(ctls[cid], "screen")
                c.eq((sx - ox, sy - oy), (px(60) + px(dict((d[0], d) for d in DESIGN)[cid][3]),
                                          px(60) + px(dict((d[0], d) for d in DESIGN)[cid][4])),
                     "control %d on screen" % cid)


def case_design_time_card(name):
    """No place chosen: the card shows its design texts, empty values, and
    the window is a borderless, topmost 207 x 326 card without a taskbar button."""
    with harness.Card(name, harness.conf_text()) as card:
        c = harness.Checks()
        c.true(card.wait_window("visible", 10000), "the card becomes visible")
        card.cmd("sleep 1500")  # a refresh, if one wrongly started, would blank the title by now
        w = card.window()
        c.eq(w["class"], "CloudwickCard", "window class")
        c.eq(w["text"], b"", "the window title is empty")
        c.eq(w["client"], "207,326", "client size (px)")
        c.eq(w["size"], "207,326", "window size (px): no border adds to it")
        style, ex = int(w["style"], 16), int(w["exstyle"], 16)
        c.true(style & WS_POPUP, "WS_POPUP")
        c.true(not style & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU), "no caption, sizing border or system menu")
        c.eq(w["topmost"], "1", "topmost")
        c.true(ex & WS_EX_TOOLWINDOW and not ex & WS_EX_APPWINDOW, "tool window, not an app window")
        c.eq(harness.parse_fields(card.must("taskbar " + w["hwnd"])[0])["window_button"], "0",
             "no button on the taskbar")
        left, top = [int(v) for v in w["rect"].split(",")[:2]]
        c.eq((left, top), (7155 // 15, 3555 // 15), "placed at the stored 7155, 3555 twips")
        ctls = card.controls()
        origin = tuple(int(v) for v in w["client_origin"].split(","))
        check_design_controls(c, ctls, origin)
        c.eq(len(ctls), len(DESIGN), "number of child controls")
        card.screenshot()
        c.done()


def case_captions_fit_on_one_line(name):
    """Each fixed caption is drawn as one line inside its box: a caption the
    card's font wraps would show its second line cut off at the box edge."""
    with harness.Card(name, harness.conf_text()) as card:
        c = harness.Checks()
        card.wait_window("visible", 10000)
        card.cmd("sleep 500")
        ctls = card.controls()
        shot = card.screenshot()
        for cid, name_, *_ in [d for d in DESIGN if d[7] and d[2] == 0]:
            f = ctls.get(cid)
            if not f:
                c.true(False, name_ + " exists")
                continue
            lines = harness.row_groups(harness.ink_rows(shot, harness.rect(f, "screen"), harness.cyanish))
            c.eq(len(lines), 1, "%s %r: lines of text drawn in its box" % (name_, f["text"]))
        c.done()


def check_scaled(name, dpi):
    """At another DPI every size follows the screen's twips per pixel
    (1440 / DPI), within the one pixel that rounding may take."""
    with harness.Card(name, harness.conf_text(), dpi=dpi) as card:
        c = harness.Checks()
        got = harness.parse_fields(card.must("dpi")[0])["x"]
        if not c.eq(got, str(dpi), "the desktop runs at %d DPI" % dpi):
            c.done()
        card.wait_window("visible", 10000)
        tpp = 1440.0 / dpi
        near = lambda a, b: abs(a - b) <= 1
        w = card.window()
        cw, ch = [int(v) for v in w["client"].split(",")]
        c.true(near(cw, 3105 / tpp) and near(ch, 4890 / tpp),
               "client %dx%d for 3105 x 4890 twips at %d DPI (%.1f x %.1f)" % (cw, ch, dpi, 3105 / tpp, 4890 / tpp))
        ctls = card.controls()
        for cid, cname, parent, l, t, wd, h, text in DESIGN:
            f = ctls.get(cid)
            if not c.true(f, cname + " exists"):
                continue
            x, y, rw, rh = harness.rect(f)
            want = [l / tpp, t / tpp, wd / tpp] + ([h / tpp] if h is not None else [])
            c.true(all(near(g, wv) for g, wv in zip((x, y, rw, rh), want)),
                   "%s at %r px, want about %s" % (cname, (x, y, rw, rh), ["%.1f" % v for v in want]))
        card.screenshot()
        c.done()


def case_layout_scales_at_120_dpi(name):
    check_scaled(name, 120)


def case_layout_scales_at_144_dpi(name):
    check_scaled(name, 144)
