"""The options dialog from outside: its design, how it shows the stored
choices, the place search against a local server (found, "Easy boy",
network error, time-out), Okay, Cancel, the close box, the card's return,
and the start-with-Windows value in Wine's registry."""
import time

import harness
import servers
from harness import CARD, OPTIONS
from servers import FakeService, feed_request, http_reply

# Card ids
IDC_PICTURE2, IDC_LABEL3_CARD, IDC_TXTTITLE, IDC_TXTTEMP = 101, 104, 107, 118
IDM_OPTIONS, IDM_EXIT = 203, 204
# Dialog ids
(IDC_FRAME3, IDC_CBOREFRESH, IDC_CHKONTRAY, IDC_CHKONSTART, IDC_OPT_LABEL5, IDC_CMDOK, IDC_COMMAND2, IDC_FRAME2,
 IDC_OPTC, IDC_OPTF, IDC_OPT_FRAME1, IDC_COMMAND1, IDC_TXTWORD, IDC_OPT_LABEL3, IDC_TXTLOCATION, IDC_OPT_LABEL1,
 IDC_LBLABOUT) = range(301, 318)

BM_GETCHECK, CB_GETCOUNT, CB_GETCURSEL = 0xF0, 0x146, 0x147
WM_CLOSE = 0x10
WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX, WS_MAXIMIZEBOX, WS_THICKFRAME = 0xC00000, 0x80000, 0x20000, 0x10000, 0x40000
WS_EX_TOPMOST, WS_EX_TOOLWINDOW = 0x8, 0x80

# The dialog's design in twips: id, name, parent, left, top, width, height, text.
DESIGN = [
    (IDC_FRAME3, "Frame3", 0, 45, -45, 3495, 1740, None),
    (IDC_CBOREFRESH, "cboRefresh", IDC_FRAME3, 1080, 1155, 1575, None, None),  # a combo box sizes its own height
    (IDC_CHKONTRAY, "chkOnTray", IDC_FRAME3, 240, 615, 3015, 255, b"Start minimized in System Tray"),
    (IDC_CHKONSTART, "chkOnStart", IDC_FRAME3, 240, 240, 3015, 255, b"Start on Windows"),
    (IDC_OPT_LABEL5, "Label5", IDC_FRAME3, 240, 1185, 735, 255, b"Refresh"),
    (IDC_CMDOK, "cmdOK", 0, 5160, 4290, 1095, 375, b"Okay"),
    (IDC_COMMAND2, "Command2", 0, 3780, 4305, 1095, 375, b"Cancel"),
    (IDC_FRAME2, "Frame2", 0, 3630, 2760, 2820, 1215, None),
    (IDC_OPTC, "optC", IDC_FRAME2, 900, 705, 1695, 255, b"Celsius, Kmph"),
    (IDC_OPTF, "optF", IDC_FRAME2, 900, 330, 1815, 255, b"Fahrenheit, Mph"),
    (IDC_OPT_FRAME1, "Frame1", 0, 45, 1755, 3495, 2220, None),
    (IDC_COMMAND1, "Command1", IDC_OPT_FRAME1, 2835, 390, 495, 290, b"Find"),
    (IDC_TXTWORD, "txtWord", IDC_OPT_FRAME1, 210, 390, 2565, 270, b""),
    (IDC_OPT_LABEL3, "Label3", IDC_OPT_FRAME1, 270, 1170, 2055, 255, b"Your current location is :"),
    (IDC_TXTLOCATION, "txtLocation", IDC_OPT_FRAME1, 345, 1485, 2895, 465, None),
    (IDC_OPT_LABEL1, "Label1", IDC_OPT_FRAME1, 270, 795, 3015, 255, b"Enter your city or  zip / pin  or landmark..."),
    (IDC_LBLABOUT, "lblAbout", 0, 3600, 120, 2295, 2535, None),
]

ABOUT = (b"Cloudwick 1.23\r\n______________\r\n\r\nEnter your location like...\r\n"
         b"Tokyo, 60610, Eiffel Tower ...\r\nHit Find (or ENTER key) and Okay ! \r\n"
         b"Hover on system tray to quick look temp.\r\n\r\n\r\n\r\n\r\n")
