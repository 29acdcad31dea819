#!/usr/bin/python3
"""A stand-in for ModemManager on a private D-Bus, built on python-dbusmock.

It claims "org.freedesktop.ModemManager1" on the bus named by --address (or
DBUS_SYSTEM_BUS_ADDRESS), exports the ObjectManager at
/org/freedesktop/ModemManager1 and, on request, modem objects with the Modem,
Modem3gpp and Signal interfaces (Signal.Setup included) and SIM objects.

Tests drive it through the control interface CONTROL_IFACE on the manager
object; every argument is JSON text so that any language can call it:

  AddModem(s spec) -> o path
      spec: {"modem": {props}, "3gpp": {props} | absent, "signal": {props} |
             absent, "sim": {props} | absent, "setup": "apply"|"ignore"|"fail",
             "index": n | absent}  (the modem becomes .../Modem/<n>, its SIM
             .../SIM/<n>; by default the next unused n)
      Properties take the D-Bus type ModemManager uses for that name (see
      TYPES); {"@type": "i", "value": 7} forces another type. When "sim" is
      given and "modem" names no "Sim", the modem's Sim points at the new SIM.
  SetProperties(o path, s interface, s props)   add or replace properties
  RemoveProperties(o path, s interface, as names)
  RemoveModem(o path)                           the modem and its SIM
  SetupCalls(o path) -> au                      rates given to Signal.Setup
  Reset()                                       no modems at all

Interfaces may be named in full or as "modem", "3gpp", "signal", "sim".
When the name is claimed the program prints "ready" on standard output.
"""

import argparse
import json
import os
import signal
import sys

import dbus
import dbus.lowlevel
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

import dbusmock.mockobject as mockobject

BUS_NAME = 'org.freedesktop.ModemManager1'
MANAGER_PATH = '/org/freedesktop/ModemManager1'
MODEM_PREFIX = MANAGER_PATH + '/Modem/'
SIM_PREFIX = MANAGER_PATH + '/SIM/'
CONTROL_IFACE = 'org.wanvox.Test.ModemManagerControl'
OBJECT_MANAGER_IFACE = 'org.freedesktop.DBus.ObjectManager'

INTERFACES = {
    'modem': 'org.freedesktop.ModemManager1.Modem',
    '3gpp': 'org.freedesktop.ModemManager1.Modem.Modem3gpp',
    'signal': 'org.freedesktop.ModemManager1.Modem.Signal',
    'sim': 'org.freedesktop.ModemManager1.Sim',
}

# The D-Bus types ModemManager gives the properties; other names are typed
# from their JSON value.
TYPES = {
    'Model': 's', 'Revision': 's', 'DeviceIdentifier': 's',
    'EquipmentIdentifier': 's', 'Manufacturer': 's', 'OwnNumbers': 'as',
    'Sim': 'o', 'SignalQuality': '(ub)', 'AccessTechnologies': 'u',
    'State': 'i', 'StateFailedReason': 'u', 'CurrentBands': 'au',
    'OperatorCode': 's', 'OperatorName': 's', 'RegistrationState': 'u',
    'SubscriptionState': 'u', 'Imei': 's', 'Rate': 'u', 'Lte': 'a{sv}',
    'SimIdentifier': 's', 'Imsi': 's',
}


def interface_name(name):
    return INTERFACES.get(name, name)


def typed(name, value):
    """One property value as the dbus-python object of its D-Bus type."""
    if isinstance(value, dict) and '@type' in value:
        signature, value = value['@type'], value['value']
    else:
        signature = TYPES.get(name)
    if signature is None:
        return value
    message = dbus.lowlevel.MethodCallMessage('a.b', '/a', 'a.b', 'a')
    message.append(value, signature=signature)
    return message.get_args_list()[0]


def typed_props(props):
    return dbus.Dictionary({k: typed(k, v) for k, v in props.items()}, signature='sv')


def as_code(method):
    """dbusmock runs a method's code as a function only if it is a plain one."""
    return lambda obj, *args: method(obj, *args)


