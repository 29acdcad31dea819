#!/usr/bin/python3
"""One scripted run of the daemon in a sandboxed gateway, printed as a trace that two builds can be
compared by: what reached Quarn, what the gateway sent on the LAN, its log files and its standard
output and error. Timings are left out, so a change of how the loops wait shows only where it
changes what the daemon says or sends.

    WANVOX_BUILD_DIR=build-old tools/trace_run.py >old.txt    # as root
    WANVOX_BUILD_DIR=build tools/trace_run.py >new.txt
    diff old.txt new.txt

The run (about 100 s): the daemon starts with "-d 6" and no modem; a Telit LE910 (one command
port, so one announcement) described by the ModemManager mock (deterministic, unlike the real
service) is plugged in and published; a BEP router sends five reports, then one with the ACK flag
set; an event router sends direct messages; both fall silent until the internal modem is
published again; SIGTERM.

Each stream keeps its own order: the Quarn calls are split by the thread that makes them, the
logs are taken as written, and standard output loses the lines that are also in a log file (what
is left are the message classes' traces). A block of lines that repeats back to back is printed
once, since how often a periodic record or refresh repeats is a matter of timing; so is the
sequence number of the modem's own BEP reports, and the time the radio refresh logs. A run of the
status publisher's records of one device type, and a run of the modem's own BEP reports, shows as
its last one: how many of them go out before the modem's first refreshes have filled them in is
timing too.
"""

import collections
import json
import os
import re
import signal
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from sandbox import Sandbox, wait_for  # noqa: E402
from sandbox.modemmanager import ModemManager  # noqa: E402
from sandbox.quarn import QuarnMonitor  # noqa: E402
from sandbox.routers import LanListener, RouterSim  # noqa: E402
from sandbox.udev import UdevTestbed  # noqa: E402

MODEM = dict(model="LE910-SVG", imei="359225050123456", registration=1, operator_code="311480",
             rate=0, lte={"rssi": -71.0, "rsrq": -9.0})
BEP_ROUTER = dict(model="BT-5830v2", rssi=-75, network="LTE", ip="192.168.2.1")
EVENT_ELEMENTS = {17: "15551239999", 259: "Roaming Network", 261: -75, 264: "LTE",
                  301: "10.64.0.2", 770: "Carrier Net", 900: 2}
INTERVAL = 4                # seconds of the summary's interval setting: one every 5 s
ROUTER_GAP = 0.2            # between a router's datagrams, so that no record of the
                            # status publisher falls between them
LONGEST_BLOCK = 80          # lines of the longest block that is folded when it repeats
UTC_TIME = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ\r?$")
PUBLISHER_DEVICE_TYPES = (0, 2)   # NONE and INTERNAL; routers get the others
BEP_DEVICE_TYPES = (1, 3, 7, 8)


