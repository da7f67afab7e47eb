#!/usr/bin/env python3
"""The card's start-up time, memory and GDI/USER objects under Wine.

    sudo python3 -m bench.card_bench [--build DIR] [--card EXE] [--compare EXE] [--runs N] [--refreshes N]

(from the repository's root, the import root of tests.support)

Runs in a network namespace of its own (it starts itself again under
`unshare --net`, so it needs root), with the feed service on its sample data
on 127.0.0.1:80 there, one Wine prefix prepared as the end-to-end tests
prepare theirs, and a private Xvfb display in :50-:59. card_watch.exe, run
beside the card in that prefix, reads the figures from outside:

  start-up  bare_window.exe (one black window of the card's size, built with
            the card's flags) and the card started in turn, N times each
            (default 20) after one warm-up pair, each timed from
            CreateProcess to an idle, visible window; the figure is the
            ratio of the two medians
  memory    the card's private bytes, working set, GDI and USER objects once
            it shows its first forecast, and again after 100 refreshes
            through its "Refresh Now" command; the bare program's for scale

--card measures another Cloudwick.exe with the same helpers; --compare adds
a second card (an older build, say) to the same alternating start-up runs. Not a test: the figures depend on the machine, and on a shared one
they drift, which the alternating runs are there to cancel. Exit 77 when an
exe is missing.
"""
import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)

SAMPLE_PLACE = ("4250542", "Springfield, IL")  # one of the feed service's sample places


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def fields(line):
    return dict(kv.split("=", 1) for kv in line.split() if "=" in kv)


def feed_ready(timeout=20):
    end = time.time() + timeout
    while time.time() < end:
        try:
            with socket.create_connection(("127.0.0.1", 80), timeout=1) as s:
                s.sendall(b"GET /health HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n")
                if s.recv(64).startswith(b"HTTP/1.1 200"):
                    return True
        except OSError:
            pass
        time.sleep(0.1)
    return False