class ModemManagerMock:
    """The manager object, its modems and the control methods."""

    def __init__(self, bus_name):
        self.bus_name = bus_name
        self.next_index = 0
        self.setup_calls = {}  # modem path -> [rate, ...]
        self.manager = mockobject.DBusMockObject(
            bus_name, MANAGER_PATH, 'org.freedesktop.ModemManager1',
            {'Version': dbus.String('1.20.0')}, None, True)
        mockobject.objects[MANAGER_PATH] = self.manager
        # ModemManager lists only modems; SIM objects live outside the list.
        self.manager.AddMethod(OBJECT_MANAGER_IFACE, 'GetManagedObjects', '',
                               'a{oa{sa{sv}}}', as_code(self._managed_objects))
        controls = [
            ('AddModem', 's', 'o', self._add_modem),
            ('SetProperties', 'oss', '', self._set_properties),
            ('RemoveProperties', 'osas', '', self._remove_properties),
            ('RemoveModem', 'o', '', self._remove_modem),
            ('SetupCalls', 'o', 'au', self._setup_calls),
            ('Reset', '', '', self._reset),
        ]
        for name, in_sig, out_sig, code in controls:
            self.manager.AddMethod(CONTROL_IFACE, name, in_sig, out_sig, as_code(code))

    def _managed_objects(self, _manager):
        return dbus.Dictionary(
            {dbus.ObjectPath(path): obj.props
             for path, obj in mockobject.objects.items() if path.startswith(MODEM_PREFIX)},
            signature='oa{sa{sv}}')

    def _new_object(self, path, interface, props):
        obj = mockobject.DBusMockObject(self.bus_name, path, interface, typed_props(props))
        mockobject.objects[path] = obj
        return obj

    def _add_modem(self, _manager, spec_json):
        spec = json.loads(spec_json)
        index = spec.get('index', self.next_index)
        self.next_index = max(self.next_index, index + 1)
        modem_path = f'{MODEM_PREFIX}{index}'
        modem_props = dict(spec.get('modem', {}))
        if 'sim' in spec:
            sim_path = f'{SIM_PREFIX}{index}'
            self._new_object(sim_path, INTERFACES['sim'], spec['sim'])
            modem_props.setdefault('Sim', sim_path)
        modem = self._new_object(modem_path, INTERFACES['modem'], modem_props)
        for key in ('3gpp', 'signal'):
            if key in spec:
                modem.props[INTERFACES[key]] = typed_props(spec[key])
        if 'signal' in spec:
            self._add_setup(modem, spec.get('setup', 'apply'))
        return dbus.ObjectPath(modem_path)

    def _add_setup(self, modem, mode):
        calls = self.setup_calls.setdefault(modem.path, [])
        signal_iface = INTERFACES['signal']

        def setup(obj, rate):
            calls.append(int(rate))
            if mode == 'fail':
                raise dbus.exceptions.DBusException(
                    'Not authorized to control the device',
                    name='org.freedesktop.ModemManager1.Error.Core.Unauthorized')
            if mode == 'apply':
                obj.props[signal_iface]['Rate'] = dbus.UInt32(rate)

        modem.AddMethod(signal_iface, 'Setup', 'u', '', setup)

    def _set_properties(self, _manager, path, interface, props_json):
        obj = mockobject.objects[str(path)]
        iface = interface_name(interface)
        changed = typed_props(json.loads(props_json))
        obj.props.setdefault(iface, dbus.Dictionary({}, signature='sv')).update(changed)
        obj.EmitSignal(dbus.PROPERTIES_IFACE, 'PropertiesChanged', 'sa{sv}as',
                       [iface, changed, dbus.Array([], signature='s')])

    def _remove_properties(self, _manager, path, interface, names):
        props = mockobject.objects[str(path)].props.get(interface_name(interface), {})
        for name in names:
            props.pop(str(name), None)

    def _remove_modem(self, _manager, path):
        modem = mockobject.objects.pop(str(path))
        sim_path = str(modem.props.get(INTERFACES['modem'], {}).get('Sim', ''))
        modem.remove_from_connection()
        if sim_path in mockobject.objects:
            mockobject.objects.pop(sim_path).remove_from_connection()

    def _setup_calls(self, _manager, path):
        return dbus.Array(self.setup_calls.get(str(path), []), signature='u')

    def _reset(self, manager):
        for path in [p for p in mockobject.objects if p != MANAGER_PATH]:
            mockobject.objects.pop(path).remove_from_connection()
        self.setup_calls.clear()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--address', help='bus address (default: $DBUS_SYSTEM_BUS_ADDRESS)')
    parser.add_argument('--modem', action='append', default=[],
                        help='JSON spec of a modem to add at start (repeatable)')
    args = parser.parse_args()
    if args.address:
        os.environ['DBUS_SYSTEM_BUS_ADDRESS'] = args.address

    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SystemBus()
    bus_name = dbus.service.BusName(BUS_NAME, bus, allow_replacement=True,
                                    replace_existing=True, do_not_queue=True)
    mock = ModemManagerMock(bus_name)
    for spec in args.modem:
        mock._add_modem(None, spec)  # pylint: disable=protected-access

    main_loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, main_loop.quit)
    bus.add_signal_receiver(main_loop.quit, signal_name='Disconnected',
                            path='/org/freedesktop/DBus/Local',
                            dbus_interface='org.freedesktop.DBus.Local')
    print('ready', flush=True)
    main_loop.run()
    return 0


if __name__ == '__main__':
    sys.exit(main())
