"""Runs the real Cloudwick.exe under Wine on a private Xvfb display and reads
it from outside through probe.exe, the way a user sees it.

One Card object is one run of the card: its own display, its own copy of a
prepared Wine prefix, its own folder with the exe and a cloudwick.conf.
Everything it starts is stopped by pid when the run ends; the prefix's
wineserver is stopped with `wineserver -k` on that prefix only.
"""
import fcntl
import os
import re
import select
import shutil
import signal
import subprocess
import time

from tests.support import design
from tests.support.waiting import wait_for  # also the cases' harness.wait_for

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
# The displays this suite may use; E2E_DISPLAYS="FIRST-LAST" gives another
# range, so two checkouts can run their suites side by side.
_first, _, _last = os.environ.get("E2E_DISPLAYS", "50-59").partition("-")
DISPLAYS = range(int(_first), int(_last or _first) + 1)
SCREEN = "1024x768"
TWIPS_PER_PIXEL = 15

WINE_ENV = {
    "WINEARCH": "win32",
    "WINEDEBUG": "-all",
    "WINEDLLOVERRIDES": "mscoree=;mshtml=",
    "LANG": "en_US.UTF-8",
}


def px(twips):
    """Pixels from twips at 96 DPI, rounded half away from zero as the card does."""
    n = int(abs(twips) / TWIPS_PER_PIXEL + 0.5)
    return n if twips >= 0 else -n


class Skip(Exception):
    pass


def work_dir():
    d = os.environ.get("E2E_WORK") or os.path.join(REPO, "build", "e2e-work")
    os.makedirs(d, exist_ok=True)
    return d


def artifacts_dir():
    d = os.environ.get("E2E_ARTIFACTS") or os.path.join(REPO, "out", "artifacts")
    os.makedirs(d, exist_ok=True)
    return d


# What a case needs besides the two exes; a missing one makes it skip.
TOOLS = ["wine", "wineserver", "Xvfb", "xdotool", "import", "convert"]


def require(*tools):
    missing = [t for t in tools if not shutil.which(t)]
    if missing:
        raise Skip("%s not found (bash tools/setup.sh installs it)" % ", ".join(missing))


def exe_paths():
    card = os.environ.get("CLOUDWICK_EXE", "")
    probe = os.environ.get("PROBE_EXE", "")
    if not card or not probe:
        raise Skip("CLOUDWICK_EXE and PROBE_EXE are not set (configure with -DCLOUDWICK_EXE=... -DPROBE_EXE=...)")
    for p in (card, probe):
        if not os.path.isfile(p):
            raise Skip("%s does not exist: build the Windows tree first" % p)
    require(*TOOLS)
    design.tables()
    return card, probe


def wine_env(prefix, display=None):
    env = dict(os.environ)
    env.update(WINE_ENV)
    env["WINEPREFIX"] = prefix
    # The menu entries and icons Wine makes for a test prefix's shortcuts
    # stay in the prefix's own folder, not in the machine's $HOME.
    env["XDG_DATA_HOME"] = os.path.join(prefix, "xdg", "data")
    env["XDG_CONFIG_HOME"] = os.path.join(prefix, "xdg", "config")
    if display is not None:
        env["DISPLAY"] = ":%d" % display
    return env


