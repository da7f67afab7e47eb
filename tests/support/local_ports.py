"""Ports on this machine's loopback for the tests' own servers."""
import socket


def free_port():
    """A loopback port nothing listens on now (the caller binds it soon after)."""
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port
