"""A simulated gateway, live: the real wanvox with its stand-ins, everything it says printed as it
happens. Run by scripts/demo (as root, after the build).

Story: a gateway with no modem publishes "no device" records; a Sierra EM7565 (a simulated AT
module) is plugged in, found through udev, probed by the real ModemManager, enabled as the gateway's
connection manager does, and published as the internal modem (and broadcast on the LAN as a BEP
report); it starts roaming; then a BEP router speaks on the LAN and takes over; it falls silent and,
30 s later, the internal modem takes over again. All inside network and mount namespaces that are
torn down at the end.
"""

import json
import os
import signal
import sys
import time

from sandbox import Sandbox
from sandbox.quarn import QuarnMonitor
from sandbox.real_modemmanager import RealModemManager
from sandbox.routers import LanListener, RouterSim

# The modem log repeats every query's values; the demo shows its state changes.
MODEM_LINES = ("State:", "Detected", "Error", "Using", "Setting")
INTERVAL = 20   # seconds between modem summaries (wanvox.conf)
START = time.monotonic()


def say(source, text):
    print("%6.1f  %-7s %s" % (time.monotonic() - START, source, text), flush=True)


class Tail:
    """New complete lines of a file since the last look."""

    def __init__(self, path):
        self.path = path
        self.offset = 0

    def lines(self):
        try:
            with open(self.path, "rb") as f:
                f.seek(self.offset)
                data = f.read()
        except FileNotFoundError:
            return []
        end = data.rfind(b"\n") + 1
        self.offset += end
        return data[:end].decode(errors="replace").splitlines()


class Screen:
    """Prints what the daemon logs, what Quarn receives and what crosses the LAN."""

    def __init__(self, gw, quarn, lan, mm):
        self.logs = [("wanvox", Tail(os.path.join(gw.log_dir, "wanvox")), ()),
                     ("modem", Tail(os.path.join(gw.log_dir, "modem")), MODEM_LINES),
                     ("mm", Tail(mm.enabler.stdout_path), ())]
        self.quarn = quarn
        self.lan = lan
        self.quarn_seen = 0
        self.lan.mark()

    def show_for(self, seconds):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            self.refresh()
            time.sleep(0.2)

    def refresh(self):
        for name, tail, only in self.logs:
            for line in tail.lines():
                if line.strip() and (not only or line.startswith(only)):
                    say(name, line.strip())
        calls = self.quarn.calls()
        for call in calls[self.quarn_seen:]:
            fields = {k: v for k, v in call.items() if k not in ("call", "time", "mono")}
            say("quarn", "%s %s" % (call["call"], json.dumps(fields)))
        self.quarn_seen = len(calls)
        for message in self.lan.new():
            say("lan", describe(message))
        self.lan.mark()


def describe(message):
    bep = message.get("bep") or {}
    what = "BEP report" if "bep" in message else "event message"
    details = "model=%s ack=%s" % (bep.get("model"), bep.get("ack")) if bep else ""
    return "%s from %s, %d bytes %s" % (what, message["from"], message["len"], details)


def main():
    with Sandbox() as sb:
        gw = sb.gateway
        gw.seed("/etc/ostrel/quarn/wanvox.conf", json.dumps({"interval": INTERVAL}))
        # Without a link-local IPv6 address, which the record would prefer.
        gw.add_link("wwan0", ipv4="10.64.0.2/30", link_local=False)
        quarn = QuarnMonitor(gw).start()
        say("demo", "starting ModemManager on a private bus, with polkit and a umockdev testbed")
        mm = RealModemManager(gw).start()
        mm.start_enabler()
        router = RouterSim(sb)
        lan = LanListener(sb)
        screen = Screen(gw, quarn, lan, mm)

        say("demo", "starting wanvox -d 4 on gateway %s (no modem yet)" % gw.address)
        daemon = gw.start_daemon(["-d", "4"], env=mm.env)
        mm.udev.wait_monitor()
        screen.show_for(14)

        say("demo", "plugging in a Sierra EM7565: ModemManager probes it, the gateway enables it")
        mm.udev.plug("sierra")
        screen.show_for(36)

        say("demo", "the modem roams, and its signal drops to 40 %")
        mm.udev.set("sierra", registration=5, signal=40)
        screen.show_for(12)

        say("demo", "a BT-6800 router on the LAN starts reporting every 2 s for 20 s")
        router.bep(model_id=0x6800, model="BT-6800", rssi=-75, count=10, interval=2, wait=False)
        screen.show_for(22)

        say("demo", "the router is silent: the internal modem takes over after 30 s")
        screen.show_for(40)

        say("demo", "stopping wanvox with SIGTERM")
        daemon.signal(signal.SIGTERM)
        status = daemon.wait_exit(timeout=5)
        screen.refresh()
        say("demo", "wanvox exited with status %d; tearing the sandbox down" % status)
    return 0


if __name__ == "__main__":
    if len(sys.argv) > 1:
        print("usage: tools/demo.py (or scripts/demo)", file=sys.stderr)
        sys.exit(2)
    sys.exit(main())
