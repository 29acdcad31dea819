"""The router links end to end: two gateways, a simulated router, Quarn monitors and a LAN listener.
One ~80 s scenario runs once: A, BEP reports to gateway 1 (the last with the ACK flag set); B, three
direct event messages to gateway 1, a BEP report, then relayed copies every 5 s for 40 s; C, silence
until both gateways publish their own no-modem record again. The tests judge what it recorded."""

import time
import unittest

from sandbox import Sandbox, wait_for
from sandbox.quarn import QuarnMonitor
from sandbox.routers import LanListener, RouterSim

BEP_PORT, EVENT_PORT = 45454, 45456
ROUTER_ID = 352099001761481
ROUTER = dict(model="BT-5830v2", phone="15551230000", firmware="4.3.1", rssi=-75, network="LTE",
              provider="Carrier", ip="192.168.2.1")
ELEMENTS = {17: "15551239999", 259: "Roaming Network", 261: -75, 264: "LTE", 301: "10.64.0.2",
            770: "Carrier Net", 900: 2}
COMMON = dict(modemid="352099001761481", rssi="-75", apn="Unavailable", sim_id="Unavailable")
BEP_RECORD = dict(COMMON, model="BT-5830v2", firmware="4.3.1", ip="192.168.2.1", roaming=False,
                  phone_number="15551230000", network_type="LTE", gps_mode=0)
EVENT_RECORD = dict(COMMON, model="GX450-Sierra", firmware="N/A", ip="10.64.0.2", roaming=True,
                    phone_number="15551239999", network_type="4G LTE", gps_mode=2)
# 30 s of whole uptime seconds end 30 to 32 s later; then one 6 s status period, and slack.
SILENCE = 30.0 + 2.0 + 6.0 + 1.5
GAP = 0.4                    # between the router's datagrams of one phase


def fields(call):
    return {k: v for k, v in call.items() if k not in ("call", "time", "mono")}


def bound(process, port):
    """True when a UDP socket of the process's network namespace is bound to `port`."""
    try:
        with open("/proc/%d/net/udp" % process.pid) as table:
            return any(line.split()[1].endswith(":%04X" % port) for line in list(table)[1:])
    except OSError:
        return False


def flip(hex_text, index, bits):
    return bytes(b | bits if i == index else b for i, b in enumerate(bytes.fromhex(hex_text))).hex()


def records(quarn, types, after=0.0, before=float("inf")):
    return [c for c in quarn.calls("SetModemInfo")
            if c.get("device_type") in types and after < c["mono"] < before]


class TwoGatewaysTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sb = Sandbox(gateways=2).__enter__()
        cls.addClassCleanup(cls.sb.close)           # also when setUpClass fails
        cls.gw1, cls.gw2 = cls.sb.gateways
        lan, cls.quarn, daemons = LanListener(cls.sb), [], []
        for gw in cls.sb.gateways:
            cls.quarn.append(QuarnMonitor(gw).start())
            daemons.append(gw.start_daemon(["-d", "6"]))
            wait_for(lambda: bound(daemons[-1], BEP_PORT) and bound(daemons[-1], EVENT_PORT), 10,
                     what="both listeners to bind")
        router, to, t = RouterSim(cls.sb), cls.gw1.address, {}
        cls.t, cls.bep_sent, cls.event_sent = t, [], []
        for ack in (False, False, False, True):                      # A
            cls.bep_sent.append(RouterSim.sent(router.bep(to=to, ack=ack, **ROUTER))[0]["hex"])
            time.sleep(GAP)
        t["bep_last"] = time.monotonic()
        for _ in range(3):                                           # B
            t["direct_last"] = time.monotonic()
            process = router.event(to=to, id=ROUTER_ID, id_type=0x01, elements=ELEMENTS)
            cls.event_sent.append(RouterSim.sent(process)[0]["hex"])
            time.sleep(GAP)
        t["ignored_bep"] = time.monotonic()
        router.bep(to=to, **ROUTER)
        time.sleep(GAP)
        router.event(to=to, id=ROUTER_ID, id_type=0x81, elements=ELEMENTS, count=9, interval=5)
        t["router_last"] = time.monotonic()
        for quarn in cls.quarn:                                      # C
            wait_for(lambda: records(quarn, (0,), after=t["router_last"]), SILENCE + 5,
                     what="the no-modem record after the silence")
        cls.lan_heard = lan.messages()
        cls.exits = [daemon.stop() for daemon in daemons]

    def forwarded(self, gw, port):
        return [m["hex"] for m in self.lan_heard if m["from"] == gw.address and m["port"] == port]

    def test_bep_reports_are_published_after_the_first_and_forwarded_once(self):
        calls = records(self.quarn[0], (7, 8), before=self.t["ignored_bep"] + 2)
        self.assertEqual([fields(c) for c in calls],
                         [dict(BEP_RECORD, device_type=device) for device in (7, 7, 8)])
        # Reports 2 and 3 come back with byte 9 bit 0 set, nothing else changed; the report that
        # arrived with the ACK flag set is not forwarded.
        copies = self.forwarded(self.gw1, BEP_PORT)
        self.assertEqual(copies, [flip(h, 9, 0x01) for h in self.bep_sent[1:3]])
        log = self.gw1.read("/var/log/wanvox")
        self.assertEqual(log.count(b"SetMDM BEP Handler\r\n"), 3)
        copy = bytes.fromhex(copies[0])
        dump = b"".join(b" %02x" % byte for byte in copy)
        self.assertIn(b"Forwarding message [%d]: %s\r\n" % (len(copy), dump), log)
        # Gateway 2 drops the first copy (it only wakes the listener) and publishes the second.
        self.assertEqual([fields(c) for c in records(self.quarn[1], (1, 3, 7, 8))],
                         [dict(BEP_RECORD, device_type=8)])
        self.assertEqual(self.forwarded(self.gw2, BEP_PORT), [])

    def test_event_messages_direct_then_relayed_after_thirty_seconds(self):
        calls = records(self.quarn[0], (5, 6), after=self.t["bep_last"])
        self.assertEqual([c["device_type"] for c in calls[:2]], [5, 5])
        for call in calls:
            self.assertEqual(fields(call), dict(EVENT_RECORD, device_type=call["device_type"]))
        # The direct messages after the first come back with id type 0x81, nothing else changed.
        self.assertEqual(self.forwarded(self.gw1, EVENT_PORT),
                         [flip(h, 8, 0x80) for h in self.event_sent[1:]])
        # Which relayed copies are dropped: EventListenerTest.
        self.assertEqual(self.gw1.read("/var/log/wanvox").count(b"SetMDM Event Handler\r\n"),
                         len(calls))
        # Gateway 2 publishes the second forwarded copy as remote, and forwards nothing.
        self.assertEqual([fields(c) for c in records(self.quarn[1], (5, 6))],
                         [dict(EVENT_RECORD, device_type=6)])
        self.assertEqual(self.forwarded(self.gw2, EVENT_PORT), [])

    def test_both_daemons_stop_cleanly(self):
        self.assertEqual(self.exits, [0, 0])


if __name__ == "__main__":
    unittest.main()