SEARCH_PREFIX = b"/v1/public/yql?q=select%20*%20from%20geo.places%20where%20text%20%3D%20"
FOUND = http_reply(servers.data("place_found.xml"))
EASY_BOY = http_reply(servers.data("place_easy_boy.xml"))
LAKEVIEW = http_reply(servers.data("feed_lakeview_c.xml"))
SPRINGFIELD = http_reply(servers.data("feed_springfield_f.xml"))


def px(twips):
    return int(twips / harness.TWIPS_PER_PIXEL + 0.5) if twips >= 0 else -int(-twips / harness.TWIPS_PER_PIXEL + 0.5)


def route(search=FOUND, feed=LAKEVIEW):
    def pick(path):
        if path.startswith("/v1/public/yql"):
            return servers.whole(search) if search is not None else servers.close_now()
        return servers.whole(feed)
    return pick


def open_options(card, via="menu"):
    if via == "picture":
        x, y = [int(v) for v in card.must("centre %s %d" % (CARD, IDC_PICTURE2))[0].split()[1:]]
        card.must("mclick %d %d" % (x, y))
    else:
        card.must("command %s %d" % (CARD, IDM_OPTIONS))
    ok = card.wait_window("visible", 5000, OPTIONS)
    if ok:
        end = time.time() + 10  # the window exists before its last control does
        while card.cmd("text %s %d" % (OPTIONS, IDC_LBLABOUT))[0] != 0 and time.time() < end:
            time.sleep(0.05)
    return ok


def send(card, cid, msg, w=0, l=0):
    lines = card.must("send %s %d %d %d %d" % (OPTIONS, cid, msg, w, l))
    return int(harness.parse_fields(lines[0])["value"])


def focus_id(card):
    return int(harness.parse_fields(card.must("focus " + OPTIONS)[0])["id"])


def enabled(card, cid):
    return card.controls(OPTIONS)[cid]["enabled"] == "1"


def search(card, text, how="enter"):
    card.must("settext %s %d %s" % (OPTIONS, IDC_TXTWORD, harness.escape(text)))
    if how == "enter":
        card.must("char %s %d 13" % (OPTIONS, IDC_TXTWORD))
    else:
        card.must("click %s %d" % (OPTIONS, IDC_COMMAND1))


def case_dialog_design_and_stored_choices(name):
    """Opened from the options picture: the card hides, a topmost "Options"
    tool window of 435 x 327 shows every control where the design puts it,
    the about text, and the stored choices (6 hours, Celsius, both boxes)."""
    conf = harness.conf_text(start_on_windows=1, start_in_tray=0, refresh_hours=6, woeid="554890",
                             celsius=1, name="Springfield, XY")
    with FakeService(route(feed=SPRINGFIELD)), harness.Card(name, conf) as card:
        c = harness.Checks()
        card.wait_window("visible", 5000)
        c.true(open_options(card, "picture"), "a click on the options picture opens the dialog")
        c.true(card.wait_window("hidden", 3000), "the card hides meanwhile")
        c.true(card.tray_icon_present(), "the tray icon stays")
        w = card.window(OPTIONS)
        c.eq(w["text"], b"Options", "title")
        c.eq(w["client"], "435,327", "client size (px)")
        style, ex = int(w["style"], 16), int(w["exstyle"], 16)
        c.true(style & WS_CAPTION and style & WS_SYSMENU, "a title bar with a close box")
        c.true(not style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), "no minimize, maximize or sizing border")
        c.true(ex & WS_EX_TOOLWINDOW, "a tool window")
        c.eq(w["topmost"], "1", "topmost")
        c.eq(harness.parse_fields(card.must("taskbar " + w["hwnd"])[0])["window_button"], "0", "no taskbar button")
        ctls = card.controls(OPTIONS)
        for cid, cname, parent, l, t, wd, h, text in DESIGN:
            f = ctls.get(cid)
            if not c.true(f, "%s exists" % cname):
                continue
            c.eq(int(f["parent_id"]), parent, cname + " parent")
            x, y, rw, rh = harness.rect(f)
            want = (px(l), px(t), px(wd)) + ((px(h),) if h is not None else ())
            c.eq((x, y, rw, rh)[:len(want)], want, cname + " rect in its parent (px)")
            if text is not None:
                c.eq(f["text"], text, cname + " text")
        c.eq(ctls[IDC_LBLABOUT]["text"], ABOUT, "the about text")
        c.eq(ctls[IDC_TXTLOCATION]["text"], b"Springfield, XY", "the stored place")
        c.eq(send(card, IDC_CBOREFRESH, CB_GETCOUNT), 4, "four refresh entries")
        c.eq(send(card, IDC_CBOREFRESH, CB_GETCURSEL), 2, "RefreshHours 6 selects entry 2")
        c.eq(card.text(IDC_CBOREFRESH, OPTIONS), b"Every 6 Hrs", "shown as")
        c.eq(send(card, IDC_CHKONSTART, BM_GETCHECK), 1, "Start on Windows checked")
        c.eq(send(card, IDC_CHKONTRAY, BM_GETCHECK), 0, "Start minimized unchecked")
        c.eq((send(card, IDC_OPTC, BM_GETCHECK), send(card, IDC_OPTF, BM_GETCHECK)), (1, 0), "Celsius selected")
        c.true(enabled(card, IDC_CMDOK), "Okay enabled with a place stored")
        card.screenshot()
        c.done()


