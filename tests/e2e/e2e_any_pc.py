"""The card on any PC a person has: its folder named in a script the ANSI
code page lacks, killed at any moment, a settings file an editor saved in
another form, a folder it may not write in, scaling changed per monitor."""
import glob
import os
import shutil
import subprocess

from tests.support import harness
from tests.support.harness import CARD, OPTIONS
from tests.support.fake_servers import FakeService
from e2e_desktop import SPRINGFIELD_CONF, card_pos, feed_and_places
from e2e_options import click, message_box, open_options, tick_start_on_windows_and_okay
from e2e_scaling import check_window, mul_div

RUN_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Run"
CARD_TWIPS = (3105, 4890)
OPTIONS_TWIPS = (6525, 4905)


def drag_title(card, dx, dy):
    """Drags the card by its title; its new top-left corner."""
    lx, ly = card.centre("Label6")
    card.must("drag %d %d %d %d left 10" % (lx, ly, lx + dx + 1, ly + dy))
    return card_pos(card)


def choose_place(card, c, word, title, opened=False):
    """Options, a search for `word`, "Okay": the card then shows `title`."""
    if not opened and not c.true(open_options(card), "Options open"):
        return
    card.must("settext %s %d \"%s\"" % (OPTIONS, harness.control_id("txtWord", OPTIONS), word))
    click(card, "Command1")
    c.true(card.wait_text("txtLocation", "contains", b"Found", 10000, OPTIONS)[0], "found")
    click(card, "cmdOK")
    c.true(card.wait_text("txtTitle", "eq", title, 15000)[0], "the card shows the chosen place")


def kill_card(card):
    """kill -9: no unload, no WM_ENDSESSION, nothing saved on the way out."""
    card.card.kill()
    card.card.wait()
    return card.wait_window("gone", 15000)


def position_line(left, top):
    return b"\r\n%d\r\n%d\r\n" % (left * 15, top * 15)


# Wine reads Unix file names in its locale's character set: a UTF-8 one with
# the ANSI code page 1252 of a Western Windows (C.UTF-8 is always there).
WESTERN_UTF8 = "C.UTF-8"


def folder_case(name, folder):
    if "c.utf8" not in subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.lower().split():
        raise harness.Skip("the C.UTF-8 locale is not installed")
    with FakeService(feed_and_places), \
            harness.Card(name, SPRINGFIELD_CONF, folder=folder, lang=WESTERN_UTF8) as card:
        c = harness.Checks()
        c.eq(harness.parse_fields(card.must("dpi")[0])["acp"], "1252", "Windows' ANSI code page is 1252")
        c.true(card.wait_text("txtTitle", "eq", b"Springfield, XY", 15000)[0], "weather shown")
        c.true(card.wait_text("txtTemp", "ne", b"", 5000)[0], "with a temperature")
        moved = drag_title(card, 120, 60)
        c.true(harness.wait_for(lambda: position_line(*moved) in card.read_conf(), 5),
               "the drag is saved in the folder at once: %r" % card.read_conf())
        if c.true(open_options(card), "Options open"):
            tick_start_on_windows_and_okay(card, c)
        want = '"Z:' + card.app.replace("/", "\\") + '\\Cloudwick.exe"'
        got = harness.parse_fields(card.must("regsz HKLM %s Cloudwick" % RUN_KEY)[0])
        c.eq(got.get("type"), "1", "a REG_SZ value")
        c.eq(bytes.fromhex(got.get("hex", "")), want.encode("utf-8") + b"\0",
             "the Run value is the exe's exact path, quoted, with its zero")
        card.menu_command("exit")
        c.true(card.exited(15), "Exit ends the program")
        card.launch()
        c.true(card.wait_window("visible", 30000), "shown again")
        c.eq(card_pos(card), moved, "the drag read back at the next start")
        c.true(card.wait_text("txtTitle", "eq", b"Springfield, XY", 15000)[0], "and its place")
        c.true(card.wait_text("txtTemp", "ne", b"", 5000)[0], "and its weather")
        card.screenshot()
        c.done()


def case_folder_named_in_cyrillic(name):
    """The card in "Погода" on a Western Windows (code page 1252)."""
    folder_case(name, "Погода")


def case_folder_named_in_chinese(name):
    """The card in "天气" on a Western Windows (code page 1252)."""
    folder_case(name, "天气")


