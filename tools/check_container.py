#!/usr/bin/env python3
"""Checks service/deploy/Containerfile without a container engine: its steps
run in clean Debian 12 roots made with mmdebstrap (or debootstrap) from this
machine's Debian mirror, then the service starts in the final stage's root,
in a network and process namespace of its own, and must serve the card's two
documents.

    sudo python3 tools/check_container.py [--containerfile F] [--context DIR]
        [--cache DIR] [--env NAME=VALUE]... [--build-arg NAME=VALUE]...

Each stage is built as a container engine builds it: FROM gives a fresh root,
ARG/ENV/WORKDIR/USER set what the next steps see, RUN runs `/bin/sh -c` in
the root with chroot (a private /proc, /dev and PID namespace, the host's
network for the package mirror), COPY takes files from the context or, with
--from, from an earlier stage. Every step that changes files is a layer (an
overlay upper folder) cached under out/container-check/layers, keyed by the
base, the step and everything before it (for COPY, the copied bytes), so a
second run with the same package lists and sources takes seconds. Layers no
step of this run used are removed.

The final stage then runs as `podman run -e ... IMAGE --provider sample`
would: the ENTRYPOINT (and CMD) with the image's environment, user and
working folder, as PID 1 of its own PID namespace, in a network namespace
that has only loopback. The check asks for the weather and place documents
with the card's exact request bytes, runs the HEALTHCHECK, checks the
program runs as a user other than root, then stops it with the STOPSIGNAL
and expects a prompt exit 0.

Exit 0: passed; 1: failed; 77: skipped (not root, or no mmdebstrap or
debootstrap). The check runs again as PID 1 of a PID namespace of its own
and makes every mount in a private mount namespace, so however it ends,
even killed, no process and no mount is left.
"""
import argparse
import ctypes
import fcntl
import glob
import hashlib
import json
import os
import re
import shlex
import shutil
import signal
import socket
import subprocess
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))
from netns import loopback_up  # noqa: E402

LAYOUT_VERSION = "3"  # part of every cache key: bump when a layer's making changes
SUITE = "bookworm"
# What FROM may name, and how the image is made: Debian's images are a
# minbase root; the slim ones also leave out documentation and locales.
SLIM_EXCLUDES = ["/usr/share/doc/*", "/usr/share/man/*", "/usr/share/info/*", "/usr/share/locale/*",
                 "/usr/share/lintian/*", "/usr/share/linda/*"]
IMAGES = {
    "debian:12": [], "debian:bookworm": [],
    "debian:12-slim": SLIM_EXCLUDES, "debian:bookworm-slim": SLIM_EXCLUDES,
}
DEFAULT_PATH = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"
CLONE_NEWNS, CLONE_NEWNET = 0x00020000, 0x40000000
CARD_FEED = "/forecastrss?w=4250542&u=c"
CARD_SEARCH = "/v1/public/yql?q=select%20*%20from%20geo.places%20where%20text%20%3D%20'Springfield'"


class Failed(Exception):
    pass


def log(text):
    print("check_container: " + text, flush=True)


def unshare(flags):
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.unshare(flags) != 0:
        raise OSError(ctypes.get_errno(), "unshare")


def die_with_parent():
    """For a child: SIGKILL when this check ends, however it ends (with
    unshare's --kill-child, its namespace's PID 1 goes too, and with it the
    whole namespace)."""
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def run(argv, **kw):
    r = subprocess.run(argv, **kw)
    if r.returncode != 0:
        raise Failed("%s exited with %d" % (" ".join(argv[:3]), r.returncode))
    return r


# ---------------------------------------------------------------- parsing

def substitute(text, env):
    """$NAME, ${NAME}, ${NAME:-word} and ${NAME:+word}, as in a Containerfile."""
    def one(m):
        name = m.group(1) or m.group(2)
        op, word = m.group(3), m.group(4)
        value = env.get(name, "")
        if op == ":-":
            return value or word
        if op == ":+":
            return word if value else ""
        return value
    return re.sub(r"\$(?:([A-Za-z_][A-Za-z0-9_]*)|\{([A-Za-z_][A-Za-z0-9_]*)(?:(:[-+])([^}]*))?\})", one, text)