def case_dialog_without_a_place(name):
    """LocationName " none " (blanks around), StartInTray -1, RefreshHours 5:
    "Okay" disabled, the name shown as stored, the tray box checked (any
    non-zero value), no refresh entry selected, Fahrenheit."""
    conf = harness.conf_text(lines=["0", "-1", "5", "7155", "3555", "99999999", "0", " none "])
    with harness.Card(name, conf) as card:
        c = harness.Checks()
        c.true(card.wait_window("visible", 5000), "StartInTray -1 does not start hidden")
        c.true(open_options(card), "the menu's Options opens the dialog")
        # The settings reader trims lines, so " none " is read as "none".
        c.eq(card.text(IDC_TXTLOCATION, OPTIONS), b"none", "the stored name")
        c.true(not enabled(card, IDC_CMDOK), "Okay disabled without a place")
        c.eq(send(card, IDC_CHKONTRAY, BM_GETCHECK), 1, "StartInTray -1 checks the box")
        c.eq(send(card, IDC_CBOREFRESH, CB_GETCURSEL), -1, "RefreshHours 5 selects nothing")
        c.eq((send(card, IDC_OPTC, BM_GETCHECK), send(card, IDC_OPTF, BM_GETCHECK)), (0, 1), "Fahrenheit selected")
        c.done()


def case_search_found_then_okay_refreshes_the_card(name):
    """Enter in the search box sends the query byte for byte; the found
    reply names the place and enables and focuses "Okay"; choosing Celsius
    and pressing "Okay" closes the dialog, shows the card again and
    refreshes it with the new place; Exit saves the new choices."""
    with FakeService(route()) as svc, harness.Card(name, harness.conf_text()) as card:
        c = harness.Checks()
        card.wait_window("visible", 5000)
        open_options(card)
        search(card, b"Lake View")
        ok, text = card.wait_text(IDC_TXTLOCATION, "eq", b"Lakeview Found  !", 5000, OPTIONS)
        c.true(ok, "found: %r" % text)
        reqs = svc.wait_requests(1, 2)
        if c.true(reqs, "the search reached the server"):
            c.eq(reqs[0].raw, feed_request(SEARCH_PREFIX + b"'Lake%20View'"), "search request bytes")
        c.true(enabled(card, IDC_CMDOK), "Okay enabled")
        c.eq(focus_id(card), IDC_CMDOK, "and focused")
        card.screenshot(name + "-found")
        card.must("click %s %d" % (OPTIONS, IDC_OPTC))
        card.cmd("sleep 200")
        card.must("click %s %d" % (OPTIONS, IDC_CMDOK))
        c.true(card.wait_window("gone", 5000, OPTIONS), "Okay closes the dialog")
        c.true(card.wait_window("visible", 3000), "the card comes back")
        ok, _ = card.wait_text(IDC_TXTTITLE, "eq", b"Lakeview, QZ", 10000)
        c.true(ok, "the card shows the new place")
        reqs = svc.wait_requests(2, 2)
        c.true(any(r.raw == feed_request(b"/forecastrss?w=554890&u=c") for r in reqs),
               "the refresh asks for the found WOEID in Celsius")
        card.wait_text(IDC_TXTTEMP, "ne", b"", 3000)
        card.screenshot()
        card.must("command %s %d" % (CARD, IDM_EXIT))
        c.true(card.exited(10), "exit")
        c.eq(card.read_conf(), harness.conf_text(woeid="554890", celsius=1, name="Lakeview"), "the saved choices")
        c.done()


