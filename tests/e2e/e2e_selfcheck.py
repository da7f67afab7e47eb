"""The probe's outside checks, shown to tell both answers apart on a window
of its own, so that a card test relying on them cannot pass by accident."""
import subprocess
import time

from tests.support import harness


def _reference(card, kind, ms, tip=None, delete=False):
    args = ["wine", card.probe_exe, "reference", kind, str(ms)]
    if tip:
        args += [tip] + (["delete"] if delete else [])
    p = subprocess.Popen(args, env=card.env, cwd=card.base, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    card.procs.append(p)
    line = p.stdout.readline().decode("latin-1")
    return p, harness.parse_fields(line)["hwnd"]


def until(check, limit_s=15):
    """Whether check() holds within limit_s seconds."""
    end = time.time() + limit_s
    while not check():
        if time.time() > end:
            return False
        time.sleep(0.1)
    return True


def window_button(card, hwnd):
    return harness.parse_fields(card.must("taskbar " + hwnd)[0])["window_button"]


def case_probe_tells_taskbar_and_tray_apart(name):
    with harness.Card(name, start=False) as card:
        c = harness.Checks()
        tidy, h_tidy = _reference(card, "normal", 8000, "Probe tip \\xB0 tidy", delete=True)
        owned, h_owned = _reference(card, "owned", 8000)
        c.true(until(lambda: window_button(card, h_tidy) == "1"), "an ordinary window has a taskbar button")
        c.eq(window_button(card, h_owned), "0", "an owned tool window has none")
        c.true(card.tray_icon_present(h_tidy), "the icon the reference window added is found")
        c.true(not card.tray_icon_present(h_owned), "a window without an icon has none")
        tips = card.tray_tips()
        c.true(b"Probe tip \xb0 tidy" in tips, "the shell's tip is read back with its 0xB0 byte: %r" % tips)
        for p in (tidy, owned):
            p.wait(timeout=30)
        c.true(until(lambda: not card.tray_icon_present(h_tidy)), "a deleted icon is gone")
        # Wine also drops the icon of a window that is destroyed without
        # deleting it, so after a process has ended a missing icon proves
        # nothing; tips are read for their text only (Wine may leave a
        # deleted icon's tooltip behind).
        dpi = harness.parse_fields(card.must("dpi")[0])
        c.eq((dpi["x"], dpi["acp"]), ("96", "1252"), "96 DPI and the Western ANSI code page")
        c.done()