def prepare_template():
    """The prepared prefix, made once per build tree by tools/wine_prefix.sh:
    wineboot, Wine's fonts, and a virtual desktop named "shell" (Wine shows a
    taskbar with a tray on a desktop of that name) that every process of the
    prefix shares."""
    require("wine", "wineserver")
    tpl = os.path.join(work_dir(), "prefix-template")
    with open(os.path.join(work_dir(), "prefix.lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        subprocess.run(["bash", os.path.join(REPO, "tools", "wine_prefix.sh"), tpl, SCREEN],
                       timeout=600, check=True)
        return tpl


def copy_prefix(tpl, dest):
    # system32 (most of the size) is never written, so it is hard-linked;
    # everything else, the registry files included, is a real copy.
    shutil.rmtree(dest, ignore_errors=True)
    sys32 = os.path.join("drive_c", "windows", "system32")
    windows = os.path.join(tpl, "drive_c", "windows")
    shutil.copytree(tpl, dest, symlinks=True,
                    ignore=lambda d, names: ["system32"] if os.path.abspath(d) == windows else [])
    subprocess.run(["cp", "-al", os.path.join(tpl, sys32), os.path.join(dest, sys32)], check=True)


def x_accepts(n):
    """The server's socket exists before it accepts clients."""
    import socket
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        s.connect("/tmp/.X11-unix/X%d" % n)
        return True
    except OSError:
        return False
    finally:
        s.close()


def end_prefix_processes(prefix):
    """SIGKILL every process that runs in Wine prefix `prefix` (its
    environment names it): only this suite's own prefixes are passed."""
    if not prefix:
        return
    mark = ("WINEPREFIX=" + prefix).encode()
    for pid in os.listdir("/proc"):
        if not pid.isdigit() or int(pid) == os.getpid():
            continue
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                if mark not in f.read().split(b"\0"):
                    continue
            os.kill(int(pid), signal.SIGKILL)
        except (OSError, ValueError):
            pass


def start_xvfb(screen=SCREEN):
    for n in DISPLAYS:
        if os.path.exists("/tmp/.X%d-lock" % n) or os.path.exists("/tmp/.X11-unix/X%d" % n):
            continue
        p = subprocess.Popen(["Xvfb", ":%d" % n, "-screen", "0", screen + "x24", "-nolisten", "tcp"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 10
        while time.time() < deadline:
            if p.poll() is not None:
                break
            if os.path.exists("/tmp/.X11-unix/X%d" % n) and x_accepts(n):
                return n, p
            time.sleep(0.05)
        if p.poll() is None:
            p.kill()
            p.wait()
    raise RuntimeError("no free X display in %s" % list(DISPLAYS))


def conf_text(start_on_windows=0, start_in_tray=0, refresh_hours=1, left=7155, top=3555,
              woeid="99999999", celsius=0, name="none", lines=None):
    """cloudwick.conf: eight lines, CR LF after each."""
    if lines is None:
        lines = [str(start_on_windows), str(start_in_tray), str(refresh_hours), str(left), str(top),
                 woeid, str(celsius), name]
    return "".join(l + "\r\n" for l in lines).encode("latin-1")


def parse_fields(line):
    """key=value pairs of a probe line; quoted values are unescaped to bytes."""
    out = {}
    for m in re.finditer(r'(\w+)=("(?:[^"\\]|\\.)*"|\S+)', line):
        v = m.group(2)
        out[m.group(1)] = unescape(v[1:-1]) if v.startswith('"') else v
    return out


def unescape(s):
    out = bytearray()
    i = 0
    while i < len(s):
        c = s[i]
        if c == "\\" and i + 1 < len(s):
            n = s[i + 1]
            if n == "x":
                out.append(int(s[i + 2:i + 4], 16))
                i += 4
                continue
            out += {"r": b"\r", "n": b"\n", "t": b"\t"}.get(n, n.encode("latin-1"))
            i += 2
            continue
        out += c.encode("latin-1")
        i += 1
    return bytes(out)


def escape(b):
    """Bytes as a probe argument (the probe undoes this)."""
    out = ""
    for c in b:
        ch = chr(c)
        if ch == "\\":
            out += "\\\\"
        elif ch == '"':
            out += '\\"'
        elif c < 0x20 or c >= 0x7F:
            out += "\\x%02X" % c
        else:
            out += ch
    return '"' + out + '"'


class Probe:
    """probe.exe serve: one long-lived process, one command a line."""

    def __init__(self, exe, env, cwd):
        self.proc = subprocess.Popen(["wine", exe, "serve"], env=env, cwd=cwd, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.buf = b""
        self.log = []

    def run(self, line, timeout=60):
        self.proc.stdin.write((line + "\n").encode("latin-1"))
        self.proc.stdin.flush()
        lines = []
        deadline = time.time() + timeout
        while True:
            while b"\n" in self.buf:
                raw, self.buf = self.buf.split(b"\n", 1)
                text = raw.decode("latin-1").rstrip("\r")
                if text.startswith("END "):
                    rc = int(text[4:])
                    self.log.append((line, rc, lines))
                    return rc, lines
                lines.append(text)
            left = deadline - time.time()
            if left <= 0:
                raise RuntimeError("probe did not answer %r within %ss" % (line, timeout))
            r, _, _ = select.select([self.proc.stdout], [], [], left)
            if r:
                chunk = os.read(self.proc.stdout.fileno(), 65536)
                if not chunk:
                    raise RuntimeError("probe exited during %r" % line)
                self.buf += chunk

    def close(self):
        try:
            self.proc.stdin.write(b"quit\n")
            self.proc.stdin.flush()
            self.proc.wait(timeout=5)
        except Exception:
            pass
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


CARD = "CloudwickCard"
OPTIONS = "CloudwickOptions"
TABLES = {CARD: "card", OPTIONS: "options"}


def control_id(ctl, target=CARD):
    """A control's id from its design name in the target's table (an int passes as it is)."""
    return ctl if isinstance(ctl, int) else design.control(TABLES[target], ctl).id


class Card:
    """One run of the card. Use as a context manager."""

    def __init__(self, name, conf=None, start=True, dpi=None, screen=None, files=None, lang=None, folder="app"):
        self.name = name
        self.lang = lang  # the Linux locale Wine runs in (its ANSI code page follows), or the default
        self.card_exe, self.probe_exe = exe_paths()
        self.conf = conf if conf is not None else conf_text()
        self.procs = []
        self.xvfb = None
        self.card = None
        self.probe = None
        self.start_card = start
        self.dpi = dpi
        self.screen = screen  # "WIDTHxHEIGHT" of the screen and the desktop, or the default
        self.files = files or {}  # more files beside the exe: name -> bytes, or the path of one to copy
        self.base = os.path.join(work_dir(), "run", name)
        self.folder = folder  # the name of the exe's folder (any script: the card reads it with the wide calls)

    # -- life --
    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self._stop()
            raise
        return self

    def __exit__(self, *exc):
        self._stop()
        return False

    def _start(self):
        tpl = prepare_template()
        shutil.rmtree(self.base, ignore_errors=True)
        os.makedirs(self.base)
        self.prefix = os.path.join(self.base, "prefix")
        copy_prefix(tpl, self.prefix)
        self.app = os.path.join(self.base, self.folder)
        os.makedirs(self.app)
        shutil.copy(self.card_exe, os.path.join(self.app, "Cloudwick.exe"))
        for fname, content in self.files.items():
            if isinstance(content, bytes):
                with open(os.path.join(self.app, fname), "wb") as f:
                    f.write(content)
            else:
                shutil.copy(content, os.path.join(self.app, fname))
        if self.conf is not False:
            with open(self.conf_path, "wb") as f:
                f.write(self.conf)
        if self.screen:
            # Into the registry file itself: any Wine program started first
            # (even `wine reg`) would bring the desktop up at the old size.
            user_reg = os.path.join(self.prefix, "user.reg")
            with open(user_reg, encoding="latin-1") as f:
                text = f.read()
            with open(user_reg, "w", encoding="latin-1") as f:
                f.write(text.replace('"shell"="%s"' % SCREEN, '"shell"="%s"' % self.screen))
        self.display, self.xvfb = start_xvfb(self.screen or SCREEN)
        self.env = wine_env(self.prefix, self.display)
        if self.lang:
            self.env["LANG"] = self.env["LC_ALL"] = self.lang

        if self.dpi:  # before the desktop starts, which reads it once
            for key in ("HKCU\\Control Panel\\Desktop", "HKCC\\Software\\Fonts"):
                subprocess.run(["wine", "reg", "add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(self.dpi),
                                "/f"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               timeout=60, check=True)
        self.probe = Probe(self.probe_exe, self.env, self.base)
        # The first command brings up the prefix's desktop and taskbar.
        self.must("wait tray exists 120000", timeout=150)
        if self.start_card:
            self.launch()

    def launch(self, wait=True):
        self.card = subprocess.Popen(["wine", os.path.join(self.app, "Cloudwick.exe")], env=self.env,
                                     cwd=self.app, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(self.card)
        if wait:
            self.must("wait %s exists 90000" % CARD, timeout=120)
            self.wait_controls(CARD)

    def wait_controls(self, target, timeout=30):
        """The window exists before its last control does."""
        last = design.controls(TABLES[target])[-1].id
        end = time.time() + timeout
        while self.cmd("text %s %d" % (target, last))[0] != 0 and time.time() < end:
            time.sleep(0.05)

    def _stop(self):
        if self.probe:
            self.probe.close()
            with open(os.path.join(artifacts_dir(), self.name + ".probe.log"), "w", encoding="latin-1") as f:
                for line, rc, out in self.probe.log:
                    f.write("> %s  [rc=%d]\n" % (line, rc))
                    for o in out:
                        f.write("  %s\n" % o)
        for p in self.procs:
            if p.poll() is None:
                p.kill()
                p.wait()
        if getattr(self, "env", None):
            subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=30, check=False)
            # A Wine process that lost its server (seen after the desktop
            # changed its size) outlives `wineserver -k`: end what is left
            # of this card's own prefix.
            end_prefix_processes(self.env.get("WINEPREFIX"))
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.send_signal(signal.SIGTERM)
            try:
                self.xvfb.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
        if os.environ.get("E2E_KEEP") != "1" and getattr(self, "prefix", None):
            shutil.rmtree(self.prefix, ignore_errors=True)

    # -- files --
    @property
    def conf_path(self):
        return os.path.join(self.app, "cloudwick.conf")

    def read_conf(self):
        with open(self.conf_path, "rb") as f:
            return f.read()

    def exited(self, timeout):
        try:
            self.card.wait(timeout=timeout)
            return True
        except subprocess.TimeoutExpired:
            return False

    def card_rss_kb(self):
        """Resident memory of the card's process."""
        with open("/proc/%d/status" % self.card.pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return 0

    def wine(self, *args, timeout=60):
        return subprocess.run(["wine"] + list(args), env=self.env, cwd=self.base, capture_output=True,
                              timeout=timeout)

    # -- the mouse: real X input on the Xvfb display, as a user's hand --
    def xdotool(self, *args):
        env = dict(os.environ, DISPLAY=":%d" % self.display)
        subprocess.run(["xdotool"] + [str(a) for a in args], env=env, check=True, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def _mouse(self, line):
        """mmove X Y | mdown B | mup B | mclick X Y [B] | drag X1 Y1 X2 Y2 [B] [STEPS]"""
        w = line.split()
        button = {"left": 1, "middle": 2, "right": 3}
        if w[0] == "mmove":
            self.xdotool("mousemove", "--sync", w[1], w[2])
        elif w[0] in ("mdown", "mup"):
            self.xdotool("mousedown" if w[0] == "mdown" else "mouseup", button[w[1] if len(w) > 1 else "left"])
        elif w[0] == "mclick":
            self.xdotool("mousemove", "--sync", w[1], w[2])
            time.sleep(0.05)
            self.xdotool("click", button[w[3] if len(w) > 3 else "left"])
        elif w[0] == "drag":
            x1, y1, x2, y2 = (int(v) for v in w[1:5])
            b = w[5] if len(w) > 5 else "left"
            steps = int(w[6]) if len(w) > 6 else 10
            buttons = [1, 3] if b == "both" else [button[b]]
            self.xdotool("mousemove", "--sync", x1, y1)
            time.sleep(0.08)
            for n in buttons:
                self.xdotool("mousedown", n)
            time.sleep(0.08)
            # One pixel first: the card starts its drag on the first movement,
            # so the drag then covers (x2 - x1 - 1, y2 - y1).
            self.xdotool("mousemove", "--sync", x1 + 1, y1)
            time.sleep(0.06)
            for i in range(1, steps + 1):
                self.xdotool("mousemove", "--sync", x1 + (x2 - x1) * i // steps, y1 + (y2 - y1) * i // steps)
                time.sleep(0.03)
            time.sleep(0.08)
            for n in buttons:
                self.xdotool("mouseup", n)
        time.sleep(0.05)
        return 0, ["%s done" % w[0]]

    # -- probe --
    def cmd(self, line, timeout=60):
        if line.split(" ", 1)[0] in ("mmove", "mdown", "mup", "mclick", "drag"):
            return self._mouse(line)
        return self.probe.run(line, timeout)

    def must(self, line, timeout=60):
        rc, lines = self.cmd(line, timeout)
        if rc != 0:
            raise AssertionError("probe %r failed: %s" % (line, " | ".join(lines)))
        return lines

    def window(self, target=CARD):
        rc, lines = self.cmd("info " + target)
        if rc != 0:
            return None
        return parse_fields(lines[0])

    def controls(self, target=CARD):
        """{design name: fields} for every child control, recursively (a
        control the design does not know is keyed by its id)."""
        names = {c.id: c.name for c in design.controls(TABLES[target])}
        out = {}
        for line in self.must("tree " + target):
            if line.startswith("ctl "):
                f = parse_fields(line)
                out[names.get(int(f["id"]), int(f["id"]))] = f
        return out

    def menu_command(self, item):
        """The card's popup menu item chosen: "open", "refresh", "options", "exit"."""
        return self.must("command %s %d" % (CARD, design.menu_id(item)))

    def centre(self, ctl, target=CARD):
        """The screen point at the middle of a control."""
        line = self.must("centre %s %d" % (target, control_id(ctl, target)))[0]
        return tuple(int(v) for v in line.split()[1:3])

    def text(self, ctl, target=CARD):
        lines = self.must("text %s %d" % (target, control_id(ctl, target)))
        return parse_fields(lines[0].replace("text ", "text=", 1))["text"]

    def wait_text(self, ctl, op, value, timeout_ms, target=CARD):
        """True when the control's text satisfies op before the time-out."""
        arg = escape(value if isinstance(value, bytes) else str(value).encode("latin-1"))
        rc, lines = self.cmd("waittext %s %d %s %s %d" % (target, control_id(ctl, target), op, arg, timeout_ms),
                             timeout=timeout_ms / 1000 + 30)
        return rc == 0, parse_fields(lines[-1]).get("text") if lines else None

    def wait_window(self, state, timeout_ms, target=CARD):
        rc, _ = self.cmd("wait %s %s %d" % (target, state, timeout_ms), timeout=timeout_ms / 1000 + 30)
        return rc == 0

    def menu(self, timeout_ms=3000):
        rc, lines = self.cmd("menu %d" % timeout_ms, timeout=timeout_ms / 1000 + 30)
        if rc != 0:
            return None
        items = [parse_fields(l) for l in lines if l.startswith("item ")]
        head = parse_fields(lines[0])
        head["items"] = items
        return head

    def tray_icon_present(self, target=CARD):
        lines = self.must("trayicon " + target)
        return parse_fields(lines[0])["present"] == "1"

    def tray_tips(self):
        return [parse_fields(l)["text"] for l in self.must("traytips") if l.startswith("tip ")]

    def screenshot(self, label=None):
        path = os.path.join(artifacts_dir(), "%s.png" % (label or self.name))
        subprocess.run(["import", "-display", ":%d" % self.display, "-window", "root", path],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30, check=False)
        return path

    def screenshot_when(self, drawn, timeout=15, label=None, region=None):
        """A screenshot taken once drawn(path) holds, or the last one tried
        when it never does: on a loaded machine Wine may paint a changed
        control well after its text and size have changed. With `region`
        (x, y, w, h), it must also show the same pixels there as the
        screenshot before it, so that no paint is caught half done."""
        shot, before = [None], [None]

        def take():
            shot[0] = self.screenshot(label)
            if not drawn(shot[0]):
                before[0] = None
                return False
            if region is None:
                return True
            pixels = crop_rgb(shot[0], *region)
            settled = pixels == before[0]
            before[0] = pixels
            return settled

        wait_for(take, timeout, step=0.3)
        return shot[0]

    def window_rect(self, target=CARD):
        """The window's (x, y, w, h) on the screen."""
        f = self.window(target)
        return rect(f)[:2] + rect(f, "size")


class Checks:
    """Soft assertions: a case reports every mismatch it finds, not just the first."""

    def __init__(self):
        self.failures = []

    def eq(self, got, want, what):
        if got != want:
            self.failures.append("%s: got %r, want %r" % (what, got, want))
        return got == want

    def true(self, cond, what):
        if not cond:
            self.failures.append(what)
        return bool(cond)

    def done(self):
        if self.failures:
            raise AssertionError("%d check(s) failed:\n  " % len(self.failures) + "\n  ".join(self.failures))


def rect(fields, key="rect"):
    return tuple(int(v) for v in fields[key].split(","))


def crop_rgb(png, x, y, w, h):
    """Raw RGB bytes of a screenshot's region (ImageMagick does the decoding)."""
    out = subprocess.run(["convert", png, "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage", "-depth", "8", "rgb:-"],
                         capture_output=True, timeout=30, check=True).stdout
    return out


def ink_rows(png, r, is_ink):
    """Rows (0-based in the region) that hold at least one pixel for which
    is_ink((r, g, b)) holds."""
    x, y, w, h = r
    raw = crop_rgb(png, x, y, w, h)
    rows = []
    for row in range(h):
        line = raw[row * w * 3:(row + 1) * w * 3]
        if any(is_ink((line[i], line[i + 1], line[i + 2])) for i in range(0, len(line), 3)):
            rows.append(row)
    return rows


def row_groups(rows):
    """Runs of consecutive rows: one run per line of text."""
    groups = []
    for r in rows:
        if groups and r == groups[-1][-1] + 1:
            groups[-1].append(r)
        else:
            groups.append([r])
    return groups


def cyanish(p):
    return p[1] > 100 and p[2] > 100 and p[0] < 100


def menu_items_args(items):
    return " ".join(escape(i.encode("latin-1")) for i in items)


def reference_menu(card, x, y, items, label):
    """Opens the probe's own popup menu with `items` at (x, y), screenshots
    it and returns (rect, RGB bytes of the menu, [item rects relative to the menu])."""
    args = ["wine", card.probe_exe, "refmenu", str(x), str(y), "4000"] + [i for i in items]
    p = subprocess.Popen(args, env=card.env, cwd=card.base, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    card.procs.append(p)
    rect_, rels = None, []
    deadline = time.time() + 30
    while time.time() < deadline:
        line = p.stdout.readline().decode("latin-1").strip()
        if not line:
            break
        f = parse_fields(line)
        if line.startswith("refmenu rect="):
            rect_ = tuple(int(v) for v in f["rect"].split(","))
        elif line.startswith("refitem"):
            rels.append(tuple(int(v) for v in f["rel"].split(",")))
        elif line == "refmenu shown":
            break
    time.sleep(0.3)
    shot = card.screenshot(label)
    raw = crop_rgb(shot, rect_[0], rect_[1], rect_[2] - rect_[0], rect_[3] - rect_[1]) if rect_ else b""
    p.stdout.read()
    p.wait(timeout=30)
    return rect_, raw, rels
