#!/usr/bin/python3
"""cloudwick-feed.exe under Wine, each case in a network namespace and a
Wine prefix of its own, against a stub Open-Meteo on loopback.

    run_wine_tests.py CASE      (CASE: a case_* name below, without "case_")

Environment: FEED_EXE (cloudwick-feed.exe), FEED_PARENT_STUB
(feed_parent_stub.exe), FEED_LINUX (the Linux cloudwick-feed), FEED_WINE_WORK,
and PYTHONPATH the repository's root (CTest sets them all).
Exit codes: 0 pass, 1 fail, 77 skipped (a program or Wine is missing).
"""
import os
import re
import resource
import socket
import subprocess
import sys
import time
import traceback

from tests.support.feed_wine import (SKIP, Machine, Skip, accepts, card_request, exchange, in_private_network,
                                      loopback_up, need_file, need_tools, rerun_in_private_network, status_of)
from tests.support.stub_upstream import StubUpstream
from tests.support.waiting import wait_for

FIXED = "2026-12-08T15:50"
SEARCH = b"/v1/public/yql?q=select%20*%20from%20geo.places%20where%20text%20%3D%20"


class Checks:
    def __init__(self):
        self.failures = []

    def true(self, cond, what):
        if not cond:
            self.failures.append(what)
        return bool(cond)

    def eq(self, got, want, what):
        return self.true(got == want, "%s: got %r, want %r" % (what, got, want))

    def done(self):
        if self.failures:
            raise AssertionError("%d check(s) failed:\n  " % len(self.failures) + "\n  ".join(self.failures))


def exit_code(proc, timeout):
    try:
        return proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        return None


def start_serving(machine, *args, port=80):
    # Without --listen the program takes a port of its own
    # (case_own_port_is_published); these cases ask for port 80 by name.
    if port == 80 and "--listen" not in args:
        args = args + ("--listen", "127.0.0.1:80")
    p = machine.feed(*args)
    if not wait_for(lambda: accepts(port) or p.poll() is not None, 60) or not accepts(port):
        raise AssertionError("cloudwick-feed.exe does not listen on %d (exit %r); log:\n%s"
                             % (port, p.poll(), machine.log()))
    return p


# ---- the same bytes as the Linux program ----

REQUESTS = [
    card_request(b"/forecastrss?w=4250542"),
    card_request(b"/forecastrss?w=4250542&u=c"),
    card_request(b"/forecastrss?w=4250542"),
    card_request(SEARCH + b"'Springfield'"),
    card_request(SEARCH + b"'Z\xfcrich'"),
    card_request(SEARCH + b"'Nowhere'"),
    card_request(SEARCH + b"'Eiffel%20Tower'"),
    card_request(b"/forecastrss?w=20000005013364&u=c"),
    card_request(b"/forecastrss?w=1584071&u=c"),
    card_request(b"/forecastrss?w=9000014"),
    card_request(SEARCH + b"'%C4%90%C3%A0%20L%E1%BA%A1t'"),
    card_request(b"/forecastrss?w=2657896&u=c"),
    card_request(b"/forecastrss?w=4409896"),
    card_request(b"/forecastrss?w=999"),
    card_request(b"/forecastrss?w=abc"),
    card_request(b"/forecastrss?w=%zz"),
    card_request(b"/forecastrss?w=" + b"1" * 3000),
    card_request(b"/nothing"),
    card_request(b"/forecastrss?w=4250542", method=b"HEAD"),
    card_request(b"/forecastrss?w=2657896", connection=b"close"),
]


# The Linux program reads a search's bytes as UTF-8 when they are valid
# UTF-8; the Windows program reads them in the machine's code page (1252 here).
READ_AS_UTF8_ON_LINUX_ONLY = [card_request(SEARCH + b"'%C4%90%C3%A0%20L%E1%BA%A1t'")]
# The Linux program writes names in ASCII; the Windows one in the machine's
# code page where the whole name fits it (the same length in 1252).
IN_CODE_PAGE_1252 = [(b"Zurich", b"Z\xfcrich"), (b"Europe/Z\xfcrich", b"Europe/Zurich"),  # a zone name is no name
                     (b"Ile-de-France", b"\xcele-de-France")]


