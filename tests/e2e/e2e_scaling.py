"""The card on the Windows users have: 175 % and 200 % scaling (DPIs that
do not divide 1440), a tray that is not there yet at log-on, and a renamed
download in a folder with spaces set to start with Windows."""
import os
import subprocess

from tests.support import design, harness
from tests.support.harness import CARD, OPTIONS
from e2e_options import open_options, tick_start_on_windows_and_okay

WM_LBUTTONUP, WM_RBUTTONDOWN = 0x202, 0x204
VK_ESCAPE = 0x1B
OWN_HEIGHT = ("DropList",)  # a drop-down list's height is its open list's
RUN_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Run"


def mul_div(twips, dpi):
    """MulDiv(twips, dpi, 1440): to the nearest, halves away from zero."""
    n = (abs(twips) * dpi + 720) // 1440
    return n if twips >= 0 else -n


def check_window(card, c, target, which, dpi, size):
    """The client size, every control at MulDiv of its design place (+-1),
    and every caption drawn within its box in its own font."""
    w = card.window(target)
    cw, ch = [int(v) for v in w["client"].split(",")]
    c.true(abs(cw - size[0]) <= 1 and abs(ch - size[1]) <= 1,
           "%s client %dx%d at %d DPI, want %dx%d" % (which, cw, ch, dpi, size[0], size[1]))
    ctls = card.controls(target)
    for r in design.controls(which):
        f = ctls.get(r.name)
        if not c.true(f, "%s %s exists" % (which, r.name)):
            continue
        got = harness.rect(f)
        want = [mul_div(r.left, dpi), mul_div(r.top, dpi), mul_div(r.width, dpi)]
        if r.kind not in ("Line",) + OWN_HEIGHT:
            want.append(mul_div(r.height, dpi))
        c.true(all(abs(g - v) <= 1 for g, v in zip(got, want)),
               "%s %s at %r px, want %r" % (which, r.name, got, want))
        if r.kind in ("Label", "CheckBox", "OptionButton") and f.get("text"):
            fit = harness.parse_fields(card.must("textfit %s %d" % (target, r.id))[0])
            if fit["selected"] != "1":  # no font to measure with (the dialog's about text on its map)
                continue
            box_w, box_h = [int(v) for v in fit["box"].split(",")]
            one_w, one_h = [int(v) for v in fit["oneline"].split(",")]
            wrapped_h = int(fit["wrapped"].split(",")[1])
            if r.kind == "Label":  # wraps within its width: every row must be in sight
                ok = wrapped_h <= box_h
            else:  # one row right of the check mark (about 17 px at 96 DPI)
                ok = one_w + mul_div(255, dpi) <= box_w and one_h <= box_h
            c.true(ok, "%s %s %r fits its %dx%d box: %s" % (which, r.name, f["text"], box_w, box_h, fit))


def check_scaling(name, dpi, card_size, dialog_size):
    with harness.Card(name, harness.conf_text(left=1500, top=600), dpi=dpi, screen="1920x1200") as card:
        c = harness.Checks()
        got = harness.parse_fields(card.must("dpi")[0])["x"]
        if not c.eq(got, str(dpi), "the desktop runs at %d DPI" % dpi):
            c.done()
        c.true(card.wait_window("visible", 30000), "the card is shown")
        check_window(card, c, CARD, "card", dpi, card_size)
        x0, y0 = harness.rect(card.window())[:2]
        c.eq((x0, y0), (mul_div(1500, dpi), mul_div(600, dpi)), "the card stands at its stored place")
        # The tray's codes arrive as they are at every DPI: the right press
        # opens the menu, the left release brings the hidden card back.
        card.must("mmove %d %d" % (x0 - 40, y0 + 40))
        card.must("tray %s %d" % (CARD, WM_RBUTTONDOWN))
        c.true(card.menu(3000) is not None, "the tray's right press opens the menu")
        card.must("key %d" % VK_ESCAPE)
        card.cmd("wait menu gone 2000")
        card.must("click %s %d" % (CARD, harness.control_id("Label3")))
        c.true(card.wait_window("hidden", 5000), "hidden by its button")
        card.must("tray %s %d" % (CARD, WM_LBUTTONUP))
        c.true(card.wait_window("visible", 5000), "the tray's left release restores it")
        c.eq(tuple(harness.rect(card.window())[:2]), (x0, y0), "back where it was, to the pixel")
        card.screenshot("card-%d" % dpi)
        if c.true(open_options(card), "Options open"):
            check_window(card, c, OPTIONS, "options", dpi, dialog_size)
            card.screenshot("options-%d" % dpi)
        c.done()


def case_card_and_dialog_at_175_percent(name):
    """168 DPI: the card is 362 x 571 pixels, the dialog 761 x 572."""
    check_scaling(name, 168, (362, 571), (761, 572))


def case_card_and_dialog_at_200_percent(name):
    """192 DPI: the card is 414 x 652 pixels (not 444 x 698), the dialog 870 x 654."""
    check_scaling(name, 192, (414, 652), (870, 654))


def case_card_and_dialog_at_300_percent(name):
    """288 DPI: the card is 621 x 978 pixels, the dialog 1305 x 981."""
    check_scaling(name, 288, (621, 978), (1305, 981))


