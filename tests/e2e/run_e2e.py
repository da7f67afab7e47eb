#!/usr/bin/python3
"""Runs one end-to-end case by name, e.g. `run_e2e.py layout.design_time_card`.

    run_e2e.py --list       every case name (used by CMake to register them)
    run_e2e.py --prepare    make the cached Wine prefix once

Cases are functions named case_* in the modules e2e_*.py beside this file.
Prints PASS, FAIL or SKIP; exits 0 for PASS and SKIP.
"""
import importlib
import os
import sys
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import harness  # noqa: E402

MODULES = ["e2e_selfcheck", "e2e_layout", "e2e_feed", "e2e_tray", "e2e_options", "e2e_service", "e2e_desktop"]


def all_cases():
    names = []
    for m in MODULES:
        try:
            mod = importlib.import_module(m)
        except ImportError:
            continue
        for attr in sorted(vars(mod)):
            if attr.startswith("case_"):
                names.append("%s.%s" % (m[len("e2e_"):], attr[len("case_"):]))
    return names


def private_network(argv):
    """Runs the case again in a network namespace of its own with only a
    loopback device, where /etc/hosts lacks "localhost" and the one name
    server is 127.0.0.1: name lookups can be made to stall without a packet
    leaving the machine."""
    work = harness.work_dir()
    hosts, resolv = os.path.join(work, "private-hosts"), os.path.join(work, "private-resolv.conf")
    with open(hosts, "w") as f:
        # The machine's own name stays (Wine looks it up at start); "localhost" goes.
        import socket
        f.write("127.0.0.1 %s\n" % socket.gethostname())
    with open(resolv, "w") as f:
        f.write("nameserver 127.0.0.1\noptions timeout:3 attempts:3\n")
    script = ('mount --bind "$1" /etc/hosts && mount --bind "$2" /etc/resolv.conf && '
              'shift 2 && exec env E2E_PRIVATE_NET=1 "$@"')
    import subprocess
    harness.exe_paths()  # skip here, not inside, when the exes are missing
    return subprocess.call(["unshare", "--net", "--mount", "/bin/sh", "-c", script, "sh", hosts, resolv,
                            sys.executable] + argv)


def loopback_up():
    """`ip link set lo up` without iproute2: SIOCGIFFLAGS / SIOCSIFFLAGS."""
    import fcntl
    import socket
    import struct
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        req = struct.pack("16sh", b"lo", 0)
        flags = struct.unpack("16sh", fcntl.ioctl(s.fileno(), 0x8913, req))[1]
        fcntl.ioctl(s.fileno(), 0x8914, struct.pack("16sh", b"lo", flags | 0x1))
    finally:
        s.close()


def main(argv):
    if argv[1:] == ["--list"]:
        print(";".join(all_cases()))
        return 0
    if argv[1:] == ["--prepare"]:
        print("prefix ready:", harness.prepare_template())
        return 0
    if len(argv) != 2:
        print(__doc__)
        return 2
    module, case = argv[1].split(".", 1)
    fn = getattr(importlib.import_module("e2e_" + module), "case_" + case)
    if getattr(fn, "private_dns", False):
        if os.environ.get("E2E_PRIVATE_NET") != "1":
            return private_network(argv)
        loopback_up()
    try:
        harness.exe_paths()
        fn(argv[1].replace(".", "-"))
    except harness.Skip as e:
        print("SKIP:", e)
        return 0
    except Exception:
        traceback.print_exc()
        print("FAIL:", argv[1])
        return 1
    print("PASS:", argv[1])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
