"""Polling helpers with time-outs, for conditions the tests cannot be told about."""

import time


def wait_for(predicate, timeout, interval=0.05, what=None):
    """Polls `predicate` until it returns a truthy value, which is returned; TimeoutError otherwise."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise TimeoutError("timed out after %.1f s waiting for %s"
                               % (timeout, what or getattr(predicate, "__name__", "a condition")))
        time.sleep(interval)


def read_bytes(path):
    """The file's bytes, or b"" while it does not exist."""
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


def wait_for_text(path, text, timeout):
    """Waits until the file at `path` contains `text` (str or bytes); returns the file's bytes."""
    needle = text.encode() if isinstance(text, str) else text

    def contents_with_needle():
        data = read_bytes(path)
        return data if needle in data else None

    try:
        return wait_for(contents_with_needle, timeout)
    except TimeoutError:
        tail = read_bytes(path)[-600:].decode(errors="replace")
        raise TimeoutError("no %r in %s after %.1f s; it ends with:\n%s"
                           % (needle, path, timeout, tail)) from None