def case_folder_named_with_a_letter_best_fitted_away(name):
    """"Łukasz": code page 1252 would best-fit it to "Lukasz", a folder that does not exist."""
    folder_case(name, "Łukasz")


def case_folder_name_of_250_letters(name):
    """A folder name of 250 characters, one outside the code page (Linux
    allows 255 bytes a name): the path is then longer than MAX_PATH."""
    folder_case(name, "Łukasz " + "w" * 243)


def case_kill_after_okay_and_after_a_drag_loses_nothing(name):
    """kill -9 right after "Okay" with a new place: the next start has the
    place; kill -9 right after a drag: the next start has both."""
    with FakeService(feed_and_places), harness.Card(name, SPRINGFIELD_CONF) as card:
        c = harness.Checks()
        c.true(card.wait_text("txtTitle", "eq", b"Springfield, XY", 15000)[0], "weather shown")
        choose_place(card, c, "Lakeview", b"Lakeview, QZ")
        c.true(kill_card(card), "killed")
        card.launch()
        c.true(card.wait_text("txtTitle", "eq", b"Lakeview, QZ", 15000)[0], "the place chosen before the kill")
        moved = drag_title(card, 150, 90)
        c.true(kill_card(card), "killed after the drag")
        card.launch()
        c.true(card.wait_window("visible", 30000), "shown again")
        c.eq(card_pos(card), moved, "the place dragged to before the kill")
        c.true(card.wait_text("txtTitle", "eq", b"Lakeview, QZ", 15000)[0], "and the place chosen before")
        c.true(b"\r\n554890\r\n" in card.read_conf(), "both in the file: %r" % card.read_conf())
        c.done()


def editor_forms():
    text = SPRINGFIELD_CONF.decode("latin-1")
    return [("utf16", b"\xff\xfe" + text.encode("utf-16-le")),
            ("utf16be", b"\xfe\xff" + text.encode("utf-16-be")),
            ("utf8bom", b"\xef\xbb\xbf" + text.encode("utf-8"))]


def case_settings_saved_by_notepad_keep_their_place(name):
    """A settings file saved by Notepad as "Unicode" (UTF-16), big-endian,
    or as UTF-8 with a byte-order mark: its place is shown and kept, and the
    file is written back in the designed form."""
    c = harness.Checks()
    with FakeService(feed_and_places):
        for form, data in editor_forms():
            with harness.Card("%s-%s" % (name, form), data) as card:
                c.true(card.wait_text("txtTitle", "eq", b"Springfield, XY", 15000)[0], "%s: its place shown" % form)
                c.true(harness.wait_for(lambda: card.read_conf() == SPRINGFIELD_CONF, 5),
                       "%s: written back designed: %r" % (form, card.read_conf()))
                card.menu_command("exit")
                c.true(card.exited(15), "%s: Exit ends the program" % form)
                c.eq(card.read_conf(), SPRINGFIELD_CONF, "%s: the place kept" % form)
    c.done()


def appdata_conf(card):
    found = glob.glob(os.path.join(card.prefix, "drive_c", "users", "*", "AppData", "Roaming", "Cloudwick",
                                   "cloudwick.conf"))
    return found[0] if found else None


def case_read_only_folder_keeps_settings_in_appdata(name):
    """The card's folder read-only (a read-only bind mount, as a share or
    Program Files): the user is told once where the settings live; a moved
    card and a chosen place come back after a restart, from %APPDATA%."""
    with FakeService(feed_and_places), harness.Card(name, SPRINGFIELD_CONF, start=False) as card:
        c = harness.Checks()
        subprocess.run(["mount", "--bind", card.app, card.app], check=True)
        subprocess.run(["mount", "-o", "remount,bind,ro", card.app, card.app], check=True)
        try:
            c.true(subprocess.run(["touch", os.path.join(card.app, "x")], stderr=subprocess.DEVNULL).returncode != 0,
                   "the folder is read-only")
            card.launch()
            box = message_box(card, 15)
            if c.true(box, "the user is told where the settings go"):
                text = b" ".join(box[1])
                c.true(b"keeps your settings in" in text and b"Cloudwick\\cloudwick.conf" in text, repr(text))
                card.must("send %s 0x10 0 0" % box[0])
            c.true(card.wait_text("txtTitle", "eq", b"Springfield, XY", 15000)[0],
                   "the settings that came with the card are read")
            moved = drag_title(card, 130, 70)
            choose_place(card, c, "Lakeview", b"Lakeview, QZ")
            path = appdata_conf(card)
            if c.true(path, "a cloudwick.conf in %APPDATA%\\Cloudwick"):
                c.true(harness.wait_for(lambda: b"Lakeview" in open(path, "rb").read(), 5), "the choice is there")
            card.menu_command("exit")
            c.true(card.exited(15), "Exit ends the program, with no message")
            c.eq(card.read_conf(), SPRINGFIELD_CONF, "the read-only folder's file is as it was")
            card.launch()
            c.true(message_box(card, 3) is None, "told only once")
            c.true(card.wait_text("txtTitle", "eq", b"Lakeview, QZ", 15000)[0], "the chosen place comes back")
            c.eq(card_pos(card), moved, "and the moved card")
            card.screenshot()
        finally:
            card.menu_command("exit")
            card.exited(15)
            subprocess.run(["umount", card.app], check=False)
        c.done()


