"""The card on users' desktops rather than the rig's: the session ends
instead of "Exit", 250 % scaling, a desktop wider than 16-bit twips, a place
left on an unplugged monitor, a settings file another program holds, a
proxy's error page, a server that never stops sending, a name server that
never answers."""
import os
import subprocess
import time

from tests.support import design, fake_servers, harness
from tests.support.harness import CARD, OPTIONS
from tests.support.fake_servers import FakeService, http_reply
from e2e_options import message_box

WM_LBUTTONUP, WM_RBUTTONDOWN = 0x202, 0x204
VK_ESCAPE = 0x1B

SPRINGFIELD = http_reply(fake_servers.data("feed_springfield_f.xml"))
LAKEVIEW = http_reply(fake_servers.data("feed_lakeview_c.xml"))
FOUND = http_reply(fake_servers.data("place_found.xml"))
SPRINGFIELD_CONF = harness.conf_text(woeid="2459115", name="Springfield, XY")


def card_pos(card):
    return tuple(int(v) for v in card.window()["rect"].split(",")[:2])


def feed_and_places(path):
    if path.startswith("/v1/public/yql"):
        return fake_servers.whole(FOUND)
    return fake_servers.whole(LAKEVIEW if "554890" in path else SPRINGFIELD)


def case_end_of_session_saves_moved_card_and_chosen_place(name):
    """The user moves the card, picks a place in Options and logs off
    instead of choosing "Exit": the file holds both, from the moment each
    was chosen."""
    conf = harness.conf_text(left=3000, top=1500, woeid="2459115", name="Springfield, XY")
    with FakeService(feed_and_places), harness.Card(name, conf) as card:
        c = harness.Checks()
        card.wait_text("txtTitle", "eq", b"Springfield, XY", 15000)
        lx, ly = card.centre("Label6")
        card.must("drag %d %d %d %d left 10" % (lx, ly, lx + 121, ly + 60))
        moved = card_pos(card)
        c.eq(moved, (200 + 120, 100 + 60), "moved by its title")
        card.menu_command("options")
        c.true(card.wait_window("visible", 5000, OPTIONS), "Options open")
        card.must("settext %s %d \"Lakeview\"" % (OPTIONS, harness.control_id("txtWord", OPTIONS)))
        card.must("click %s %d" % (OPTIONS, harness.control_id("Command1", OPTIONS)))
        c.true(card.wait_text("txtLocation", "contains", b"Found", 10000, OPTIONS)[0], "found")
        card.must("click %s %d" % (OPTIONS, harness.control_id("cmdOK", OPTIONS)))
        c.true(card.wait_text("txtTitle", "eq", b"Lakeview, QZ", 15000)[0], "the card shows the chosen place")
        want = harness.conf_text(left=moved[0] * 15, top=moved[1] * 15, woeid="554890", name="Lakeview")
        # Written as they were chosen, before the session ends.
        c.true(harness.wait_for(lambda: card.read_conf() == want, 5), "saved at once: %r" % card.read_conf())
        subprocess.run(["wineboot", "--end-session"], env=card.env, cwd=card.base, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60, check=False)
        c.true(card.exited(15), "the card ends with the session")
        c.true(message_box(card, 2) is None, "with no message box inside the end of the session")
        c.eq(card.read_conf(), want, "the moved position and the chosen place")
        c.done()


def case_hovering_the_right_margin_at_240_dpi_opens_no_menu(name):
    """At 250 % scaling the card is 518 pixels wide, so a real mouse move
    can carry x 514 or 516, the tray's codes: only the tray's own callbacks
    restore the card or open its menu."""
    with harness.Card(name, harness.conf_text(left=600, top=600), dpi=240) as card:
        c = harness.Checks()
        card.wait_window("visible", 5000)
        w = card.window()
        x0, y0, x1, _ = harness.rect(w)
        c.true(x1 - x0 > 516, "the card is wider than 516 pixels: %d" % (x1 - x0))
        for x in range(510, min(x1 - x0, 518)):
            card.must("mmove %d %d" % (x0 + x, y0 + 200))
        c.true(card.menu(1500) is None, "moving over the right margin opens no menu")
        card.must("mmove %d %d" % (x0 - 50, y0 + 200))
        card.must("tray %s %d" % (CARD, WM_RBUTTONDOWN))
        c.true(card.menu(3000) is not None, "the tray's right press opens the menu")
        card.must("key %d" % VK_ESCAPE)
        card.cmd("wait menu gone 2000")
        card.must("click %s %d" % (CARD, harness.control_id("Label3")))
        c.true(card.wait_window("hidden", 3000), "hidden by its button")
        card.must("tray %s %d" % (CARD, WM_LBUTTONUP))
        c.true(card.wait_window("visible", 3000), "the tray's left release restores it")
        card.screenshot()
        c.done()


