"""What the Wine tests of cloudwick-feed.exe stand on: a private network
namespace per case, a Wine prefix per case (copied from one made once), the
programs started and stopped by pid, and raw HTTP exchanges."""
import fcntl
import os
import shutil
import socket
import subprocess
import time

from tests.support import harness  # (the one prefix copy)
from tests.support import netns
from tests.support.fake_servers import golden_card_request

REPO = harness.REPO

SKIP = 77
WINE_ENV = harness.WINE_ENV


class Skip(Exception):
    pass


def need_file(var):
    path = os.environ.get(var, "")
    if not path or not os.path.isfile(path):
        raise Skip("%s is not built: %r" % (var, path))
    return path


def need_tools():
    for tool in ("wine", "wineboot", "wineserver", "unshare"):
        if not shutil.which(tool):
            raise Skip("%s is not installed" % tool)


def work_dir():
    d = os.environ.get("FEED_WINE_WORK") or "/tmp/cloudwick-feed-wine"
    os.makedirs(d, exist_ok=True)
    return d


# ---- a network namespace of our own, and the one Wine prefix set-up ----

def in_private_network():
    return os.environ.get("FEED_WINE_NETNS") == "1"


def rerun_in_private_network(argv):
    """Runs this script again in a network namespace with only loopback, so
    port 80 is ours and no packet leaves the machine. Skips when the
    namespace cannot be made."""
    probe = subprocess.run(["unshare", "--net", "true"], capture_output=True)
    if probe.returncode != 0:
        print("SKIP: cannot make a network namespace:", probe.stderr.decode(errors="replace").strip())
        return SKIP
    return netns.rerun_inside(argv, "FEED_WINE_NETNS")


loopback_up = netns.loopback_up


def template_prefix():
    """A 32-bit prefix made once (tools/wine_prefix.sh), shared by the cases as copies."""
    tpl = os.path.join(work_dir(), "prefix-template")
    with open(os.path.join(work_dir(), "prefix.lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        subprocess.run(["bash", os.path.join(REPO, "tools", "wine_prefix.sh"), tpl], timeout=600, check=True)
    return tpl


class Machine:
    """One case's Windows machine: its own prefix and a folder holding
    cloudwick-feed.exe (and the card's stand-in), as a user unzipped them."""

    def __init__(self, name, feed_exe, parent_stub=None):
        self.base = os.path.join(work_dir(), "run", name)
        shutil.rmtree(self.base, ignore_errors=True)
        os.makedirs(self.base)
        self.prefix = os.path.join(self.base, "prefix")
        harness.copy_prefix(template_prefix(), self.prefix)
        self.app = os.path.join(self.base, "app")
        os.makedirs(self.app)
        shutil.copy(feed_exe, os.path.join(self.app, "cloudwick-feed.exe"))
        if parent_stub:
            shutil.copy(parent_stub, os.path.join(self.app, "feed_parent_stub.exe"))
        self.env = dict(os.environ, WINEPREFIX=self.prefix, **WINE_ENV)
        self.env.pop("DISPLAY", None)
        self.procs = []

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def start(self, exe, args=(), stdin=None):
        p = subprocess.Popen(["wine", os.path.join(self.app, exe)] + list(args), env=self.env, cwd=self.app,
                             stdin=stdin, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.procs.append(p)
        return p

    def feed(self, *args):
        return self.start("cloudwick-feed.exe", args)

    def write_conf(self, text):
        with open(os.path.join(self.app, "cloudwick-feed.conf"), "w", newline="") as f:
            f.write(text)

    def log(self):
        return service_log(self.app)

    def feed_pids(self):
        return feed_pids(self.prefix)

    def close(self):
        for p in self.procs:
            if p.poll() is None:
                p.kill()
                p.wait()
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=30, check=False)


# ---- talking ----

def prefix_pids(prefix, word):
    """Linux pids of the processes of this Wine prefix whose command line
    has `word` (in lower case)."""
    pids = []
    for d in os.listdir("/proc"):
        if not d.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % d, "rb") as f:
                if word.encode() not in f.read().lower():
                    continue
            with open("/proc/%s/environ" % d, "rb") as f:
                if ("WINEPREFIX=%s" % prefix).encode() not in f.read().split(b"\0"):
                    continue
        except OSError:
            continue
        pids.append(int(d))
    return pids


def feed_pids(prefix):
    """Linux pids of cloudwick-feed.exe processes running in this Wine prefix."""
    return prefix_pids(prefix, "cloudwick-feed.exe")


def service_log(folder):
    """cloudwick-feed.log beside the exe in `folder`, or "" before it exists."""
    try:
        with open(os.path.join(folder, "cloudwick-feed.log"), "rb") as f:
            return f.read().decode("latin-1")
    except FileNotFoundError:
        return ""


def accepts(port):
    try:
        socket.create_connection(("127.0.0.1", port), 0.5).close()
        return True
    except OSError:
        return False


def card_request(target, method=b"GET", connection=b"Keep-Alive"):
    """The card's request bytes for a target."""
    golden = golden_card_request(target, b"localhost")
    return method + golden[len(b"GET"):].replace(b"Connection: Keep-Alive", b"Connection: " + connection)


def exchange(port, request, timeout=15):
    """Sends one request and reads one reply by its Content-Length (or to
    the close). Returns the raw bytes."""
    s = socket.create_connection(("127.0.0.1", port), timeout)
    try:
        s.sendall(request)
        raw = b""
        want = None
        while want is None or len(raw) < want:
            chunk = s.recv(65536)
            if not chunk:
                break
            raw += chunk
            end = raw.find(b"\r\n\r\n")
            if want is None and end >= 0:
                want = end + 4
                if not request.startswith(b"HEAD "):
                    for line in raw[:end].split(b"\r\n")[1:]:
                        name, _, value = line.partition(b":")
                        if name.strip().lower() == b"content-length":
                            want += int(value)
        return raw
    finally:
        s.close()


def status_of(raw):
    return int(raw[9:12]) if raw.startswith(b"HTTP/1.1 ") else 0
