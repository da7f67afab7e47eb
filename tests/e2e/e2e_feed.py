"""The refresh cycle seen from the wire and from the screen: the exact
request, a reply filling the card, the 2000-byte rule, the 66-tick retry,
errors, slow, split and oversized replies, and a host that never resolves."""
import re
import socket
import threading
import time

from tests.support import design, fake_servers, harness
from tests.support.harness import CARD
from tests.support.fake_servers import FakeService, feed_request, http_reply

DEG_F = b"   \xb0 F"
DEG_C = b"   \xb0 C"

SPRINGFIELD = {
    "txtTitle": b"Springfield, XY",
    "txtDateTime": b"at Mon, 07 Dec 2026 9:50 am XST",
    "txtWTemp": b"28" + DEG_F,
    "txtWSpeed": b"10  mph",
    "txtCond": b"Fair",
    "txtTemp": b"31" + DEG_F,
    "txtDay1": b"Mon , Partly Cloudy . High: 38  Low: 25",  # 39 characters: no resize
    "txtDay2": b"Tue , Mostly Sunny . High: 41  Low: 29 ",  # not trimmed
}
SPRINGFIELD_TIP = b"Springfield, XY : 31" + DEG_F

LAKEVIEW = {
    "txtTitle": b"Lakeview, QZ",
    "txtDateTime": b"at Tue, 08 Dec 2026 9:50 am CET",
    "txtWTemp": b"-5" + DEG_C,
    "txtWSpeed": b"14.48  kmph",
    "txtCond": b"Light Snow",
    "txtTemp": b"-1" + DEG_C,
    "txtDay1": b"Tue , Scattered Snow Showers Late . High: 1  Low: -4",  # 52 characters: resize
    "txtDay2": b"Wed , Partly Cloudy . High: -1  Low: -6 ",
}

SPRINGFIELD_CONF = harness.conf_text(woeid="2459115", name="Springfield, XY", celsius=0)
LAKEVIEW_CONF = harness.conf_text(woeid="554890", name="Lakeview, QZ", celsius=1)


def springfield_reply():
    return http_reply(fake_servers.data("feed_springfield_f.xml"))


def compact_reply(total):
    """The Springfield reply with its description block after the forecast
    elements, cut or padded to exactly `total` bytes: everything the card
    reads lies in the first 1800 bytes."""
    body = fake_servers.data("feed_springfield_f.xml")
    m = re.search(rb"<description><!\[CDATA\[.*?\]\]></description>\n", body, re.S)
    body = body[:m.start()] + body[m.end():]
    body = body.replace(b"<guid", m.group(0) + b"<guid")
    full = http_reply(body, length=False)
    assert full.find(b"code=\"34\" />", full.find(b"Tue")) < 1800
    if len(full) >= total:
        return full[:total]
    return full + b"<!--" + b"p" * (total - len(full) - 7) + b"-->"[:3]


def check_captions(c, card, want):
    for cid, text in want.items():
        c.eq(card.text(cid), text, cid)


def picture_ink(picture, shot, side=52):
    """Non-white pixels in the icon box (the probe's fields of Picture1),
    those in its right and bottom margins beside a `side`-pixel picture,
    and the box's size."""
    x, y, w, h = harness.rect(picture, "screen")
    raw = harness.crop_rgb(shot, x, y, w, h)
    white = lambda i: raw[i] > 240 and raw[i + 1] > 240 and raw[i + 2] > 240
    ink = sum(1 for i in range(0, len(raw), 3) if not white(i))
    margin_ink = 0
    for row in range(h):
        for col in range(w):
            if col >= side or row >= side:
                if not white((row * w + col) * 3):
                    margin_ink += 1
    return ink, margin_ink, (w, h)