def logical_lines(text):
    """(line number, instruction, arguments): comments dropped, continued lines joined."""
    out, buf, start = [], "", 0
    for n, line in enumerate(text.splitlines(), 1):
        if line.lstrip().startswith("#"):
            continue
        if not buf:
            start = n
            if not line.strip():
                continue
        if line.rstrip().endswith("\\"):
            buf += line.rstrip()[:-1] + " "
            continue
        buf += line
        word, _, rest = buf.strip().partition(" ")
        out.append((start, word.upper(), rest.strip()))
        buf = ""
    if buf:
        raise Failed("the file ends inside a continued line")
    return out


def exec_or_shell(args):
    """A JSON list as it is; other text as /bin/sh -c TEXT."""
    if args.startswith("["):
        try:
            argv = json.loads(args)
        except ValueError as e:
            raise Failed("not a JSON list: %s (%s)" % (args, e))
        if not all(isinstance(a, str) for a in argv):
            raise Failed("not a list of strings: " + args)
        return argv
    return ["/bin/sh", "-c", args]


def parse(text, build_args):
    """The stages: each a dict with its base image, name and steps."""
    stages, global_args = [], {}
    for n, word, args in logical_lines(text):
        where = "line %d: %s" % (n, word)
        if word == "FROM":
            m = re.fullmatch(r"(\S+)(?:\s+AS\s+(\S+))?", substitute(args, global_args), re.I)
            if not m:
                raise Failed(where + " wants IMAGE [AS NAME]")
            stages.append({"image": m.group(1), "name": m.group(2) or str(len(stages)), "steps": [], "line": n})
            continue
        if word == "ARG" and not stages:
            name, _, value = args.partition("=")
            global_args[name] = build_args.get(name, value)
            continue
        if not stages:
            raise Failed(where + " comes before the first FROM")
        stages[-1]["steps"].append((n, word, args))
    if not stages:
        raise Failed("no FROM")
    return stages, global_args


# ---------------------------------------------------------------- roots

def mirror_sources():
    """The host's Debian entries for this suite, in deb822 form."""
    entries = []
    files = glob.glob("/etc/apt/sources.list") + sorted(glob.glob("/etc/apt/sources.list.d/*.list")) + \
        sorted(glob.glob("/etc/apt/sources.list.d/*.sources"))
    for path in files:
        text = open(path).read()
        if path.endswith(".sources"):
            for block in re.split(r"\n\s*\n", text):
                fields = dict(re.findall(r"^([A-Za-z-]+):\s*(.*)$", block, re.M))
                if fields.get("Enabled", "yes") != "no" and "deb" in fields.get("Types", "").split():
                    entries.append((fields.get("URIs", ""), fields.get("Suites", ""), fields.get("Components", "main")))
        else:
            for line in text.splitlines():
                m = re.match(r"\s*deb\s+(?:\[[^]]*\]\s+)?(\S+)\s+(\S+)\s+(.*)", line)
                if m:
                    entries.append(m.groups())
    keep = []
    for uris, suites, components in entries:
        suites = [s for s in suites.split() if s.split("-")[0] == SUITE]
        if suites and "debian" in uris:
            keep.append("Types: deb\nURIs: %s\nSuites: %s\nComponents: %s\n" % (uris, " ".join(suites), components))
    if not keep:
        raise Failed("no Debian %s entry in /etc/apt/sources.list*" % SUITE)
    return "\n".join(keep)


def bootstrap_tool(choice):
    """mmdebstrap, else debootstrap (or the one asked for); None when missing."""
    for tool in ([choice] if choice != "auto" else ["mmdebstrap", "debootstrap"]):
        if shutil.which(tool):
            return tool
    return None


