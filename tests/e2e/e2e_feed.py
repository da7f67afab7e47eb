"""The refresh cycle seen from the wire and from the screen: the exact
request, a reply filling the card, the 2000-byte rule, the 66-tick retry,
errors, slow, split and oversized replies, and a host that never resolves."""
import re
import socket
import threading
import time

import harness
import servers
from harness import CARD
from servers import FakeService, feed_request, http_reply

IDC_FRAME1, IDC_TXTDATETIME, IDC_TXTTITLE, IDC_LBLBAR, IDC_TXTWSPEED = 103, 106, 107, 108, 109
IDC_TXTDAY1, IDC_TXTDAY2, IDC_TXTWTEMP, IDC_TXTCOND, IDC_TXTTEMP = 112, 113, 116, 117, 118
IDC_PICTURE1 = 102
DEG_F = b"   \xb0 F"
DEG_C = b"   \xb0 C"

SPRINGFIELD = {
    IDC_TXTTITLE: b"Springfield, XY",
    IDC_TXTDATETIME: b"at Mon, 07 Dec 2026 9:50 am XST",
    IDC_TXTWTEMP: b"28" + DEG_F,
    IDC_TXTWSPEED: b"10  mph",
    IDC_TXTCOND: b"Fair",
    IDC_TXTTEMP: b"31" + DEG_F,
    IDC_TXTDAY1: b"Mon , Partly Cloudy . High: 38  Low: 25",  # 39 characters: no resize
    IDC_TXTDAY2: b"Tue , Mostly Sunny . High: 41  Low: 29 ",  # not trimmed
}
SPRINGFIELD_TIP = b"Springfield, XY : 31" + DEG_F

LAKEVIEW = {
    IDC_TXTTITLE: b"Lakeview, QZ",
    IDC_TXTDATETIME: b"at Tue, 08 Dec 2026 9:50 am CET",
    IDC_TXTWTEMP: b"-5" + DEG_C,
    IDC_TXTWSPEED: b"14.48  kmph",
    IDC_TXTCOND: b"Light Snow",
    IDC_TXTTEMP: b"-1" + DEG_C,
    IDC_TXTDAY1: b"Tue , Scattered Snow Showers Late . High: 1  Low: -4",  # 52 characters: resize
    IDC_TXTDAY2: b"Wed , Partly Cloudy . High: -1  Low: -6 ",
}

NAMES = {IDC_TXTTITLE: "txtTitle", IDC_TXTDATETIME: "txtDateTime", IDC_TXTWTEMP: "txtWTemp",
         IDC_TXTWSPEED: "txtWSpeed", IDC_TXTCOND: "txtCond", IDC_TXTTEMP: "txtTemp",
         IDC_TXTDAY1: "txtDay1", IDC_TXTDAY2: "txtDay2", IDC_LBLBAR: "lblBar"}

SPRINGFIELD_CONF = harness.conf_text(woeid="2459115", name="Springfield, XY", celsius=0)
LAKEVIEW_CONF = harness.conf_text(woeid="554890", name="Lakeview, QZ", celsius=1)


def springfield_reply():
    return http_reply(servers.data("feed_springfield_f.xml"))


def compact_reply(total):
    """The Springfield reply with its description block after the forecast
    elements, cut or padded to exactly `total` bytes: everything the card
    reads lies in the first 1800 bytes."""
    body = servers.data("feed_springfield_f.xml")
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
        c.eq(card.text(cid), text, NAMES[cid])


def picture_ink(card, shot):
    """Non-white pixels in the icon box, and whether its right and bottom margins are white."""
    f = card.controls()[IDC_PICTURE1]
    x, y, w, h = harness.rect(f, "screen")
    raw = harness.crop_rgb(shot, x, y, w, h)
    white = lambda i: raw[i] > 240 and raw[i + 1] > 240 and raw[i + 2] > 240
    ink = sum(1 for i in range(0, len(raw), 3) if not white(i))
    margin_ink = 0
    for row in range(h):
        for col in range(w):
            if col >= 52 or row >= 52:
                if not white((row * w + col) * 3):
                    margin_ink += 1
    return ink, margin_ink, (w, h)