def case_card_beyond_16_bit_twips_comes_back_where_it_was(name):
    """On a desktop 3000 pixels wide the card moved to x 2600 (39000 twips)
    hides and comes back at 2600; the file holds the clamped 32767."""
    with harness.Card(name, harness.conf_text(left=30000, top=1500), screen="3000x800") as card:
        c = harness.Checks()
        card.wait_window("visible", 5000)
        c.eq(card_pos(card), (2000, 100), "starts at 2000")
        lx, ly = card.centre("Label6")
        card.must("drag %d %d %d %d left 10" % (lx, ly, lx + 601, ly))
        c.eq(card_pos(card), (2600, 100), "dragged to 2600")
        card.must("click %s %d" % (CARD, harness.control_id("Label3")))
        c.true(card.wait_window("hidden", 3000), "hidden")
        card.must("tray %s %d" % (CARD, WM_LBUTTONUP))
        c.true(card.wait_window("visible", 3000), "restored")
        c.eq(card_pos(card), (2600, 100), "back at 2600, not at 2184")
        card.menu_command("exit")
        c.true(card.exited(10), "Exit ends the program")
        c.eq(card.read_conf(), harness.conf_text(left=32767, top=1500), "the file holds the nearest it can")
        c.done()


def case_card_stored_out_of_sight_starts_on_screen(name):
    """A place on a monitor that is gone (-30000, -30000 twips) starts the
    card at the design place; a card partly on screen stays where it was
    while its whole title strip is in sight, and starts at the design place
    when the strip is cut (it could not be dragged back by its full width)."""
    c = harness.Checks()
    for label, left, top, want in (("gone", -30000, -30000, (477, 237)), ("partly", 10500, 9000, (700, 600)),
                                   ("strip-cut", 14400, 10500, (477, 237))):
        with harness.Card("%s-%s" % (name, label), harness.conf_text(left=left, top=top)) as card:
            c.true(card.wait_window("visible", 5000), "%s: shown" % label)
            c.eq(card_pos(card), want, "%s: where the card starts" % label)
    c.done()


def case_locked_settings_file_is_never_overwritten(name):
    """Another program holds cloudwick.conf without sharing while the card
    starts: the card says so once, runs with first-run values, and its
    "Exit" leaves the user's file as it was."""
    conf = harness.conf_text(start_on_windows=0, refresh_hours=6, left=4500, top=3000, woeid="2459115",
                             celsius=1, name="Springfield, XY")
    with harness.Card(name, conf, start=False) as card:
        c = harness.Checks()
        holder = subprocess.Popen(["wine", card.probe_exe, "holdfile", os.path.join(card.app, "cloudwick.conf"),
                                   "8000"], env=card.env, cwd=card.base, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL)
        card.procs.append(holder)
        c.eq(holder.stdout.readline().strip(), b"held", "the file is held")
        card.launch(wait=False)
        c.true(card.wait_window("exists", 20000, "#32770"), "the card says it could not read its settings")
        card.must("send #32770 0x10 0 0")  # the user closes the message
        c.true(card.wait_window("exists", 10000), "the card runs")
        holder.wait(timeout=30)
        card.menu_command("exit")
        c.true(card.exited(10), "Exit ends the program")
        c.eq(card.read_conf(), conf, "the user's settings are intact")
        c.done()


def case_error_page_heals_when_the_server_heals(name):
    """A proxy answers with an HTML error page of more than 2000 bytes: the
    card says what it got and fetches again by itself; the healed server's
    weather then fills it."""
    page = http_reply(b"<html><body>" + b"Bad gateway. " * 200 + b"</body></html>", status=b"502 Bad Gateway",
                      content_type=b"text/html")
    calls = []

    def route(path):
        calls.append(path)
        return fake_servers.whole(page if len(calls) == 1 else SPRINGFIELD)

    with FakeService(route) as svc, harness.Card(name, SPRINGFIELD_CONF) as card:
        c = harness.Checks()
        c.true(card.wait_text("txtDay1", "prefix", b"Bad feed reply", 15000)[0], "the error page is reported")
        c.true(card.wait_text("txtTitle", "eq", b"Springfield, XY", 20000)[0], "the card heals by itself")
        c.eq(len(svc.requests), 2, "one more fetch")
        c.done()


