#!/usr/bin/python3
"""Soak of cloudwick-feed.exe under Wine: its size, its CPU while idle, and
its memory while serving a card for 1000 refreshes.

    sudo python3 -m bench.feed_exe.soak [path/to/cloudwick-feed.exe]   (default build/win/cloudwick-feed.exe)

from the repository's root.

Runs in a network namespace of its own (root), with a Wine prefix of its
own and a stub Open-Meteo on loopback (service/tests/wine). Each refresh
is the card's request on a new connection: the weather in both units in
turn, and a place search every tenth time (ROUNDS=3 in the environment
runs three times as many, to tell growth from a leak). Prints the figures; not part of
ctest, since they depend on the machine.

Memory is read from Linux (/proc/PID of the exe's process). "Private
bytes" is its anonymous resident memory, which is what Wine reports to
Windows programs as the process's private bytes; it includes Wine's own
heaps beside the program's. The growth over the 1000 refreshes is the
program's.
"""
import os
import sys
import time

from tests.support.feed_wine import (Machine, accepts, card_request, exchange, in_private_network, loopback_up,
                                      rerun_in_private_network, status_of)
from tests.support.stub_upstream import StubUpstream
from tests.support.waiting import wait_for

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

TICK = os.sysconf("SC_CLK_TCK")
ROUNDS = int(os.environ.get("ROUNDS", "1"))  # of 1000 refreshes each
SEARCH = b"/v1/public/yql?q=select%20*%20from%20geo.places%20where%20text%20%3D%20'Springfield'"


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def memory_kb(pid):
    """(anonymous resident memory, all private pages), in KB. Wine reports
    the first to Windows as the process's private bytes (heaps, stacks);
    the second adds the private copies of the DLLs' pages."""
    out = {}
    for name in ("/proc/%d/status" % pid, "/proc/%d/smaps_rollup" % pid):
        with open(name) as f:
            for line in f:
                parts = line.split()
                if len(parts) >= 2 and parts[1].isdigit():
                    out[parts[0].rstrip(":")] = int(parts[1])
    return out["RssAnon"], out["Private_Clean"] + out["Private_Dirty"]


def wineserver_pid(prefix):
    for d in os.listdir("/proc"):
        if not d.isdigit():
            continue
        try:
            with open("/proc/%s/comm" % d) as f:
                if f.read().strip() != "wineserver":
                    continue
            with open("/proc/%s/environ" % d, "rb") as f:
                if ("WINEPREFIX=%s" % prefix).encode() in f.read().split(b"\0"):
                    return int(d)
        except OSError:
            continue
    return None


def main(exe):
    print("cloudwick-feed.exe: %s" % exe)
    print("  size                        %8d bytes (%.0f KB)" % (os.path.getsize(exe), os.path.getsize(exe) / 1024))
    stub = StubUpstream()
    with Machine("soak", exe) as m:
        # Port 80 of the bench's own namespace, so the requests know where to go.
        m.write_conf("listen=127.0.0.1:80\nforecast-url=%s\ngeocoding-url=%s\nnominatim-url=%s\n"
                     % (stub.forecast_url, stub.geocoding_url, stub.nominatim_url))
        m.feed()
        if not wait_for(lambda: accepts(80), 60):
            print("the service did not start; log:\n" + m.log())
            return 1
        pid = m.feed_pids()[0]
        server = wineserver_pid(m.prefix)
        exchange(80, card_request(b"/forecastrss?w=4250542"))
        time.sleep(2)  # let start-up settle before measuring idle

        idle_for = 5.0
        c0, s0 = cpu_seconds(pid), cpu_seconds(server) if server else 0
        time.sleep(idle_for)
        c1, s1 = cpu_seconds(pid), cpu_seconds(server) if server else 0
        print("  idle CPU over %.0f s          %8.2f s (exe), %.2f s (its wineserver)" % (idle_for, c1 - c0, s1 - s0))

        before, rss_before = memory_kb(pid)
        print("  private bytes, idle         %8d KB (all private pages %d KB)" % (before, rss_before))
        for round_ in range(1, ROUNDS + 1):
            t0 = time.time()
            bad = 0
            for i in range(1000):
                target = SEARCH if i % 10 == 9 else b"/forecastrss?w=4250542" + (b"&u=c" if i % 2 else b"")
                bad += status_of(exchange(80, card_request(target))) != 200
            took = time.time() - t0
            after, rss_after = memory_kb(pid)
            print("  %5d refreshes             %8.2f s, %d not 200" % (round_ * 1000, time.time() - t0, bad))
            print("  private bytes, after %5d  %8d KB (all private pages %d KB), growth %d KB"
                  % (round_ * 1000, after, rss_after, after - before))
        c2 = cpu_seconds(pid)
        time.sleep(idle_for)
        print("  idle CPU after the soak     %8.2f s over %.0f s" % (cpu_seconds(pid) - c2, idle_for))
    stub.close()
    return 0


if __name__ == "__main__":
    exe = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "win", "cloudwick-feed.exe"))
    if not os.path.isfile(exe):
        print("soak: no cloudwick-feed.exe at %s; build first (tools/build.sh)" % exe)
        sys.exit(1)
    if not in_private_network():
        sys.exit(rerun_in_private_network(["-m", "bench.feed_exe.soak", exe]))
    loopback_up()
    sys.exit(main(exe))
