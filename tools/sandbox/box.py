"""`Sandbox`: builds the LAN and the gateways, tracks what it started, and always tears down."""

import os
import shutil
import signal
import sys
import tempfile
import threading

from sandbox import netns
from sandbox.hosts import Gateway, Lan
from sandbox.process import unique_name


def _exit_on_sigterm(signum, frame):
    raise SystemExit(128 + signum)


class Sandbox:
    """Context manager; see README.md. Needs root."""

    def __init__(self, gateways=1, **gateway_options):
        if os.geteuid() != 0:
            raise PermissionError("the sandbox needs root (network and mount namespaces)")
        self._initial_gateways = gateways
        self._gateway_options = gateway_options
        self.prefix = "wvx%d" % os.getpid()
        self.scratch = None
        self.out_dir = None
        self.lan = None
        self.gateways = []
        self._processes = []
        self._old_sigterm = None

    @property
    def gateway(self):
        return self.gateways[0]

    def __enter__(self):
        if threading.current_thread() is threading.main_thread():
            self._old_sigterm = signal.signal(signal.SIGTERM, _exit_on_sigterm)
        try:
            self._build()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def _build(self):
        for name in (self.prefix + "-lan", self.prefix + "-gw1"):
            if netns.exists(name):
                raise RuntimeError("namespace %s exists already: another sandbox of this pid is open"
                                   % name)
        self.scratch = tempfile.mkdtemp(prefix="wanvox-sandbox-")
        self.out_dir = os.path.join(self.scratch, "output")
        os.mkdir(self.out_dir)
        self.lan = Lan(self)
        for _ in range(self._initial_gateways):
            self.add_gateway(**self._gateway_options)

    def add_gateway(self, var_log="scratch"):
        # Registered before it is built so that a half-built gateway is torn down too.
        self.gateways.append(None)
        gateway = Gateway(self, len(self.gateways), var_log)
        self.gateways[-1] = gateway
        return gateway

    def track(self, process):
        self._processes.append(process)
        return process

    def process_name(self, argv, name):
        return unique_name(self.out_dir, name or os.path.basename(argv[0]))

    def close(self):
        """Stops every started process by PID, removes the namespaces and the scratch directory."""
        try:
            while self._processes:
                self._processes.pop().stop()
            for gateway in self.gateways:
                if gateway is not None:
                    gateway.close()
        finally:
            self._delete_namespaces()
            self._remove_scratch()
            if self._old_sigterm is not None:
                signal.signal(signal.SIGTERM, self._old_sigterm)
                self._old_sigterm = None

    def _delete_namespaces(self):
        for index in range(1, len(self.gateways) + 1):
            netns.delete("%s-gw%d" % (self.prefix, index))
        netns.delete(self.prefix + "-lan")

    def _remove_scratch(self):
        if not self.scratch:
            return
        if os.environ.get("WANVOX_KEEP_SANDBOX") == "1":
            print("sandbox: kept scratch in %s" % self.scratch, file=sys.stderr)
        else:
            shutil.rmtree(self.scratch, ignore_errors=True)
        self.scratch = None
