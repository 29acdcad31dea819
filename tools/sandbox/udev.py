"""Stand-in for udev: a umockdev testbed of USB modems that a gateway's daemon sees and hears.

    from sandbox.udev import UdevTestbed

    udev = UdevTestbed(gw)                         # tools/umockdev_testbed.py on the gateway
    udev.add("le910-eu-v2")                        # there at boot: no uevents
    d = gw.start_daemon(["-d", "1"], env=udev.daemon_env())
    udev.wait_monitor()                            # the daemon's udev monitor listens
    port = udev.plug("le910")["ttys"][2]["node"]  # hot-plug: "add" for each tty
    udev.uevent("le910", "change", iface="05")
    udev.unplug("le910")                           # "remove" for each tty, USB parent already gone
    udev.set("le910", registration=5, signal=40)   # the simulated module (at=True) roams

Modems: sierra, gemalto, le910, le910-eu-v2, he910 (ids and tty interfaces in
tools/umockdev_testbed.py). Replies are the tool's JSON replies as dicts; a refused command raises
RuntimeError. The tool runs through gw.start, so sandbox teardown stops it (and it then removes
its testbed directory).
"""

import json
import os
import socket

from sandbox.waiting import wait_for

TOOL = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                    "umockdev_testbed.py")
PYTHON = "/usr/bin/python3"
PRELOAD = "libumockdev-preload.so.0"
START_TIMEOUT = 10


class UdevTestbed:
    """One testbed owned by a process on gateway `gw`; several daemons may share it."""

    def __init__(self, gw, name="udev-testbed", view=True, at=False):
        """`at`: serve each AT port with a simulated module, for the real ModemManager, which
        must then run in the same `view` (see sandbox.real_modemmanager)."""
        self.control = os.path.join(gw.scratch, name + ".sock")
        self.process = gw.start([PYTHON, TOOL, "--control", self.control] + ["--at"] * at,
                                env={"LD_PRELOAD": PRELOAD}, view=view, name=name)
        wait_for(lambda: os.path.exists(self.control) or not self.process.running(),
                 START_TIMEOUT, what="the umockdev testbed's control socket")
        if not self.process.running():
            raise RuntimeError("umockdev testbed failed: %s"
                               % self.process.stderr().decode(errors="replace"))
        self.root = self.command("root")["root"]

    def daemon_env(self):
        """Environment entries that make a started program see this testbed."""
        return {"LD_PRELOAD": PRELOAD, "UMOCKDEV_DIR": self.root}

    def command(self, *words, timeout=30):
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as connection:
            connection.settimeout(timeout)
            connection.connect(self.control)
            line = " ".join(str(w) for w in words)
            connection.sendall((line + "\n").encode())
            reply = json.loads(connection.makefile("r").readline())
        if not reply.pop("ok"):
            raise RuntimeError("udev testbed: %s: %s" % (line, reply["error"]))
        return reply

    def add(self, modem):
        return self.command("add", modem)

    def plug(self, modem):
        return self.command("plug", modem)

    def unplug(self, modem):
        return self.command("unplug", modem)

    def uevent(self, modem, action, iface=None):
        return self.command("uevent", modem, action, *([iface] if iface else []))

    def wait_monitor(self, timeout=10):
        return self.command("wait-monitor", timeout, timeout=timeout + 5)

    def modems(self):
        return self.command("list")["modems"]

    def set(self, modem, **settings):
        """The simulated module's registration, operator, signal or sim (with at=True)."""
        return self.command("set", modem, *("%s=%s" % kv for kv in settings.items()))["state"]
