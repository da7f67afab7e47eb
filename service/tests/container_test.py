#!/usr/bin/env python3
"""Builds service/deploy/Containerfile with podman and checks the image as an
operator would run it.

    python3 -m service.tests.container_test [--keep]     (from the repository's root)

The two images the file starts FROM (debian:12 and debian:12-slim) are made
here with mmdebstrap from this machine's Debian mirror and imported into
podman's store under those names, so no registry is asked; they are made
once and kept (`podman rmi docker.io/library/debian:12 …` makes them anew).
`podman build --pull=never` then builds the file from the project's root,
with `--isolation=chroot` where the machine has no cgroup v2 (podman's OCI
isolation needs it there), keeping its layers as the cache of the next run.

The image then runs as `podman run -e CLOUDWICK_CONTACT=… IMAGE --provider
sample` with `--network=none`: the card's exact requests for both documents
are sent from inside the container to its port (bash's /dev/tcp, as the
HEALTHCHECK does), the HEALTHCHECK is run, the service must be PID 1, run as
a user other than root, with the options the environment names and its
state folder its own, and end with exit 0 soon after the STOPSIGNAL
(`podman stop`). Without CLOUDWICK_CONTACT the image must refuse to start
and say why.

Only what this check made is removed: its containers (by name), and the
image it built the time before once the new one replaces it.

Exit 0: passed; 1: failed; 77: skipped (no podman or mmdebstrap, or not
root).
"""
import argparse
import fcntl
import json
import os
import resource
import shutil
import subprocess
import sys
import time

from tests.support.waiting import wait_for

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CONTAINERFILE = os.path.join(REPO, "service", "deploy", "Containerfile")
IMAGE = "localhost/cloudwick-feed-check:latest"
SUITE = "bookworm"
# Debian's images are a minbase root; the slim ones also leave out
# documentation and locales.
SLIM_EXCLUDES = ["/usr/share/doc/*", "/usr/share/man/*", "/usr/share/info/*", "/usr/share/locale/*",
                 "/usr/share/lintian/*", "/usr/share/linda/*"]
BASES = {"docker.io/library/debian:12": [], "docker.io/library/debian:12-slim": SLIM_EXCLUDES}
CARD_FEED = "/forecastrss?w=4250542&u=c"
CARD_SEARCH = "/v1/public/yql?q=select%20*%20from%20geo.places%20where%20text%20%3D%20'Springfield'"
CONTACT = "container-check@example.invalid"
LOCK = "/var/tmp/cloudwick-container-check.lock"


def log(text):
    print("container_test: " + text, flush=True)


def podman(*args, check=True, capture=True, timeout=None, input=None):
    r = subprocess.run(["podman"] + list(args), stdout=subprocess.PIPE if capture else None,
                       stderr=subprocess.STDOUT if capture else None, timeout=timeout, input=input)
    out = r.stdout.decode(errors="replace") if capture else ""
    if check and r.returncode != 0:
        raise Failed("podman %s: exit %d\n%s" % (" ".join(args)[:200], r.returncode, out[-3000:]))
    return r.returncode, out


class Failed(Exception):
    pass


def make_base(name, excludes):
    """The Debian image `name`, from this machine's mirror, unless podman has it."""
    if podman("image", "exists", name, check=False)[0] == 0:
        return
    started = time.time()
    argv = ["mmdebstrap", "--variant=minbase", "--quiet", "--include=ca-certificates"]
    argv += ["--dpkgopt=path-exclude=%s" % e for e in excludes]
    if excludes:
        argv += ["--dpkgopt=path-include=/usr/share/locale/locale.alias"]
    maker = subprocess.Popen(argv + [SUITE, "-"], stdout=subprocess.PIPE)
    r = subprocess.run(["podman", "import", "-", name], stdin=maker.stdout, stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT)
    maker.stdout.close()
    if maker.wait() != 0 or r.returncode != 0:
        raise Failed("could not make %s (mmdebstrap %d, podman import %d): %s"
                     % (name, maker.returncode, r.returncode, r.stdout.decode(errors="replace")[-2000:]))
    log("made the base %s in %.0f s" % (name, time.time() - started))


