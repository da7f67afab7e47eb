"""Local stand-ins for the feed and the place search on 127.0.0.1:80.

One FakeService listens; every connection's request is read up to its empty
line and recorded byte for byte, then answered by the behaviour that the
route gives for its path. Behaviours cover what the card must survive: a
whole reply, a reply that stalls, a reply whose pieces the test lets go one
by one, a flood.
"""
import os
import socket
import threading
import time

DATA = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e", "data")


def data(name):
    with open(os.path.join(DATA, name), "rb") as f:
        return f.read()


def http_reply(body, status=b"200 OK", content_type=b"text/xml;charset=UTF-8", length=True):
    head = b"HTTP/1.1 " + status + b"\r\nContent-Type: " + content_type + b"\r\n"
    if length:
        head += b"Content-Length: %d\r\n" % len(body)
    head += b"Connection: keep-alive\r\n\r\n"
    return head + body


class Request:
    def __init__(self, raw, t):
        self.raw = raw
        self.time = t
        line = raw.split(b"\r\n", 1)[0]
        parts = line.split(b" ")
        self.path = parts[1].decode("latin-1") if len(parts) > 1 else ""


# ---- behaviours: fn(conn, request, service) ----

def whole(reply):
    """Sends the reply in one piece, then keeps the connection open as a
    keep-alive server would, until the card closes it."""
    def run(conn, req, svc):
        conn.sendall(reply)
        svc.hold(conn)
    return run


def stall(reply):
    """Sends these bytes and then nothing more, holding the connection open."""
    return whole(reply)


class Gate:
    """Lets the pieces of a gated reply go one by one when the test says so,
    so a case waits for states ("the menu is open") instead of racing a pause."""

    def __init__(self, allowed):
        self.cond = threading.Condition()
        self.allowed = allowed  # pieces that may be sent
        self.sent = 0

    def release(self, n=1):
        with self.cond:
            self.allowed += n
            self.cond.notify_all()

    def wait_sent(self, n, timeout):
        with self.cond:
            return self.cond.wait_for(lambda: self.sent >= n, timeout)

    def _turn(self, i, stopped):
        with self.cond:
            while self.allowed <= i:
                if stopped.is_set():
                    return False
                self.cond.wait(0.1)
            return True

    def _mark(self):
        with self.cond:
            self.sent += 1
            self.cond.notify_all()


def gated(chunks, allowed=1):
    """(gate, behaviour): sends the first `allowed` chunks at once, each
    later one when the test calls gate.release()."""
    gate = Gate(allowed)

    def run(conn, req, svc):
        for i, c in enumerate(chunks):
            if not gate._turn(i, svc.stopped):
                return
            conn.sendall(c)
            gate._mark()
        svc.hold(conn)
    return gate, run


def flood(total, head=b""):
    """Sends `head`, then filler bytes until `total` bytes or the card closes."""
    def run(conn, req, svc):
        sent = 0
        conn.sendall(head)
        block = (b"<!-- filler " + b"x" * 1000 + b" -->\n")
        while sent < total and not svc.stopped.is_set():
            try:
                n = conn.send(block[:min(len(block), total - sent)])
            except OSError:
                return
            sent += n
        svc.flood_sent = sent
        svc.hold(conn)
    return run


def close_now():
    def run(conn, req, svc):
        pass
    return run


class FakeService:
    """route(path) -> behaviour. Use as a context manager."""

    def __init__(self, route, host="127.0.0.1", port=80):
        self.route = route
        self.requests = []
        self.lock = threading.Lock()
        self.stopped = threading.Event()
        self.conns = []
        self.flood_sent = 0
        self.closed_by_peer = []
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind((host, port))
        self.sock.listen(16)
        self.sock.settimeout(0.2)
        self.thread = threading.Thread(target=self._accept, daemon=True)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stop()
        return False

    def stop(self):
        self.stopped.set()
        self.thread.join(5)
        self.sock.close()
        with self.lock:
            for c in self.conns:
                try:
                    c.close()
                except OSError:
                    pass

    def _accept(self):
        while not self.stopped.is_set():
            try:
                conn, _ = self.sock.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            with self.lock:
                self.conns.append(conn)
            threading.Thread(target=self._serve, args=(conn,), daemon=True).start()

    def _serve(self, conn):
        conn.settimeout(10)
        raw = b""
        try:
            while b"\r\n\r\n" not in raw and len(raw) < 65536:
                chunk = conn.recv(4096)
                if not chunk:
                    break
                raw += chunk
        except OSError:
            pass
        req = Request(raw, time.time())
        with self.lock:
            self.requests.append(req)
        if not raw:
            return
        try:
            self.route(req.path)(conn, req, self)
        except OSError:
            pass
        finally:
            try:
                conn.close()
            except OSError:
                pass

    def hold(self, conn, limit=60):
        """Waits until the peer closes the connection (or the limit)."""
        conn.settimeout(0.1)
        end = time.time() + limit
        while time.time() < end and not self.stopped.is_set():
            try:
                if conn.recv(4096) == b"":
                    with self.lock:
                        self.closed_by_peer.append(time.time())
                    return
            except socket.timeout:
                continue
            except OSError:
                return

    def wait_requests(self, n, timeout):
        end = time.time() + timeout
        while time.time() < end:
            with self.lock:
                if len(self.requests) >= n:
                    return list(self.requests)
            time.sleep(0.05)
        with self.lock:
            return list(self.requests)


GOLDEN_REQUEST = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "golden", "card_request.http")


def golden_card_request(target, host=b"localhost"):
    """The card's request bytes for a target (tests/golden/card_request.http)."""
    with open(GOLDEN_REQUEST, "rb") as f:
        return f.read().replace(b"<target>", target).replace(b"<host>", host)


def feed_request(path, host=b"localhost"):
    """The exact bytes the card must send for a path."""
    return golden_card_request(path, host)
