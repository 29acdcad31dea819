"""Enables ModemManager's modems as the gateway's connection manager does: ModemManager exports a
modem disabled, again after each replug or restart of the service, and waits for someone to call
Modem.Enable(true).

    /usr/bin/python3 -m sandbox.modem_enabler --address unix:path=...

Prints "ready" once it watches the bus, then one line per attempt: "enabled PATH" or
"enable failed PATH: ERROR". Each modem object of each ModemManager run is enabled once, when it is
first seen disabled (State 3); a locked or failed modem is left alone.
"""

import argparse
import signal
import sys

from gi.repository import Gio, GLib

BUS_NAME = "org.freedesktop.ModemManager1"
MANAGER_PATH = "/org/freedesktop/ModemManager1"
MODEM_IFACE = "org.freedesktop.ModemManager1.Modem"
DISABLED = 3


class Enabler:
    def __init__(self, connection):
        self.tried = set()  # (name owner, object path)
        self.manager = Gio.DBusObjectManagerClient.new_sync(
            connection, Gio.DBusObjectManagerClientFlags.NONE, BUS_NAME, MANAGER_PATH,
            None, None, None)
        self.manager.connect("object-added", lambda _, obj: self.look_at(obj))
        self.manager.connect("interface-proxy-properties-changed",
                             lambda _, obj, *rest: self.look_at(obj))
        self.manager.connect("notify::name-owner", lambda *_: self.look_at_all())
        self.look_at_all()

    def look_at_all(self):
        for obj in self.manager.get_objects():
            self.look_at(obj)

    def look_at(self, obj):
        modem = obj.get_interface(MODEM_IFACE)
        state = modem.get_cached_property("State") if modem else None
        key = (self.manager.get_name_owner(), obj.get_object_path())
        if state is None or state.unpack() != DISABLED or key in self.tried:
            return
        self.tried.add(key)
        modem.call("Enable", GLib.Variant("(b)", (True,)), Gio.DBusCallFlags.NONE, -1, None,
                   self.done, key[1])

    @staticmethod
    def done(modem, result, path):
        try:
            modem.call_finish(result)
            print("enabled " + path, flush=True)
        except GLib.Error as error:
            print("enable failed %s: %s" % (path, error.message), flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--address", required=True, help="the bus ModemManager is on")
    options = parser.parse_args()
    connection = Gio.DBusConnection.new_for_address_sync(
        options.address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
        | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
    enabler = Enabler(connection)  # pylint: disable=unused-variable
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    print("ready", flush=True)
    loop.run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
