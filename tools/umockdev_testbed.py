#!/usr/bin/python3
"""A umockdev testbed of the gateway's supported USB modems, plugged and unplugged at run time.

The process owns a testbed directory under /tmp (umockdev's /sys and uevent sockets). A program
run with LD_PRELOAD=libumockdev-preload.so.0 and UMOCKDEV_DIR=<that directory> sees the modems
through libudev and hears their uevents. The devices carry the udev properties ModemManager's rules
would give them (ID_MM_DEVICE_PROCESS on the USB device, ID_MM_CANDIDATE on each tty,
ID_MM_PORT_TYPE_AT_PRIMARY on the AT port, ID_MM_PORT_IGNORE on the others).

    /usr/bin/python3 tools/umockdev_testbed.py [--control SOCKET] [--at]

With --at each modem's AT port is a pty served by a simulated module (tools/at_modem.py), so the
real ModemManager can probe it; run the tool in the same mount namespace (the same /dev/pts) as
ModemManager.

It restarts itself under the preload when needed, then prints one JSON line {"root": DIR}. Commands
come one per line, on standard input or, with --control, over connections to a Unix socket (one
command per connection); each gets one JSON reply line ({"ok": true, ...} or {"ok": false,
"error": ...}):

    add MODEM                   the modem is there without uevents (present at boot, or its
                                events were missed)
    plug MODEM                  add, then "add" uevents for the USB device, its interfaces and
                                ttys (hot-plug)
    unplug MODEM                "remove" uevents for its ttys, then the modem is gone
    uevent MODEM ACTION [IFACE] ACTION for each of its ttys, or for the one on interface IFACE
    set MODEM KEY=VALUE...      the simulated module's network and SIM (--at): registration
                                (27.007 <stat>, 1 home, 5 roaming), operator (MCC MNC digits),
                                signal (percent), sim (present, absent, pin); a plugged module
                                sends its unsolicited result codes, a SIM change shows at the next
                                plug
    wait-monitor [SECONDS]      waits until some process's udev monitor listens (default 10 s)
    list                        the modems present
    root                        the testbed directory
    quit

MODEM is one of: sierra, gemalto, le910, le910-eu-v2, he910 (see MODEMS). Replies to add and
plug describe the ttys: [{"node": "/dev/ttyUSB0", "iface": "03", "syspath": ...}, ...].
"""

import argparse
import glob
import json
import os
import shutil
import signal
import socket
import sys
import time

from at_modem import AtModem, Identity, PtyPort

PRELOAD = "libumockdev-preload.so.0"
QUIET = "quiet-"  # prefix that hides a listener's event socket from umockdev

# USB ids, strings and tty interfaces of each supported modem; every interface gets one tty, and
# "at" is the interface of the AT port (the one the daemon takes where it chooses by interface).
MODEMS = {
    "sierra": {"vendor": "1199", "product": "9091", "manufacturer": "Sierra Wireless, Incorporated",
               "name": "Sierra Wireless EM7565", "tty": "ttyUSB", "ifaces": ["00", "02", "03"],
               "at": "03"},
    "gemalto": {"vendor": "1e2d", "product": "00a0", "manufacturer": "Gemalto",
                "name": "PLS8", "tty": "ttyACM", "ifaces": ["00", "02", "04", "06"], "at": "00"},
    "le910": {"vendor": "1bc7", "product": "1201", "manufacturer": "Telit",
              "name": "LE910", "tty": "ttyUSB", "ifaces": ["03", "04", "05", "06"], "at": "05"},
    "le910-eu-v2": {"vendor": "1bc7", "product": "0036", "manufacturer": "Telit",
                    "name": "LE910-EU V2", "tty": "ttyACM", "ifaces": ["00", "03", "06"],
                    "at": "06"},
    "he910": {"vendor": "1bc7", "product": "0021", "manufacturer": "Telit",
              "name": "HE910", "tty": "ttyACM", "ifaces": ["00", "02", "06"], "at": "06"},
}
TTY_MAJOR = 188  # usb-serial; umockdev reports it when a program stats the node


def restart_under_preload():
    """The testbed's owner must run under the preload itself."""
    if PRELOAD in os.environ.get("LD_PRELOAD", ""):
        return
    env = dict(os.environ)
    env["LD_PRELOAD"] = ":".join(p for p in (PRELOAD, env.get("LD_PRELOAD")) if p)
    os.execve(sys.executable, [sys.executable] + sys.argv, env)