def case_request_bytes_and_filled_card(name):
    """Imperial units: the GET is byte for byte the card's wire format, and a
    recorded reply fills every label, the icon and the tray tip."""
    with FakeService(lambda path: fake_servers.whole(springfield_reply())) as svc, \
            harness.Card(name, SPRINGFIELD_CONF) as card:
        c = harness.Checks()
        ok, _ = card.wait_text("txtTitle", "eq", b"Springfield, XY", 30000)
        c.true(ok, "the reply is parsed into the title")
        card.wait_text("txtDay2", "ne", b"", 10000)
        reqs = svc.wait_requests(1, 1)
        c.eq(len(reqs), 1, "one request for one refresh")
        if reqs:
            c.eq(reqs[0].raw, feed_request(b"/forecastrss?w=2459115"), "request bytes")
        check_captions(c, card, SPRINGFIELD)
        c.eq(card.text("lblBar"), b"", "the dash bar is emptied at completion")
        ctls = card.controls()
        lines = design.forecast_lines()
        c.eq(harness.rect(ctls["txtDay1"])[3], design.control("card", "txtDay1").height // 15,
             "a 39-character first line keeps txtDay1's height")
        c.eq(harness.rect(ctls["txtDay2"])[1], round(lines["day2ResetTop"] / 15),
             "txtDay2 at the reset top %d twips" % lines["day2ResetTop"])
        tips = card.tray_tips()
        c.true(SPRINGFIELD_TIP in tips, "tray tip %r among %r" % (SPRINGFIELD_TIP, tips))
        picture = card.controls()["Picture1"]
        shot = card.screenshot_when(lambda shot: picture_ink(picture, shot)[0] > 200)
        ink, margin, size = picture_ink(picture, shot)
        c.eq(size, (57, 55), "icon box size (px)")
        c.true(ink > 200, "a condition picture is drawn in the icon box (%d non-white px)" % ink)
        c.eq(margin, 0, "the 52 x 52 picture leaves the box's right and bottom margins white")
        c.true(len(svc.closed_by_peer) == 1, "the card closes the connection itself after the parse")
        c.done()


def case_metric_request_and_long_first_line(name):
    """UseCelsius 1: "&u=c" on the path, Celsius and kmph suffixes, and a
    first forecast line over 39 characters makes txtDay1 taller and moves
    txtDay2 down."""
    reply = http_reply(fake_servers.data("feed_lakeview_c.xml"))
    with FakeService(lambda path: fake_servers.whole(reply)) as svc, harness.Card(name, LAKEVIEW_CONF) as card:
        c = harness.Checks()
        c.true(card.wait_text("txtTitle", "eq", b"Lakeview, QZ", 30000)[0], "parsed")
        card.wait_text("txtDay2", "ne", b"", 10000)
        reqs = svc.wait_requests(1, 1)
        if c.true(reqs, "a request arrived"):
            c.eq(reqs[0].raw, feed_request(b"/forecastrss?w=554890&u=c"), "request bytes")
        check_captions(c, card, LAKEVIEW)
        ctls = card.controls()
        lines = design.forecast_lines()
        c.eq(harness.rect(ctls["txtDay1"])[3], lines["day1TallHeight"] // 15,
             "txtDay1 raised to %d twips" % lines["day1TallHeight"])
        c.eq(harness.rect(ctls["txtDay2"])[1], (lines["day2ResetTop"] + lines["day2TallShift"]) // 15,
             "txtDay2 moved %d twips down" % lines["day2TallShift"])
        c.true(b"Lakeview, QZ : -1" + DEG_C in card.tray_tips(), "metric tray tip")
        card.screenshot()
        c.done()


def watch(card, ctl, ms):
    """[(ms, text)] for every change of a control's text during ms (the
    first entry is the text at the start)."""
    out = []
    for line in card.must("watch %s %d %d" % (CARD, harness.control_id(ctl), ms), timeout=ms / 1000 + 30):
        f = harness.parse_fields(line)
        out.append((int(f["ms"]), f["text"]))
    return out


def watch_until(card, ctl, done, limit_s):
    """Every text a control shows, watched in short spells until done(texts)
    holds or limit_s seconds have passed."""
    texts = []
    end = time.time() + limit_s
    while not done(texts) and time.time() < end:
        texts += [t for _, t in watch(card, ctl, 2000)]
    return texts