class Bench:
    def __init__(self, args):
        self.args = args
        self.win = os.path.join(args.build, "win")
        self.watch_exe = os.path.join(self.win, "card_watch.exe")

    def watch(self, *words, timeout=600):
        # Output through a file: Wine's helper processes can inherit a pipe and keep it open.
        with tempfile.TemporaryFile() as out:
            rc = subprocess.run(["wine", self.watch_exe] + [str(w) for w in words], env=self.env, cwd=self.app,
                                stdout=out, stderr=subprocess.DEVNULL, timeout=timeout).returncode
            out.seek(0)
            lines = out.read().decode("latin-1").splitlines()
        if rc != 0:
            raise RuntimeError("card_watch %s failed: %s" % (" ".join(map(str, words)), " | ".join(lines)))
        return lines

    def counts(self, cls=None):
        return fields(self.watch("counts", *([cls] if cls else []))[-1])

    def run(self):
        from tests.support import harness
        from tests.support.netns import loopback_up
        loopback_up()
        os.environ["E2E_WORK"] = os.path.join(self.args.build, "bench-work")
        procs = []
        try:
            feed = subprocess.Popen([os.path.join(self.args.build, "native", "service", "cloudwick-feed"),
                                     "--provider", "sample"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            procs.append(feed)
            if not feed_ready():
                raise RuntimeError("the feed service did not answer on 127.0.0.1:80")
            prefix = harness.prepare_template()
            display, xvfb = harness.start_xvfb()
            procs.append(xvfb)
            self.env = harness.wine_env(prefix, display)
            self.app = os.path.join(harness.work_dir(), "app")
            shutil.rmtree(self.app, ignore_errors=True)
            os.makedirs(self.app)
            shutil.copy(self.args.card, os.path.join(self.app, "Cloudwick.exe"))
            shutil.copy(os.path.join(self.win, "bare_window.exe"), self.app)
            with open(os.path.join(self.app, "cloudwick.conf"), "wb") as f:
                f.write(harness.conf_text(woeid=SAMPLE_PLACE[0], name=SAMPLE_PLACE[1]))
            self.report(procs)
        finally:
            if getattr(self, "env", None):
                subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=30, check=False)
            for p in procs:
                if p.poll() is None:
                    p.terminate()
                    p.wait()

    def report(self, procs):
        card = os.path.join(self.app, "Cloudwick.exe")
        bare = os.path.join(self.app, "bare_window.exe")
        print("Cloudwick.exe %d bytes, bare_window.exe %d bytes" % (os.path.getsize(card), os.path.getsize(bare)))

        cards = [card]
        if self.args.compare:
            cards.append(os.path.join(self.app, "compare", "Cloudwick.exe"))
            os.makedirs(os.path.dirname(cards[1]))
            shutil.copy(self.args.compare, cards[1])
            shutil.copy(os.path.join(self.app, "cloudwick.conf"), os.path.dirname(cards[1]))
        print("\nstart-up, CreateProcess to an idle, visible window (%d runs each, alternating):" % self.args.runs)
        lines = self.watch("startup", self.args.runs, windows_path(bare), *[windows_path(c) for c in cards])
        summary = fields(lines[-1])
        print("  bare window             median %7s ms" % summary["median_bare_ms"])
        for n, name in enumerate(["card"] + ["--compare card"] * (len(cards) - 1), 1):
            print("  %-22s  median %7s ms   ratio to the bare window %s" % (
                name, summary["median_card%d_ms" % n], summary["ratio%d" % n]))

        bare_proc = subprocess.Popen(["wine", bare], env=self.env, cwd=self.app,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        procs.append(bare_proc)
        rows = [("bare window", self.counts("CloudwickBareWindow"))]
        self.watch("close", "CloudwickBareWindow")
        card_proc = subprocess.Popen(["wine", card], env=self.env, cwd=self.app,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        procs.append(card_proc)
        self.watch("wait", 30000)
        rows.append(("card, first forecast", self.counts()))
        took = fields(self.watch("refresh", self.args.refreshes, 15000)[-1])
        rows.append(("card, %d refreshes later" % self.args.refreshes, self.counts()))
        self.watch("close")

        print("\nmemory and objects (%s; %d refreshes took %s ms):"
              % (rows[-1][1]["counted_by"], self.args.refreshes, took["ms"]))
        print("  %-26s %14s %14s %5s %5s" % ("", "private bytes", "working set", "GDI", "USER"))
        for name, c in rows:
            print("  %-26s %14s %14s %5s %5s" % (name, "{:,}".format(int(c["private_bytes"])),
                                                 "{:,}".format(int(c["working_set"])), c["gdi"], c["user"]))
        if rows[-1][1]["counted_by"] != "GetGuiResources":
            print("  (Wine has no GetGuiResources: GDI from the process's GDI handle table, USER as its windows)")
            for name, c in rows:
                print("  GDI objects of the %s: %s" % (name, c["gdi_kinds"].replace(",", ", ")))


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.path.join(REPO, "build"))
    ap.add_argument("--card", help="the Cloudwick.exe to measure (default: the build's)")
    ap.add_argument("--compare", help="another Cloudwick.exe to start in the same runs")
    ap.add_argument("--runs", type=int, default=20)
    ap.add_argument("--refreshes", type=int, default=100)
    ap.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    args = ap.parse_args()
    args.build = os.path.abspath(args.build)
    args.card = os.path.abspath(args.card or os.path.join(args.build, "win", "Cloudwick.exe"))
    needed = [args.card] + [os.path.join(args.build, "win", n) for n in ("card_watch.exe", "bare_window.exe")]
    if args.compare:
        args.compare = os.path.abspath(args.compare)
        needed.append(args.compare)
    needed.append(os.path.join(args.build, "native", "service", "cloudwick-feed"))
    missing = [p for p in needed if not os.path.isfile(p)]
    if missing:
        print("skipped: missing %s (build with tools/build.sh)" % ", ".join(missing))
        return 77
    if not args.inside:
        return subprocess.call(["unshare", "--net", "--", sys.executable, "-m", "bench.card_bench", "--inside"]
                               + sys.argv[1:])
    Bench(args).run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
