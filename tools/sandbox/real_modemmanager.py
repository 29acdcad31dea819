"""The real ModemManager as a stand-in: Debian's ModemManager on a private bus, probing simulated
AT modems (tools/at_modem.py) in a umockdev testbed that the daemon sees too.

    from sandbox.real_modemmanager import RealModemManager

    mm = RealModemManager(gw).start()              # bus, polkit, testbed, ModemManager
    d = gw.start_daemon(["-d", "4"], env=mm.env)   # the private bus and the testbed
    mm.udev.wait_monitor(); mm.udev.plug("sierra")
    path = mm.wait_modem(lambda m: m["State"] == 3, timeout=30)   # exported disabled
    mm.start_enabler()                             # enabled now and after each replug or restart
    mm.udev.set("sierra", registration=5)          # the module roams (+CREG/+CEREG URCs)
    mm.setup_calls()                               # [(path, 5)] as seen on the bus
    mm.stop_service(); mm.start_service()          # a ModemManager restart

Everything ModemManager does happens in a device view nested in the gateway's mount view: a
private /dev (tmpfs with a new devpts instance and the null, zero, random, urandom and tty nodes),
tmpfs over /sys and /run. So it can never open a device of the machine nor reach its system bus,
and the testbed's ptys live in that view's devpts, where the testbed's nodes point. ModemManager
and the testbed owner run under the umockdev preload (LD_PRELOAD, UMOCKDEV_DIR).

Debian's ModemManager authorizes Enable and Signal.Setup through polkit: python-dbusmock's polkitd
template, told to allow everything, stands in for it (polkit=False leaves it out, and both calls
then fail with "PolicyKit authorization failed").
"""

import os
import re

from sandbox.udev import PRELOAD, PYTHON, UdevTestbed
from sandbox.waiting import wait_for

BINARY = "/usr/sbin/ModemManager"
BUS_NAME = "org.freedesktop.ModemManager1"
MANAGER_PATH = "/org/freedesktop/ModemManager1"
MODEM_IFACE = "org.freedesktop.ModemManager1.Modem"
SIGNAL_IFACE = "org.freedesktop.ModemManager1.Modem.Signal"
POLKIT_NAME = "org.freedesktop.PolicyKit1"
POLKIT_PATH = "/org/freedesktop/PolicyKit1/Authority"
START_TIMEOUT = 15

# Runs in the gateway's mount view: a nested mount namespace, then its private /dev, /sys, /run.
_DEVICE_VIEW_SCRIPT = r"""
set -e
mount -t tmpfs -o mode=0755 tmpfs /dev
mkdir /dev/pts /dev/shm
mount -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts /dev/pts
ln -s pts/ptmx /dev/ptmx
mknod -m 666 /dev/null c 1 3; mknod -m 666 /dev/zero c 1 5
mknod -m 666 /dev/random c 1 8; mknod -m 666 /dev/urandom c 1 9; mknod -m 666 /dev/tty c 5 0
mount -t tmpfs -o mode=0755 tmpfs /sys
mount -t tmpfs -o mode=0755 tmpfs /run
echo ready
exec sleep infinity
"""


def installed():
    return os.access(BINARY, os.X_OK)


class DeviceView:
    """A mount namespace nested in a gateway's view, with a private /dev, /sys and /run."""

    def __init__(self, gw):
        self.holder = gw.start(["unshare", "-m", "--propagation", "private", "sh", "-c",
                                _DEVICE_VIEW_SCRIPT], name="device-view")
        wait_for(lambda: b"ready" in self.holder.stdout() or not self.holder.running(),
                 START_TIMEOUT, what="the device view")
        if not self.holder.running():
            raise RuntimeError("device view failed: %s" % self.holder.stderr().decode())

    def enter_command(self):
        return ["nsenter", "-t", str(self.holder.pid), "-m", "-n", "--"]

    def path(self, p):
        return "/proc/%d/root%s" % (self.holder.pid, os.path.normpath(p))