def ticks(card, n, timeout_ms=30000):
    """Waits for n ticks of the card's 100 ms timer while it fetches: each
    one changes the dash bar."""
    for _ in range(n):
        if not card.wait_text("lblBar", "ne", card.text("lblBar"), timeout_ms)[0]:
            return False
    return True


def in_order(texts, wanted):
    """Whether `wanted` appears in `texts` in this order (other texts between)."""
    it = iter(texts)
    return all(any(t == w for t in it) for w in wanted)


def case_2000_bytes_never_parsed_and_retried(name):
    """A server that sends exactly 2000 bytes and stalls: no parse, the dash
    bar fills to 65 dashes and restarts, and the card connects again about
    every 66 ticks of 100 ms."""
    with FakeService(lambda path: fake_servers.stall(compact_reply(2000))) as svc, \
            harness.Card(name, SPRINGFIELD_CONF) as card:
        c = harness.Checks()
        svc.wait_requests(1, 30)
        texts = watch_until(card, "lblBar", lambda _: len(svc.requests) >= 3, 120)
        reqs = svc.wait_requests(3, 1)
        lengths = [len(t) for t in texts]
        c.true(lengths and max(lengths) >= 60, "the dash bar grows to about 65 (max %s)" % (max(lengths) if lengths else None))
        c.true(max(lengths or [0]) <= 66, "and never past 66")
        resets = [t for t, prev in zip(texts[1:], texts) if len(t) < len(prev)]
        c.true(len(resets) >= 1, "the bar restarts at the time-out (%d restarts)" % len(resets))
        c.true(len(reqs) >= 3, "the fetch is started again (%d requests)" % len(reqs))
        # The dash bar counts the ticks; the wall clock only shows a retry is
        # neither early nor lost (ticks come late on a busy machine).
        gaps = [b.time - a.time for a, b in zip(reqs, reqs[1:])]
        c.true(all(4.0 <= g <= 30.0 for g in gaps), "about 6.6 s between fetches: %s" % ["%.1f" % g for g in gaps])
        c.true(all(r.raw == feed_request(b"/forecastrss?w=2459115") for r in reqs), "every retry sends the same request")
        c.eq(card.text("txtTitle"), b"My City", "the card stays blank")
        c.eq(card.text("txtTemp"), b"", "no temperature")
        c.done()


def case_2001_bytes_parsed_without_waiting_for_more(name):
    """2001 bytes are enough: the card parses from its first fetch and closes
    the connection itself, though the server never ends the reply."""
    with FakeService(lambda path: fake_servers.stall(compact_reply(2001))) as svc, \
            harness.Card(name, SPRINGFIELD_CONF) as card:
        c = harness.Checks()
        svc.wait_requests(1, 30)
        c.true(card.wait_text("txtTitle", "eq", b"Springfield, XY", 30000)[0], "parsed")
        card.wait_text("txtDay2", "ne", b"", 10000)
        check_captions(c, card, SPRINGFIELD)
        c.eq(len(svc.requests), 1, "parsed from the first fetch, not after a time-out and a retry")
        harness.wait_for(lambda: svc.closed_by_peer, 20)
        c.true(svc.closed_by_peer, "the card closed the stalled connection")
        # Well past one time-out (66 ticks): a parsed fetch is not retried.
        c.eq(len(svc.wait_requests(2, 15)), 1, "no retry after a parse")
        c.done()


MISSING = b"cloudwick-feed.exe is missing beside Cloudwick.exe"  # what a local card says for no service


def case_refused_connection_shows_network_error(name):
    """Nothing listens on port 80 and no service beside the card: the
    socket error's line, which for a card built for this machine names the
    missing companion rather than "network error", blanked by the retry 66
    ticks later, then shown again."""
    probe_sock = socket.socket()
    try:
        probe_sock.connect(("127.0.0.1", 80))
        probe_sock.close()
        raise AssertionError("something else listens on 127.0.0.1:80")
    except ConnectionRefusedError:
        pass
    with harness.Card(name, SPRINGFIELD_CONF) as card:
        c = harness.Checks()
        ok, _ = card.wait_text("txtDay1", "eq", MISSING, 30000)
        c.true(ok, "the reason shown")
        again = [MISSING, b"", MISSING]
        texts = watch_until(card, "txtDay1", lambda t: in_order(t, again), 90)
        c.true(in_order(texts, again[:2]), "the retry blanks the message: %r" % texts)
        c.true(in_order(texts, again), "and the next attempt shows it again: %r" % texts)
        c.eq(card.text("txtTitle"), b"My City", "the card is blank meanwhile")
        card.screenshot()
        c.done()