def case_endless_stream_parses_and_answers_a_click(name):
    """A server that sends a reply and then never stops: the card parses at
    its next tick and a click on the hide button works at once."""
    with FakeService(lambda path: fake_servers.flood(1 << 40, SPRINGFIELD)) as svc, \
            harness.Card(name, SPRINGFIELD_CONF) as card:
        c = harness.Checks()
        svc.wait_requests(1, 15)
        c.true(card.wait_text("txtTitle", "eq", b"Springfield, XY", 10000)[0], "parsed while the stream goes on")
        x, y = card.centre("Label3")
        card.must("mclick %d %d" % (x, y))
        c.true(card.wait_window("hidden", 1000), "a click on the hide button answered within 1 s")
        c.true(card.card.poll() is None, "the card is still running")
        c.done()


def case_endless_stream_does_not_freeze_the_place_search(name):
    """The same for the options dialog's search."""
    def route(path):
        if path.startswith("/v1/public/yql"):
            return fake_servers.flood(1 << 40, FOUND)
        return fake_servers.whole(SPRINGFIELD)

    with FakeService(route), harness.Card(name, SPRINGFIELD_CONF) as card:
        c = harness.Checks()
        card.menu_command("options")
        c.true(card.wait_window("visible", 5000, OPTIONS), "Options open")
        card.must("settext %s %d \"Lakeview\"" % (OPTIONS, harness.control_id("txtWord", OPTIONS)))
        card.must("click %s %d" % (OPTIONS, harness.control_id("Command1", OPTIONS)))
        c.true(card.wait_text("txtLocation", "contains", b"Found", 10000, OPTIONS)[0], "found during the stream")
        rc, lines = card.cmd("ping %s 1000 2" % OPTIONS)
        c.eq(rc, 0, "the dialog answers within 1 s: %s" % lines)
        c.done()


def case_unanswered_name_lookups_do_not_pile_up(name):
    """A name server that never answers, and "Refresh Now" pressed again
    and again: the card does not start a lookup thread for every press."""
    from e2e_feed import StallingDns
    dns = StallingDns()
    try:
        with harness.Card(name, SPRINGFIELD_CONF) as card:
            c = harness.Checks()
            harness.wait_for(lambda: dns.queries, 10)
            before = int(harness.parse_fields(card.must("threads")[0])["count"])
            for _ in range(30):
                card.menu_command("refresh")
                time.sleep(0.1)
            time.sleep(1)
            after = int(harness.parse_fields(card.must("threads")[0])["count"])
            c.true(after <= before + 2, "threads before %d, after 30 refreshes %d" % (before, after))
            rc, lines = card.cmd("ping %s 500 2" % CARD)
            c.eq(rc, 0, "the card answers: %s" % lines)
            c.done()
    finally:
        dns.close()


case_unanswered_name_lookups_do_not_pile_up.private_dns = True


def case_first_forecast_line_wider_than_its_box_takes_two_rows(name):
    """"Wed , Heavy Showers . High: 57  Low: 48" has 39 characters but is
    wider than txtDay1's 191 pixels at 96 DPI: the box grows to two rows and
    the second line moves down, so "Low: 48" stays in sight."""
    feed = fake_servers.data("feed_springfield_f.xml").replace(
        b'day="Mon" date="7 Dec 2026" low="25" high="38" text="Partly Cloudy"',
        b'day="Wed" date="9 Dec 2026" low="48" high="57" text="Heavy Showers"')
    line1 = b"Wed , Heavy Showers . High: 57  Low: 48"
    with FakeService(lambda path: fake_servers.whole(http_reply(feed))), harness.Card(name, SPRINGFIELD_CONF) as card:
        c = harness.Checks()
        c.true(card.wait_text("txtDay1", "eq", line1, 15000)[0], "the first line as cut")
        c.eq(len(line1), 39, "not longer than the 39 characters of the length rule")
        card.wait_text("txtDay2", "ne", b"", 5000)
        ctls = card.controls()
        day1, day2 = harness.rect(ctls["txtDay1"], "screen"), harness.rect(ctls["txtDay2"], "screen")
        top = card_pos(card)[1]
        lines = design.forecast_lines()
        c.eq(day1[3], harness.px(lines["day1TallHeight"]), "txtDay1 is two rows high")
        c.eq(day2[1] - top, harness.px(lines["day2ResetTop"] + lines["day2TallShift"]), "txtDay2 moved down")
        drawn_rows = lambda shot: harness.row_groups(harness.ink_rows(shot, day1, harness.cyanish))
        shot = card.screenshot_when(lambda shot: len(drawn_rows(shot)) == 2)
        c.eq(len(drawn_rows(shot)), 2, "the line wraps into the two rows of its box")
        c.done()
