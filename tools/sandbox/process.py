"""Processes started in the sandbox: a clean environment, captured output, signals, exit and threads."""

import os
import signal
import subprocess

from sandbox.waiting import wait_for_text

_TOOLS_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
_PASSED_THROUGH = ("ASAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS", "LSAN_OPTIONS",
                   "WANVOX_BUILD_DIR")


def environment(scratch, extra=None):
    """The environment of a started program: clean, sanitizer options passed through, then `extra`."""
    pythonpath = [_TOOLS_DIR] + [p for p in os.environ.get("PYTHONPATH", "").split(":") if p]
    env = {
        "PATH": "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin",
        "LANG": "C.UTF-8",
        "PYTHONPATH": ":".join(dict.fromkeys(pythonpath)),
        # Never let anything reach the machine's own system bus by accident.
        "DBUS_SYSTEM_BUS_ADDRESS": "unix:path=" + os.path.join(scratch, "no-system-bus"),
    }
    env.update({k: os.environ[k] for k in _PASSED_THROUGH if k in os.environ})
    env.update(extra or {})
    if env.get("LD_PRELOAD"):
        # ASan insists on being first in the link order, which a preload breaks.
        asan = env.get("ASAN_OPTIONS", "")
        env["ASAN_OPTIONS"] = (asan + ":" if asan else "") + "verify_asan_link_order=0"
    return env


class Process:
    """One program started through the sandbox; `prefix` is the namespace-entering command."""

    def __init__(self, prefix, argv, env, out_dir, name, cwd=None, view=None):
        self.argv = list(argv)
        self.name = name
        self.view = view
        self.stdout_path = os.path.join(out_dir, name + ".out")
        self.stderr_path = os.path.join(out_dir, name + ".err")
        # env(1) sets the program's environment after the namespace tools ran, so a preload
        # applies to the program alone.
        command = list(prefix) + ["/usr/bin/env", "-i"]
        if cwd:
            command += ["-C", cwd]
        command += ["%s=%s" % kv for kv in env.items()] + self.argv
        with open(self.stdout_path, "wb") as out, open(self.stderr_path, "wb") as err:
            self._popen = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=out,
                                           stderr=err, start_new_session=True)
        self.pid = self._popen.pid

    def __repr__(self):
        return "<Process %s pid %d>" % (self.name, self.pid)

    def running(self):
        return self._popen.poll() is None

    def signal(self, sig):
        if self.running():
            os.kill(self.pid, sig)

    def wait_exit(self, timeout):
        """Exit status (negative: killed by that signal); TimeoutError if still running."""
        try:
            return self._popen.wait(timeout)
        except subprocess.TimeoutExpired:
            raise TimeoutError("%s (pid %d) still running after %.1f s"
                               % (self.name, self.pid, timeout)) from None

    def stop(self, timeout=3):
        """SIGTERM, then SIGKILL if it has not exited within `timeout`; returns the status."""
        self.signal(signal.SIGTERM)
        try:
            return self.wait_exit(timeout)
        except TimeoutError:
            self.signal(signal.SIGKILL)
            return self._popen.wait()

    def stdout(self):
        with open(self.stdout_path, "rb") as f:
            return f.read()

    def stderr(self):
        with open(self.stderr_path, "rb") as f:
            return f.read()

    def threads(self):
        """Names of its threads, main thread first; empty once it has exited."""
        task_dir = "/proc/%d/task" % self.pid
        try:
            tids = sorted(os.listdir(task_dir), key=lambda t: (int(t) != self.pid, int(t)))
        except FileNotFoundError:
            return []
        names = []
        for tid in tids:
            try:
                with open(os.path.join(task_dir, tid, "comm")) as f:
                    names.append(f.read().rstrip("\n"))
            except (FileNotFoundError, ProcessLookupError):
                pass  # the thread ended while we looked
        return names

    def rss_kib(self):
        """Its resident memory (VmRSS, KiB); None once gone, or under a sanitizer, whose shadow
        memory says nothing about the program's own."""
        return self._status_kib("VmRSS:")

    def hwm_kib(self):
        """Its peak resident memory (VmHWM, KiB), with the same None cases as rss_kib."""
        return self._status_kib("VmHWM:")

    def _status_kib(self, field):
        try:
            with open("/proc/%d/maps" % self.pid) as f:
                maps = f.read()
            if "libasan" in maps or "libtsan" in maps:
                return None
            with open("/proc/%d/status" % self.pid) as f:
                return next(int(line.split()[1]) for line in f if line.startswith(field))
        except (FileNotFoundError, ProcessLookupError):
            return None

    def wait_for_output(self, text, timeout):
        return wait_for_text(self.stdout_path, text, timeout)

    def wait_for_log(self, text, timeout, log="wanvox"):
        if self.view is None:
            raise RuntimeError("%s has no mount view, so no /var/log of a gateway" % self.name)
        return wait_for_text(self.view.path("/var/log/" + log), text, timeout)


def unique_name(out_dir, name):
    """`name`, or `name-2`, `name-3`... so that capture files of repeated runs never collide."""
    candidate, n = name, 1
    while os.path.exists(os.path.join(out_dir, candidate + ".out")):
        n += 1
        candidate = "%s-%d" % (name, n)
    return candidate