def case_search_easy_boy_and_find_button(name):
    """A reply whose town element has no attribute after its type: "Easy
    boy. Not so fast !!!", Okay disabled, the focus back in the search box.
    The "Find" button searches like Enter, with commas kept as typed."""
    with FakeService(route(search=EASY_BOY)) as svc, harness.Card(name, harness.conf_text()) as card:
        c = harness.Checks()
        card.wait_window("visible", 5000)
        open_options(card)
        search(card, b"Lakeview, QZ", how="find")
        ok, text = card.wait_text(IDC_TXTLOCATION, "eq", b"Easy boy. Not so fast !!!", 5000, OPTIONS)
        c.true(ok, "easy boy: %r" % text)
        reqs = svc.wait_requests(1, 2)
        if c.true(reqs, "request"):
            c.eq(reqs[0].raw, feed_request(SEARCH_PREFIX + b"'Lakeview,%20QZ'"), "search request bytes")
        c.true(not enabled(card, IDC_CMDOK), "Okay disabled")
        c.eq(focus_id(card), IDC_TXTWORD, "focus in the search box")
        card.screenshot()
        c.done()


def case_search_network_error_then_time_out(name):
    """No server: "network error" while the search waits, then after 301
    ticks the not-found text; Okay stays disabled throughout."""
    with harness.Card(name, harness.conf_text(woeid="554890", name="Lakeview")) as card:
        c = harness.Checks()
        card.wait_window("visible", 5000)
        open_options(card)
        c.true(enabled(card, IDC_CMDOK), "Okay enabled before the search (a place is stored)")
        search(card, b"Tokyo")
        t0 = time.time()
        ok, text = card.wait_text(IDC_TXTLOCATION, "eq", b"network error", 5000, OPTIONS)
        c.true(ok, "network error: %r" % text)
        c.true(not enabled(card, IDC_CMDOK), "Okay disabled during the search")
        ok, text = card.wait_text(IDC_TXTLOCATION, "eq",
                                  b"Not found. Please change zip/ town/ location and try again.", 40000, OPTIONS)
        c.true(ok, "the time-out text: %r" % text)
        c.true(26 <= time.time() - t0 <= 36, "after about 30 s (%.1f s)" % (time.time() - t0))
        c.true(not enabled(card, IDC_CMDOK), "Okay still disabled")
        c.done()


def case_cancel_changes_nothing(name):
    """A successful search, other units, then "Cancel": the card comes back
    unchanged, starts no refresh, and the file written at exit is as before."""
    conf = harness.conf_text(refresh_hours=3, left=4500, top=2250, woeid="2459115", name="Springfield, XY")
    with FakeService(route(feed=SPRINGFIELD)) as svc, harness.Card(name, conf) as card:
        c = harness.Checks()
        card.wait_text(IDC_TXTTITLE, "eq", b"Springfield, XY", 10000)
        open_options(card)
        search(card, b"Lakeview")
        card.wait_text(IDC_TXTLOCATION, "eq", b"Lakeview Found  !", 5000, OPTIONS)
        card.must("click %s %d" % (OPTIONS, IDC_OPTC))
        n = len(svc.requests)
        card.must("click %s %d" % (OPTIONS, IDC_COMMAND2))
        c.true(card.wait_window("gone", 5000, OPTIONS), "Cancel closes the dialog")
        c.true(card.wait_window("visible", 3000), "the card comes back")
        card.cmd("sleep 1500")
        c.eq(len(svc.requests), n, "no refresh after Cancel")
        c.eq(card.text(IDC_TXTTITLE), b"Springfield, XY", "the card keeps its place")
        card.must("command %s %d" % (CARD, IDM_EXIT))
        c.true(card.exited(10), "exit")
        c.eq(card.read_conf(), conf, "the settings are as before")
        c.done()


