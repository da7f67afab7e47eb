"""The card as a Windows user runs it: Cloudwick.exe alone, with
cloudwick-feed.exe beside it, which the card starts itself; the service
listens on a port of its own and tells the card which. A stub Open-Meteo on a loopback port stands in for the
source (named in cloudwick-feed.conf); the service goes when the card goes."""
import contextlib
import os
import subprocess
import time

from tests.support import fake_servers, feed_wine, harness, stub_upstream
from tests.support.harness import CARD, OPTIONS
from tests.support.fake_servers import FakeService, http_reply

SPRINGFIELD_IL = 4250542
ZURICH = 2657896


def feed_exe():
    path = os.environ.get("FEED_WINDOWS_EXE", "")
    if not path or not os.path.isfile(path):
        raise harness.Skip("cloudwick-feed.exe is not built: %r" % path)
    return path


def feed_conf(stub, more=""):
    return ("forecast-url=%s\r\ngeocoding-url=%s\r\n%s" % (stub.forecast_url, stub.geocoding_url, more)).encode()


def card_with_service(name, stub, conf, feed_more="", **kw):
    files = {"cloudwick-feed.exe": feed_exe(), "cloudwick-feed.conf": feed_conf(stub, feed_more)}
    return harness.Card(name, conf, files=files, **kw)


def service_pids(card):
    return feed_wine.feed_pids(card.prefix)


def service_log(card):
    return feed_wine.service_log(card.app)


@contextlib.contextmanager
def showing_weather(name, c, conf=harness.conf_text(woeid=str(SPRINGFIELD_IL), name="Springfield, IL")):
    """A card alone with its service beside it, once it shows the source's weather."""
    stub = stub_upstream.StubUpstream()
    try:
        with card_with_service(name, stub, conf) as card:
            c.true(card.wait_text("txtTemp", "ne", b"", 10000)[0], "weather shown")
            c.eq(len(service_pids(card)), 1, "the card started its service")
            yield card
    finally:
        stub.close()


def case_card_alone_shows_live_weather_and_finds_places(name):
    """Only Cloudwick.exe is started, with a stored place: within 10 s the
    card shows the source's weather; a search in Options finds a place and
    "Okay" shows its weather; after "Exit" the service is gone within 5 s."""
    stub = stub_upstream.StubUpstream()
    try:
        conf = harness.conf_text(woeid=str(ZURICH), name="Zurich, CH", celsius=1)
        with card_with_service(name, stub, conf, start=False) as card:
            c = harness.Checks()
            started = time.time()
            card.launch()
            ok, title = card.wait_text("txtTemp", "ne", b"", 10000)
            c.true(ok, "weather within 10 s of the start (%.1f s)" % (time.time() - started))
            c.true(card.text("txtTitle").startswith(b"Z"), "the stored place: %r" % card.text("txtTitle"))
            c.true(stub.calls > 0, "the weather came from the source")
            c.eq(len(service_pids(card)), 1, "one service, started by the card")
            c.true("ends with process" in service_log(card), "started for the card: %r" % service_log(card)[-300:])

            card.menu_command("options")
            c.true(card.wait_window("visible", 5000, OPTIONS), "Options open")
            card.must("settext %s %d \"Springfield\"" % (OPTIONS, harness.control_id("txtWord", OPTIONS)))
            card.must("click %s %d" % (OPTIONS, harness.control_id("Command1", OPTIONS)))
            ok, status = card.wait_text("txtLocation", "contains", b"Found", 10000, OPTIONS)
            c.true(ok, "a place found: %r" % status)
            card.must("click %s %d" % (OPTIONS, harness.control_id("cmdOK", OPTIONS)))
            ok, title = card.wait_text("txtTitle", "prefix", b"Springfield", 10000)
            c.true(ok, "Okay shows the found place's weather: %r" % title)
            card.screenshot()

            card.menu_command("exit")
            c.true(card.exited(10), "Exit ends the card")
            c.true(harness.wait_for(lambda: not service_pids(card), 5), "the service is gone within 5 s of Exit")
            c.true(b"\r\n%d\r\n" % SPRINGFIELD_IL in card.read_conf(), "the found place is stored")
            c.done()
    finally:
        stub.close()


def case_cyrillic_search_on_a_russian_windows(name):
    """A Russian Windows (ANSI code page 1251): "Москва" put in the search
    box reaches the service in that code page, finds Moscow, and "Okay"
    shows the place's name in Cyrillic on the card."""
    lang = "ru_RU.UTF-8"
    if "ru_ru.utf8" not in subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.lower().split():
        raise harness.Skip("the %s locale is not installed (tools/setup.sh makes it)" % lang)
    moscow = "\u041c\u043e\u0441\u043a\u0432\u0430".encode("cp1251")
    stub = stub_upstream.StubUpstream()
    try:
        conf = harness.conf_text(woeid=str(ZURICH), name="Zurich, CH", celsius=1)
        with card_with_service(name, stub, conf, lang=lang) as card:
            c = harness.Checks()
            c.true(card.wait_text("txtTemp", "ne", b"", 10000)[0], "weather shown")
            card.menu_command("options")
            c.true(card.wait_window("visible", 5000, OPTIONS), "Options open")
            card.must("settext %s %d %s" % (OPTIONS, harness.control_id("txtWord", OPTIONS), harness.escape(moscow)))
            card.must("click %s %d" % (OPTIONS, harness.control_id("Command1", OPTIONS)))
            ok, status = card.wait_text("txtLocation", "contains", b"Found", 10000, OPTIONS)
            c.true(ok and status.startswith(moscow), "Moscow found, named in code page 1251: %r" % status)
            card.must("click %s %d" % (OPTIONS, harness.control_id("cmdOK", OPTIONS)))
            ok, title = card.wait_text("txtTitle", "prefix", moscow, 10000)
            c.true(ok, "the card shows the name in Cyrillic: %r" % title)
            card.screenshot()
            c.done()
    finally:
        stub.close()


def case_service_ends_when_the_card_is_killed(name):
    c = harness.Checks()
    with showing_weather(name, c) as card:
        card.card.kill()
        card.card.wait()
        c.true(harness.wait_for(lambda: not service_pids(card), 5), "the service is gone within 5 s of a killed card")
    c.done()


def case_second_card_starts_no_second_service(name):
    c = harness.Checks()
    with showing_weather(name, c) as card:
        first = card.card
        card.launch(wait=False)  # the same folder, a second time

        def cards_shown():
            tops = [harness.parse_fields(l) for l in card.must("toplevels") if l.startswith("top ")]
            return sum(1 for t in tops if t.get("class") == CARD and t.get("visible") == "1") == 2

        # The second card looks for a service before it creates its window.
        c.true(harness.wait_for(cards_shown, 30), "two cards shown")
        c.eq(len(service_pids(card)), 1, "still one service (first card running: %s): %r"
             % (first.poll() is None, service_log(card)[-400:]))
        c.eq(service_log(card).count("listening on"), 1, "started once: %r" % service_log(card)[-400:])
        c.true("already running" not in service_log(card), "the second card did not even try")
    c.done()
