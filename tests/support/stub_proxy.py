"""A forward proxy for plain http, in the test's own namespace: what the
feed service's calls go through in the proxy tests, on Linux and under
Wine. DIRECT opens URLs with no proxy at all; PROXY_LINE is the line the
service and the card give for a proxy that asks for a password."""
import threading
import urllib.error
import urllib.request
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

DIRECT = urllib.request.build_opener(urllib.request.ProxyHandler({}))
PROXY_LINE = "The proxy asks for a password"


class StubProxy:
    """A forward proxy for plain http: GET with an absolute URL, passed on
    (or, with ask_password, 407 for every request)."""

    def __init__(self, ask_password=False):
        self.seen = []
        proxy = self

        class Handler(BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_GET(self):
                proxy.seen.append(self.path)
                target = self.path
                if not target.startswith("http://") and self.headers.get("Host"):
                    # Wine's WinHTTP sends a plain http request to a named
                    # proxy in origin form, with the Host header; Windows and
                    # libcurl send the absolute URL.
                    target = "http://%s%s" % (self.headers["Host"], target)
                if ask_password or not target.startswith("http://"):
                    body = b"Proxy Authentication Required"
                    self.send_response(407 if ask_password else 400)
                    self.send_header("Proxy-Authenticate", 'Basic realm="corp"')
                    self.send_header("Content-Length", str(len(body)))
                    self.end_headers()
                    self.wfile.write(body)
                    return
                try:
                    with DIRECT.open(target, timeout=10) as up:
                        status, body = up.status, up.read()
                except urllib.error.HTTPError as e:
                    status, body = e.code, e.read()
                self.send_response(status)
                self.send_header("Content-Type", "application/json")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

        self.server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def close(self):
        self.server.shutdown()
        self.server.server_close()