def case_settings_folder_deleted_while_running(name):
    """The card's folder moved away while it runs, then the folder its
    settings went to deleted: no crash; each next change is saved, first
    in %APPDATA%\\Cloudwick (the user told where), then in that folder
    made again."""
    with FakeService(feed_and_places), harness.Card(name, SPRINGFIELD_CONF) as card:
        c = harness.Checks()
        c.true(card.wait_text("txtTitle", "eq", b"Springfield, XY", 15000)[0], "weather shown")
        gone = card.app + "-moved"
        os.rename(card.app, gone)
        try:
            moved = drag_title(card, 100, 40)
            box = message_box(card, 10)
            if c.true(box, "the user is told where the settings now go"):
                c.true(b"keeps your settings in" in b" ".join(box[1]), repr(box[1]))
                card.must("send %s 0x10 0 0" % box[0])
            path = appdata_conf(card)
            c.true(path and harness.wait_for(lambda: position_line(*moved) in open(path, "rb").read(), 5),
                   "the moved card saved in %APPDATA%")
            if path:
                shutil.rmtree(os.path.dirname(path))
            moved = drag_title(card, 60, 30)
            c.true(path and harness.wait_for(lambda: os.path.exists(path) and
                                             position_line(*moved) in open(path, "rb").read(), 5),
                   "saved again in the folder made again")
            c.true(message_box(card, 2) is None, "with no message")
            c.true(card.wait_window("visible", 3000), "the card runs on")
        finally:
            os.rename(gone, card.app)
        c.done()


def dpi_checks(card, c, target, which, twips, dpi, count=1):
    x, y = harness.rect(card.window(target))[:2]
    size = (mul_div(twips[0], dpi), mul_div(twips[1], dpi))
    card.must("dpichanged %s %d %d %d %d %d %d" % (target, dpi, x, y, size[0], size[1], count))
    check_window(card, c, target, which, dpi, size)
    c.eq(tuple(harness.rect(card.window(target))[:2]), (x, y), "%s at Windows' suggested place" % which)


def case_card_and_dialog_follow_dpi_changes(name):
    """WM_DPICHANGED to 144 and 192 DPI (a monitor of another scaling, or the
    scaling changed): the card and the dialog are laid out again from twips,
    every control within 1 px of MulDiv at that DPI; 100 in a row leave
    them as one."""
    with harness.Card(name, harness.conf_text(left=1500, top=600), screen="1920x1200") as card:
        c = harness.Checks()
        c.true(card.wait_window("visible", 30000), "the card is shown")
        for dpi in (144, 192):
            dpi_checks(card, c, CARD, "card", CARD_TWIPS, dpi)
            card.screenshot("%s-card-%d" % (name, dpi))
        dpi_checks(card, c, CARD, "card", CARD_TWIPS, 144, count=100)
        c.true(card.wait_window("visible", 3000), "the card still answers")
        if c.true(open_options(card), "Options open"):
            for dpi in (144, 192):
                dpi_checks(card, c, OPTIONS, "options", OPTIONS_TWIPS, dpi)
                card.screenshot("%s-options-%d" % (name, dpi))
            dpi_checks(card, c, OPTIONS, "options", OPTIONS_TWIPS, 96)
        c.done()


