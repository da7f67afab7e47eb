"""The card's service behind a company proxy, under Wine: a stub proxy in
the case's namespace, named by proxy= in cloudwick-feed.conf, carries every
call to the stub Open-Meteo and the card shows weather; a proxy that
answers 407 for ever puts the proxy's line on the card and in a search,
and the service's call budget is unchanged.

On Windows 7 (Wine told so for cloudwick-feed.exe alone), where WinHTTP has
no automatic proxy, the service takes the user's Internet settings itself:
the proxy they name, the PAC file they point at (served in the case's
namespace), a PAC file that throws or answers nonsense, and settings that
change while the card runs."""
import contextlib
import json
import socket
import struct
import time

from tests.support import harness
from tests.support.harness import OPTIONS
from e2e_local_service import SPRINGFIELD_IL, card_with_service, service_log, service_pids, stub_upstream
from tests.support.fake_servers import FakeService, http_reply, whole
from tests.support.stub_proxy import DIRECT, PROXY_LINE, StubProxy

CONF = harness.conf_text(woeid=str(SPRINGFIELD_IL), name="Springfield, IL")


def case_named_proxy_carries_every_call(name):
    """proxy=127.0.0.1:PORT: the card shows weather and every call the
    source saw came through the proxy."""
    stub = stub_upstream.StubUpstream()
    proxy = StubProxy()
    c = harness.Checks()
    try:
        with card_with_service(name, stub, CONF, feed_more="proxy=127.0.0.1:%d\r\n" % proxy.port) as card:
            c.true(card.wait_text("txtTemp", "ne", b"", 15000)[0], "weather shown")
            c.true(stub.calls > 0 and len(proxy.seen) == stub.calls,
                   "every one of the %d calls through the proxy: %r" % (stub.calls, proxy.seen))
    finally:
        proxy.close()
        stub.close()
    c.done()


def case_proxy_asking_for_a_password_is_said_and_costs_nothing(name):
    """A proxy that answers 407 for ever: the card's forecast line and a
    search say "The proxy asks for a password"; the source sees no call and
    the budget in /health is unchanged; the log names the proxy."""
    stub = stub_upstream.StubUpstream()
    proxy = StubProxy(ask_password=True)
    c = harness.Checks()
    try:
        with card_with_service(name, stub, CONF, feed_more="proxy=127.0.0.1:%d\r\n" % proxy.port) as card:
            ok, line = card.wait_text("txtDay1", "contains", PROXY_LINE.encode(), 20000)
            c.true(ok, "the forecast line says so: %r" % line)
            card.screenshot()
            card.menu_command("options")
            c.true(card.wait_window("visible", 5000, OPTIONS), "Options open")
            card.must("settext %s %d \"Zurich\"" % (OPTIONS, harness.control_id("txtWord", OPTIONS)))
            card.must("click %s %d" % (OPTIONS, harness.control_id("Command1", OPTIONS)))
            ok, status = card.wait_text("txtLocation", "contains", b"proxy", 15000, OPTIONS)
            c.true(ok, "a search says so: %r" % status)
            c.eq(stub.calls, 0, "the source saw no call")
            c.true(len(proxy.seen) > 0, "the proxy was asked")
            port = [l for l in service_log(card).splitlines() if "listening on" in l]
            health = None
            for line in port[-1:]:
                addr = line.split("listening on", 1)[1].split()[0].strip(";,")
                try:
                    with DIRECT.open("http://%s/health" % addr, timeout=10) as r:
                        health = json.loads(r.read())
                except Exception as e:  # noqa: BLE001  (the check below says what is missing)
                    health = {"error": str(e)}
            used = health and health.get("gate", {}).get("calls_used", {}).get("day")
            c.eq(used, 0, "the budget is unchanged (%r)" % health)
            c.true(harness.wait_for(lambda: "(proxy 127.0.0.1:%d)" % proxy.port in service_log(card), 5),
                   "the log names the proxy: %r" % service_log(card)[-500:])
    finally:
        proxy.close()
        stub.close()
    c.done()


# ---- Windows 7: the user's Internet settings ----

CONNECTIONS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections"
# Wine's version for one program: this one sees Windows 7 SP1 (6.1.7601).
FEED_AS_WINDOWS_7 = r"HKCU\Software\Wine\AppDefaults\cloudwick-feed.exe"


