"""The card as it stands before any refresh: texts, pixel rectangles at
96 DPI, window size and styles. The rows come from the design table the exe
is built from (design.py)."""
from tests.support import design, harness
from tests.support.harness import px

WS_POPUP = 0x80000000
WS_CAPTION = 0x00C00000
WS_THICKFRAME = 0x00040000
WS_SYSMENU = 0x00080000
WS_VISIBLE = 0x10000000
WS_EX_TOPMOST = 0x8
WS_EX_TOOLWINDOW = 0x80
WS_EX_APPWINDOW = 0x40000

# Texts the card changes at start-up: the ten design dashes of the bar are emptied.
TEXT_AT_START = {"lblBar": b""}
NO_CAPTION = ("Picture", "Frame", "Line")  # nothing to compare as text


def start_text(row):
    """The text a control shows before any refresh, None where there is none to read."""
    if row.kind in NO_CAPTION:
        return None
    return TEXT_AT_START.get(row.name, row.text)


def check_design_controls(c, ctls, client_origin):
    """Every control of the design at its pixel rectangle, in its parent, with its text."""
    ox, oy = client_origin
    rows = {r.name: r for r in design.controls("card")}
    for r in rows.values():
        f = ctls.get(r.name)
        if not c.true(f is not None, "%s (id %d) exists" % (r.name, r.id)):
            continue
        c.eq(int(f["parent_id"]), r.parent_id, r.name + " parent")
        x, y, rw, rh = harness.rect(f)
        if r.kind == "Line":  # a horizontal line: one pixel high by default
            c.eq((x, y, rw), (px(r.left), px(r.top), px(r.width)), r.name + " left, top, width (px)")
            c.true(1 <= rh <= 2, "%s is a thin line (height %d px)" % (r.name, rh))
        else:
            c.eq((x, y, rw, rh), (px(r.left), px(r.top), px(r.width), px(r.height)), r.name + " rect in its parent (px)")
        if start_text(r) is not None:
            c.eq(f["text"], start_text(r), r.name + " text")
        c.eq(f["visible"], "1", r.name + " visible")
        # A control inside a panel also sits where the design says on screen.
        if r.parent:
            p = rows[r.parent]
            sx, sy, _, _ = harness.rect(f, "screen")
            c.eq((sx - ox, sy - oy), (px(p.left) + px(r.left), px(p.top) + px(r.top)),
                 "%s on screen relative to the card's client area" % r.name)


def case_design_time_card(name):
    """No place chosen: the card shows its design texts, empty values, and
    the window is a borderless, topmost 207 x 326 card without a taskbar button."""
    with harness.Card(name, harness.conf_text()) as card:
        c = harness.Checks()
        c.true(card.wait_window("visible", 30000), "the card becomes visible")
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
        c.eq(len(ctls), len(design.controls("card")), "number of child controls")
        card.screenshot()
        c.done()


def case_captions_fit_on_one_line(name):
    """Each fixed caption is drawn as one line inside its box: a caption the
    card's font wraps would show its second line cut off at the box edge."""
    with harness.Card(name, harness.conf_text()) as card:
        c = harness.Checks()
        card.wait_window("visible", 30000)
        ctls = card.controls()
        rows = [r for r in design.controls("card") if start_text(r) and not r.parent]
        drawn = lambda shot, f: harness.row_groups(harness.ink_rows(shot, harness.rect(f, "screen"), harness.cyanish))
        shot = card.screenshot_when(lambda shot: all(drawn(shot, ctls[r.name]) for r in rows if r.name in ctls))
        for r in rows:
            f = ctls.get(r.name)
            if not c.true(f, r.name + " exists"):
                continue
            lines = drawn(shot, f)
            c.eq(len(lines), 1, "%s %r: lines of text drawn in its box" % (r.name, f["text"]))
        c.done()


def check_scaled(name, dpi):
    """At another DPI every size follows the screen's twips per pixel
    (1440 / DPI), within the one pixel that rounding may take."""
    with harness.Card(name, harness.conf_text(), dpi=dpi) as card:
        c = harness.Checks()
        got = harness.parse_fields(card.must("dpi")[0])["x"]
        if not c.eq(got, str(dpi), "the desktop runs at %d DPI" % dpi):
            c.done()
        card.wait_window("visible", 30000)
        tpp = 1440.0 / dpi
        near = lambda a, b: abs(a - b) <= 1
        w = card.window()
        cw, ch = [int(v) for v in w["client"].split(",")]
        tw, th = design.window("card")["widthTwips"], design.window("card")["heightTwips"]
        c.true(near(cw, tw / tpp) and near(ch, th / tpp),
               "client %dx%d for %d x %d twips at %d DPI (%.1f x %.1f)" % (cw, ch, tw, th, dpi, tw / tpp, th / tpp))
        ctls = card.controls()
        for r in design.controls("card"):
            f = ctls.get(r.name)
            if not c.true(f, r.name + " exists"):
                continue
            x, y, rw, rh = harness.rect(f)
            want = [r.left / tpp, r.top / tpp, r.width / tpp] + ([r.height / tpp] if r.kind != "Line" else [])
            c.true(all(near(g, wv) for g, wv in zip((x, y, rw, rh), want)),
                   "%s at %r px, want about %s" % (r.name, (x, y, rw, rh), ["%.1f" % v for v in want]))
        card.screenshot()
        c.done()


def case_layout_scales_at_120_dpi(name):
    check_scaled(name, 120)


def case_layout_scales_at_144_dpi(name):
    check_scaled(name, 144)
