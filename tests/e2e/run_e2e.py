#!/usr/bin/python3
"""Runs one end-to-end case by name, e.g. `run_e2e.py layout.design_time_card`.

    run_e2e.py --list       every case name (used by CMake to register them)
    run_e2e.py --prepare    make the cached Wine prefix once

Cases are functions named case_* in the modules e2e_*.py beside this file.
Each case runs in a network namespace of its own (`unshare --net --mount`,
only a loopback device), so its servers on 127.0.0.1:80 meet no one else's
and cases can run side by side.

The repository's root must be on PYTHONPATH (CTest sets it; by hand,
`PYTHONPATH=$PWD` from the root), for tests.support.

Prints PASS, FAIL or SKIP; exits 0 for PASS, 1 for FAIL and 77 for SKIP (a
missing exe, probe or tool), which CTest reports as skipped.
"""
import importlib
import os
import socket
import sys
import traceback

from tests.support import harness, netns

HERE = os.path.dirname(os.path.abspath(__file__))

# Every e2e_*.py beside this file: a new module cannot be left out of the list.
MODULES = sorted(f[:-3] for f in os.listdir(HERE) if f.startswith("e2e_") and f.endswith(".py"))
SKIP = 77


def all_cases():
    """Every case of every module; a module that does not import is an error,
    never a module left out."""
    names = []
    for m in MODULES:
        mod = importlib.import_module(m)
        for attr in sorted(vars(mod)):
            if attr.startswith("case_"):
                names.append("%s.%s" % (m[len("e2e_"):], attr[len("case_"):]))
    return names


def in_own_network(argv, private_dns):
    """Runs the case again in a network namespace of its own with only a
    loopback device. With private_dns, /etc/hosts there lacks "localhost"
    and the one name server is 127.0.0.1, so name lookups can be made to
    stall without a packet leaving the machine."""
    harness.require("unshare")
    if not private_dns:
        return netns.rerun_inside(argv, "E2E_NETNS")
    work = os.path.join(harness.work_dir(), "netns", argv[1])
    os.makedirs(work, exist_ok=True)
    hosts, resolv = os.path.join(work, "hosts"), os.path.join(work, "resolv.conf")
    with open(hosts, "w") as f:
        # The machine's own name stays (Wine looks it up at start); "localhost" goes.
        f.write("127.0.0.1 %s\n" % socket.gethostname())
    with open(resolv, "w") as f:
        f.write("nameserver 127.0.0.1\noptions timeout:3 attempts:3\n")
    return netns.rerun_inside(argv, "E2E_NETNS", 'mount --bind "$1" /etc/hosts && mount --bind "$2" /etc/resolv.conf',
                              [hosts, resolv])


def run_case(argv):
    module, case = argv[1].split(".", 1)
    fn = getattr(importlib.import_module("e2e_" + module), "case_" + case)
    if os.environ.get("E2E_NETNS") != "1":
        harness.exe_paths()  # skip here, before the namespace, when something is missing
        return in_own_network(argv, getattr(fn, "private_dns", False))
    netns.loopback_up()
    harness.exe_paths()
    fn(argv[1].replace(".", "-"))
    return 0


def main(argv):
    if argv[1:] == ["--list"]:
        print(";".join(all_cases()))
        return 0
    if len(argv) != 2:
        print(__doc__)
        return 2
    try:
        if argv[1] == "--prepare":
            print("prefix ready:", harness.prepare_template())
            return 0
        rc = run_case(argv)
    except harness.Skip as e:
        print("SKIP:", e)
        return SKIP
    except Exception:
        traceback.print_exc()
        print("FAIL:", argv[1])
        return 1
    if os.environ.get("E2E_NETNS") == "1":
        print("PASS:", argv[1])
    return rc  # outside the namespace: the case's own answer


if __name__ == "__main__":
    sys.exit(main(sys.argv))