def make_base(path, excludes, sources, cache, tool):
    """A fresh Debian 12 root as the image would hold it."""
    tmp = path + ".tmp"
    shutil.rmtree(tmp, ignore_errors=True)
    started = time.time()
    if tool == "mmdebstrap":
        src = os.path.join(cache, "mirror.sources")
        with open(src, "w") as f:
            f.write(sources)
        argv = ["mmdebstrap", "--quiet", "--mode=root", "--variant=minbase", "--format=directory",
                SUITE, tmp, src]
        for pattern in excludes:
            argv[1:1] = ["--dpkgopt=path-exclude=" + pattern]
        run(argv, stdout=subprocess.DEVNULL, preexec_fn=die_with_parent)
    else:
        mirror = re.search(r"URIs:\s*(\S+)", sources).group(1)
        run(["debootstrap", "--variant=minbase", SUITE, tmp, mirror], stdout=subprocess.DEVNULL, preexec_fn=die_with_parent)
        with open(os.path.join(tmp, "etc/apt/sources.list.d/mirror.sources"), "w") as f:
            f.write(sources)
        if os.path.exists(os.path.join(tmp, "etc/apt/sources.list")):
            os.remove(os.path.join(tmp, "etc/apt/sources.list"))
        if excludes:
            with open(os.path.join(tmp, "etc/dpkg/dpkg.cfg.d/slim"), "w") as f:
                f.write("".join("path-exclude=%s\n" % p for p in excludes))
    # As in Debian's container images: dpkg does not sync every file.
    with open(os.path.join(tmp, "etc/dpkg/dpkg.cfg.d/docker-apt-speedup"), "w") as f:
        f.write("force-unsafe-io\n")
    # ... and apt keeps no downloaded packages once they are installed.
    clean = "rm -f /var/cache/apt/archives/*.deb /var/cache/apt/archives/partial/*.deb /var/cache/apt/*.bin || true"
    with open(os.path.join(tmp, "etc/apt/apt.conf.d/docker-clean"), "w") as f:
        f.write('DPkg::Post-Invoke { "%s"; };\nAPT::Update::Post-Invoke { "%s"; };\n'
                'Dir::Cache::pkgcache "";\nDir::Cache::srcpkgcache "";\n' % (clean, clean))
    # No package's service may start: a chroot shares the host's init.
    with open(os.path.join(tmp, "usr/sbin/policy-rc.d"), "w") as f:
        f.write("#!/bin/sh\nexit 101\n")
    os.chmod(os.path.join(tmp, "usr/sbin/policy-rc.d"), 0o755)
    os.rename(tmp, path)
    log("made the base root %s in %.0f s" % (os.path.basename(path), time.time() - started))


class Stack:
    """A stage's root: overlay layers on a base, mounted on `merged`."""

    def __init__(self, work, name, lowers):
        self.work, self.name, self.lowers = work, name, list(lowers)
        self.merged = os.path.join(work, "root-" + name)
        self.mounted = False

    def mount(self, upper=None):
        self.unmount()
        os.makedirs(self.merged, exist_ok=True)
        lower = ":".join(reversed(self.lowers))  # the newest first
        if upper:
            scratch = os.path.join(self.work, "overlay-work-" + self.name)
            shutil.rmtree(scratch, ignore_errors=True)
            os.makedirs(scratch)
            opts = "lowerdir=%s,upperdir=%s,workdir=%s" % (lower, upper, scratch)
        elif len(self.lowers) == 1:
            run(["mount", "--bind", "-o", "ro", lower, self.merged])
            self.mounted = True
            return
        else:
            opts = "lowerdir=%s" % lower
        run(["mount", "-t", "overlay", "overlay", "-o", opts, self.merged])
        self.mounted = True

    def unmount(self):
        if self.mounted:
            run(["umount", "-R", self.merged])
            self.mounted = False


def prepare_dev(root):
    """A /dev of its own with the usual devices bound from the host, and the
    host's resolver configuration for the package mirror."""
    dev = os.path.join(root, "dev")
    run(["mount", "-t", "tmpfs", "-o", "mode=755,nosuid", "tmpfs", dev])
    for name in ("null", "zero", "full", "random", "urandom", "tty"):
        open(os.path.join(dev, name), "w").close()
        run(["mount", "--bind", "/dev/" + name, os.path.join(dev, name)])
    for name in ("pts", "shm"):
        os.makedirs(os.path.join(dev, name))
    run(["mount", "-t", "devpts", "-o", "newinstance,ptmxmode=0666,mode=620", "devpts", os.path.join(dev, "pts")])
    os.symlink("pts/ptmx", os.path.join(dev, "ptmx"))
    run(["mount", "-t", "tmpfs", "-o", "mode=1777,nosuid,nodev", "tmpfs", os.path.join(dev, "shm")])
    for n, name in enumerate(("stdin", "stdout", "stderr")):
        os.symlink("/proc/self/fd/%d" % n, os.path.join(dev, name))
    os.symlink("/proc/self/fd", os.path.join(dev, "fd"))
    resolv = os.path.join(root, "etc/resolv.conf")
    if os.path.islink(resolv):
        os.remove(resolv)
    if not os.path.exists(resolv):
        open(resolv, "w").close()
    run(["mount", "--bind", "-o", "ro", "/etc/resolv.conf", resolv])


