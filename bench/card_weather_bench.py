#!/usr/bin/env python3
"""Time from starting the card to its first weather, with the feed service
beside it: cold (no service running: the card starts it and waits for it to
listen) and warm (the service already running, the place cached), against a
bare window program in the same rounds.

    sudo python3 -m bench.card_weather_bench [--runs N] [--build DIR]   (from the repository's root)

Runs in a network namespace of its own with a stub Open-Meteo (the feed
service's Wine tests' stand-in) named in cloudwick-feed.conf, one Wine prefix
prepared as the end-to-end tests prepare theirs, and a private Xvfb display.
Each round starts bare_window.exe, a cold card and a warm card in turn; each
time runs from starting the process (wine) to the window shown (bare) or the
temperature shown (cards), read by the end-to-end tests' probe. The goal:
the cold median within 1.5 times the warm one. Not a test: the figures
depend on the machine. Exit 77 when an exe is missing.
"""
import argparse
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)

PLACE = ("4250542", "Springfield, IL")


def median(xs):
    xs = sorted(xs)
    n = len(xs)
    return xs[n // 2] if n % 2 else (xs[n // 2 - 1] + xs[n // 2]) / 2


def run(args):
    from tests.support import feed_wine, harness, netns, stub_upstream
    netns.loopback_up()
    os.environ["E2E_WORK"] = os.path.join(args.build, "bench-work")
    win = os.path.join(args.build, "win")
    stub = stub_upstream.StubUpstream()
    # Port 80 of the bench's own namespace, for the card's service and the
    # one started by hand alike, so the warm-up request knows where to go.
    conf = ("listen=127.0.0.1:80\r\nforecast-url=%s\r\ngeocoding-url=%s\r\n"
            % (stub.forecast_url, stub.geocoding_url)).encode()
    files = {"cloudwick-feed.exe": os.path.join(win, "cloudwick-feed.exe"), "cloudwick-feed.conf": conf,
             "bare_window.exe": os.path.join(win, "bare_window.exe")}
    try:
        with harness.Card("bench-weather", harness.conf_text(woeid=PLACE[0], name=PLACE[1]), start=False,
                          files=files) as card:
            def pids():
                return feed_wine.feed_pids(card.prefix)

            def start(exe):
                p = subprocess.Popen(["wine", os.path.join(card.app, exe)], env=card.env, cwd=card.app,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                card.procs.append(p)
                return p

            def to_weather():
                t0 = time.time()
                p = start("Cloudwick.exe")
                card.must("wait %s exists 60000" % harness.CARD, timeout=90)
                card.wait_controls(harness.CARD)  # the window exists before its labels
                ok, _ = card.wait_text("txtTemp", "ne", b"", 30000)
                took = time.time() - t0
                card.menu_command("exit")
                p.wait(timeout=30)
                return took if ok else None

            def bare():
                t0 = time.time()
                p = start("bare_window.exe")
                card.must("wait CloudwickBareWindow visible 60000", timeout=90)
                took = time.time() - t0
                card.must("send CloudwickBareWindow 16 0 0")  # WM_CLOSE
                p.wait(timeout=30)
                return took

            times = {"bare": [], "cold": [], "warm": []}
            for i in range(args.runs + 1):  # the first round warms Wine up and is not counted
                got = {"bare": bare()}
                harness.wait_for(lambda: not pids(), 15)
                got["cold"] = to_weather()
                # Warm: a service started by hand keeps running; the place is cached by the first card.
                harness.wait_for(lambda: not pids(), 15)
                service = start("cloudwick-feed.exe")
                harness.wait_for(lambda: feed_wine.accepts(80), 20)
                feed_wine.exchange(80, feed_wine.card_request(b"/forecastrss?w=" + PLACE[0].encode()))
                got["warm"] = to_weather()
                service.kill()
                service.wait()
                harness.wait_for(lambda: not pids(), 15)
                if i > 0:
                    for k, v in got.items():
                        if v is not None:
                            times[k].append(v)
                print("round %2d  bare %.2f s  cold %s  warm %s" % (
                    i, got["bare"], "%.2f s" % got["cold"] if got["cold"] else "no weather",
                    "%.2f s" % got["warm"] if got["warm"] else "no weather"), flush=True)
            print("\nstart to weather, medians of %d runs:" % args.runs)
            for k in ("bare", "cold", "warm"):
                print("  %-5s %6.2f s  (%d runs)" % (k, median(times[k]) if times[k] else float("nan"), len(times[k])))
            if times["cold"] and times["warm"]:
                print("  cold / warm = %.2f (goal: 1.5 or less)" % (median(times["cold"]) / median(times["warm"])))
    finally:
        stub.close()


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.path.join(REPO, "build"))
    ap.add_argument("--runs", type=int, default=20)
    ap.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    args = ap.parse_args()
    args.build = os.path.abspath(args.build)
    win = os.path.join(args.build, "win")
    needed = [os.path.join(win, n) for n in ("Cloudwick.exe", "cloudwick-feed.exe", "probe.exe", "bare_window.exe")]
    missing = [p for p in needed if not os.path.isfile(p)]
    if missing:
        print("skipped: missing %s (build with tools/build.sh)" % ", ".join(missing))
        return 77
    os.environ.setdefault("CLOUDWICK_EXE", needed[0])
    os.environ.setdefault("PROBE_EXE", needed[2])
    os.environ.setdefault("DESIGN_TABLES_JSON", os.path.join(args.build, "native", "tests", "e2e", "design_tables.json"))
    if not args.inside:
        from tests.support import netns
        return netns.rerun_inside(["-m", "bench.card_weather_bench", "--inside"] + sys.argv[1:], "BENCH_NETNS")
    run(args)
    return 0


if __name__ == "__main__":
    sys.exit(main())