def connection_settings(proxy="", bypass="", pac="", change=1):
    """DefaultConnectionSettings as Internet Explorer writes it: version 0x46,
    a change counter, the flags (1 direct, 2 a named proxy, 4 an automatic
    configuration script, 8 detect settings), then the proxy, its exceptions
    and the script's URL, each a length and its bytes, and IE's trailing
    fields (left zero)."""
    flags = 1 | (2 if proxy else 0) | (4 if pac else 0)
    blob = struct.pack("<III", 0x46, change, flags)
    for text in (proxy, bypass, pac):
        blob += struct.pack("<I", len(text)) + text.encode("ascii")
    return blob + bytes(32)


def set_internet_settings(card, c, **settings):
    r = card.wine("reg", "add", CONNECTIONS, "/v", "DefaultConnectionSettings", "/t", "REG_BINARY",
                  "/d", connection_settings(**settings).hex(), "/f")
    c.eq(r.returncode, 0, "Internet settings written (%r)" % settings)


@contextlib.contextmanager
def windows_7_card(name, stub, c, **settings):
    """The card, with its service beside it seeing Windows 7 and the user's
    Internet settings as given, started once both are written."""
    with card_with_service(name, stub, CONF, start=False) as card:
        r = card.wine("reg", "add", FEED_AS_WINDOWS_7, "/v", "Version", "/d", "win7", "/f")
        c.eq(r.returncode, 0, "cloudwick-feed.exe sees Windows 7")
        set_internet_settings(card, c, **settings)
        card.launch()
        yield card


def served(body, content_type=b"application/x-ns-proxy-autoconfig"):
    """A local HTTP server in the case's namespace that answers every path with `body`."""
    server = FakeService(lambda path: whole(http_reply(body, content_type=content_type)), port=0)
    server.port = server.sock.getsockname()[1]
    return server


def resetting_proxy():
    """A proxy that reads each request and resets the connection."""
    def reset(conn, req, svc):
        conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    server = FakeService(lambda path: reset, port=0)
    server.port = server.sock.getsockname()[1]
    return server


def pac_file(returns):
    return ("function FindProxyForURL(url, host) {\n  %s\n}\n" % returns).encode()


def shows_weather_through(c, card, stub, proxy, within=20000):
    """The card shows weather, and every call the source saw came through `proxy`."""
    c.true(card.wait_text("txtTemp", "ne", b"", within)[0], "weather shown: %r" % service_log(card)[-600:])
    c.true(stub.calls > 0 and len(proxy.seen) == stub.calls,
           "every one of the %d calls through the proxy: %r" % (stub.calls, proxy.seen))


def case_windows_7_internet_settings_proxy_carries_every_call(name):
    """Windows 7, Internet settings naming the stub proxy (and "<local>" as
    its exception): the card shows weather and every call the source saw
    came through that proxy."""
    stub = stub_upstream.StubUpstream()
    proxy = StubProxy()
    c = harness.Checks()
    try:
        with windows_7_card(name, stub, c, proxy="127.0.0.1:%d" % proxy.port, bypass="<local>") as card:
            shows_weather_through(c, card, stub, proxy)
            card.screenshot()
    finally:
        proxy.close()
        stub.close()
    c.done()


def case_windows_7_pac_file_proxy_carries_every_call(name):
    """Windows 7, Internet settings pointing at a PAC file served in the
    namespace, whose FindProxyForURL answers "PROXY 127.0.0.1:PORT", and
    naming a proxy that is not there (the PAC file comes first): the file
    is fetched, the card shows weather and every call went through the
    PAC file's proxy."""
    stub = stub_upstream.StubUpstream()
    proxy = StubProxy()
    pac = served(pac_file('return "PROXY 127.0.0.1:%d";' % proxy.port))
    c = harness.Checks()
    try:
        with pac, windows_7_card(name, stub, c, proxy="127.0.0.1:1",
                                 pac="http://127.0.0.1:%d/proxy.pac" % pac.port) as card:
            shows_weather_through(c, card, stub, proxy)
            c.true(len(pac.requests) > 0 and pac.requests[0].path == "/proxy.pac",
                   "the PAC file was fetched: %r" % [r.path for r in pac.requests])
    finally:
        proxy.close()
        stub.close()
    c.done()