def case_hidden_card_stays_hidden_and_two_dialogs(name):
    """From a hidden card, "Options" twice opens two dialogs; closing both
    with the close box leaves the card hidden, with "Open" enabled."""
    with harness.Card(name, harness.conf_text(start_in_tray=1)) as card:
        c = harness.Checks()
        card.cmd("sleep 1000")
        c.eq(card.window()["visible"], "0", "hidden start")
        open_options(card)
        first = card.window(OPTIONS)["hwnd"]
        card.must("command %s %d" % (CARD, IDM_OPTIONS))
        end = time.time() + 5
        dialogs = []
        while time.time() < end:
            dialogs = [harness.parse_fields(l) for l in card.must("toplevels")
                       if "class=CloudwickOptions" in l and "visible=1" in l]
            if len(dialogs) >= 2:
                break
            time.sleep(0.1)
        c.eq(len(dialogs), 2, "a second dialog, not the first one reused")
        for d in dialogs:
            card.must("post %s %d 0 0" % (d["hwnd"], WM_CLOSE))
        c.true(card.wait_window("gone", 5000, OPTIONS), "both dialogs close")
        card.cmd("sleep 500")
        c.eq(card.window()["visible"], "0", "the card stays hidden")
        import e2e_tray
        r = e2e_tray.open_tray_menu(card)
        if c.true(r, "tray menu"):
            e2e_tray.menu_matches(card, c, r, True, name + "-menu")
        c.true(first, "first dialog seen")
        c.done()


def reg_run_value(card):
    out = card.wine("reg", "query", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "/v", "Cloudwick")
    for line in out.stdout.decode("latin-1").splitlines():
        parts = line.split(None, 2)
        if len(parts) == 3 and parts[0] == "Cloudwick":
            return parts[1], parts[2].strip()
    return None


def case_start_with_windows_value(name):
    """Checking "Start on Windows" and pressing "Okay" writes the Run value
    with the exe's path; unchecking it and "Okay" removes it again."""
    conf = harness.conf_text(woeid="2459115", name="Springfield, XY")
    with FakeService(route(feed=SPRINGFIELD)), harness.Card(name, conf) as card:
        c = harness.Checks()
        card.wait_window("visible", 5000)
        c.eq(reg_run_value(card), None, "no value at first")
        open_options(card)
        card.must("click %s %d" % (OPTIONS, IDC_CHKONSTART))
        card.cmd("sleep 200")
        c.eq(send(card, IDC_CHKONSTART, BM_GETCHECK), 1, "checked")
        card.must("click %s %d" % (OPTIONS, IDC_CMDOK))
        card.wait_window("gone", 5000, OPTIONS)
        want = "Z:" + card.app.replace("/", "\\") + "\\Cloudwick.exe"
        got = reg_run_value(card)
        c.true(got and got[0] == "REG_SZ" and got[1].lower() == want.lower(),
               "Run value %r, want REG_SZ %r" % (got, want))
        open_options(card)
        c.eq(send(card, IDC_CHKONSTART, BM_GETCHECK), 1, "the dialog shows it checked")
        card.must("click %s %d" % (OPTIONS, IDC_CHKONSTART))
        card.cmd("sleep 200")
        card.must("click %s %d" % (OPTIONS, IDC_CMDOK))
        card.wait_window("gone", 5000, OPTIONS)
        c.eq(reg_run_value(card), None, "the value is removed")
        card.must("command %s %d" % (CARD, IDM_EXIT))
        card.exited(10)
        c.eq(card.read_conf().split(b"\r\n")[0], b"0", "StartOnWindows saved as 0")
        c.done()


def case_dialog_texts_fit_and_the_map_shows_behind_the_about_text(name):
    """Each one-line caption is drawn as one line in its box, and the about
    text is see-through: the map, not a black box, lies behind it."""
    with harness.Card(name, harness.conf_text()) as card:
        c = harness.Checks()
        card.wait_window("visible", 5000)
        open_options(card)
        card.cmd("sleep 500")
        ctls = card.controls(OPTIONS)
        shot = card.screenshot()
        whiteish = lambda p: p[0] > 200 and p[1] > 200 and p[2] > 200
        for cid in (IDC_OPT_LABEL1, IDC_OPT_LABEL3, IDC_OPT_LABEL5, IDC_CHKONSTART, IDC_CHKONTRAY, IDC_OPTC, IDC_OPTF):
            f = ctls[cid]
            groups = harness.row_groups(harness.ink_rows(shot, harness.rect(f, "screen"), whiteish))
            c.eq(len(groups), 1, "%r drawn in one line" % f["text"])
        x, y, w, h = harness.rect(ctls[IDC_LBLABOUT], "screen")
        raw = harness.crop_rgb(shot, x, y, w, h)
        pixels = [raw[i:i + 3] for i in range(0, len(raw), 3)]
        black = sum(1 for p in pixels if p == b"\x00\x00\x00")
        c.true(black < len(pixels) // 2, "the map shows behind the about text (%d of %d pixels pure black)"
               % (black, len(pixels)))
        c.done()
