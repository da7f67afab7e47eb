#!/usr/bin/python3
"""cloudwick-feed behind a company proxy, in a network namespace of its own:
a stub proxy carries every call to a stub Open-Meteo when --proxy names it,
and when http_proxy does; --no-proxy passes it by. A proxy that answers 407
gives "The proxy asks for a password" as the reply's first line, the log
names the proxy, and the call budget is unchanged.

    proxy_test.py CLOUDWICK_FEED        (exit 77: cannot make a namespace)
"""
import json
import urllib.error
import urllib.parse
import os
import socket
import subprocess
import sys
import time
import urllib.request

from tests.support import netns, stub_upstream
from tests.support.local_ports import free_port
from tests.support.stub_proxy import DIRECT, PROXY_LINE, StubProxy

SPRINGFIELD_IL = 4250542


class Service:
    def __init__(self, exe, stub, args=(), env=None):
        self.port = free_port()
        self.err = open(os.path.join(os.environ.get("TMPDIR", "/tmp"), "proxy_test.%d.%d.log" % (os.getpid(), self.port)),
                        "w+b")
        clean = {k: v for k, v in os.environ.items() if "proxy" not in k.lower()}
        clean.update(env or {})
        self.proc = subprocess.Popen([exe, "--listen", "127.0.0.1:%d" % self.port, "--forecast-url", stub.forecast_url,
                                      "--geocoding-url", stub.geocoding_url, "--nominatim-url", "off"] + list(args),
                                     env=clean, stdout=subprocess.DEVNULL, stderr=self.err)
        end = time.time() + 20
        while time.time() < end:
            try:
                socket.create_connection(("127.0.0.1", self.port), 0.5).close()
                return
            except OSError:
                if self.proc.poll() is not None:
                    break
                time.sleep(0.05)
        raise AssertionError("cloudwick-feed did not listen: %s" % self.log())

    def get(self, path):
        try:
            with DIRECT.open("http://127.0.0.1:%d%s" % (self.port, path), timeout=30) as r:
                return r.status, r.read().decode("latin-1")
        except urllib.error.HTTPError as e:
            return e.code, e.read().decode("latin-1")

    def log(self):
        self.err.flush()
        self.err.seek(0)
        return self.err.read().decode("latin-1")

    def used_today(self):
        return json.loads(self.get("/health")[1])["gate"]["calls_used"]["day"]

    def close(self):
        self.proc.terminate()
        self.proc.wait(timeout=10)
        self.err.close()


def main(exe):
    failures = []

    def check(cond, what):
        if not cond:
            failures.append(what)

    stub = stub_upstream.StubUpstream()
    try:
        # --proxy, and http_proxy from the environment: every call goes through.
        for how, args, env in (("--proxy", ["--proxy", "127.0.0.1:%d"], None),
                               ("http_proxy", [], {"http_proxy": "http://127.0.0.1:%d"})):
            proxy = StubProxy()
            args = [a % proxy.port if "%d" in a else a for a in args]
            env = {k: v % proxy.port for k, v in (env or {}).items()}
            before = stub.calls
            svc = Service(exe, stub, args, env)
            try:
                status, body = svc.get("/forecastrss?w=%d" % SPRINGFIELD_IL)
                check(status == 200 and "<rss" in body, "%s: the forecast (%d %r)" % (how, status, body[:80]))
                calls = stub.calls - before
                check(calls > 0 and len(proxy.seen) == calls,
                      "%s: every one of the %d upstream calls went through the proxy (%r)" % (how, calls, proxy.seen))
                check(all(p.startswith(stub.forecast_url.rsplit("/v1", 1)[0]) for p in proxy.seen),  # absolute form
                      "%s: the proxy was asked for the source's URLs: %r" % (how, proxy.seen))
            finally:
                svc.close()
                proxy.close()

        # --no-proxy passes it by.
        proxy = StubProxy()
        svc = Service(exe, stub, ["--proxy", "127.0.0.1:%d" % proxy.port, "--no-proxy", "127.0.0.1"])
        try:
            status, _ = svc.get("/forecastrss?w=%d" % SPRINGFIELD_IL)
            check(status == 200 and proxy.seen == [], "--no-proxy: straight to the source (%d, %r)" % (status, proxy.seen))
        finally:
            svc.close()
            proxy.close()

        # A proxy that wants a password, for ever.
        proxy = StubProxy(ask_password=True)
        before = stub.calls
        svc = Service(exe, stub, ["--proxy", "127.0.0.1:%d" % proxy.port])
        try:
            for attempt in range(3):
                status, body = svc.get("/forecastrss?w=%d" % SPRINGFIELD_IL)
                check(status == 503 and body.split("\n", 1)[0].strip() == PROXY_LINE,
                      "407, try %d: the reply's first line is the proxy's line (%d %r)" % (attempt, status, body[:80]))
            status, body = svc.get("/v1/public/yql?q=" + urllib.parse.quote(
                'select * from geo.places where text="Springfield"'))
            check(PROXY_LINE in body, "a search says so too (%d %r)" % (status, body[:120]))
            check(len(proxy.seen) >= 1, "the proxy was asked")
            check(stub.calls == before, "the source never saw a call")
            check(svc.used_today() == 0, "the budget is unchanged: %r" % svc.used_today())
            time.sleep(0.3)
            check("(proxy 127.0.0.1:%d)" % proxy.port in svc.log(), "the log names the proxy: %r" % svc.log()[-600:])
        finally:
            svc.close()
            proxy.close()
    finally:
        stub.close()
    for f in failures:
        print("FAIL:", f)
    print("FAIL" if failures else "PASS")
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print(__doc__)
        sys.exit(2)
    if os.environ.get("PROXY_TEST_NETNS") != "1":
        if not os.path.isfile(sys.argv[1]):
            print("SKIP: %s is not built" % sys.argv[1])
            sys.exit(77)
        sys.exit(netns.rerun_inside([os.path.abspath(__file__)] + sys.argv[1:], "PROXY_TEST_NETNS"))
    netns.loopback_up()
    sys.exit(main(sys.argv[1]))
