"""External routers for the sandbox: the router simulator and a LAN listener, both in the LAN namespace.

    from sandbox.routers import RouterSim, LanListener

    heard = LanListener(sb)                         # prints what crosses 45454/45456 on the LAN
    router = RouterSim(sb)                          # a host address of its own on the LAN bridge
    router.bep(model="BT-5830v2", rssi=-75)         # one BEP report to 10.0.0.255, waits until sent
    router.bep(to=gw.address, ack=True, count=3, interval=0.5)
    router.event(elements={261: -75, 264: "LTE"}, id_type=0x01)
    copy = heard.wait_for(lambda m: m["from"] == gw.address and "bep" in m, timeout=5)

Keyword options of `bep` and `event` are the options of tools/router_sim.py with "-" written as "_"
(`model_id=0x7601`, `ip_code=0`); True gives a bare flag, False or None leaves the option out, and a list
or tuple gives several values. Every process runs through `sb.lan.start`, so teardown stops it.
"""

import json
import os

from sandbox.waiting import wait_for

ROUTER_SIM = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                          "router_sim.py")
PYTHON = "/usr/bin/python3"
BROADCAST = "10.0.0.255"
BEP_PORT = 45454
EVENT_PORT = 45456


def options(**values):
    """router_sim.py options from keyword arguments."""
    argv = []
    for key, value in values.items():
        if value is None or value is False:
            continue
        flag = "--" + key.replace("_", "-")
        if value is True:
            argv.append(flag)
        elif isinstance(value, (list, tuple)):
            argv += [flag] + [str(v) for v in value]
        else:
            argv += [flag, str(value)]
    return argv


class RouterSim:
    """A router on the LAN: sends from its own address on the LAN bridge (10.0.0.100 and up)."""

    def __init__(self, sb, address=None):
        self._sb = sb
        self.address = address or sb.lan.add_address()

    def _send(self, command, to, count, interval, wait, values):
        argv = [PYTHON, ROUTER_SIM, command, "--to", to, "--bind", self.address,
                "--count", str(count), "--interval", str(interval), "--print"] + options(**values)
        process = self._sb.lan.start(argv, name="router-%s" % command)
        if wait:
            status = process.wait_exit(timeout=count * interval + 10)
            if status != 0:
                raise RuntimeError("router_sim %s failed (%d): %s"
                                   % (command, status, process.stderr().decode(errors="replace")))
        return process

    def bep(self, to=BROADCAST, count=1, interval=1.0, wait=True, **values):
        """Sends `count` BEP reports (SEQ counts up); returns the Process (exited when `wait`)."""
        return self._send("bep", to, count, interval, wait, values)

    def event(self, to=BROADCAST, count=1, interval=1.0, wait=True, elements=None, **values):
        """Sends `count` event messages; `elements` maps element ids to values ({261: -75})."""
        if elements:
            values["element"] = ["%s=%s" % item for item in elements.items()]
        return self._send("event", to, count, interval, wait, values)

    @staticmethod
    def sent(process):
        """The datagrams a finished send printed, as dicts with "hex", "len" and "mono" (its
        time.monotonic() just after it was sent, the clock of the Quarn monitor)."""
        return [json.loads(line) for line in process.stdout().decode().splitlines() if line]


class LanListener:
    """router_sim.py listen in the LAN namespace: every datagram on the ports, decoded, one JSON line each.

    Each message is a dict: time (wall clock), mono (time.monotonic() of the listener, the clock of the
    test and of the Quarn monitor), port, from, from_port, len, hex, and "bep" or "event" with the
    decoded fields (see router_sim.py decode_bep / decode_event).
    """

    def __init__(self, sb, ports=(BEP_PORT, EVENT_PORT), timeout=10):
        self.process = sb.lan.start([PYTHON, ROUTER_SIM, "listen", "--ports",
                                     ",".join(str(p) for p in ports)], name="lan-listener")
        self.process.wait_for_output('"listening"', timeout)
        self._seen = 0

    def messages(self):
        """Every datagram heard so far."""
        lines = self.process.stdout().decode(errors="replace").splitlines()
        heard = []
        for line in lines:
            if not line.endswith("}"):
                continue  # still being written
            message = json.loads(line)
            if "listening" not in message:
                heard.append(message)
        return heard

    def mark(self):
        """Remembers how many datagrams were heard; `new()` and `wait_for(..., new=True)` count from here."""
        self._seen = len(self.messages())

    def new(self):
        return self.messages()[self._seen:]

    def wait_for(self, predicate, timeout, new=True, what=None):
        """The first datagram (after the mark, when `new`) for which `predicate` is true."""
        def match():
            for message in (self.new() if new else self.messages()):
                if predicate(message):
                    return message
            return None
        return wait_for(match, timeout, interval=0.1, what=what or "a datagram on the LAN")

    def stop(self):
        self.process.stop()