class ModemBed:
    """The testbed and the modems in it, each under a USB port 1-N of its own."""

    def __init__(self, at=False):
        import gi
        gi.require_version("UMockdev", "1.0")
        from gi.repository import UMockdev

        class PassThroughIoctl(UMockdev.IoctlBase):
            """umockdev's default handler answers TIOCEXCL with ENOTTY, and ModemManager will
            not use a port it cannot lock: every ioctl is done on the pty itself."""

            def do_handle_ioctl(self, client):
                result, error = client.execute()
                client.complete(result, error)
                return True

        self.testbed = UMockdev.Testbed.new()
        self.root = self.testbed.get_root_dir()
        self._ioctl = PassThroughIoctl() if at else None
        # modem name -> {"usb": syspath, "port": n, "ttys": [...], "devices": [syspaths],
        #                "at": PtyPort (--at only)}
        self.present = {}
        self.settings = {name: {} for name in MODEMS}  # kept across unplug and plug

    def close(self):
        """Dropping the testbed removes its directory."""
        for modem in self.present.values():
            if modem.get("at"):
                modem["at"].close()
        self.testbed = None

    def _free(self, used):
        n = 0
        while n in used:
            n += 1
        return n

    def _tty_name(self, prefix):
        used = {int(t["node"][len("/dev/" + prefix):]) for m in self.present.values()
                for t in m["ttys"] if t["node"].startswith("/dev/" + prefix)}
        return "%s%d" % (prefix, self._free(used))

    def add(self, name):
        """umockdev announces every device it adds; keep that from the listeners."""
        listeners = [os.path.basename(p) for p in glob.glob(os.path.join(self.root, "event[0-9]*"))]
        for listener in listeners:
            os.rename(os.path.join(self.root, listener), os.path.join(self.root, QUIET + listener))
        try:
            return self._add(name)
        finally:
            for listener in listeners:
                os.rename(os.path.join(self.root, QUIET + listener), os.path.join(self.root, listener))

    def _add(self, name):
        if name not in MODEMS:
            raise ValueError("unknown modem %r (one of %s)" % (name, ", ".join(MODEMS)))
        if name in self.present:
            raise ValueError("%s is already plugged in" % name)
        spec = MODEMS[name]
        port = self._free({m["port"] for m in self.present.values()} | {0})
        usb_name = "1-%d" % port
        usb = self.testbed.add_device(
            "usb", usb_name, None,
            ["idVendor", spec["vendor"], "idProduct", spec["product"],
             "manufacturer", spec["manufacturer"], "product", spec["name"],
             "serial", "%s-%d" % (name, port), "busnum", "1", "devnum", str(port + 1)],
            ["DEVTYPE", "usb_device", "DEVNAME", "/dev/bus/usb/001/%03d" % (port + 1),
             "PRODUCT", "%s/%s/0" % (spec["vendor"].lstrip("0"), spec["product"].lstrip("0")),
             "ID_MM_DEVICE_PROCESS", "1"])
        modem = {"usb": usb, "port": port, "ttys": [], "devices": [usb], "at": None}
        self.present[name] = modem
        for iface in spec["ifaces"]:
            interface = self.testbed.add_device(
                "usb", "%s:1.%d" % (usb_name, int(iface, 16)), usb,
                ["bInterfaceNumber", iface], ["DEVTYPE", "usb_interface"])
            modem["devices"].append(interface)
            tty_name = self._tty_name(spec["tty"])
            node = "/dev/" + tty_name
            port_type = "ID_MM_PORT_TYPE_AT_PRIMARY" if iface == spec["at"] else "ID_MM_PORT_IGNORE"
            attributes = []
            if self._ioctl and iface == spec["at"]:
                attributes = ["dev", "%d:%d" % (TTY_MAJOR, int(tty_name[len(spec["tty"]):]))]
            syspath = self.testbed.add_device(
                "tty", tty_name, interface, attributes,
                ["DEVNAME", node, "ID_VENDOR_ID", spec["vendor"], "ID_MODEL_ID", spec["product"],
                 "ID_USB_INTERFACE_NUM", iface, "ID_MM_CANDIDATE", "1", port_type, "1"])
            modem["ttys"].append({"node": node, "iface": iface, "syspath": syspath})
            modem["devices"].append(syspath)
            if attributes:
                modem["at"] = self._attach_module(name, node)
        return modem

    def _attach_module(self, name, node):
        """The AT port: the testbed's node is a link to a pty that a simulated module serves."""
        at = PtyPort(AtModem(Identity.for_modem(name), **self.settings[name]))
        os.symlink(at.slave_path, self.root + node)
        self.testbed.attach_ioctl(node, self._ioctl)
        return at

    def set(self, name, *assignments):
        changes = dict(a.split("=", 1) for a in assignments if "=" in a)
        if len(changes) != len(assignments) or name not in MODEMS:
            raise ValueError("usage: set MODEM KEY=VALUE...")
        AtModem(Identity.for_modem(name), **self.settings[name]).update(**changes)  # validates
        self.settings[name].update(changes)
        at = self.present.get(name, {}).get("at")
        return {"state": at.update(**changes) if at else self.settings[name]}

    def plug(self, name):
        """As the kernel reports a new USB device: "add" for each device, parents first."""
        modem = self.add(name)
        for device in modem["devices"]:
            self.testbed.uevent(device, "add")
        return modem

    def unplug(self, name):
        modem = self._modem(name)
        # The kernel has torn an unplugged device down before udev reports it, so the ttys' USB
        # parent must not be found while the "remove" events are handled (the daemon takes one
        # a second). umockdev only sends events for devices it still has, so the USB device
        # stays until they are out, but with a subsystem link that names no subsystem.
        usb_dir = self.root + modem["usb"]
        os.unlink(os.path.join(usb_dir, "subsystem"))
        os.symlink("../../class/detached", os.path.join(usb_dir, "subsystem"))
        self.uevent(name, "remove")
        # umockdev removes the /sys/class and /sys/bus links of the named device only, and
        # cannot remove a device whose subsystem it cannot tell: the USB device goes by hand.
        for device in reversed(modem["devices"][1:]):
            self.testbed.remove_device(device)
        usb_name = os.path.basename(modem["usb"])
        for link in ("class/usb/" + usb_name, "bus/usb/devices/" + usb_name):
            if os.path.lexists(os.path.join(self.root, "sys", link)):
                os.unlink(os.path.join(self.root, "sys", link))
        shutil.rmtree(usb_dir)
        if modem["at"]:
            node = next(t["node"] for t in modem["ttys"] if t["iface"] == MODEMS[name]["at"])
            self.testbed.detach_ioctl(node)
            if os.path.lexists(self.root + node):  # removing the tty may have taken it
                os.unlink(self.root + node)
            modem.pop("at").close()
        del self.present[name]
        return modem

    def uevent(self, name, action, iface=None):
        ttys = [t for t in self._modem(name)["ttys"] if iface is None or t["iface"] == iface]
        if not ttys:
            raise ValueError("%s has no tty on interface %s" % (name, iface))
        for tty in ttys:
            self.testbed.uevent(tty["syspath"], action)
        return {"ttys": ttys}

    def wait_monitor(self, seconds=10.0):
        """The preload binds each udev monitor to a socket event<fd> in the testbed."""
        deadline = time.monotonic() + float(seconds)
        while not glob.glob(os.path.join(self.root, "event[0-9]*")):
            if time.monotonic() > deadline:
                raise TimeoutError("no udev monitor listened within %s s" % seconds)
            time.sleep(0.05)
        return {}

    def _modem(self, name):
        if name not in self.present:
            raise ValueError("%s is not plugged in" % name)
        return self.present[name]

    def run(self, line):
        """One command line -> (reply dict, whether to quit)."""
        words = line.split()
        if not words:
            return {"ok": False, "error": "empty command"}, False
        command, args = words[0], words[1:]
        handlers = {
            "add": self.add, "plug": self.plug, "unplug": self.unplug, "uevent": self.uevent,
            "set": self.set, "wait-monitor": self.wait_monitor,
            "list": lambda: {"modems": {n: {k: v for k, v in m.items() if k != "at"}
                                        for n, m in self.present.items()}},
            "root": lambda: {"root": self.root},
            "quit": lambda: {},
        }
        if command not in handlers:
            return {"ok": False, "error": "unknown command %r" % command}, False
        try:
            result = handlers[command](*args)
        except (ValueError, TypeError, TimeoutError, OSError) as error:
            return {"ok": False, "error": str(error)}, False
        result = {k: v for k, v in result.items() if k != "at"}  # a PtyPort is no JSON
        return dict({"ok": True}, **result), command == "quit"


def serve_stdin(bed):
    for line in sys.stdin:
        reply, done = bed.run(line)
        print(json.dumps(reply), flush=True)
        if done:
            return


def serve_socket(bed, path):
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    server.bind(path)
    server.listen(4)
    try:
        while True:
            connection, _ = server.accept()
            with connection, connection.makefile("rw") as stream:
                reply, done = bed.run(stream.readline())
                stream.write(json.dumps(reply) + "\n")
            if done:
                return
    finally:
        server.close()
        os.unlink(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--control", help="Unix socket to take commands on (default: stdin)")
    parser.add_argument("--at", action="store_true",
                        help="serve each AT port on a pty with a simulated module")
    options = parser.parse_args()
    restart_under_preload()
    # Stopping by SIGTERM must still remove the testbed directory.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    bed = ModemBed(at=options.at)
    print(json.dumps({"root": bed.root}), flush=True)
    try:
        if options.control:
            serve_socket(bed, options.control)
        else:
            serve_stdin(bed)
    except KeyboardInterrupt:
        pass
    finally:
        bed.close()


if __name__ == "__main__":
    main()