def fold(items):
    """Prints a block that repeats back to back once: the shortest block first, then again
    until nothing changes. A cut-off repeat (a prefix of the block) right after goes too."""
    while True:
        folded, i = [], 0
        while i < len(items):
            for size in range(1, min(LONGEST_BLOCK, (len(items) - i) // 2) + 1):
                block = items[i:i + size]
                if items[i + size:i + 2 * size] != block:
                    continue
                i += size
                while items[i:i + size] == block:
                    i += size
                rest = max((k for k in range(size) if items[i:i + k] == block[:k]), default=0)
                folded += block
                i += rest
                break
            else:
                folded.append(items[i])
                i += 1
        if folded == items:
            return items
        items = folded


def last_of_runs(items, kind):
    """Each run of back-to-back items of one kind as its last item: what the modem publishes
    and broadcasts fills in as its first refreshes come, at moments that timing decides."""
    return [item for i, item in enumerate(items)
            if i + 1 == len(items) or kind(items[i + 1]) != kind(item)]


def text_lines(data):
    lines = data.decode(errors="replace").split("\n")
    return [("<UTC time>" if UTC_TIME.match(line) else line) for line in lines]


def call_line(call):
    fields = {k: v for k, v in call.items() if k not in ("call", "time", "mono")}
    return "%s %s" % (call["call"], json.dumps(fields, sort_keys=True))


def datagram_line(message, modem_model):
    data = message["hex"]
    # The modem's own reports count up a sequence number (bytes 12-15).
    if message.get("bep", {}).get("model") == modem_model:
        data = data[:24] + "........" + data[32:]
    return "%d %s" % (message["port"], data)


def without(lines, taken):
    """`lines` less one occurrence of each line of `taken`, order kept."""
    left = collections.Counter(taken)
    kept = []
    for line in lines:
        if left[line] > 0:
            left[line] -= 1
        else:
            kept.append(line)
    return kept


def section(title, lines):
    print("== %s" % title)
    for line in fold(lines):
        print(line)


def run():
    with Sandbox() as sb:
        gw = sb.gateway
        router = RouterSim(sb)  # its address on the LAN bridge lets broadcasts through
        lan = LanListener(sb)
        quarn = QuarnMonitor(gw).start()
        udev = UdevTestbed(gw)
        mm = ModemManager(gw).start()
        mm.add_modem(**MODEM)
        # The modem's interface, without a link-local IPv6 address, which the record would
        # prefer to its IPv4 one.
        gw.add_link("wwan0", ipv4="10.64.0.2/30", link_local=False)
        gw.seed("/etc/ostrel/quarn/wanvox.conf", json.dumps({"interval": INTERVAL}))
        daemon = gw.start_daemon(["-d", "6"], env=dict(udev.daemon_env(), **mm.env))
        udev.wait_monitor()

        def published(types, after):
            return [c for c in quarn.calls("SetModemInfo")
                    if c["device_type"] in types and c["mono"] > after]

        wait_for(lambda: len(published((0,), 0)) >= 2, 20, what="two no-modem records")
        udev.plug("le910")
        plugged = time.monotonic()
        wait_for(lambda: [c for c in published((2,), plugged) if c["rssi"]], 30,
                 what="the modem published with its radio values")
        wait_for(lambda: len(quarn.calls("TEL_SendMDM")) >= 2, 15, what="two modem summaries")
        # Its own BEP report takes the signal from the first identity refresh in Running.
        lan.wait_for(lambda m: m.get("bep", {}).get("model") == MODEM["model"]
                     and m["bep"].get("rssi"), 20, new=False, what="the modem's report with rssi")

        router.bep(to=gw.address, count=5, interval=ROUTER_GAP, **BEP_ROUTER)
        router.bep(to=gw.address, ack=True, **BEP_ROUTER)
        router.event(to=gw.address, id_type=0x01, elements=EVENT_ELEMENTS, count=10,
                     interval=ROUTER_GAP)
        silent = time.monotonic()
        resumed = wait_for(lambda: published((2,), silent), 50,
                           what="the modem published again after the routers")[0]["mono"]
        wait_for(lambda: len(published((2,), resumed)) >= 2, 15, what="two more modem records")
        daemon.signal(signal.SIGTERM)
        status = daemon.wait_exit(timeout=10)

        calls = quarn.calls()
        logs = {name: text_lines(gw.read("/var/log/" + name))
                for name in ("wanvox", "modem", "modem-errors")}
        sent = [m for m in lan.messages() if m["from"] == gw.address]
        stdout, stderr = text_lines(daemon.stdout()), text_lines(daemon.stderr())

    def records(types):
        return [c for c in calls if c["call"] == "SetModemInfo" and c["device_type"] in types]

    def call_lines(records):
        return [call_line(c) for c in records]

    publisher = last_of_runs(records(PUBLISHER_DEVICE_TYPES), lambda c: c["device_type"])
    section("Quarn: SetModemInfo of the status publisher", call_lines(publisher))
    section("Quarn: TEL_SendMDM", [call_line(c) for c in calls if c["call"] == "TEL_SendMDM"])
    section("Quarn: SetModemInfo of the BEP listener", call_lines(records(BEP_DEVICE_TYPES)))
    section("Quarn: SetModemInfo of the event listener", call_lines(records((5, 6))))
    own = [datagram_line(m, MODEM["model"]) for m in sent]
    section("LAN: datagrams the gateway sent",
            last_of_runs(own, lambda d: "the modem's" if "........" in d else d))
    for name, lines in logs.items():
        section("/var/log/" + name, lines)
    section("standard output, less the lines of the log files",
            without(stdout, [line for lines in logs.values() for line in lines]))
    section("standard error", stderr)
    print("== exit status\n%d" % status)


if __name__ == "__main__":
    if len(sys.argv) > 1:
        print("usage: tools/trace_run.py", file=sys.stderr)
        sys.exit(2)
    run()