def case_reply_split_over_several_sends(name):
    """A reply trickling in four pieces is not parsed while the card holds
    the first 1900 bytes and is parsed once it has passed 2000, with every
    field whole."""
    reply = springfield_reply()
    cuts = [0, 700, 1400, 1900, len(reply)]
    gate, behaviour = fake_servers.gated([reply[a:b] for a, b in zip(cuts, cuts[1:])], allowed=3)
    with FakeService(lambda path: behaviour) as svc, harness.Card(name, SPRINGFIELD_CONF) as card:
        c = harness.Checks()
        svc.wait_requests(1, 30)
        c.true(gate.wait_sent(3, 30), "the first three pieces are sent")
        # Three more ticks of the dash bar: the card has read what came.
        c.true(ticks(card, 3), "the card ticks on while it waits")
        c.eq(card.text("txtTitle"), b"My City", "1900 bytes are not parsed")
        gate.release()
        c.true(card.wait_text("txtTitle", "eq", b"Springfield, XY", 30000)[0], "parsed after the last piece")
        card.wait_text("txtDay2", "ne", b"", 10000)
        check_captions(c, card, SPRINGFIELD)
        c.done()


def case_megabyte_reply_is_survived(name):
    """A server that sends a whole reply followed by a megabyte: the card
    parses, stays responsive, closes the connection and keeps its memory."""
    head = springfield_reply()
    with FakeService(lambda path: fake_servers.flood(1 << 20, head)) as svc, harness.Card(name, SPRINGFIELD_CONF) as card:
        c = harness.Checks()
        svc.wait_requests(1, 30)
        c.true(card.wait_text("txtTitle", "eq", b"Springfield, XY", 30000)[0], "parsed")
        card.wait_text("txtDay2", "ne", b"", 10000)
        check_captions(c, card, SPRINGFIELD)
        # A card stuck reading the flood would miss the 5 s the probe gives it.
        rc, lines = card.cmd("ping %s 2000 3" % CARD)
        c.eq(rc, 0, "answers every message within 2 s after the flood: %s" % lines)
        rss1 = card.card_rss_kb()
        card.menu_command("refresh")  # a second flood
        card.wait_text("txtTitle", "eq", b"My City", 10000)
        c.true(card.wait_text("txtTitle", "eq", b"Springfield, XY", 30000)[0], "parsed again")
        time.sleep(1)
        rss2 = card.card_rss_kb()
        c.true(rss2 - rss1 < 8192, "memory after a second megabyte: %d kB -> %d kB" % (rss1, rss2))
        c.true(card.card.poll() is None, "the card is still running")
        c.done()


class StallingDns:
    """A DNS server on 127.0.0.1:53 that records queries and never answers."""

    def __init__(self):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", 53))
        self.sock.settimeout(0.2)
        self.queries = []
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        while not self.stop.is_set():
            try:
                data, _ = self.sock.recvfrom(2048)
                self.queries.append(data)
            except socket.timeout:
                continue
            except OSError:
                return

    def close(self):
        self.stop.set()
        self.thread.join(2)
        self.sock.close()


