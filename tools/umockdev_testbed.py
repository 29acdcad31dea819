#!/usr/bin/python3
"""A umockdev testbed of the gateway's supported USB modems, plugged and unplugged at run time.

The process owns a testbed directory under /tmp (umockdev's /sys and uevent sockets). A program
run with LD_PRELOAD=libumockdev-preload.so.0 and UMOCKDEV_DIR=<that directory> sees the modems
through libudev and hears their uevents.

    /usr/bin/python3 tools/umockdev_testbed.py [--control SOCKET]

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

PRELOAD = "libumockdev-preload.so.0"
QUIET = "quiet-"  # prefix that hides a listener's event socket from umockdev

# USB ids, strings and tty interfaces of each supported modem; every interface gets one tty.
MODEMS = {
    "sierra": {"vendor": "1199", "product": "9091", "manufacturer": "Sierra Wireless, Incorporated",
               "name": "Sierra Wireless EM7565", "tty": "ttyUSB", "ifaces": ["00", "02", "03"]},
    "gemalto": {"vendor": "1e2d", "product": "00a0", "manufacturer": "Gemalto",
                "name": "PLS8", "tty": "ttyACM", "ifaces": ["00", "02", "04", "06"]},
    "le910": {"vendor": "1bc7", "product": "1201", "manufacturer": "Telit",
              "name": "LE910", "tty": "ttyUSB", "ifaces": ["03", "04", "05", "06"]},
    "le910-eu-v2": {"vendor": "1bc7", "product": "0036", "manufacturer": "Telit",
                    "name": "LE910-EU V2", "tty": "ttyACM", "ifaces": ["00", "03", "06"]},
    "he910": {"vendor": "1bc7", "product": "0021", "manufacturer": "Telit",
              "name": "HE910", "tty": "ttyACM", "ifaces": ["00", "02", "06"]},
}


def restart_under_preload():
    """The testbed's owner must run under the preload itself."""
    if PRELOAD in os.environ.get("LD_PRELOAD", ""):
        return
    env = dict(os.environ)
    env["LD_PRELOAD"] = ":".join(p for p in (PRELOAD, env.get("LD_PRELOAD")) if p)
    os.execve(sys.executable, [sys.executable] + sys.argv, env)


class ModemBed:
    """The testbed and the modems in it, each under a USB port 1-N of its own."""

    def __init__(self):
        import gi
        gi.require_version("UMockdev", "1.0")
        from gi.repository import UMockdev
        self.testbed = UMockdev.Testbed.new()
        self.root = self.testbed.get_root_dir()
        # modem name -> {"usb": syspath, "port": n, "ttys": [...], "devices": [syspaths]}
        self.present = {}

    def close(self):
        """Dropping the testbed removes its directory."""
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
             "PRODUCT", "%s/%s/0" % (spec["vendor"].lstrip("0"), spec["product"].lstrip("0"))])
        modem = {"usb": usb, "port": port, "ttys": [], "devices": [usb]}
        self.present[name] = modem
        for iface in spec["ifaces"]:
            interface = self.testbed.add_device(
                "usb", "%s:1.%d" % (usb_name, int(iface, 16)), usb,
                ["bInterfaceNumber", iface], ["DEVTYPE", "usb_interface"])
            modem["devices"].append(interface)
            tty_name = self._tty_name(spec["tty"])
            node = "/dev/" + tty_name
            syspath = self.testbed.add_device(
                "tty", tty_name, interface, [],
                ["DEVNAME", node, "ID_VENDOR_ID", spec["vendor"], "ID_MODEL_ID", spec["product"],
                 "ID_USB_INTERFACE_NUM", iface])
            modem["ttys"].append({"node": node, "iface": iface, "syspath": syspath})
            modem["devices"].append(syspath)
        return modem

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
            "wait-monitor": self.wait_monitor,
            "list": lambda: {"modems": self.present},
            "root": lambda: {"root": self.root},
            "quit": lambda: {},
        }
        if command not in handlers:
            return {"ok": False, "error": "unknown command %r" % command}, False
        try:
            result = handlers[command](*args)
        except (ValueError, TypeError, TimeoutError, OSError) as error:
            return {"ok": False, "error": str(error)}, False
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
    options = parser.parse_args()
    restart_under_preload()
    # Stopping by SIGTERM must still remove the testbed directory.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    bed = ModemBed()
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
