"""Tray icon, popup menu, hiding and restoring, start-up and exit, and
dragging the borderless card by its title strip, driven from outside."""

from tests.support import fake_servers, harness
from tests.support.harness import CARD
from tests.support.fake_servers import FakeService

WM_LBUTTONUP, WM_RBUTTONDOWN, WM_LBUTTONDBLCLK = 0x202, 0x204, 0x203
VK_ESCAPE = 0x1B
MENU = ["Open", "Refresh Now", "Options", "-", "Exit"]
MENU_OPEN_DISABLED = ["Open:grayed"] + MENU[1:]


def card_pos(card):
    w = card.window()
    x, y = [int(v) for v in w["rect"].split(",")[:2]]
    return x, y


def open_tray_menu(card, at=(500, 300)):
    """A right press on the tray icon, with the mouse at `at`: returns the open menu's rect."""
    card.must("mmove %d %d" % at)
    card.must("tray %s %d" % (CARD, WM_RBUTTONDOWN))
    m = card.menu(10000)
    if not m:
        return None
    return tuple(int(v) for v in m["rect"].split(","))


def menu_matches(card, c, rect_, open_enabled, label):
    """The card's open menu is pixel for pixel the reference menu with the
    expected items and "Open" state, and differs from the other state."""
    shot = card.screenshot(label)
    got = harness.crop_rgb(shot, rect_[0], rect_[1], rect_[2] - rect_[0], rect_[3] - rect_[1])
    card.must("key %d" % VK_ESCAPE)
    c.true(card.cmd("wait menu gone 10000")[0] == 0, "Escape closes the menu")
    want_items = MENU if open_enabled else MENU_OPEN_DISABLED
    other_items = MENU_OPEN_DISABLED if open_enabled else MENU
    r1, want, rels = harness.reference_menu(card, rect_[0], rect_[1], want_items, label + "-reference")
    r2, other, _ = harness.reference_menu(card, rect_[0], rect_[1], other_items, label + "-other")
    c.eq(rect_, r1, "menu rectangle equals the reference menu's")
    c.true(got == want, "the menu shows Open (%s), Refresh Now, Options, a separator, Exit"
           % ("enabled" if open_enabled else "greyed"))
    c.true(want != other, "the comparison tells an enabled Open from a greyed one")
    return rels


def case_tray_menu_and_restore_from_hidden_start(name):
    """StartInTray 1: the card stays hidden with its icon and the tip
    "Cloudwick 1.23"; the tray menu offers Open enabled; a left button release
    restores the card at WindowLeft/WindowTop, after which Open is greyed."""
    conf = harness.conf_text(start_in_tray=1, left=4500, top=3000)
    with harness.Card(name, conf) as card:
        c = harness.Checks()
        card.cmd("sleep 1500")
        w = card.window()
        c.eq(w["visible"], "0", "hidden after start")
        c.true(card.tray_icon_present(), "the tray icon exists")
        c.true(b"Cloudwick 1.23" in card.tray_tips(), "the tip before any refresh: %r" % card.tray_tips())
        r = open_tray_menu(card)
        if c.true(r, "a right press on the icon opens the menu"):
            c.eq(r[:2], (500, 300), "the menu opens at the mouse position")
            menu_matches(card, c, r, True, name + "-menu-hidden")
        card.must("tray %s %d" % (CARD, WM_LBUTTONUP))
        c.true(card.wait_window("visible", 15000), "a left button release restores the card")
        c.eq(card_pos(card), (300, 200), "restored at 4500, 3000 twips")
        c.eq(card.window()["topmost"], "1", "still topmost")
        r = open_tray_menu(card)
        if c.true(r, "menu again"):
            menu_matches(card, c, r, False, name + "-menu-shown")
        card.screenshot()
        c.done()


def case_hide_button_then_tray_click_brings_it_back(name):
    """A real click on "  _" hides the card (icon and tip stay); a double
    click on the icon restores it through its button release; the icon's
    other codes do nothing."""
    with harness.Card(name, harness.conf_text(left=6000, top=2400)) as card:
        c = harness.Checks()
        card.wait_window("visible", 30000)
        tips_before = card.tray_tips()
        x, y = card.centre("Label3")
        card.must("mclick %d %d" % (x, y))
        if not card.wait_window("hidden", 5000):
            # On a fresh display Wine can lose the very first input event.
            card.must("mclick %d %d" % (x, y))
        c.true(card.wait_window("hidden", 15000), "the hide button hides the card")
        c.true(card.tray_icon_present(), "the icon stays")
        c.eq(card.tray_tips(), tips_before, "hiding leaves the tip as it was")
        for code in (0x200, 0x201, WM_LBUTTONDBLCLK, 0x205, 0x207):
            card.must("tray %s %d" % (CARD, code))
        card.cmd("sleep 500")
        c.eq(card.window()["visible"], "0", "moving over, pressing or double-clicking the icon does not restore")
        card.must("tray %s %d" % (CARD, WM_LBUTTONUP))
        c.true(card.wait_window("visible", 15000), "the release after a double click restores")
        c.eq(card_pos(card), (400, 160), "back where it was hidden")
        c.done()


