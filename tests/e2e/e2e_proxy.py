"""The card's service behind a company proxy, under Wine: a stub proxy in
the case's namespace, named by proxy= in cloudwick-feed.conf, carries every
call to the stub Open-Meteo and the card shows weather; a proxy that
answers 407 for ever puts the proxy's line on the card and in a search,
and the service's call budget is unchanged."""
import json
import os
import sys
import time

import harness
from harness import OPTIONS
from e2e_local_service import SPRINGFIELD_IL, card_with_service, service_log, stub_upstream

sys.path.insert(0, os.path.join(harness.REPO, "service", "tests"))
from proxy_test import DIRECT, PROXY_LINE, StubProxy  # noqa: E402

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