def case_failed_save_at_the_end_of_the_session_is_told_at_the_next_start(name):
    """Another program holds the settings file while Windows ends the
    session: no message box holds up the shut-down; the next start says
    why the last choices were not saved."""
    conf = harness.conf_text(left=3000, top=1500)
    with harness.Card(name, conf) as card:
        c = harness.Checks()
        c.true(card.wait_window("visible", 30000), "the card is shown")
        holder = subprocess.Popen(["wine", card.probe_exe, "holdfile", os.path.join(card.app, "cloudwick.conf"),
                                   "20000"], env=card.env, cwd=card.base, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL)
        card.procs.append(holder)
        c.eq(holder.stdout.readline().strip(), b"held", "the file is held")
        moved = drag_title(card, 100, 50)
        box = message_box(card, 10)  # the drag's save is told at once, outside the end of a session
        if c.true(box, "the failed save after the drag is told"):
            card.must("send %s 0x10 0 0" % box[0])
        subprocess.run(["wineboot", "--end-session"], env=card.env, cwd=card.base, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60, check=False)
        c.true(card.exited(15), "the card ends with the session")
        holder.kill()
        holder.wait()
        c.eq(card.read_conf(), conf, "the held file is as it was")
        card.launch()
        box = message_box(card, 15)
        if c.true(box, "the next start tells of the failed save"):
            text = b" ".join(box[1])
            c.true(b"Another program is using the file" in text, repr(text))
            card.must("send %s 0x10 0 0" % box[0])
        c.true(card.wait_window("visible", 30000), "and starts")
        del moved
        c.done()


def case_card_restored_after_its_monitor_left_is_wholly_on_screen(name):
    """The card hidden to the tray near the right and bottom of a large
    desktop, which then shrinks (a monitor unplugged, a laptop undocked):
    restored from the tray, the card is wholly on screen."""
    with harness.Card(name, harness.conf_text(), screen="1920x1200") as card:
        c = harness.Checks()
        c.true(card.wait_window("visible", 30000), "the card is shown")
        moved = drag_title(card, 1500 - card_pos(card)[0], 800 - card_pos(card)[1])
        c.eq(moved, (1500, 800), "dragged near the far corner")
        card.must("click %s %d" % (CARD, harness.control_id("Label3")))
        c.true(card.wait_window("hidden", 5000), "hidden to the tray")
        rc, out = card.cmd("resolution 1024 768")
        if rc != 0:
            raise harness.Skip("Wine would not change its desktop's size: %s" % out)
        card.must("tray %s %d" % (CARD, 0x202))
        c.true(card.wait_window("visible", 5000), "restored from the tray")
        x0, y0, x1, y1 = harness.rect(card.window())
        c.true(0 <= x0 and 0 <= y0 and x1 <= 1024 and y1 <= 768, "wholly on the 1024x768 screen: %r" % ((x0, y0, x1, y1),))
        card.screenshot()
        card.menu_command("exit")
        c.true(card.exited(15), "Exit ends the program")
        left, top = [int(v) for v in card.read_conf().split(b"\r\n")[3:5]]
        c.eq((left, top), (x0 * 15, y0 * 15), "the place it came back to is the one saved")
        c.done()


def case_dialog_open_while_its_monitor_leaves_comes_into_sight(name):
    """Options dragged near the far corner of a large desktop, which then
    shrinks while the dialog is open: the dialog is back in sight, and
    still works."""
    with FakeService(feed_and_places), harness.Card(name, harness.conf_text(), screen="1920x1200") as card:
        c = harness.Checks()
        c.true(card.wait_window("visible", 30000), "the card is shown")
        if c.true(open_options(card), "Options open"):
            x0, y0, x1, _ = harness.rect(card.window(OPTIONS))
            cx = (x0 + x1) // 2
            cy = y0 + 8  # on its caption
            card.must("drag %d %d %d %d left 10" % (cx, cy, cx + 1400 - x0 + 1, cy + 800 - y0))
            at = harness.rect(card.window(OPTIONS))[:2]
            c.true(abs(at[0] - 1400) <= 2 and abs(at[1] - 800) <= 2, "dragged near the far corner: %r" % (at,))
            rc, out = card.cmd("resolution 1024 768")
            if rc != 0:
                raise harness.Skip("Wine would not change its desktop's size: %s" % out)
            c.true(harness.wait_for(lambda: harness.rect(card.window(OPTIONS))[2] <= 1024 and
                                    harness.rect(card.window(OPTIONS))[3] <= 768, 5),
                   "wholly on the 1024x768 screen: %r" % (harness.rect(card.window(OPTIONS)),))
            card.screenshot()
            choose_place(card, c, "Lakeview", b"Lakeview, QZ", opened=True)
        c.done()