def run_options():
    """What `podman run` needs on this machine: runc where there is no cgroup
    v2 (crun refuses a hybrid hierarchy), resource limits no higher than this
    process's own (a container may not raise them), and no health-check
    timer (it needs systemd; the check runs it itself)."""
    opts = ["--health-interval=disable"]
    if isolation() == "chroot" and shutil.which("runc"):
        opts = ["--runtime", "runc"] + opts
    nofile = resource.getrlimit(resource.RLIMIT_NOFILE)[1]
    nofile = 65536 if nofile == resource.RLIM_INFINITY else min(nofile, 65536)
    return opts + ["--ulimit", "nofile=%d:%d" % (nofile, nofile), "--ulimit", "nproc=4096:4096"]


def isolation():
    """chroot where podman's OCI isolation cannot be had (no cgroup v2)."""
    _, out = podman("info", "--format", "{{.Host.CgroupsVersion}}", check=False)
    return "oci" if out.strip() == "v2" else "chroot"


def image_id(name):
    rc, out = podman("image", "inspect", "--format", "{{.Id}}", name, check=False)
    return out.strip() if rc == 0 else None


def ask(container, path):
    """The card's exact request, sent from inside the container; (status, body)."""
    with open(os.path.join(REPO, "tests", "golden", "card_request.http"), "rb") as f:
        request = f.read().replace(b"<target>", path.encode()).replace(b"<host>", b"localhost")
    # The card keeps the connection; here the reply is read to its end.
    request = request.replace(b"Connection: Keep-Alive", b"Connection: close").decode()
    rc, out = podman("exec", "-i", container, "bash", "-c",
                     "exec 3<>/dev/tcp/127.0.0.1/8080 && cat >&3 && cat <&3", check=False, timeout=30,
                     input=request.encode())
    head, _, body = out.partition("\r\n\r\n")
    status = int(head.split(" ")[1]) if head.startswith("HTTP/") and len(head.split(" ")) > 1 else 0
    return status, body


def check_running(name, config):
    """The image's service in a container of its own; a list of failures."""
    problems = []
    podman("run", "-d", "--name", name, "--network=none", *run_options(), "-e", "CLOUDWICK_CONTACT=" + CONTACT,
           IMAGE, "--provider", "sample")

    def listening():
        return podman("exec", name, "bash", "-c", "exec 3<>/dev/tcp/127.0.0.1/8080", check=False)[0] == 0

    def running():
        return podman("inspect", "--format", "{{.State.Running}}", name, check=False)[1].strip() == "true"

    started = time.time()
    if not wait_for(lambda: not running() or listening(), 30, step=0.2) or not running():
        return ["the service did not listen on 8080: " + podman("logs", name, check=False)[1][-2000:]]
    log("listening on 8080 after %.1f s" % (time.time() - started))
    for path, marks in ((CARD_FEED, ["<yweather:condition", "Springfield", 'temperature="C"']),
                        (CARD_SEARCH, ["<woeid>4250542</woeid>"])):
        status, body = ask(name, path)
        log("GET %s: %d, %d bytes" % (path[:40], status, len(body)))
        if status != 200:
            problems.append("GET %s answered %d" % (path, status))
        for mark in marks:
            if mark not in body:
                problems.append("GET %s: no %s in %r" % (path, mark, body[:200]))

    # PID 1 is the service itself (exec'd by the entry point, so it gets the stop signal).
    _, cmdline = podman("exec", name, "cat", "/proc/1/cmdline", check=False)
    given = cmdline.split("\0")
    _, uid = podman("exec", name, "id", "-u", check=False)
    log("PID 1 runs as uid %s: %s" % (uid.strip(), " ".join(given)[:300]))
    if not given[0].endswith("/cloudwick-feed"):
        problems.append("PID 1 is %s, not the service (exec it, so it gets the stop signal)" % given[0])
    if uid.strip() in ("", "0"):
        problems.append("the service runs as root")
    env = dict(e.split("=", 1) for e in config["Env"] or [] if "=" in e)
    env["CLOUDWICK_CONTACT"] = CONTACT
    for option, variable in (("--contact", "CLOUDWICK_CONTACT"), ("--allowed-host", "CLOUDWICK_HOST"),
                             ("--state-dir", "CLOUDWICK_STATE_DIR")):
        at = given.index(option) + 1 if option in given else len(given)
        if env.get(variable) and given[at:at + 1] != [env[variable]]:
            problems.append("%s is not passed as %s" % (variable, option))
    state = env.get("CLOUDWICK_STATE_DIR")
    if state:
        _, owner = podman("exec", name, "stat", "-c", "%u", state, check=False)
        if owner.strip() != uid.strip():
            problems.append("the state folder %s is missing or not the service's own (%s)" % (state, owner.strip()))

    if config.get("Healthcheck"):
        rc, out = podman("healthcheck", "run", name, check=False, timeout=60)
        log("HEALTHCHECK: exit %d %s" % (rc, out.strip()[:200]))
        if rc != 0:
            problems.append("the HEALTHCHECK failed (exit %d): %s" % (rc, out.strip()[:200]))

    stop = time.time()
    podman("stop", "--time", "10", name, check=False, timeout=60)
    took = time.time() - stop
    _, code = podman("inspect", "--format", "{{.State.ExitCode}}", name, check=False)
    log("stopped with %s: exit %s after %.1f s" % (config.get("StopSignal") or "SIGTERM", code.strip(), took))
    if code.strip() != "0":
        problems.append("exit %s after the stop signal" % code.strip())
    if took > 9:
        problems.append("still running %.0f s after the stop signal" % took)
    print("---- the service's output\n" + podman("logs", name, check=False)[1][-3000:] + "----", flush=True)
    return problems