def release_dev(root):
    for path in (os.path.join(root, "etc/resolv.conf"), os.path.join(root, "dev")):
        subprocess.run(["umount", "-R", path], stderr=subprocess.DEVNULL)


def passwd_entry(root, user):
    """(uid, gid, home) of USER[:GROUP] as the root's own files say."""
    name, _, group = user.partition(":")
    uid = gid = home = None
    for line in open(os.path.join(root, "etc/passwd")):
        f = line.rstrip("\n").split(":")
        if len(f) >= 7 and (f[0] == name or f[2] == name):
            uid, gid, home = int(f[2]), int(f[3]), f[5]
    if uid is None:
        if not name.isdigit():
            raise Failed("no user %s in the image" % name)
        uid, gid, home = int(name), int(name), "/"
    if group:
        gid = None
        for line in open(os.path.join(root, "etc/group")):
            f = line.split(":")
            if f[0] == group or f[2] == group:
                gid = int(f[2])
        if gid is None:
            gid = int(group) if group.isdigit() else None
        if gid is None:
            raise Failed("no group %s in the image" % group)
    return uid, gid, home


def in_root(root, argv, env, user, workdir, net=False):
    """argv for `argv` run in `root` as PID 1 of a new PID namespace (with a
    /proc of its own), as `user`, in `workdir`, with exactly `env`."""
    uid, gid, home = passwd_entry(root, user)
    env = dict(env)
    env.setdefault("PATH", DEFAULT_PATH)
    env.setdefault("HOME", home or "/")
    setup = ["/usr/bin/unshare", "--pid", "--fork", "--kill-child", "--mount-proc=" + os.path.join(root, "proc")]
    if net:
        setup.insert(1, "--net")
    return (setup + ["/usr/sbin/chroot", "--userspec=%d:%d" % (uid, gid), "--groups=%d" % gid, root,
                     "/bin/sh", "-c", 'cd -- "$0" || exit 1; exec "$@"', workdir] + argv, env)


# ---------------------------------------------------------------- building

def tree_digest(paths):
    h = hashlib.sha256()
    for top in paths:
        entries = [top] if not os.path.isdir(top) or os.path.islink(top) else None
        if entries is None:
            entries = []
            for d, dirs, files in os.walk(top):
                dirs.sort()
                entries += [os.path.join(d, x) for x in dirs + sorted(files)]
        for p in entries:
            st = os.lstat(p)
            h.update(("%s\0%o\0" % (os.path.relpath(p, top), st.st_mode)).encode())
            if os.path.islink(p):
                h.update(os.readlink(p).encode())
            elif os.path.isfile(p):
                with open(p, "rb") as f:
                    for chunk in iter(lambda: f.read(1 << 20), b""):
                        h.update(chunk)
    return h.hexdigest()


def copy_into(sources, dest, root, workdir, chown):
    """COPY's rules: a folder's contents go into dest; several sources or a
    dest ending in / make dest a folder."""
    target = os.path.join(workdir, dest) if not dest.startswith("/") else dest
    into_dir = dest.endswith("/") or len(sources) > 1
    host_target = os.path.join(root, target.lstrip("/"))
    for src in sources:
        if os.path.isdir(src) and not os.path.islink(src):
            os.makedirs(host_target, exist_ok=True)
            run(["cp", "-a", "--no-preserve=ownership", src + "/.", host_target])
        else:
            to = os.path.join(host_target, os.path.basename(src)) if into_dir else host_target
            os.makedirs(os.path.dirname(to), exist_ok=True)
            run(["cp", "-a", "--no-preserve=ownership", src, to])
        if chown:
            run(["chown", "-R", "%d:%d" % chown, to if not os.path.isdir(src) else host_target])


