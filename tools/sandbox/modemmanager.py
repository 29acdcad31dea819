"""The ModemManager stand-in for the sandbox: a private D-Bus and tools/mock_modemmanager.py on it.

    from sandbox.modemmanager import ModemManager

    mm = ModemManager(gw).start()                  # bus + mock, both in the gateway's namespaces
    d = gw.start_daemon(["-d", "5"], env=mm.env)   # DBUS_SYSTEM_BUS_ADDRESS -> the private bus
    modem = mm.add_modem(model="EM7565", imei="359225050123456", sim_id="8914...",
                         registration=1, rate=0, lte={"rssi": -71.0})
    mm.set_properties(modem, "3gpp", RegistrationState=5)
    mm.setup_calls(modem)                          # [5] once the daemon asked for a 5 s rate
    mm.remove_modem(modem)                         # the modem is gone from ModemManager
    mm.stop_service(); mm.start_service()          # ModemManager restarts (modems re-added)

The bus listens on a path socket in the gateway's scratch directory, which works across network
namespaces; the test process controls the mock over the same socket with dbus-python. Every
process runs through `gw.start`, so the sandbox's teardown stops them.
"""

import json
import os

from sandbox.waiting import wait_for

MOCK = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                    "mock_modemmanager.py")
BUS_NAME = "org.freedesktop.ModemManager1"
MANAGER_PATH = "/org/freedesktop/ModemManager1"
CONTROL_IFACE = "org.wanvox.Test.ModemManagerControl"


def modem_spec(model="EM7565", revision="SWI9X50C_01.08.04.00 dbc1 2019/03/25",
               imei="359225050123456", own_numbers=("15551234567",), bands=(43, 4),
               access_technologies=0x4000, signal_quality=(70, True), state=11,
               failed_reason=0, sim_id="89148000004412345678", operator_code="311480",
               registration=1, subscription=2, rate=0, lte=None, setup="apply", extra=None):
    """The JSON spec of one modem for the mock. sim_id=None gives a modem without a SIM
    object; registration=None leaves out the 3GPP interface and rate=None the Signal one.
    `extra` maps interface ("modem", "3gpp", "signal", "sim") to more properties, which may
    force a D-Bus type with {"@type": "i", "value": 7}."""
    extra = extra or {}
    spec = {"modem": {"Model": model, "Revision": revision, "EquipmentIdentifier": imei,
                      "OwnNumbers": list(own_numbers), "CurrentBands": list(bands),
                      "AccessTechnologies": access_technologies,
                      "SignalQuality": list(signal_quality), "State": state,
                      "StateFailedReason": failed_reason, **extra.get("modem", {})},
            "setup": setup}
    if sim_id is not None:
        spec["sim"] = {"SimIdentifier": sim_id, **extra.get("sim", {})}
    if registration is not None:
        spec["3gpp"] = {"OperatorCode": operator_code, "RegistrationState": registration,
                        "SubscriptionState": subscription, **extra.get("3gpp", {})}
    if rate is not None:
        lte = {"rssi": -71.0, "rsrq": -9.0, "rsrp": -101.0, "snr": 12.0} if lte is None else lte
        spec["signal"] = {"Rate": rate, "Lte": lte, **extra.get("signal", {})}
    return spec


class ModemManager:
    """The private bus and the ModemManager mock of one gateway."""

    def __init__(self, gw):
        self._gw = gw
        self.socket = os.path.join(gw.scratch, "mm-bus")
        self.address = "unix:path=" + self.socket
        self.env = {"DBUS_SYSTEM_BUS_ADDRESS": self.address}
        self.bus_process = None
        self.process = None        # the current mock run
        self._modems = {}          # path -> spec, re-added when the service restarts
        self._connection = None

    def start(self, timeout=10):
        """Starts the bus (once) and the mock; returns self."""
        if self.bus_process is None:
            self.bus_process = self._gw.start(
                ["dbus-daemon", "--session", "--nofork", "--address=" + self.address],
                view=False, name="mm-bus")
            wait_for(lambda: os.path.exists(self.socket) or not self.bus_process.running(),
                     timeout, what="the private bus socket")
            if not self.bus_process.running():
                raise RuntimeError("dbus-daemon exited: %s" % self.bus_process.stderr().decode())
        self.start_service(timeout)
        return self

    def start_service(self, timeout=10):
        """Starts ModemManager (the mock) with the modems it had before it was stopped."""
        argv = ["/usr/bin/python3", MOCK, "--address", self.address]
        for spec in self._modems.values():
            argv += ["--modem", json.dumps(spec)]
        self.process = self._gw.start(argv, view=False, name="modemmanager")
        wait_for(lambda: b"ready" in self.process.stdout() or not self.process.running(),
                 timeout, what="the ModemManager mock")
        if not self.process.running():
            raise RuntimeError("mock exited: %s" % self.process.stderr().decode())

    def stop_service(self, timeout=3):
        """ModemManager goes away; the bus stays."""
        return self.process.stop(timeout)

    def running(self):
        return self.process is not None and self.process.running()

    # --- control of the running mock

    def add_modem(self, **options):
        """Adds a modem (see modem_spec for the options); returns its object path."""
        spec = modem_spec(**options)
        path = str(self._control("AddModem", json.dumps(spec)))
        spec["index"] = int(path.rsplit("/", 1)[1])  # the same path after a restart
        self._modems[path] = spec
        return path

    def set_properties(self, path, interface, **props):
        """Adds or changes properties of "modem", "3gpp", "signal" or "sim" (on the SIM)."""
        target = self._sim_path(path) if interface == "sim" else path
        self._control("SetProperties", target, interface, json.dumps(props))
        self._modems[path].setdefault(interface, {}).update(props)

    def remove_properties(self, path, interface, *names):
        target = self._sim_path(path) if interface == "sim" else path
        self._control("RemoveProperties", target, interface, list(names))
        for name in names:
            self._modems[path].get(interface, {}).pop(name, None)

    def remove_modem(self, path):
        self._control("RemoveModem", path)
        del self._modems[path]

    def setup_calls(self, path):
        """The rates given to Signal.Setup of this modem, in order (this service run only)."""
        return [int(rate) for rate in self._control("SetupCalls", path)]

    def _sim_path(self, path):
        return path.replace("/Modem/", "/SIM/")

    def _control(self, method, *args):
        import dbus  # only the tests that use ModemManager need dbus-python
        if self._connection is None:
            self._connection = dbus.bus.BusConnection(self.address)
        manager = self._connection.get_object(BUS_NAME, MANAGER_PATH)
        return manager.get_dbus_method(method, CONTROL_IFACE)(*args)