def case_same_bytes_as_linux(name):
    linux = need_file("FEED_LINUX")
    c = Checks()
    stub = StubUpstream()
    try:
        for provider in ("open-meteo", "sample"):
            options = ["--provider", provider, "--fixed-time", FIXED, "--forecast-url", stub.forecast_url,
                       "--geocoding-url", stub.geocoding_url, "--nominatim-url", stub.nominatim_url]
            with Machine(name + "-" + provider, need_file("FEED_EXE")) as m:
                start_serving(m, *options)
                lin = subprocess.Popen([linux, "--listen", "127.0.0.1:8081"] + options,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                try:
                    wait_for(lambda: accepts(8081), 10)
                    for req in REQUESTS:
                        win_raw, lin_raw = exchange(80, req), exchange(8081, req)
                        what = "%s %s" % (provider, req.split(b"\r\n")[0][:70].decode("latin-1"))
                        c.true(status_of(lin_raw) != 0, what + ": the Linux program answers")
                        if req in READ_AS_UTF8_ON_LINUX_ONLY:
                            c.eq(status_of(win_raw), 200, what)
                            continue
                        # Names that fit the Windows machine's code page (1252) are written in it.
                        for ascii_name, cp1252_name in IN_CODE_PAGE_1252:
                            lin_raw = lin_raw.replace(ascii_name, cp1252_name)
                        c.eq(win_raw, lin_raw, what)
                        print("%s: %d, %d bytes" % (what, status_of(win_raw), len(win_raw)))
                    doc = exchange(80, REQUESTS[1])
                    c.true(b"<yweather:forecast day=" in doc and len(doc) > 2000, provider + ": a whole document")
                    if provider == "open-meteo":  # zones from the built-in table, names without icu.dll
                        for target, wants in ((b"/forecastrss?w=1584071&u=c", (b"Da Lat, VN", b"9:45 am GMT+7<")),
                                              (b"/forecastrss?w=9000014", (b"Bei Jing Shi, CN", b"9:45 am CST<")),
                                              (b"/forecastrss?w=4250542", (b"9:45 am CST<",)),
                                              (b"/forecastrss?w=20000005013364&u=c", (b"Paris, FR", b"9:45 am CET<")),
                                              (SEARCH + b"'Eiffel%20Tower'", (b"<woeid>20000005013364<", b"ODbL"))):
                            got = exchange(80, card_request(target))
                            for want in wants:
                                c.true(want in got, "%s has %s" % (target.decode(), want.decode()))
                finally:
                    lin.kill()
                    lin.wait()
    finally:
        stub.close()
    c.done()


# ---- options: file and command line ----

def case_options_file_and_command_line(name):
    c = Checks()
    with Machine(name, need_file("FEED_EXE")) as m:
        m.write_conf("\ufeff# written by Notepad\r\nprovider = sample\r\nlisten=127.0.0.1:8085\r\n")
        p = start_serving(m, port=8085)
        c.eq(status_of(exchange(8085, card_request(b"/forecastrss?w=2950159"))), 200, "the file's port and provider")
        c.true(not accepts(80), "nothing on port 80")
        p.kill()
        p.wait()
        m.close()

        start_serving(m, "--listen", "127.0.0.1:8086", port=8086)
        c.true(b"Berlin" in exchange(8086, card_request(b"/forecastrss?w=2950159")), "the command line's port wins")
        c.true(not accepts(8085), "the file's port is not used")
        c.true("options file" in m.log(), "the options file is logged at start")
        m.close()

        m.write_conf("provider=sample\nverbose=1\n")
        c.eq(exit_code(m.feed(), 60), 2, "an unknown name in the file")
        c.true("cloudwick-feed.conf line 2: unknown option name \"verbose\"" in m.log(), "the log says why")
        m.write_conf("")
        c.eq(exit_code(m.feed("--threads", "many"), 60), 2, "a bad command line")
        helped = m.feed("--help")
        c.eq(exit_code(helped, 60), 0, "--help")
        c.true(b"--parent-pid N" in helped.stdout.read(), "--help lists the options")
        c.true("--threads wants a number" in m.log(), "the log says why")
    c.done()


# ---- one copy per machine; a port in use ----

def case_second_copy_exits(name):
    c = Checks()
    with Machine(name, need_file("FEED_EXE")) as m:
        start_serving(m, "--provider", "sample")
        t0 = time.time()
        c.eq(exit_code(m.feed("--provider", "sample", "--listen", "127.0.0.1:8087"), 60), 3, "the second copy's exit")
        c.true(time.time() - t0 < 30, "it exits at once")
        c.true(not accepts(8087), "the second copy never listened")
        c.true("another cloudwick-feed from this folder is already running" in m.log(), "the log says why")
        c.eq(status_of(exchange(80, card_request(b"/forecastrss?w=4250542"))), 200, "the first copy serves on")
    c.done()


def case_port_in_use(name):
    c = Checks()
    taken = socket.socket()
    taken.bind(("127.0.0.1", 80))
    taken.listen(1)
    try:
        with Machine(name, need_file("FEED_EXE")) as m:
            c.eq(exit_code(m.feed("--provider", "sample", "--listen", "127.0.0.1:80"), 60), 1,
                 "exit when the port --listen names is taken")
            c.true("cannot listen on 127.0.0.1:80" in m.log(), "the log says so: %r" % m.log()[-300:])
            m.close()
            # Without --listen, port 80 is none of its business.
            p = m.feed("--provider", "sample")
            port = wait_for_port(m, p)
            c.true(port not in (0, 80), "a port of its own: %r" % port)
            c.eq(status_of(exchange(port, card_request(b"/forecastrss?w=4250542"))), 200, "served there")
    finally:
        taken.close()
    c.done()


def listen_port(machine):
    """The port the log says the program listens on, or 0."""
    found = re.findall(r"listening on 127\.0\.0\.1:(\d+)", machine.log())
    return int(found[-1]) if found else 0


def wait_for_port(machine, p):
    wait_for(lambda: listen_port(machine) or p.poll() is not None, 60)
    port = listen_port(machine)
    if port:
        wait_for(lambda: accepts(port), 10)
    return port


def case_own_port_is_published(name):
    """Started by hand without --listen: 127.0.0.1 on a port the system
    picks, told in the log (and to the user's cards); nothing on port 80."""
    c = Checks()
    with Machine(name, need_file("FEED_EXE")) as m:
        p = m.feed("--provider", "sample")
        port = wait_for_port(m, p)
        c.true(port not in (0, 80), "a port of its own: %r (log %r)" % (port, m.log()[-300:]))
        c.true(not accepts(80), "nothing on port 80")
        c.eq(status_of(exchange(port, card_request(b"/forecastrss?w=4250542"))), 200, "the card's request is served")
        c.true("started by hand" in m.log(), "started by hand")
        c.true("cannot tell the cards" not in m.log(), "the port is published")
    c.done()


def case_log_keeps_its_last_part(name):
    c = Checks()
    with Machine(name, need_file("FEED_EXE")) as m:
        old = b"".join(b"old line %07d\n" % i for i in range(65000))  # just over 1 MiB
        with open(os.path.join(m.app, "cloudwick-feed.log"), "wb") as f:
            f.write(old)
        start_serving(m, "--provider", "sample")
        exchange(80, card_request(b"/forecastrss?w=4250542"))
        ok = wait_for(lambda: "/forecastrss?w=4250542" in m.log(), 10)
        log = m.log()
        lines = log.split("\n")
        c.true(ok, "the request is logged")
        c.true(len(log) <= 257 * 1024, "cut to its last part: %d bytes" % len(log))
        c.true(re.match(r"old line \d{7}$", lines[0]), "it starts with a whole line: %r" % lines[0])
        c.true("old line 0064999\n" in log, "the newest old lines are kept")
        c.true("listening on 127.0.0.1:80" in log, "then the new lines")
    c.done()


# ---- --parent-pid ----

def parent_and_service(m, *extra):
    stub = m.start("feed_parent_stub.exe", ["cloudwick-feed.exe"] + list(extra) + ["--provider", "sample"],
                   stdin=subprocess.PIPE)
    line = stub.stdout.readline().decode("latin-1").strip()
    if not line.startswith("started "):
        raise AssertionError("the card's stand-in could not start the service: %r" % line)
    # A card's service listens on a port of its own, told in its log.
    if not wait_for(lambda: listen_port(m) and accepts(listen_port(m)), 60):
        raise AssertionError("the service does not listen; log:\n" + m.log())
    stub.port = listen_port(m)
    return stub


def gone_within(m, seconds, port):
    t0 = time.time()
    gone = wait_for(lambda: not m.feed_pids() and not accepts(port), seconds + 10)
    return gone, time.time() - t0


def case_ends_when_its_parent_is_killed(name):
    c = Checks()
    with Machine(name, need_file("FEED_EXE"), need_file("FEED_PARENT_STUB")) as m:
        stub = parent_and_service(m)
        c.true(m.feed_pids(), "the service process is found")
        stub.kill()  # as a crash or Task Manager would end the card
        gone, took = gone_within(m, 5, stub.port)
        c.true(gone and took < 5, "the service is gone %.1f s after its parent was killed" % took)
        c.true("has ended; stopping" in m.log(), "the log says why")
    c.done()


def case_ends_when_its_parent_exits(name):
    c = Checks()
    with Machine(name, need_file("FEED_EXE"), need_file("FEED_PARENT_STUB")) as m:
        stub = parent_and_service(m)
        stub.stdin.close()  # the stand-in exits normally
        stub.wait(timeout=30)
        gone, took = gone_within(m, 5, stub.port)
        c.true(gone and took < 5, "the service is gone %.1f s after its parent exited" % took)
    c.done()


def case_started_by_hand_keeps_running(name):
    c = Checks()
    with Machine(name, need_file("FEED_EXE"), need_file("FEED_PARENT_STUB")) as m:
        stub = parent_and_service(m, "--by-hand")
        stub.kill()
        time.sleep(6)  # longer than a started service may outlive its parent
        c.eq(status_of(exchange(stub.port, card_request(b"/forecastrss?w=4250542"))), 200, "still serving")
        c.true("started by hand" in m.log(), "logged as started by hand")
        m.close()
        c.eq(exit_code(m.feed("--parent-pid", "123456"), 60), 4, "a parent that is not running")
    c.done()


# ---- clients that misbehave ----

def case_bad_clients_do_not_block_the_card(name):
    c = Checks()
    with Machine(name, need_file("FEED_EXE")) as m:
        start_serving(m, "--provider", "sample")
        exchange(80, card_request(b"/forecastrss?w=4250542"))  # warm the cache
        idle = []
        for _ in range(1000):
            s = socket.create_connection(("127.0.0.1", 80), 10)
            idle.append(s)
        half = []
        for _ in range(20):
            s = socket.create_connection(("127.0.0.1", 80), 10)
            s.sendall(card_request(b"/forecastrss?w=4250542")[:40])
            half.append(s)
        for junk in (b"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03" * 50, b"GET / HTTP/9\r\n\r\n",
                     b"GET /" + b"x" * 20000):
            s = socket.create_connection(("127.0.0.1", 80), 10)
            s.sendall(junk)
            half.append(s)
        t0 = time.time()
        reply = exchange(80, card_request(b"/forecastrss?w=4250542"))
        took = time.time() - t0
        c.eq(status_of(reply), 200, "the card's request among 1000 idle and 23 bad connections")
        c.true(took < 3, "answered in %.2f s" % took)

        def closed(s):
            s.settimeout(0.05)
            try:
                return s.recv(65536) == b"" or False
            except socket.timeout:
                return False
            except OSError:
                return True
        # An incomplete request is dropped within its 5 s (slack for Wine).
        t0 = time.time()
        c.true(wait_for(lambda: all(closed(s) for s in half[:20]), 12), "incomplete requests are dropped")
        c.true(time.time() - t0 < 12, "within %.1f s" % (time.time() - t0))
        c.true(wait_for(lambda: all(closed(s) for s in idle[-50:]), 10), "idle connections are closed")
        for s in idle + half:
            s.close()
        c.eq(status_of(exchange(80, card_request(b"/forecastrss?w=4250542"))), 200, "and the service serves on")
    c.done()


def case_slow_upstream_times_out(name):
    c = Checks()
    stub = StubUpstream()
    stub.delay = 4
    try:
        with Machine(name, need_file("FEED_EXE")) as m:
            m.write_conf("forecast-url=%s\ngeocoding-url=%s\nnominatim-url=%s\nupstream-timeout-ms=500\n"
                         % (stub.forecast_url, stub.geocoding_url, stub.nominatim_url))
            start_serving(m)
            t0 = time.time()
            reply = exchange(80, card_request(b"/forecastrss?w=4250542"))
            took = time.time() - t0
            c.eq(status_of(reply), 503, "nothing cached and no answer in time")
            c.true(took < 3, "WinHTTP gave up in %.2f s" % took)
    finally:
        stub.close()
    c.done()


def case_web_pages_and_smuggled_requests_are_refused(name):
    c = Checks()
    stub = StubUpstream()
    try:
        with Machine(name, need_file("FEED_EXE")) as m:
            m.write_conf("forecast-url=%s\ngeocoding-url=%s\nnominatim-url=%s\n"
                         % (stub.forecast_url, stub.geocoding_url, stub.nominatim_url))
            start_serving(m)

            def with_header(request, header):
                return request[:-2] + header + b"\r\n\r\n"
            for target in (b"/forecastrss?w=4250542", SEARCH + b"'Springfield'"):
                card = card_request(target)
                for what, request, first_line in (
                        ("Host: evil.example", card.replace(b"Host: localhost", b"Host: evil.example"),
                         b"Not for this host name"),
                        ("Origin", with_header(card, b"Origin: http://evil.example"), b"Not for web pages"),
                        ("Referer", with_header(card, b"Referer: http://evil.example/"), b"Not for web pages"),
                        ("Sec-Fetch-Site: cross-site", with_header(card, b"Sec-Fetch-Site: cross-site"),
                         b"Not for web pages")):
                    reply = exchange(80, request)
                    c.eq(status_of(reply), 403, "%s: 403" % what)
                    c.true(reply.partition(b"\r\n\r\n")[2].startswith(first_line + b"\n"),
                           "%s: the reason first (%r)" % (what, reply[-40:]))
            c.eq(stub.calls, 0, "no upstream call for a refused request")
            # A second request in a GET's body: one reply (400), then the connection ends.
            inner = b"GET /health HTTP/1.1\r\nHost: localhost\r\nX: 123456789012\r\n\r\n"
            s = socket.create_connection(("127.0.0.1", 80), 10)
            s.sendall(b"GET /forecastrss?w=4250542 HTTP/1.1\r\nHost: localhost\r\nContent-Length: %d\r\n\r\n"
                      % len(inner) + inner)
            got = b""
            s.settimeout(5)
            try:
                while True:
                    chunk = s.recv(65536)
                    if not chunk:
                        break
                    got += chunk
            except OSError:
                pass
            s.close()
            c.eq(got.count(b"HTTP/1.1 "), 1, "one reply to a request with a body")
            c.eq(status_of(got), 400, "and it is 400")
            big = exchange(80, b"GET / HTTP/1.1\r\nHost: localhost\r\nX: " + b"a" * 9000 + b"\r\n\r\n")
            c.eq(status_of(big), 431, "a head over 8 KB: 431")
            c.eq(status_of(exchange(80, card_request(b"/forecastrss?w=4250542"))), 200, "the card's own request")
            c.true(stub.calls > 0, "reaches the source")
            c.true(wait_for(lambda: "reason=\"Not for web pages\"" in m.log(), 5), "refusals are logged with why")
    finally:
        stub.close()
    c.done()


# ---- the card's code page; the state folder ----

def stub_conf(stub):
    return ("forecast-url=%s\ngeocoding-url=%s\nnominatim-url=%s\nfixed-time=%s\n"
            % (stub.forecast_url, stub.geocoding_url, stub.nominatim_url, FIXED))


def locale_machine(name, lang):
    """A machine whose Windows runs in `lang` (its ANSI code page follows)."""
    if lang != "en_US.UTF-8":
        have = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.lower().split()
        if lang.lower().replace("utf-8", "utf8") not in have:
            raise Skip("the %s locale is not installed (tools/setup.sh makes it)" % lang)
    m = Machine(name, need_file("FEED_EXE"))
    m.env["LANG"] = m.env["LC_ALL"] = lang
    return m


def locality(reply):
    """The first place's id and town name, as the card reads them."""
    woeid = re.search(rb"<woeid>(\d+)</woeid>", reply)
    town = re.search(rb'<locality1 type="Town" woeid="\d+">([^<]*)</locality1>', reply)
    return (woeid.group(1) if woeid else None, town.group(1) if town else None)


def case_cyrillic_search_in_code_page_1251(name):
    """A Russian Windows: "Moskva" typed in Cyrillic reaches the service in
    code page 1251, finds Moscow, and the name comes back in Cyrillic."""
    c = Checks()
    stub = StubUpstream()
    try:
        with locale_machine(name, "ru_RU.UTF-8") as m:
            m.write_conf(stub_conf(stub))
            start_serving(m)
            moscow = "\u041c\u043e\u0441\u043a\u0432\u0430"
            reply = exchange(80, card_request(SEARCH + b"'" + moscow.encode("cp1251") + b"'"))
            c.eq(status_of(reply), 200, "the search")
            c.eq(locality(reply), (b"524901", moscow.encode("cp1251")), "Moscow, named in code page 1251")
            doc = exchange(80, card_request(b"/forecastrss?w=524901&u=c"))
            c.true(b"<title>Cloudwick Feed - " + moscow.encode("cp1251") + b", RU</title>" in doc,
                   "the card's title in Cyrillic")
            # A name with a letter outside the code page is written in ASCII, whole.
            zurich = exchange(80, card_request(b"/forecastrss?w=2657896"))
            c.true(b"<title>Cloudwick Feed - Zurich, CH</title>" in zurich, "Zurich transliterated")
            print("Moscow:", locality(reply))
    finally:
        stub.close()
    c.done()


def case_accented_search_in_code_page_1252(name):
    """A Western Windows: "Zurich" typed with its u-umlaut in code page
    1252 comes back with it; a name with letters 1252 lacks comes back in
    ASCII."""
    c = Checks()
    stub = StubUpstream()
    try:
        with locale_machine(name, "en_US.UTF-8") as m:
            m.write_conf(stub_conf(stub))
            start_serving(m)
            reply = exchange(80, card_request(SEARCH + b"'Z\xfcrich'"))
            c.eq(locality(reply), (b"2657896", b"Z\xfcrich"), "Zurich with its umlaut, in code page 1252")
            c.true(b"<title>Cloudwick Feed - Z\xfcrich, CH</title>" in exchange(80, card_request(b"/forecastrss?w=2657896")),
                   "the card's title with its umlaut")
            c.true(b"Da Lat, VN" in exchange(80, card_request(b"/forecastrss?w=1584071")), "Da Lat in ASCII")
    finally:
        stub.close()
    c.done()


def case_last_weather_after_a_restart_offline(name):
    """The service keeps the last good forecast in cloudwick-feed-state
    beside itself; started again with the source unreachable, it serves it
    at once, unchanged, marked stale."""
    c = Checks()
    stub = StubUpstream()
    with Machine(name, need_file("FEED_EXE")) as m:
        m.write_conf(stub_conf(stub))
        p = start_serving(m)
        good = exchange(80, card_request(b"/forecastrss?w=4250542"))
        c.eq(status_of(good), 200, "weather from the source")
        folder = os.path.join(m.app, "cloudwick-feed-state")
        c.true(wait_for(lambda: os.path.isdir(folder) and any(f.startswith("place-") for f in os.listdir(folder)), 10),
               "the forecast is kept beside the program")
        c.true(not any(f.endswith(".new") for f in os.listdir(folder)), "no half-written file is left")
        p.kill()
        p.wait()
        m.close()
        stub.close()  # the source is gone: connections are refused

        m.write_conf(stub_conf(stub).replace(FIXED, "2026-12-08T16:10"))  # 20 minutes on: no longer fresh
        start_serving(m)
        t0 = time.time()
        kept = exchange(80, card_request(b"/forecastrss?w=4250542"))
        took = time.time() - t0
        c.eq(status_of(kept), 200, "the kept forecast")
        c.true(b'\r\nWarning: 110 - "Response is Stale"\r\n' in kept, "marked stale")
        c.eq(kept.split(b"\r\n\r\n", 1)[1], good.split(b"\r\n\r\n", 1)[1], "the same document, with its own time")
        c.true(took < 2, "served in %.2f s" % took)
        other = exchange(80, card_request(b"/forecastrss?w=2950159"))
        c.eq(status_of(other), 503, "a place never fetched")
        reason = other.split(b"\r\n\r\n", 1)[1].split(b"\n")[0]
        c.true(reason in (b"Weather source unreachable", b"Weather source paused for 3 s",
                          b"Weather source paused for 2 s", b"Weather source paused for 1 s"), "the reason: %r" % reason)
    c.done()


def main(argv):
    if len(argv) != 2 or not callable(globals().get("case_" + argv[1])):
        print(__doc__)
        return 2
    try:
        if not in_private_network():
            need_tools()
            need_file("FEED_EXE")
            return rerun_in_private_network(argv)
        loopback_up()
        soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
        resource.setrlimit(resource.RLIMIT_NOFILE, (min(hard, 8192), hard))
        globals()["case_" + argv[1]](argv[1])
    except Skip as e:
        print("SKIP:", e)
        return SKIP
    except Exception:
        traceback.print_exc()
        print("FAIL:", argv[1])
        return 1
    print("PASS:", argv[1])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