class Builder:
    def __init__(self, opts):
        self.opts = opts
        self.cache = os.path.abspath(opts.cache)
        self.layers = os.path.join(self.cache, "layers")
        self.work = os.path.join(self.cache, "work")
        self.used = set()
        self.stages = {}
        os.makedirs(self.layers, exist_ok=True)
        # One check at a time on a cache; what a killed one left goes (its
        # mounts and processes went with it).
        self.lock = open(os.path.join(self.cache, "lock"), "w")
        fcntl.flock(self.lock, fcntl.LOCK_EX)
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.sources = mirror_sources()

    def layer(self, key, make, stack):
        """The cached layer for `key`, made by make(merged root) when missing."""
        path = os.path.join(self.layers, key)
        self.used.add(key)
        if not os.path.isdir(path):
            upper = path + ".tmp"
            shutil.rmtree(upper, ignore_errors=True)
            os.makedirs(upper)
            stack.mount(upper)
            try:
                make(stack.merged)
            finally:
                release_dev(stack.merged)
                stack.unmount()
            os.rename(upper, path)
        stack.lowers.append(path)

    def build_stage(self, stage, global_args):
        image = stage["image"]
        if image not in IMAGES:
            raise Failed("line %d: FROM %s: the check makes Debian 12 images only (%s)"
                         % (stage["line"], image, ", ".join(sorted(IMAGES))))
        key = hashlib.sha256(("%s\0%s\0%s\0%s\0%s" % (LAYOUT_VERSION, SUITE, IMAGES[image], self.sources,
                                                     self.opts.tool)).encode())
        base_key = "base-" + key.hexdigest()[:16]
        base = os.path.join(self.layers, base_key)
        self.used.add(base_key)
        if not os.path.isdir(base):
            make_base(base, IMAGES[image], self.sources, self.cache, self.opts.tool)
        stack = Stack(self.work, stage["name"], [base])
        chain = base_key
        state = {"env": {}, "args": {}, "user": "root", "workdir": "/", "entrypoint": None, "cmd": None,
                 "expose": [], "healthcheck": None, "stopsignal": "SIGTERM", "stack": stack}
        for n, word, args in stage["steps"]:
            started = time.time()
            seen = dict(state["args"], **state["env"])
            where = "%s line %d %s" % (stage["name"], n, word)
            step_key = None
            if word == "ARG":
                name, eq, value = args.partition("=")
                default = substitute(value, dict(global_args, **seen)) if eq else global_args.get(name, "")
                state["args"][name] = self.opts.build_args.get(name, default)
            elif word == "ENV":
                text = substitute(args, seen)
                if "=" not in text.split(" ", 1)[0]:
                    name, _, value = text.partition(" ")
                    state["env"][name] = value.strip()
                else:
                    for item in shlex.split(text):
                        name, _, value = item.partition("=")
                        state["env"][name] = value
            elif word == "WORKDIR":
                wd = substitute(args, seen)
                state["workdir"] = os.path.normpath(os.path.join(state["workdir"], wd))
                step_key = ("WORKDIR", state["workdir"])

                def make(root, wd=state["workdir"]):
                    os.makedirs(os.path.join(root, wd.lstrip("/")), exist_ok=True)
            elif word == "USER":
                state["user"] = substitute(args, seen)
            elif word == "RUN":
                argv = exec_or_shell(args)
                env = dict(state["args"], **state["env"])
                step_key = ("RUN", argv, sorted(env.items()), state["user"], state["workdir"])

                def make(root, argv=argv, env=env):
                    prepare_dev(root)
                    cmd, e = in_root(root, argv, env, state["user"], state["workdir"])
                    log("%s: %s" % (where, " ".join(argv[2:] if argv[:2] == ["/bin/sh", "-c"] else argv)[:100]))
                    r = subprocess.run(cmd, env=e, stdin=subprocess.DEVNULL, preexec_fn=die_with_parent)
                    if r.returncode != 0:
                        raise Failed("%s exited with %d" % (where, r.returncode))
            elif word == "COPY":
                words = exec_or_shell(args) if args.startswith("[") else shlex.split(substitute(args, seen))
                flags = [w for w in words if w.startswith("--")]
                paths = [w for w in words if not w.startswith("--")]
                if len(paths) < 2:
                    raise Failed(where + " wants SOURCE... DEST")
                src_from, chown = None, None
                for f in flags:
                    if f.startswith("--from="):
                        src_from = f[7:]
                    elif f.startswith("--chown="):
                        chown = f[8:]
                    else:
                        raise Failed("%s: the check does not know %s" % (where, f))
                if src_from is not None:
                    if src_from not in self.stages:
                        raise Failed("%s: no earlier stage %s" % (where, src_from))
                    other = self.stages[src_from]["stack"]
                    if not other.mounted:
                        other.mount()
                    top = other.merged
                    src_key = other.lowers[-1]
                else:
                    top = os.path.abspath(self.opts.context)
                    src_key = None
                sources = []
                for p in paths[:-1]:
                    full = os.path.normpath(os.path.join(top, p.lstrip("/")))
                    if os.path.commonpath([full, top]) != top or not os.path.lexists(full):
                        raise Failed("%s: %s is not in %s" % (where, p, "stage " + src_from if src_from else "the context"))
                    sources.append(full)
                digest = src_key if src_key else tree_digest(sources)
                step_key = ("COPY", paths, digest, chown, state["workdir"])

                def make(root, sources=sources, dest=paths[-1], chown=chown):
                    ids = passwd_entry(root, chown)[:2] if chown else None
                    copy_into(sources, dest, root, state["workdir"], ids)
            elif word in ("ENTRYPOINT", "CMD"):
                state[word.lower()] = exec_or_shell(args)
                if word == "ENTRYPOINT":
                    state["cmd"] = None
            elif word == "EXPOSE":
                state["expose"] += substitute(args, seen).split()
            elif word == "STOPSIGNAL":
                state["stopsignal"] = substitute(args, seen)
            elif word == "HEALTHCHECK":
                m = re.match(r"((?:--\S+\s+)*)CMD\s+(.*)", args)
                state["healthcheck"] = None if args.strip().upper() == "NONE" else exec_or_shell(m.group(2)) if m else None
                if state["healthcheck"] is None and args.strip().upper() != "NONE":
                    raise Failed(where + " wants [OPTIONS] CMD ... or NONE")
            elif word in ("VOLUME", "LABEL"):
                pass
            else:
                raise Failed("%s: the check does not know this instruction" % where)
            if step_key is not None:
                chain = hashlib.sha256(json.dumps([chain, step_key], sort_keys=True).encode()).hexdigest()[:24]
                made = not os.path.isdir(os.path.join(self.layers, chain))
                self.layer(chain, make, stack)
                if made:
                    log("%s: %.0f s" % (where, time.time() - started))
        self.stages[stage["name"]] = state
        return state

    def prune(self):
        for name in os.listdir(self.layers):
            if name not in self.used:
                shutil.rmtree(os.path.join(self.layers, name), ignore_errors=True)