def check_refuses_without_contact(name):
    """Without a contact the image must refuse to start, and say why."""
    rc, out = podman("run", "--name", name, "--network=none", *run_options(), IMAGE, "--provider", "sample",
                     check=False, timeout=60)
    log("without a contact: exit %d: %s" % (rc, out.strip()[:200]))
    if rc == 0 or "CLOUDWICK_CONTACT" not in out:
        return ["without CLOUDWICK_CONTACT: exit %d, %r" % (rc, out.strip()[:200])]
    return []


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--keep", action="store_true", help="keep the check's containers for a look")
    opts = ap.parse_args()
    if not shutil.which("podman"):
        print("SKIP: podman is not installed (bash tools/setup.sh installs it)")
        return 77
    if not shutil.which("mmdebstrap"):
        print("SKIP: mmdebstrap is not installed (bash tools/setup.sh installs it)")
        return 77
    if os.geteuid() != 0:
        print("SKIP: needs root (podman's store of this machine, chroot builds)")
        return 77
    lock = open(LOCK, "w")
    fcntl.flock(lock, fcntl.LOCK_EX)  # one check at a time: they share the base images and the tag
    started = time.time()
    names = ["cloudwick-feed-check-%d-%s" % (os.getpid(), what) for what in ("run", "nocontact")]
    problems = []
    try:
        for base, excludes in BASES.items():
            make_base(base, excludes)
        before = image_id(IMAGE)
        how = isolation()
        log("podman build --isolation=%s" % how)
        # One compile job: the test command runs the other tests beside this one.
        rc, out = podman("build", "--pull=never", "--isolation=" + how, "--layers", "--format", "docker",
                         "--build-arg", "BUILD_JOBS=1",
                         "-f", CONTAINERFILE,
                         "-t", IMAGE, REPO, check=False, capture=False)
        if rc != 0:
            raise Failed("podman build failed (exit %d)" % rc)
        after = image_id(IMAGE)
        if before and after and before != after:
            podman("rmi", before, check=False)  # the last run's image, now untagged; its layers stay cached
        log("built in %.0f s" % (time.time() - started))
        inspected = json.loads(podman("image", "inspect", IMAGE)[1])[0]
        config = dict(inspected["Config"], Healthcheck=inspected.get("Healthcheck"))
        if not config["Healthcheck"]:
            problems.append("the image has no HEALTHCHECK (built without --format docker?)")
        problems += check_running(names[0], config)
        problems += check_refuses_without_contact(names[1])
    except (Failed, subprocess.TimeoutExpired) as e:
        problems.append(str(e))
    finally:
        if not opts.keep:
            for name in names:
                podman("rm", "--force", "--volumes", "--time", "0", name, check=False)
    for p in problems:
        print("FAIL: " + p, flush=True)
    log("%s in %.0f s" % ("FAILED" if problems else "PASS", time.time() - started))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
