"""The Quarn service stand-in for the sandbox: the build's quarn_monitor in a gateway's namespaces.

    from sandbox.quarn import QuarnMonitor

    quarn = QuarnMonitor(gw).start()            # 127.0.0.1:9090 in the gateway, answering normally
    first = quarn.wait_for_calls(1, "SetModemInfo", timeout=15)[0]
    first["device_type"], first["mono"]         # fields that were set; arrival (CLOCK_MONOTONIC)
    quarn.set_mode("exception")                 # "answer", "no-success", "exception"
    quarn.stop()                                # the service is gone; calls now fail to connect
    quarn.start()                               # back again (a new process, same port)
    quarn.calls("TEL_SendMDM")                  # every call line of every run so far
    quarn.runs()                                # each run's Process; its stdout has its lines
    quarn.wait_for_call("SetModemInfo", after=t, device_type=2)   # the first such call after t

The monitor prints one JSON line per call and per event (see tools/quarnmon/main.cpp); this module
reads them from its capture files as they grow. Each line's "mono" is the monitor's CLOCK_MONOTONIC
reading when the call arrived, the same clock as time.monotonic() here, so arrival times are exact
however late the file is read. Every process runs through `gw.start`, so teardown stops it.
"""

import json
import os
import signal

from sandbox.hosts import build_dir
from sandbox.waiting import wait_for

# Run-time mode switches of the monitor; "drop" exists only as a start option.
MODE_SIGNALS = {"answer": signal.SIGHUP, "no-success": signal.SIGUSR1,
                "exception": signal.SIGUSR2}


def monitor_binary():
    binary = os.path.join(build_dir(), "tools", "quarn_monitor")
    if not os.access(binary, os.X_OK):
        raise FileNotFoundError("no quarn_monitor in %s (set WANVOX_BUILD_DIR)" % build_dir())
    return binary


class QuarnMonitor:
    """The Quarn stand-in of one gateway; it may be stopped and started again any number of times."""

    def __init__(self, gw, mode="answer", host="127.0.0.1", port=9090):
        self._gw = gw
        self.mode = mode
        self.host = host
        self.port = port
        self.process = None    # the current run, or the last one
        self._runs = []        # every run's Process, in start order

    def start(self, timeout=5):
        """Starts a new run and waits until it listens; returns self."""
        if self.running():
            raise RuntimeError("quarn_monitor is already running")
        argv = [monitor_binary(), "--host", self.host, "--port", str(self.port),
                "--mode", self.mode]
        self.process = self._gw.start(argv, view=False, name="quarn")
        self._runs.append(self.process)
        wait_for(lambda: self._events("listening") or not self.process.running(), timeout,
                 what="quarn_monitor to listen")
        if not self.process.running():
            raise RuntimeError("quarn_monitor exited: %s" % self.process.stderr().decode())
        return self

    def stop(self, timeout=3):
        """Stops the current run (SIGTERM); returns its exit status."""
        return self.process.stop(timeout)

    def running(self):
        return self.process is not None and self.process.running()

    def set_mode(self, mode, timeout=5):
        """Switches how calls are answered from now on, and waits until the monitor says so."""
        seen = len(self._events("mode"))
        self.process.signal(MODE_SIGNALS[mode])
        wait_for(lambda: len(self._events("mode")) > seen, timeout, what="mode " + mode)
        self.mode = mode

    def runs(self):
        """Every run's Process, in start order (each run's lines are in its stdout)."""
        return list(self._runs)

    def lines(self):
        """Every complete JSON line of every run so far, in order."""
        return [line for run in self._runs for line in _run_lines(run)]

    def calls(self, method=None):
        """Call lines (dicts: "call", "time", "mono" and the fields that were set)."""
        return [line for line in self.lines()
                if "call" in line and (method is None or line["call"] == method)]

    def wait_for_calls(self, count, method=None, timeout=15):
        """Waits until `count` call lines (of `method`) have arrived; returns all of them."""
        def enough():
            calls = self.calls(method)
            return calls if len(calls) >= count else None

        return wait_for(enough, timeout, interval=0.1,
                        what="%d %s call(s)" % (count, method or "Quarn"))

    def wait_for_call(self, method, after=0.0, timeout=15, what=None, **fields):
        """Waits for the first `method` call that arrived after `after` (time.monotonic()) with
        these field values; returns it."""
        def match():
            return next((c for c in self.calls(method) if c["mono"] > after
                         and all(c.get(k) == v for k, v in fields.items())), None)

        return wait_for(match, timeout, interval=0.2, what=what or "%s with %s" % (method, fields))

    def _events(self, name):
        """Event lines of the current run."""
        return [line for line in _run_lines(self.process) if line.get("event") == name]


def _run_lines(run):
    text = run.stdout().decode(errors="replace")
    complete = text[:text.rfind("\n") + 1]   # a line still being written waits for its end
    return [json.loads(line) for line in complete.splitlines() if line]
