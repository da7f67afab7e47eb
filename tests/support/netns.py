"""A network namespace of a test's own: only a loopback device, so servers
on 127.0.0.1:80 meet no one else's and no packet leaves the machine. Used by
the card's end-to-end cases and by the feed service's Wine tests."""
import fcntl
import os
import socket
import struct
import subprocess
import sys


def rerun_inside(argv, flag, setup="", files=()):
    """Runs `python argv` again in a new network (and mount) namespace with
    the environment variable `flag` set to 1; `setup` is shell run first
    there, with `files` as its $1, $2, ... Returns the exit code."""
    script = (setup + " && shift %d && " % len(files) if setup else "") + 'exec env %s=1 "$@"' % flag
    unshare = ["unshare", "--net", "--mount"]
    if os.geteuid() != 0:
        unshare.append("--map-root-user")
    return subprocess.call(unshare + ["/bin/sh", "-c", script, "sh"] + list(files) + [sys.executable] + argv)


def loopback_up():
    """`ip link set lo up` without iproute2: SIOCGIFFLAGS / SIOCSIFFLAGS."""
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        req = struct.pack("16sh", b"lo", 0)
        flags = struct.unpack("16sh", fcntl.ioctl(s.fileno(), 0x8913, req))[1]
        fcntl.ioctl(s.fileno(), 0x8914, struct.pack("16sh", b"lo", flags | 0x1))
    finally:
        s.close()
