"""The card against the project's own feed service, cloudwick-feed, with
its built-in sample data: the place search finds a sample place, Okay
applies it, and the card fills from the service's document."""
import os
import re
import socket
import subprocess
import time

from tests.support import harness
from tests.support.harness import OPTIONS
import e2e_feed
import e2e_options

TEMP = re.compile(rb"^-?\d+   \xb0 [FC]$")
DAY = re.compile(rb"^[A-Z][a-z]{2} , .+ \. High: -?\d+  Low: -?\d+ ?$")


class FeedService:
    def __init__(self):
        exe = os.environ.get("FEED_SERVICE_EXE", "")
        if not exe or not os.path.isfile(exe):
            raise harness.Skip("FEED_SERVICE_EXE (cloudwick-feed) is not built: %r" % exe)
        self.proc = subprocess.Popen([exe, "--provider", "sample", "--listen", "127.0.0.1:80",
                                      "--fixed-time", "2026-12-08T09:50"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        end = time.time() + 30
        while time.time() < end:
            try:
                socket.create_connection(("127.0.0.1", 80), 0.5).close()
                return
            except OSError:
                if self.proc.poll() is not None:
                    raise RuntimeError("cloudwick-feed exited: %s" % self.proc.stderr.read()[-500:])
                time.sleep(0.1)
        raise RuntimeError("cloudwick-feed does not listen on 127.0.0.1:80")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.proc.terminate()
        try:
            self.proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        return False


def check_filled(c, card, title_part, unit):
    title = card.text("txtTitle")
    c.true(title_part in title, "title %r names %r" % (title, title_part))
    c.true(card.text("txtDateTime").startswith(b"at "), "build date line")
    for cid in ("txtTemp", "txtWTemp"):
        t = card.text(cid)
        c.true(TEMP.match(t) and t.endswith(unit), "%s %r is a temperature in %r" % (cid, t, unit))
    speed = card.text("txtWSpeed")
    c.true(re.match(rb"^[\d.]+  (mph|kmph)$", speed), "wind speed %r" % speed)
    c.true(card.text("txtCond") != b"", "a condition text")
    for cid in ("txtDay1", "txtDay2"):
        t = card.text(cid)
        c.true(DAY.match(t), "%s %r is a forecast line" % (cid, t))
    tip = title + b" : " + card.text("txtTemp")
    c.true(tip[:63] in card.tray_tips(), "tray tip %r" % tip)


def case_search_and_show_a_sample_place(name):
    with FeedService(), harness.Card(name, harness.conf_text()) as card:
        c = harness.Checks()
        card.wait_window("visible", 30000)
        e2e_options.open_options(card)
        e2e_options.search(card, b"Berlin")
        ok, text = card.wait_text("txtLocation", "eq", b"Berlin Found  !", 20000, OPTIONS)
        c.true(ok, "the service finds the sample place: %r" % text)
        if ok:
            e2e_options.click(card, "cmdOK")
            c.true(card.wait_window("visible", 30000), "the card is back")
            ok, _ = card.wait_text("txtDay2", "ne", b"", 30000)
            c.true(ok, "the card is filled")
            check_filled(c, card, b"Berlin", b"F")
            card.screenshot()
            card.menu_command("exit")
            card.exited(10)
            c.eq(card.read_conf(), harness.conf_text(woeid="2950159", name="Berlin"), "the place is saved")
        c.done()


def case_metric_sample_place_at_start(name):
    conf = harness.conf_text(woeid="2643743", name="London", celsius=1)
    with FeedService(), harness.Card(name, conf) as card:
        c = harness.Checks()
        ok, _ = card.wait_text("txtDay2", "ne", b"", 30000)
        c.true(ok, "filled at start")
        check_filled(c, card, b"London", b"C")
        c.true(card.text("txtWSpeed").endswith(b"  kmph"), "kmph")
        card.screenshot()
        c.done()