def faulty_pac_file_leaves_the_named_proxy(name, script):
    """Windows 7, a PAC file running `script`, and a named proxy: the
    service stays up, the card shows weather, and every call went through
    the named proxy."""
    stub = stub_upstream.StubUpstream()
    proxy = StubProxy()
    pac = served(pac_file(script))
    c = harness.Checks()
    try:
        with pac, windows_7_card(name, stub, c, proxy="127.0.0.1:%d" % proxy.port,
                                 pac="http://127.0.0.1:%d/proxy.pac" % pac.port) as card:
            shows_weather_through(c, card, stub, proxy)
            c.true(len(pac.requests) > 0, "the PAC file was fetched")
            c.eq(service_log(card).count("listening on"), 1, "one start of the service, no crash")
    finally:
        proxy.close()
        stub.close()
    c.done()


def case_windows_7_pac_file_that_throws_leaves_the_named_proxy(name):
    """FindProxyForURL throws."""
    faulty_pac_file_leaves_the_named_proxy(name, 'throw "no proxy for " + host;')


def case_windows_7_pac_file_that_never_returns_leaves_the_named_proxy(name):
    """FindProxyForURL loops for ever: the service stops waiting for it."""
    faulty_pac_file_leaves_the_named_proxy(name, "for (;;) {}")


def case_windows_7_pac_file_answering_nonsense_goes_direct(name):
    """Windows 7, a PAC file answering nonsense (not "PROXY ..." nor
    "DIRECT") and no named proxy: the service stays up, the card shows
    weather, and the calls went straight to the source."""
    stub = stub_upstream.StubUpstream()
    pac = served(pac_file('return "NO SUCH THING " + url;'))
    c = harness.Checks()
    try:
        with pac, windows_7_card(name, stub, c, pac="http://127.0.0.1:%d/proxy.pac" % pac.port) as card:
            c.true(card.wait_text("txtTemp", "ne", b"", 20000)[0], "weather shown: %r" % service_log(card)[-600:])
            c.true(stub.calls > 0, "the source was asked")
            c.true(len(pac.requests) > 0, "the PAC file was fetched")
            c.eq(service_log(card).count("listening on"), 1, "one start of the service, no crash")
    finally:
        stub.close()
    c.done()


def case_windows_7_settings_changed_while_running_are_taken(name):
    """Windows 7, Internet settings naming a proxy that resets every
    connection: no weather. The settings then name a working proxy (as when
    a laptop moves from one office to another): after a failed call the
    service reads them again and the card shows weather, with the same card
    and the same service still running, every call the source saw through
    the new proxy."""
    stub = stub_upstream.StubUpstream()
    broken = resetting_proxy()
    proxy = StubProxy()
    c = harness.Checks()
    try:
        with broken, windows_7_card(name, stub, c, proxy="127.0.0.1:%d" % broken.port) as card:
            c.true(len(broken.wait_requests(1, 20)) > 0, "the first proxy was asked")
            ok, line = card.wait_text("txtDay1", "ne", b"", 15000)
            c.true(ok, "the card says what is wrong: %r" % line)
            card.screenshot(name + "-through-the-resetting-proxy")
            c.eq(card.text("txtTemp"), b"", "no weather through it")
            c.eq(stub.calls, 0, "nothing reached the source")
            pids = service_pids(card)
            set_internet_settings(card, c, proxy="127.0.0.1:%d" % proxy.port, change=2)
            shows_weather_through(c, card, stub, proxy, within=90000)
            c.true(card.card.poll() is None, "the same card")
            c.eq(service_pids(card), pids, "the same service")
            card.screenshot()
    finally:
        proxy.close()
        stub.close()
    c.done()


def case_windows_7_proxy_asking_for_a_password_is_said(name):
    """Windows 7, Internet settings naming a proxy that answers 407 for
    ever: the card's forecast line says "The proxy asks for a password" and
    the source sees no call."""
    stub = stub_upstream.StubUpstream()
    proxy = StubProxy(ask_password=True)
    c = harness.Checks()
    try:
        with windows_7_card(name, stub, c, proxy="127.0.0.1:%d" % proxy.port) as card:
            ok, line = card.wait_text("txtDay1", "contains", PROXY_LINE.encode(), 20000)
            c.true(ok, "the forecast line says so: %r" % line)
            c.true(len(proxy.seen) > 0, "the proxy was asked")
            c.eq(stub.calls, 0, "the source saw no call")
    finally:
        proxy.close()
        stub.close()
    c.done()