def case_unresolvable_host_keeps_the_card_responsive(name):
    """The feed host's name lookup never completes (a private network
    namespace whose only name server is a local one that never answers):
    the card answers every message throughout: a lookup that blocked the
    card's thread would hold it for the resolver's 9 s."""
    dns = StallingDns()
    try:
        with harness.Card(name, SPRINGFIELD_CONF) as card:
            c = harness.Checks()
            harness.wait_for(lambda: dns.queries, 30)
            c.true(dns.queries, "the card asked the name server for its feed host")
            c.true(any(b"\x09localhost" in q for q in dns.queries), "for the feed host's name: %r" % dns.queries[:4])
            rc, lines = card.cmd("ping %s 2000 8" % CARD, timeout=60)
            c.eq(rc, 0, "every answer within 2 s: %s" % lines)
            c.true(ticks(card, 3), "the dash bar keeps moving")
            c.done()
    finally:
        dns.close()


case_unresolvable_host_keeps_the_card_responsive.private_dns = True


def check_filled_values(name, dpi=96, conf=SPRINGFIELD_CONF):
    """The filled card's values are drawn whole at `dpi`: one line in each
    one-line box (txtDay1 and txtDay2 may use the lines their boxes have).
    Returns the card's checks and its last screenshot for more checks."""
    with FakeService(lambda path: fake_servers.whole(springfield_reply())), \
            harness.Card(name, conf, dpi=None if dpi == 96 else dpi) as card:
        c = harness.Checks()
        card.wait_text("txtDay2", "ne", b"", 30000)
        ctls = card.controls()
        ids = ("txtTitle", "txtDateTime", "txtTemp", "txtWTemp", "txtWSpeed", "txtCond", "txtDay1", "txtDay2")
        boxes = {cid: harness.rect(ctls[cid], "screen") for cid in ids}
        x, y, w, h = boxes["txtWSpeed"]  # the icon box covers its right end
        boxes["txtWSpeed"] = (x, y, min(w, harness.rect(ctls["Picture1"], "screen")[0] - x), h)
        tall = design.forecast_lines()["day1TallHeight"] * dpi // 1440
        drawn = lambda shot, cid: harness.row_groups(harness.ink_rows(shot, boxes[cid], harness.cyanish))
        shot = card.screenshot_when(lambda shot: all(drawn(shot, cid) for cid in ids), region=card.window_rect())
        for cid in ids:
            f, r = ctls[cid], boxes[cid]
            groups = drawn(shot, cid)
            c.true(groups, "%s %r is drawn" % (cid, f["text"]))
            room = 2 if cid == "txtDay2" or (cid == "txtDay1" and r[3] >= tall) else 1
            c.true(len(groups) <= room, "%s %r drawn in %d line(s), its box holds %d" % (cid, f["text"], len(groups), room))
            if groups:
                c.true(groups[-1][-1] < r[3] - 1, "%s: its last line is not cut at the box's bottom edge" % cid)
        return c, shot, ctls


def case_filled_values_fit_their_boxes(name):
    c, _, _ = check_filled_values(name)
    c.done()


def case_filled_card_at_240_dpi_is_drawn_to_scale(name):
    """At 250 % the card's texts are drawn at 250 % too, each whole in its
    box: the 9.75 pt title is about 2.5 times its 96-DPI height, not a
    bitmap font's small letters spread across the width."""
    # At the top of the 768-pixel screen the forecast lines are in sight.
    conf = harness.conf_text(woeid="2459115", name="Springfield, XY", left=0, top=0)
    c, shot, ctls = check_filled_values(name, dpi=240, conf=conf)
    title = harness.rect(ctls["Label6"], "screen")
    rows = harness.ink_rows(shot, title, lambda p: max(p) < 100)
    em = 975 * 240 // 7200  # pixels
    c.true(rows and rows[-1] - rows[0] + 1 >= em * 55 // 100,
           "the title's letters are %d px high, at least %d expected" % (rows[-1] - rows[0] + 1 if rows else 0,
                                                                         em * 55 // 100))
    # The 52-pixel picture at 250 %: 130 pixels, its margins still white.
    _, margin, _ = picture_ink(ctls["Picture1"], shot, side=130)
    _, beyond_52, _ = picture_ink(ctls["Picture1"], shot, side=52)
    c.true(beyond_52 > 1000, "the picture reaches past 52 pixels (%d ink pixels there)" % beyond_52)
    c.eq(margin, 0, "nothing drawn beyond the 130-pixel picture")
    c.done()