def case_tray_icon_refused_at_log_on_is_added_later(name):
    """The shell refuses the first three adds, as at log-on before the
    taskbar is there: a card started hidden in the tray still ends up with
    its icon, and the icon brings the card back."""
    with harness.Card(name, harness.conf_text(start_in_tray=1), start=False) as card:
        c = harness.Checks()
        card.env["CLOUDWICK_TEST_TRAY_REFUSALS"] = "3"
        card.launch()
        c.eq(card.window()["visible"], "0", "started hidden")
        c.true(harness.wait_for(card.tray_icon_present, 15), "the icon is there once the shell takes it")
        card.must("tray %s %d" % (CARD, WM_LBUTTONUP))
        c.true(card.wait_window("visible", 5000), "the icon restores the card")
        card.menu_command("exit")
        c.true(card.exited(10), "Exit ends the program")
        c.true(harness.wait_for(lambda: not card.tray_icon_present(), 5), "and removes the icon")
        c.done()


def utf16_hex(text):
    return text.encode("utf-16-le").hex()


def case_renamed_exe_in_a_folder_with_spaces_starts_with_windows(name):
    """A download renamed by the browser, "Cloudwick (1).exe", in a folder
    with spaces and an apostrophe: "Start on Windows" writes the exe's own
    path, quoted, as a REG_SZ with its terminating zero."""
    with harness.Card(name, harness.conf_text(), start=False) as card:
        c = harness.Checks()
        folder = os.path.join(card.base, "Ann's Programs", "Weather Card")
        os.makedirs(folder)
        exe = os.path.join(folder, "Cloudwick (1).exe")
        with open(card.card_exe, "rb") as src, open(exe, "wb") as dst:
            dst.write(src.read())
        proc = subprocess.Popen(["wine", exe], env=card.env, cwd=folder, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        card.procs.append(proc)
        card.card = proc
        card.must("wait %s exists 90000" % CARD, timeout=120)
        card.wait_controls(CARD)
        card.wait_window("visible", 30000)
        if c.true(open_options(card), "Options open"):
            tick_start_on_windows_and_okay(card, c)
        want = '"Z:' + exe.replace("/", "\\") + '"'
        raw = harness.parse_fields(card.must("regraw HKLM %s Cloudwick" % RUN_KEY)[0])
        c.eq(raw.get("type"), "1", "a REG_SZ value")
        c.eq(raw.get("hex"), utf16_hex(want) + "0000", "the quoted path with its terminating zero, byte for byte")
        c.eq(int(raw.get("bytes", "0")), 2 * (len(want) + 1), "its length counts the zero")
        card.menu_command("exit")
        c.true(harness.wait_for(lambda: proc.poll() is not None, 10), "Exit ends the program")
        with open(os.path.join(folder, "cloudwick.conf"), "rb") as f:
            c.eq(f.read().split(b"\r\n")[0], b"1", "StartOnWindows saved as 1 beside the renamed exe")
        c.done()


def case_run_value_of_another_type_is_replaced(name):
    """A "Cloudwick" value that is a number (left by another tool) is
    replaced by the path as a string, not written as a number."""
    with harness.Card(name, harness.conf_text()) as card:
        c = harness.Checks()
        card.wait_window("visible", 30000)
        card.wine("reg", "add", "HKLM\\" + RUN_KEY, "/v", "Cloudwick", "/t", "REG_DWORD", "/d", "7", "/f")
        if c.true(open_options(card), "Options open"):
            tick_start_on_windows_and_okay(card, c)
        want = '"Z:' + card.app.replace("/", "\\") + '\\Cloudwick.exe"'
        raw = harness.parse_fields(card.must("regraw HKLM %s Cloudwick" % RUN_KEY)[0])
        c.eq((raw.get("type"), raw.get("hex")), ("1", utf16_hex(want) + "0000"), "now the quoted path as REG_SZ")
        c.done()


def case_save_while_another_program_holds_the_file_names_that_cause(name):
    """Another program holds cloudwick.conf when the card ends: the message
    says the file is in use, not that the folder cannot be written, and the
    user's file is left as it was."""
    from e2e_options import message_box
    conf = harness.conf_text(refresh_hours=6, left=4500, top=3000)
    with harness.Card(name, conf) as card:
        c = harness.Checks()
        card.wait_window("visible", 30000)
        holder = subprocess.Popen(["wine", card.probe_exe, "holdfile", os.path.join(card.app, "cloudwick.conf"),
                                   "15000"], env=card.env, cwd=card.base, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL)
        card.procs.append(holder)
        c.eq(holder.stdout.readline().strip(), b"held", "the file is held")
        card.menu_command("exit")
        box = message_box(card, 10)
        if c.true(box, "the card tells that the save failed"):
            text = b" ".join(box[1])
            c.true(b"Another program is using the file" in text, "the cause named: %r" % text)
            c.true(b"folder you can write to" not in text, "no advice to move the program")
            card.must("send %s 0x10 0 0" % box[0])
        c.true(card.exited(15), "the card ends")
        holder.wait(timeout=30)
        c.eq(card.read_conf(), conf, "the user's file is left as it was")
        c.done()
