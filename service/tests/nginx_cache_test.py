#!/usr/bin/python3
"""The real nginx (Debian's package) with proxy_cache in front of the Linux
cloudwick-feed, in front of a stub Open-Meteo, all on free loopback ports.
nginx is started with its own configuration, pid file and temporary folders
and stopped by its pid; the machine's own nginx is never touched.

Checks: the card's exact request gets a whole, uncompressed document from
the cache, even after a browser asked for the same document with gzip; a
503 is never cached; 64 keep-alive clients (wrk) through nginx get no
error, for a cached document and for one every request of which reaches
the service (all from nginx's one address, a proxy the service trusts).

    nginx_cache_test.py FEED_BINARY      exit 0 pass, 1 fail, 77 skip (no nginx)
"""
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

from tests.support.feed_wine import card_request, status_of
from tests.support.feed_wine import exchange as raw_exchange
from tests.support.local_ports import free_port
from tests.support.stub_upstream import StubUpstream

SKIP = 77
NGINX_CONF = """
daemon off;
master_process on;
worker_processes 1;
pid {d}/nginx.pid;
error_log {d}/error.log warn;
events {{ worker_connections 512; }}
http {{
    access_log off;
    client_body_temp_path {d}/body;
    proxy_temp_path {d}/proxy;
    fastcgi_temp_path {d}/fastcgi;
    uwsgi_temp_path {d}/uwsgi;
    scgi_temp_path {d}/scgi;
    proxy_cache_path {d}/cache levels=1:2 keys_zone=feed:1m max_size=10m;
    # A common set-up: nginx compresses for the clients that ask.
    gzip on;
    gzip_types text/xml text/plain;
    gzip_min_length 100;
    server {{
        listen 127.0.0.1:{port};
        location / {{
            proxy_pass http://127.0.0.1:{feed};
            proxy_set_header Host $host;
            proxy_set_header X-Forwarded-For $remote_addr;
            proxy_cache feed;
            add_header X-Proxy-Cache $upstream_cache_status always;
        }}
    }}
}}
"""


def browser_request(target):
    return (b"GET " + target + b" HTTP/1.1\r\nAccept: text/html,*/*\r\nAccept-Encoding: gzip, deflate, br\r\n"
            b"User-Agent: Mozilla/5.0\r\nHost: localhost\r\nConnection: close\r\n\r\n")


def exchange(port, request):
    """One request on a new connection: status, headers (lower-case names), body."""
    head, _, body = raw_exchange(port, request, timeout=10).partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers[name.strip().lower()] = value.strip()
    return status_of(head), headers, body


def wait_for_port(port, proc, seconds=10):
    end = time.time() + seconds
    while time.time() < end:
        if proc.poll() is not None:
            return False
        try:
            socket.create_connection(("127.0.0.1", port), 1).close()
            return True
        except OSError:
            time.sleep(0.05)
    return False