def case_request_bytes_and_filled_card(name):
    """Imperial units: the GET is byte for byte the card's wire format, and a
    recorded reply fills every label, the icon and the tray tip."""
    with FakeService(lambda path: servers.whole(springfield_reply())) as svc, \
            harness.Card(name, SPRINGFIELD_CONF) as card:
        c = harness.Checks()
        ok, _ = card.wait_text(IDC_TXTTITLE, "eq", b"Springfield, XY", 15000)
        c.true(ok, "the reply is parsed into the title")
        card.wait_text(IDC_TXTDAY2, "ne", b"", 3000)
        reqs = svc.wait_requests(1, 1)
        c.eq(len(reqs), 1, "one request for one refresh")
        if reqs:
            c.eq(reqs[0].raw, feed_request(b"/forecastrss?w=2459115"), "request bytes")
        check_captions(c, card, SPRINGFIELD)
        c.eq(card.text(IDC_LBLBAR), b"", "the dash bar is emptied at completion")
        ctls = card.controls()
        c.eq(harness.rect(ctls[IDC_TXTDAY1])[3], 255 // 15, "a 39-character first line keeps txtDay1's height")
        c.eq(harness.rect(ctls[IDC_TXTDAY2])[1], round(3400 / 15), "txtDay2 at the reset top 3400 twips")
        tips = card.tray_tips()
        c.true(SPRINGFIELD_TIP in tips, "tray tip %r among %r" % (SPRINGFIELD_TIP, tips))
        time.sleep(0.5)
        shot = card.screenshot()
        ink, margin, size = picture_ink(card, shot)
        c.eq(size, (57, 55), "icon box size (px)")
        c.true(ink > 200, "a condition picture is drawn in the icon box (%d non-white px)" % ink)
        c.eq(margin, 0, "the 52 x 52 picture leaves the box's right and bottom margins white")
        c.true(len(svc.closed_by_peer) == 1, "the card closes the connection itself after the parse")
        c.done()


def case_metric_request_and_long_first_line(name):
    """UseCelsius 1: "&u=c" on the path, Celsius and kmph suffixes, and a
    first forecast line over 39 characters makes txtDay1 taller and moves
    txtDay2 down."""
    reply = http_reply(servers.data("feed_lakeview_c.xml"))
    with FakeService(lambda path: servers.whole(reply)) as svc, harness.Card(name, LAKEVIEW_CONF) as card:
        c = harness.Checks()
        c.true(card.wait_text(IDC_TXTTITLE, "eq", b"Lakeview, QZ", 15000)[0], "parsed")
        card.wait_text(IDC_TXTDAY2, "ne", b"", 3000)
        reqs = svc.wait_requests(1, 1)
        if c.true(reqs, "a request arrived"):
            c.eq(reqs[0].raw, feed_request(b"/forecastrss?w=554890&u=c"), "request bytes")
        check_captions(c, card, LAKEVIEW)
        ctls = card.controls()
        c.eq(harness.rect(ctls[IDC_TXTDAY1])[3], 500 // 15, "txtDay1 raised to 500 twips")
        c.eq(harness.rect(ctls[IDC_TXTDAY2])[1], (3400 + 200) // 15, "txtDay2 moved 200 twips down")
        c.true(b"Lakeview, QZ : -1" + DEG_C in card.tray_tips(), "metric tray tip")
        card.screenshot()
        c.done()


def watch(card, ctl_id, ms):
    """[(ms, text)] for every change of a control's text during ms."""
    out = []
    for line in card.must("watch %s %d %d" % (CARD, ctl_id, ms), timeout=ms / 1000 + 30):
        f = harness.parse_fields(line)
        out.append((int(f["ms"]), f["text"]))
    return out


def case_2000_bytes_never_parsed_and_retried(name):
    """A server that sends exactly 2000 bytes and stalls: no parse, the dash
    bar fills to 65 dashes and restarts, and the card connects again about
    every 66 ticks of 100 ms."""
    with FakeService(lambda path: servers.stall(compact_reply(2000))) as svc, \
            harness.Card(name, SPRINGFIELD_CONF) as card:
        c = harness.Checks()
        svc.wait_requests(1, 15)
        changes = watch(card, IDC_LBLBAR, 15000)
        reqs = svc.wait_requests(3, 1)
        lengths = [len(t) for _, t in changes]
        c.true(lengths and max(lengths) >= 60, "the dash bar grows to about 65 (max %s)" % (max(lengths) if lengths else None))
        c.true(max(lengths or [0]) <= 66, "and never past 66")
        resets = [ms for (ms, t), prev in zip(changes[1:], changes) if len(t) < len(prev[1])]
        c.true(len(resets) >= 1, "the bar restarts at the time-out (%d restarts)" % len(resets))
        c.true(len(reqs) >= 3, "the fetch is started again (%d requests in ~15 s)" % len(reqs))
        gaps = [b.time - a.time for a, b in zip(reqs, reqs[1:])]
        c.true(all(5.0 <= g <= 9.0 for g in gaps), "about 6.6 s between fetches: %s" % ["%.1f" % g for g in gaps])
        c.true(all(r.raw == feed_request(b"/forecastrss?w=2459115") for r in reqs), "every retry sends the same request")
        c.eq(card.text(IDC_TXTTITLE), b"My City", "the card stays blank")
        c.eq(card.text(IDC_TXTTEMP), b"", "no temperature")
        c.done()


def case_2001_bytes_parsed_without_waiting_for_more(name):
    """2001 bytes are enough: the card parses at the next tick and closes
    the connection itself, though the server never ends the reply."""
    with FakeService(lambda path: servers.stall(compact_reply(2001))) as svc, \
            harness.Card(name, SPRINGFIELD_CONF) as card:
        c = harness.Checks()
        svc.wait_requests(1, 15)
        t0 = time.time()
        c.true(card.wait_text(IDC_TXTTITLE, "eq", b"Springfield, XY", 5000)[0], "parsed")
        card.wait_text(IDC_TXTDAY2, "ne", b"", 2000)
        check_captions(c, card, SPRINGFIELD)
        c.true(time.time() - t0 < 3, "parsed within a few ticks")
        end = time.time() + 3
        while not svc.closed_by_peer and time.time() < end:
            time.sleep(0.1)
        c.true(svc.closed_by_peer, "the card closed the stalled connection")
        time.sleep(7)  # past one time-out: a parsed fetch is not retried
        c.eq(len(svc.requests), 1, "no retry after a parse")
        c.done()


def case_refused_connection_shows_network_error(name):
    """Nothing listens on port 80: "network error" in the first forecast
    line, blanked by the retry 66 ticks later, then shown again."""
    probe_sock = socket.socket()
    try:
        probe_sock.connect(("127.0.0.1", 80))
        probe_sock.close()
        raise AssertionError("something else listens on 127.0.0.1:80")
    except ConnectionRefusedError:
        pass
    with harness.Card(name, SPRINGFIELD_CONF) as card:
        c = harness.Checks()
        ok, _ = card.wait_text(IDC_TXTDAY1, "eq", b"network error", 5000)
        c.true(ok, "network error shown")
        changes = watch(card, IDC_TXTDAY1, 9000)
        texts = [t for _, t in changes]
        c.true(b"" in texts[1:], "the retry blanks the message: %r" % texts)
        c.true(texts[-1:] == [b"network error"], "and the next attempt shows it again: %r" % texts)
        c.eq(card.text(IDC_TXTTITLE), b"My City", "the card is blank meanwhile")
        card.screenshot()
        c.done()


def case_reply_split_over_several_sends(name):
    """A reply trickling in four pieces with pauses is parsed once it has
    passed 2000 bytes, with every field whole."""
    reply = springfield_reply()
    cuts = [0, 700, 1400, 1900, len(reply)]
    chunks = [reply[a:b] for a, b in zip(cuts, cuts[1:])]
    with FakeService(lambda path: servers.split(chunks, 0.6)) as svc, harness.Card(name, SPRINGFIELD_CONF) as card:
        c = harness.Checks()
        svc.wait_requests(1, 15)
        t0 = time.time()
        c.true(card.wait_text(IDC_TXTTITLE, "eq", b"Springfield, XY", 8000)[0], "parsed")
        c.true(time.time() - t0 >= 1.5, "not before the last piece arrived (%.1f s)" % (time.time() - t0))
        card.wait_text(IDC_TXTDAY2, "ne", b"", 2000)
        check_captions(c, card, SPRINGFIELD)
        c.done()


def case_megabyte_reply_is_survived(name):
    """A server that sends a whole reply followed by a megabyte: the card
    parses, stays responsive, closes the connection and keeps its memory."""
    head = springfield_reply()
    with FakeService(lambda path: servers.flood(1 << 20, head)) as svc, harness.Card(name, SPRINGFIELD_CONF) as card:
        c = harness.Checks()
        svc.wait_requests(1, 15)
        c.true(card.wait_text(IDC_TXTTITLE, "eq", b"Springfield, XY", 10000)[0], "parsed")
        card.wait_text(IDC_TXTDAY2, "ne", b"", 2000)
        check_captions(c, card, SPRINGFIELD)
        rc, lines = card.cmd("ping %s 100 3" % CARD)
        c.eq(rc, 0, "answers within 100 ms after the flood: %s" % lines)
        rss1 = card.card_rss_kb()
        card.must("command %s 202" % CARD)  # "Refresh Now": a second flood
        card.wait_text(IDC_TXTTITLE, "eq", b"My City", 3000)
        c.true(card.wait_text(IDC_TXTTITLE, "eq", b"Springfield, XY", 10000)[0], "parsed again")
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
    the card answers every message within 100 ms throughout."""
    dns = StallingDns()
    try:
        with harness.Card(name, SPRINGFIELD_CONF) as card:
            c = harness.Checks()
            end = time.time() + 10
            while not dns.queries and time.time() < end:
                time.sleep(0.1)
            c.true(dns.queries, "the card asked the name server for its feed host")
            c.true(any(b"\x09localhost" in q for q in dns.queries), "for the feed host's name: %r" % dns.queries[:4])
            rc, lines = card.cmd("ping %s 100 8" % CARD, timeout=60)
            c.eq(rc, 0, "every answer within 100 ms: %s" % lines)
            rc, _ = card.cmd("waittext %s %d ne \"\" 100" % (CARD, IDC_LBLBAR))
            c.eq(rc, 0, "the dash bar keeps moving")
            c.done()
    finally:
        dns.close()


case_unresolvable_host_keeps_the_card_responsive.private_dns = True


def case_filled_values_fit_their_boxes(name):
    """The filled card's values are drawn whole: one line in each one-line
    box (txtDay1 and txtDay2 may use the lines their boxes have)."""
    with FakeService(lambda path: servers.whole(springfield_reply())), harness.Card(name, SPRINGFIELD_CONF) as card:
        c = harness.Checks()
        card.wait_text(IDC_TXTDAY2, "ne", b"", 15000)
        time.sleep(0.5)
        ctls = card.controls()
        shot = card.screenshot()
        for cid in (IDC_TXTTITLE, IDC_TXTDATETIME, IDC_TXTTEMP, IDC_TXTWTEMP, IDC_TXTWSPEED, IDC_TXTCOND,
                    IDC_TXTDAY1, IDC_TXTDAY2):
            f = ctls[cid]
            r = harness.rect(f, "screen")
            if cid == IDC_TXTWSPEED:  # the icon box covers its right end
                r = (r[0], r[1], 141 - 79, r[3])
            groups = harness.row_groups(harness.ink_rows(shot, r, harness.cyanish))
            room = 2 if cid == IDC_TXTDAY2 else 1
            c.true(len(groups) <= room, "%s %r drawn in %d line(s), its box holds %d" % (NAMES[cid], f["text"], len(groups), room))
            if groups:
                c.true(groups[-1][-1] < r[3] - 1, "%s: its last line is not cut at the box's bottom edge" % NAMES[cid])
        c.done()