def case_menu_closes_on_a_click_elsewhere(name):
    with harness.Card(name) as card:
        c = harness.Checks()
        card.wait_window("visible", 30000)
        r = open_tray_menu(card, (300, 500))
        c.true(r, "menu open")
        card.must("mclick 900 100")
        c.true(card.cmd("wait menu gone 10000")[0] == 0, "a click on the desktop closes the menu")
        c.eq(card.window()["visible"], "1", "the card is untouched")
        c.done()


def case_menu_exit_while_hidden_saves_position(name):
    """Hide the card, then pick "Exit" in the tray menu with the mouse: the
    program ends, cloudwick.conf holds the position the card had, and the
    tray icon is gone."""
    conf = harness.conf_text(refresh_hours=6, left=1500, top=4500, woeid="99999999", celsius=1, name="none")
    with harness.Card(name, conf) as card:
        c = harness.Checks()
        card.wait_window("visible", 30000)
        hwnd = card.window()["hwnd"]
        card.must("click %s %d" % (CARD, harness.control_id("Label3")))
        c.true(card.wait_window("hidden", 15000), "hidden")
        r = open_tray_menu(card, (400, 300))
        if c.true(r, "menu open"):
            # Where "Exit" lies in such a menu, from the reference menu.
            exit_rel = None
            card.must("key %d" % VK_ESCAPE)
            card.cmd("wait menu gone 10000")
            _, _, rels = harness.reference_menu(card, r[0], r[1], MENU, name + "-ref")
            exit_rel = rels[4]
            r = open_tray_menu(card, (400, 300))
            card.must("mclick %d %d" % (r[0] + (exit_rel[0] + exit_rel[2]) // 2, r[1] + (exit_rel[1] + exit_rel[3]) // 2))
        c.true(card.exited(10), "Exit ends the program")
        c.eq(card.read_conf(), harness.conf_text(refresh_hours=6, left=1500, top=4500, woeid="99999999",
                                                 celsius=1, name="none"),
             "the settings file, rewritten with the position the card had when hidden")
        # Wine drops icons of destroyed windows too, so this only shows the icon is not left behind.
        c.true(not card.tray_icon_present(hwnd), "no icon after exit")
        c.done()


def case_place_name_decides_the_first_refresh(name):
    """At start a refresh runs when LocationName is set: "none" and "" start
    none, "None" (another case) does."""
    reply = fake_servers.http_reply(fake_servers.data("feed_springfield_f.xml"))
    c = harness.Checks()
    for place, expect in (("none", False), ("", False), ("None", True), ("Springfield, XY", True)):
        with FakeService(lambda path: fake_servers.whole(reply)) as svc, \
                harness.Card("%s-%s" % (name, place.replace(" ", "_").replace(",", "") or "empty"),
                             harness.conf_text(woeid="2459115", name=place)) as card:
            card.wait_window("visible", 30000)
            reqs = svc.wait_requests(1, 30 if expect else 2.5)
            c.eq(bool(reqs), expect, "LocationName %r starts a refresh" % place)
            title = card.text("txtTitle")
            if not expect:
                c.eq(title, b"options: Select Location", "LocationName %r keeps the design title" % place)
    c.done()


def case_drag_by_title_moves_and_is_saved(name):
    """A left drag on the title label or on the bare strip moves the card;
    both buttons held only record; a right press on the strip opens the
    menu; the file written at exit holds the new position."""
    with harness.Card(name, harness.conf_text(left=3000, top=1500)) as card:
        c = harness.Checks()
        card.wait_window("visible", 30000)
        x0, y0 = card_pos(card)
        c.eq((x0, y0), (200, 100), "start position")
        lx, ly = card.centre("Label6")
        card.must("drag %d %d %d %d left 12" % (lx, ly, lx + 150, ly + 90))
        card.cmd("sleep 300")
        c.eq(card_pos(card), (x0 + 149, y0 + 90), "dragged by the title label (from the first movement on)")
        # The strip itself, right of the title label and left of "  _".
        x1, y1 = card_pos(card)
        sx, sy = x1 + 4 + 150, y1 + 4 + 11
        card.must("drag %d %d %d %d left 12" % (sx, sy, sx - 100, sy + 40))
        card.cmd("sleep 300")
        c.eq(card_pos(card), (x1 - 101, y1 + 40), "dragged by the strip")
        x2, y2 = card_pos(card)
        sx, sy = x2 + 4 + 150, y2 + 4 + 11
        card.must("drag %d %d %d %d both 8" % (sx, sy, sx + 80, sy + 80))
        card.cmd("sleep 300")
        c.eq(card_pos(card), (x2, y2), "both buttons held: no move")
        card.cmd("key %d" % VK_ESCAPE)  # in case a menu opened
        card.cmd("wait menu gone 1000")
        card.must("mmove %d %d" % (sx, sy))
        card.must("mdown right")
        m = card.menu(10000)
        card.must("mup right")
        c.true(m is not None, "a right press on the strip opens the menu")
        if m:
            c.eq(tuple(int(v) for v in m["rect"].split(",")[:2]), (sx, sy), "at the mouse position")
            card.must("key %d" % VK_ESCAPE)
            card.cmd("wait menu gone 10000")
        card.screenshot()
        card.menu_command("exit")
        c.true(card.exited(10), "Exit ends the program")
        c.eq(card.read_conf(), harness.conf_text(left=x2 * 15, top=y2 * 15), "the new position saved in twips")
        c.done()


def case_refresh_completes_while_the_menu_is_open(name):
    """Socket and timer events keep coming while the tray menu is open: a
    reply that arrives then fills the card behind the menu."""
    reply = fake_servers.http_reply(fake_servers.data("feed_springfield_f.xml"))
    gate, behaviour = fake_servers.gated([b"", reply])
    with FakeService(lambda path: behaviour) as svc, \
            harness.Card(name, harness.conf_text(woeid="2459115", name="Springfield, XY")) as card:
        c = harness.Checks()
        svc.wait_requests(1, 30)
        r = open_tray_menu(card, (700, 200))
        c.true(r, "menu open")
        gate.release()  # the reply comes only now
        ok, _ = card.wait_text("txtTitle", "eq", b"Springfield, XY", 30000)
        c.true(ok, "the reply is parsed while the menu is open")
        c.true(card.cmd("menu 0")[0] == 0, "and the menu is still open")
        c.true(b"Springfield, XY : 31   \xb0 F" in card.tray_tips(), "the tip is replaced")
        card.screenshot()
        c.done()


def case_taskbar_created_adds_the_icon_again(name):
    """When the shell's taskbar is made anew (it announces "TaskbarCreated")
    the card adds its icon again, also while hidden, with its current tip."""
    reply = fake_servers.http_reply(fake_servers.data("feed_springfield_f.xml"))
    with FakeService(lambda path: fake_servers.whole(reply)), \
            harness.Card(name, harness.conf_text(woeid="2459115", name="Springfield, XY")) as card:
        c = harness.Checks()
        c.true(card.wait_text("txtTitle", "eq", b"Springfield, XY", 30000)[0], "filled")
        card.must("click %s %d" % (CARD, harness.control_id("Label3")))
        c.true(card.wait_window("hidden", 15000), "hidden to the tray")
        card.must("traydelete " + CARD)
        c.true(not card.tray_icon_present(), "the shell has lost the icon")
        card.must("postreg %s TaskbarCreated" % CARD)
        c.true(harness.wait_for(card.tray_icon_present, 30), "the icon is back")
        c.true(b"Springfield, XY : 31   \xb0 F" in card.tray_tips(), "with the current tip")
        card.must("tray %s %d" % (CARD, WM_LBUTTONUP))
        c.true(card.wait_window("visible", 15000), "and it still restores the card")
        c.done()


def case_refresh_completes_during_a_drag(name):
    """Timer and socket events go on while the system's move loop runs: a
    reply that arrives while the title is held down and dragged fills the card."""
    reply = fake_servers.http_reply(fake_servers.data("feed_springfield_f.xml"))
    gate, behaviour = fake_servers.gated([b"", reply])
    with FakeService(lambda path: behaviour) as svc, \
            harness.Card(name, harness.conf_text(woeid="2459115", name="Springfield, XY")) as card:
        c = harness.Checks()
        svc.wait_requests(1, 30)
        x0, y0 = card_pos(card)
        lx, ly = card.centre("Label6")
        card.must("mmove %d %d" % (lx, ly))
        card.must("mdown left")
        for i in range(1, 6):
            card.must("mmove %d %d" % (lx + 4 * i, ly + 2 * i))
            card.cmd("sleep 40")
        gate.release()  # the reply comes only now, with the button held
        ok, _ = card.wait_text("txtTitle", "eq", b"Springfield, XY", 30000)
        moved = card_pos(card)
        card.must("mup left")
        c.true(ok, "the reply is parsed while the button is still held")
        c.true(moved != (x0, y0), "the card was being dragged meanwhile (%r -> %r)" % ((x0, y0), moved))
        c.done()