# ---------------------------------------------------------------- running

def ask(port, path, timeout=10):
    """The card's exact request; the reply's status, headers and body."""
    request = ("GET %s HTTP/1.1\r\nAccept: */*\r\nAccept-Language: en-us\r\nAccept-Encoding: \r\n"
               "User-Agent: \r\nHost: localhost\r\nConnection: Keep-Alive\r\n\r\n" % path).encode()
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(request)
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = s.recv(65536)
            if not chunk:
                break
            data += chunk
        head, _, body = data.partition(b"\r\n\r\n")
        m = re.search(rb"\r\ncontent-length:\s*(\d+)", head, re.I)
        want = int(m.group(1)) if m else None
        while want is None or len(body) < want:
            chunk = s.recv(65536)
            if not chunk:
                break
            body += chunk
    status = int(head.split(b" ")[1]) if head.startswith(b"HTTP/") else 0
    return status, head.decode("latin-1"), body


def listening(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=1).close()
        return True
    except OSError:
        return False


def wait_for(condition, timeout, step=0.1):
    end = time.time() + timeout
    while time.time() < end:
        if condition():
            return True
        time.sleep(step)
    return condition()


def service_pid(launcher):
    """The host pid of the launcher's child: PID 1 inside the namespace."""
    for path in glob.glob("/proc/%d/task/*/children" % launcher):
        kids = open(path).read().split()
        if kids:
            return int(kids[0])
    return None


