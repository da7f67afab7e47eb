"""Waiting for a state: a test polls for what it means to see, with a
generous upper bound for a busy machine, and never sleeps a fixed time."""
import time


def wait_for(condition, timeout, step=0.05):
    """True once condition() holds, polling every `step` seconds until
    `timeout` seconds have passed; then the last look's answer."""
    end = time.time() + timeout
    while time.time() < end:
        if condition():
            return True
        time.sleep(step)
    return condition()