class RealModemManager:
    """The private bus, polkit, the AT modem testbed and ModemManager of one gateway."""

    def __init__(self, gw, polkit=True):
        if not installed():
            raise FileNotFoundError(BINARY + " is missing (scripts/install-deps installs it)")
        self._gw = gw
        self.polkit = polkit
        self.socket = os.path.join(gw.scratch, "mm-bus")
        self.address = "unix:path=" + self.socket
        self.view = None
        self.udev = None
        self.process = None       # the current ModemManager run
        self.enabler = None
        self.monitor = None       # dbus-monitor of Signal.Setup calls
        self._connection = None

    @property
    def env(self):
        """What the daemon needs: the private bus and the testbed."""
        return dict(self.udev.daemon_env(), DBUS_SYSTEM_BUS_ADDRESS=self.address)

    def start(self):
        bus = self._gw.start(["dbus-daemon", "--session", "--nofork", "--address=" + self.address],
                             view=False, name="mm-bus")
        wait_for(lambda: os.path.exists(self.socket) or not bus.running(), START_TIMEOUT,
                 what="the private bus socket")
        self.monitor = self._gw.start(
            ["dbus-monitor", "--address", self.address,
             "type='method_call',interface='%s',member='Setup'" % SIGNAL_IFACE],
            view=False, name="setup-monitor")
        if self.polkit:
            self._start_polkit()
        self.view = DeviceView(self._gw)
        self.udev = UdevTestbed(self._gw, view=self.view, at=True)
        self.start_service()
        return self

    def _start_polkit(self):
        self._gw.start([PYTHON, "-m", "dbusmock", "--system", "--template", "polkitd"],
                       env={"DBUS_SYSTEM_BUS_ADDRESS": self.address}, view=False, name="polkitd")
        wait_for(lambda: self._owned(POLKIT_NAME), START_TIMEOUT, what="the polkit stand-in")
        authority = self._bus().get_object(POLKIT_NAME, POLKIT_PATH)
        authority.AllowUnknown(True, dbus_interface="org.freedesktop.DBus.Mock")

    def start_service(self):
        """Starts ModemManager; it scans the testbed and exports its modems a few seconds later."""
        self.process = self._gw.start([BINARY, "--debug", "--log-level=DEBUG",
                                       "--test-no-suspend-resume"],
                                      env=self.env, view=self.view, name="ModemManager")
        wait_for(lambda: self._owned(BUS_NAME) or not self.process.running(), START_TIMEOUT,
                 what="ModemManager on the bus")
        if not self.process.running():
            raise RuntimeError("ModemManager exited: %s" % self.process.stderr()[-2000:].decode())

    def stop_service(self, timeout=10):
        """Stops ModemManager and waits until it has left the bus: a new run that finds the name
        still owned exits at once."""
        status = self.process.stop(timeout)
        wait_for(lambda: not self._owned(BUS_NAME), START_TIMEOUT, what="ModemManager gone")
        return status

    def start_enabler(self):
        """From now on every disabled modem is enabled, as the connection manager does."""
        self.enabler = self._gw.start([PYTHON, "-m", "sandbox.modem_enabler", "--address",
                                       self.address], view=False, name="modem-enabler")
        wait_for(lambda: b"ready" in self.enabler.stdout() or not self.enabler.running(),
                 START_TIMEOUT, what="the modem enabler")

    # --- what ModemManager shows

    def modems(self):
        """{path: Modem properties} of the modems ModemManager exports now."""
        if not self._owned(BUS_NAME):
            return {}
        manager = self._bus().get_object(BUS_NAME, MANAGER_PATH)
        objects = manager.GetManagedObjects(dbus_interface="org.freedesktop.DBus.ObjectManager")
        return {str(path): ifaces.get(MODEM_IFACE, {}) for path, ifaces in objects.items()}

    def interfaces(self, path):
        manager = self._bus().get_object(BUS_NAME, MANAGER_PATH)
        objects = manager.GetManagedObjects(dbus_interface="org.freedesktop.DBus.ObjectManager")
        return sorted(str(name) for name in objects.get(path, {}))

    def wait_modem(self, predicate, timeout, what="a modem"):
        """Waits until a modem's properties satisfy `predicate`; returns its path."""
        def match():
            return next((path for path, props in self.modems().items() if predicate(props)),
                        None)
        return wait_for(match, timeout, interval=0.2, what=what)

    def setup_calls(self):
        """[(modem path, rate)] of every Signal.Setup call on the bus so far."""
        text = self.monitor.stdout().decode(errors="replace")
        return [(path, int(rate)) for path, rate in
                re.findall(r"path=(\S+); interface=%s; member=Setup\n\s+uint32 (\d+)"
                           % re.escape(SIGNAL_IFACE), text)]

    def log(self):
        """The current ModemManager run's debug output."""
        return self.process.stderr().decode(errors="replace") if self.process else ""

    def _owned(self, name):
        try:
            return bool(self._bus().name_has_owner(name))
        except Exception:  # pylint: disable=broad-except  (the bus is not up yet)
            return False

    def _bus(self):
        import dbus  # only the tests that use ModemManager need dbus-python
        if self._connection is None:
            self._connection = dbus.bus.BusConnection(self.address)
        return self._connection