def check_running(final, env_over, extra_args, stage_root):
    """In a new network namespace (this process is a fork): start the image's
    command and check what it serves. Returns a list of failures."""
    unshare(CLONE_NEWNET)
    loopback_up()
    env = dict(final["env"], **env_over)
    argv = (final["entrypoint"] or []) + (extra_args if extra_args else (final["cmd"] or []))
    if not argv:
        return ["the image has neither ENTRYPOINT nor CMD"]
    ports = [int(p.split("/")[0]) for p in final["expose"] if p.split("/")[0].isdigit()]
    if not ports:
        return ["the image EXPOSEs no port"]
    port = ports[0]
    problems = []
    cmd, e = in_root(stage_root, argv, env, final["user"], final["workdir"])
    log("starting %s" % " ".join(shlex.quote(a) for a in argv)[:300])
    out = open(os.path.join(os.path.dirname(stage_root), "service.log"), "w+")
    launcher = subprocess.Popen(cmd, env=e, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                                preexec_fn=die_with_parent)
    try:
        started = time.time()
        if not wait_for(lambda: listening(port) or launcher.poll() is not None, 20) or launcher.poll() is not None:
            out.seek(0)
            return ["the service did not listen on %d (exit %s): %s" % (port, launcher.poll(), out.read()[-2000:])]
        log("listening on %d after %.1f s" % (port, time.time() - started))
        for path, marks in ((CARD_FEED, [b"<yweather:condition", b"Springfield", b'temperature="C"']),
                            (CARD_SEARCH, [b"<woeid>4250542</woeid>"])):
            status, head, body = ask(port, path)
            log("GET %s: %d, %d bytes" % (path[:40], status, len(body)))
            if status != 200:
                problems.append("GET %s answered %d" % (path, status))
            for mark in marks:
                if mark not in body:
                    problems.append("GET %s: no %s in %r" % (path, mark.decode(), body[:200]))
        pid = service_pid(launcher.pid)
        uid = None
        if pid:
            for line in open("/proc/%d/status" % pid):
                if line.startswith("Uid:"):
                    uid = int(line.split()[1])
            exe = os.readlink("/proc/%d/exe" % pid)
            log("running as uid %s: %s" % (uid, exe))
            if uid in (None, 0):
                problems.append("the service runs as root")
            if not exe.endswith("/cloudwick-feed"):
                problems.append("PID 1 is %s, not the service (exec it, so it gets the stop signal)" % exe)
            given = open("/proc/%d/cmdline" % pid, "rb").read().decode().split("\0") if exe.endswith("/cloudwick-feed") else []
            log("its options: %s" % " ".join(given[1:]))
            passed = (("--contact", "CLOUDWICK_CONTACT"), ("--allowed-host", "CLOUDWICK_HOST"),
                      ("--state-dir", "CLOUDWICK_STATE_DIR")) if given else ()
            for option, variable in passed:
                at = given.index(option) + 1 if option in given else len(given)
                if env.get(variable) and given[at:at + 1] != [env[variable]]:
                    problems.append("%s is not passed as %s" % (variable, option))
            state = env.get("CLOUDWICK_STATE_DIR")
            if state:
                # The service keeps its state there: it must be able to write it.
                where = os.path.join(stage_root, state.lstrip("/"))
                if not os.path.isdir(where) or os.stat(where).st_uid != uid:
                    problems.append("the state folder %s is missing or not the service's own" % state)
        else:
            problems.append("no process under the launcher %d" % launcher.pid)
        if final["healthcheck"]:
            hc, he = in_root(stage_root, final["healthcheck"], env, final["user"], final["workdir"])
            r = subprocess.run(hc, env=he, timeout=30, stdin=subprocess.DEVNULL, preexec_fn=die_with_parent)
            log("HEALTHCHECK: exit %d" % r.returncode)
            if r.returncode != 0:
                problems.append("the HEALTHCHECK failed (exit %d)" % r.returncode)
        sig = final["stopsignal"]
        signum = int(sig) if sig.isdigit() else getattr(signal, sig if sig.startswith("SIG") else "SIG" + sig)
        stop = time.time()
        if pid:
            os.kill(pid, signum)
        try:
            rc = launcher.wait(timeout=10)
            log("stopped with %s: exit %d after %.1f s" % (sig, rc, time.time() - stop))
            if rc != 0:
                problems.append("exit %d after %s" % (rc, sig))
        except subprocess.TimeoutExpired:
            problems.append("still running 10 s after %s" % sig)
    finally:
        if launcher.poll() is None:
            # PID 1 of its namespace first: with it go all of the namespace's
            # processes (unshare's --kill-child does not reach a child that
            # changed its user).
            first = service_pid(launcher.pid)
            if first:
                os.kill(first, signal.SIGKILL)
            launcher.kill()
            launcher.wait()
        out.seek(0)
        text = out.read()
        if text:
            print("---- the service's output\n" + text[-3000:] + "----", flush=True)
    if "CLOUDWICK_CONTACT" in final["env"]:
        # Without a contact the image must refuse to start, and say why.
        cmd, e = in_root(stage_root, argv, dict(env, CLOUDWICK_CONTACT=""), final["user"], final["workdir"])
        r = subprocess.run(cmd, env=e, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           timeout=20, preexec_fn=die_with_parent)
        said = r.stdout.decode(errors="replace").strip()
        log("without a contact: exit %d: %s" % (r.returncode, said[:200]))
        if r.returncode == 0 or "CLOUDWICK_CONTACT" not in said:
            problems.append("without CLOUDWICK_CONTACT: exit %d, %r" % (r.returncode, said[:200]))
    return problems


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--containerfile", default=os.path.join(REPO, "service/deploy/Containerfile"))
    ap.add_argument("--context", default=REPO)
    ap.add_argument("--cache", default=os.path.join(REPO, "out/container-check"))
    ap.add_argument("--env", action="append", default=[], help="NAME=VALUE for the running service")
    ap.add_argument("--build-arg", action="append", default=[], help="NAME=VALUE for an ARG")
    ap.add_argument("--bootstrap", choices=["auto", "mmdebstrap", "debootstrap"], default="auto",
                    help="what makes the Debian roots (auto: mmdebstrap, else debootstrap)")
    ap.add_argument("args", nargs="*", help="arguments after the image name (default: --provider sample)")
    opts = ap.parse_args()
    opts.build_args = dict(a.split("=", 1) for a in opts.build_arg)
    env_over = dict(a.split("=", 1) for a in opts.env)
    env_over.setdefault("CLOUDWICK_CONTACT", "container-check@example.invalid")
    extra = opts.args or ["--provider", "sample"]

    if os.geteuid() != 0:
        print("SKIP: needs root (chroot, mounts, namespaces)")
        return 77
    opts.tool = bootstrap_tool(opts.bootstrap)
    if not opts.tool:
        print("SKIP: %s is not installed (bash tools/setup.sh installs mmdebstrap)"
              % ("neither mmdebstrap nor debootstrap" if opts.bootstrap == "auto" else opts.bootstrap))
        return 77
    if os.environ.get("CHECK_CONTAINER_PID_NAMESPACE") != "1":
        # Again as PID 1 of a PID namespace of its own: when this check ends,
        # however it ends, every process it started ends too.
        os.environ["CHECK_CONTAINER_PID_NAMESPACE"] = "1"
        return subprocess.call(["/usr/bin/unshare", "--pid", "--fork", "--kill-child", "--mount-proc",
                                sys.executable, os.path.abspath(__file__)] + sys.argv[1:], preexec_fn=die_with_parent)
    started = time.time()
    unshare(CLONE_NEWNS)  # every mount below is this process's own and goes with it
    run(["mount", "--make-rprivate", "/"])
    builder, code = None, 1
    try:
        stages, global_args = parse(open(opts.containerfile).read(), opts.build_args)
        builder = Builder(opts)
        final = None
        for stage in stages:
            log("stage %s from %s" % (stage["name"], stage["image"]))
            final = builder.build_stage(stage, global_args)
        log("built in %.0f s" % (time.time() - started))
        # The container's own writable layer, thrown away afterwards.
        upper = os.path.join(builder.work, "container")
        os.makedirs(upper)
        final["stack"].mount(upper)
        prepare_dev(final["stack"].merged)
        child = os.fork()
        if child == 0:
            code = 1
            try:
                die_with_parent()
                problems = check_running(final, env_over, extra, final["stack"].merged)
                for p in problems:
                    print("FAIL: " + p, flush=True)
                code = 1 if problems else 0
            except Exception as e:  # the child must never return into the parent's code
                print("FAIL: %s" % e, flush=True)
            finally:
                os._exit(code)
        _, status = os.waitpid(child, 0)
        code = os.waitstatus_to_exitcode(status)
    except Failed as e:
        print("FAIL: %s" % e, flush=True)
        code = 1
    finally:
        if builder:
            for state in builder.stages.values():
                release_dev(state["stack"].merged)
                state["stack"].unmount()
            shutil.rmtree(builder.work, ignore_errors=True)
            if code == 0:
                builder.prune()
    log("%s in %.0f s" % ("PASS" if code == 0 else "FAILED", time.time() - started))
    return code


if __name__ == "__main__":
    sys.exit(main())