def main(argv):
    nginx = shutil.which("nginx") or ("/usr/sbin/nginx" if os.path.exists("/usr/sbin/nginx") else None)
    if not nginx:
        print("SKIP: nginx is not installed (Debian's nginx-light)")
        return SKIP
    feed_binary = argv[1]
    failures = []

    def check(cond, what):
        print(("ok   " if cond else "FAIL ") + what)
        if not cond:
            failures.append(what)

    work = tempfile.mkdtemp(prefix="cloudwick-nginx-")
    os.chmod(work, 0o777)  # nginx's workers may run as another user
    stub = StubUpstream()
    feed_port, nginx_port = free_port(), free_port()
    feed = subprocess.Popen([feed_binary, "--listen", "127.0.0.1:%d" % feed_port, "--trust-proxy", "127.0.0.1",
                             "--forecast-url", stub.forecast_url, "--geocoding-url", stub.geocoding_url],
                            stdout=subprocess.DEVNULL, stderr=open(os.path.join(work, "feed.log"), "w"))
    with open(os.path.join(work, "nginx.conf"), "w") as f:
        f.write(NGINX_CONF.format(d=work, port=nginx_port, feed=feed_port))
    proxy = subprocess.Popen([nginx, "-p", work, "-c", os.path.join(work, "nginx.conf"), "-e",
                              os.path.join(work, "error.log")], stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT)
    try:
        if not wait_for_port(feed_port, feed) or not wait_for_port(nginx_port, proxy):
            print("FAIL: the service or nginx did not start;", open(os.path.join(work, "error.log")).read()
                  if os.path.exists(os.path.join(work, "error.log")) else "")
            return 1
        target = b"/forecastrss?w=4250542"
        # A browser first, asking for gzip: nginx may compress for it, but what
        # it caches is the service's uncompressed document.
        status, headers, body = exchange(nginx_port, browser_request(target))
        check(status == 200, "browser's request: 200 (got %d)" % status)
        check(headers.get("x-proxy-cache") == "MISS", "the first request goes to the service")
        check(headers.get("cache-control", "").startswith("public, max-age="), "Cache-Control: %s"
              % headers.get("cache-control"))
        for h in ("date", "last-modified"):
            check(h in headers, "the reply carries %s" % h)
        calls_before = stub.calls
        # The card's exact request: from the cache, whole and uncompressed.
        status, headers, body = exchange(nginx_port, card_request(target))
        check(status == 200, "card's request: 200")
        check(headers.get("x-proxy-cache") == "HIT", "the card's request is served from the cache (%s)"
              % headers.get("x-proxy-cache"))
        check("content-encoding" not in headers, "no Content-Encoding for the card")
        check("transfer-encoding" not in headers, "not chunked: a Content-Length the card can use")
        check(body.startswith(b"<?xml") and body.rstrip().endswith(b"<!-- cloudwick-feed -->"),
              "a whole XML document (%d bytes)" % len(body))
        check(int(headers.get("content-length", "-1")) == len(body), "Content-Length matches the body")
        check(b"<title>Cloudwick Feed - Springfield, IL</title>" in body, "the place's document")
        check(stub.calls == calls_before, "the upstream was not asked again")

        # A 503 is never cached: the source fails for a new place, then recovers.
        stub.fail_with = 503
        new = b"/forecastrss?w=4409896"
        status, headers, _ = exchange(nginx_port, card_request(new))
        check(status == 503, "a new place while the source fails: 503 (got %d)" % status)
        check("retry-after" in headers and headers.get("cache-control") == "no-store",
              "the 503 says Retry-After and no-store")
        served = open(os.path.join(work, "feed.log")).read().count("4409896")
        status, headers, _ = exchange(nginx_port, card_request(new))
        check(headers.get("x-proxy-cache") != "HIT", "the 503 was not cached by nginx (%s)"
              % headers.get("x-proxy-cache"))
        time.sleep(0.2)
        check(open(os.path.join(work, "feed.log")).read().count("4409896") > served,
              "the second request reached the service")
        log = open(os.path.join(work, "feed.log")).read()
        check(" 127.0.0.1 \"GET /forecastrss?w=4409896\" 503 " in log and "reason=" in log,
              "the service logs the 503 with its reason")

        # 64 keep-alive clients through nginx: nothing refused, nothing dropped.
        wrk = shutil.which("wrk")
        check(wrk is not None, "wrk is installed (bash tools/setup.sh)")
        for path in ("/forecastrss?w=4250542", "/health"):
            if not wrk:
                break
            out = subprocess.run([wrk, "-t2", "-c64", "-d3s", "http://127.0.0.1:%d%s" % (nginx_port, path)],
                                 capture_output=True, text=True, timeout=60).stdout
            done = re.search(r"(\d+) requests in", out)
            print(out.strip().splitlines()[-2] if out.strip() else "(no output from wrk)")
            check(done is not None and int(done.group(1)) > 100, "64 clients through nginx for %s: %s requests"
                  % (path, done.group(1) if done else "no"))
            check("Non-2xx" not in out and "Socket errors" not in out,
                  "64 clients through nginx for %s: no errors and no refusals%s"
                  % (path, "" if "Non-2xx" not in out and "Socket errors" not in out else "\n" + out))
    finally:
        for p in (proxy, feed):
            if p.poll() is None:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        stub.close()
        if not failures:
            shutil.rmtree(work, ignore_errors=True)
    if failures:
        print("FAIL: %d check(s); files kept in %s" % (len(failures), work))
        return 1
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
