"""End-to-end checks of the router links: two gateways on one LAN, a simulated router, the Quarn
monitor of each gateway, and a listener on the LAN that hears every forwarded copy.

One scenario of about 100 s runs once (setUpClass); the tests then judge what it recorded:

  A  BEP reports sent to gateway 1 only: the first is dropped, the next two are published as direct
     (7) and forwarded with the ACK flag; gateway 2 drops the first copy and publishes the second as
     remote (8); a report that arrives with the ACK flag set is published as remote, never forwarded.
  B  Event messages sent to gateway 1 only: the first is dropped, direct ones are published as 5 and
     forwarded with id type 0x81; gateway 2 publishes the copy as 6 and does not forward it; a BEP
     report heard meanwhile is ignored; relayed messages are dropped for 30 s after the last direct
     one and published as 6 after that.
  C  Silence: 30 s after the router's last datagram each gateway's publisher sends its own no-modem
     record again.

Throughout, while a router is heard the publisher sends no no-modem record, and the summary goes out
at the configured interval: the BEP summary while a BEP router is heard, then the event summary.
"""

import time
import unittest

from sandbox import Sandbox, wait_for
from sandbox.quarn import QuarnMonitor
from sandbox.routers import LanListener, RouterSim

CONFIG = "/etc/ostrel/quarn/wanvox.conf"
INTERVAL = 3                 # summary every INTERVAL + 1 uptime seconds
BEP_PORT, EVENT_PORT = 45454, 45456
ROUTER_ID = 352099001761481
ROUTER_TEXTS = dict(model="BT-5830v2", phone="15551230000", firmware="4.3.1", rssi=-75,
                    network="LTE", provider="Carrier", ip="192.168.2.1")
BEP_RECORD = dict(model="BT-5830v2", modemid="352099001761481", rssi="-75", firmware="4.3.1",
                  ip="192.168.2.1", roaming=False, phone_number="15551230000", network_type="LTE",
                  apn="Unavailable", sim_id="Unavailable", gps_mode=0)
EVENT_ELEMENTS = {17: "15551239999", 259: "Roaming Network", 261: -75, 264: "LTE",
                  301: "10.64.0.2", 770: "Carrier Net", 900: 2}
EVENT_RECORD = dict(model="GX450-Sierra", modemid="352099001761481", rssi="-75", firmware="N/A",
                    ip="10.64.0.2", roaming=True, phone_number="15551239999",
                    network_type="4G LTE", apn="Unavailable", sim_id="Unavailable", gps_mode=2)
BEP_SUMMARY = dict(sModel="BT-5830v2", sRSSI="75", sNetwork="N/A")
EVENT_SUMMARY = dict(sModel="GX450-Sierra", sRSSI="-75", sNetwork="Carrier Net")
DIRECT_PRECEDENCE = 30
# Flags and deadlines count whole uptime seconds: a 30 s time-out ends 30 to 32 s of real time
# after its start, and the status task then runs within one 6 s period (plus the 250 ms poll).
SILENCE = (29.0, 30.0 + 2.0 + 6.0 + 1.5)
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
    data = bytearray.fromhex(hex_text)
    data[index] |= bits
    return data.hex()


class TwoGatewaysTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sb = Sandbox(gateways=2).__enter__()   # closed by tearDownClass
        try:
            cls.run_scenario()
        except BaseException:
            cls.sb.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.sb.close()

    @classmethod
    def start_gateway(cls, gw):
        gw.seed(CONFIG, b'{"interval": %d}' % INTERVAL)
        quarn = QuarnMonitor(gw).start()
        daemon = gw.start_daemon(["-d", "6"])
        wait_for(lambda: bound(daemon, BEP_PORT) and bound(daemon, EVENT_PORT), 10,
                 what="both listeners to bind")
        return quarn, daemon

    @classmethod
    def run_scenario(cls):
        sb = cls.sb
        cls.gw1, cls.gw2 = sb.gateways
        cls.lan = LanListener(sb)
        cls.quarn1, cls.daemon1 = cls.start_gateway(cls.gw1)
        cls.quarn2, cls.daemon2 = cls.start_gateway(cls.gw2)
        router = RouterSim(sb)
        to = cls.gw1.address
        t = cls.t = {}

        # A: BEP reports, to gateway 1 only.
        cls.bep_sent = []
        for ack in (False, False, False, True):
            sent = RouterSim.sent(router.bep(to=to, ack=ack, **ROUTER_TEXTS))
            cls.bep_sent.append(sent[0]["hex"])
            time.sleep(GAP)
        t["bep_last"] = time.monotonic()

        # B: event messages, to gateway 1 only; then a BEP report that must be ignored.
        cls.event_sent = []
        for _ in range(3):
            t["direct_last"] = time.monotonic()
            process = router.event(to=to, id=ROUTER_ID, id_type=0x01, elements=EVENT_ELEMENTS)
            cls.event_sent.append(RouterSim.sent(process)[0]["hex"])
            time.sleep(GAP)
        t["ignored_bep"] = time.monotonic()
        router.bep(to=to, **ROUTER_TEXTS)
        time.sleep(GAP)
        # Relayed messages every 5 s: dropped for 30 s after the last direct one, published after.
        t["relayed_first"] = time.monotonic()
        router.event(to=to, id=ROUTER_ID, id_type=0x81, elements=EVENT_ELEMENTS, count=9,
                     interval=5)
        t["router_last"] = time.monotonic()

        # C: silence until both gateways publish their own record again.
        for quarn in (cls.quarn1, cls.quarn2):
            wait_for(lambda: cls.no_modem_records(quarn, after=t["router_last"]),
                     SILENCE[1] + 5, what="the no-modem record after the silence")
        cls.lan_heard = cls.lan.messages()
        cls.exit1, cls.exit2 = cls.daemon1.stop(), cls.daemon2.stop()

    @staticmethod
    def records(quarn, types, after=0.0, before=float("inf")):
        return [c for c in quarn.calls("SetModemInfo")
                if c.get("device_type") in types and after < c["mono"] < before]

    @classmethod
    def no_modem_records(cls, quarn, after=0.0, before=float("inf")):
        return cls.records(quarn, (0,), after, before)

    def forwarded(self, source, port):
        return [m for m in self.lan_heard if m["from"] == source and m["port"] == port]

    # --- A: BEP

    def test_bep_direct_reports_are_published_after_the_first_and_forwarded_once(self):
        calls = self.records(self.quarn1, (7, 8), before=self.t["ignored_bep"] + 2)
        self.assertEqual([c["device_type"] for c in calls], [7, 7, 8])
        for call in calls:
            self.assertEqual(fields(call), dict(BEP_RECORD, device_type=call["device_type"]))
        # Reports 2 and 3 come back from gateway 1 with byte 9 bit 0 set and nothing else changed;
        # the report that arrived with the ACK flag set is not forwarded.
        copies = [m["hex"] for m in self.forwarded(self.gw1.address, BEP_PORT)]
        self.assertEqual(copies, [flip(h, 9, 0x01) for h in self.bep_sent[1:3]])
        log = self.gw1.read("/var/log/wanvox")
        self.assertEqual(log.count(b"SetMDM BEP Handler\r\n"), 3)
        copy = bytes.fromhex(copies[0])
        dump = b"".join(b" %02x" % byte for byte in copy)
        self.assertIn(b"Forwarding message [%d]: %s\r\n" % (len(copy), dump), log)

    def test_second_gateway_publishes_the_forwarded_copy_as_remote(self):
        calls = self.records(self.quarn2, (1, 3, 7, 8))
        self.assertEqual([fields(c) for c in calls], [dict(BEP_RECORD, device_type=8)])
        self.assertEqual(self.forwarded(self.gw2.address, BEP_PORT), [])

    def test_bep_summary_while_the_bep_router_is_heard(self):
        first = self.records(self.quarn1, (7,))[0]["mono"]
        summaries = [c for c in self.quarn1.calls("TEL_SendMDM")
                     if first < c["mono"] < self.t["bep_last"] + DIRECT_PRECEDENCE - 1]
        self.assertGreaterEqual(len(summaries), 5)
        for summary in summaries:
            self.assertEqual(fields(summary), BEP_SUMMARY)
        gaps = [b["mono"] - a["mono"] for a, b in zip(summaries, summaries[1:])]
        for gap in gaps:
            self.assertAlmostEqual(gap, INTERVAL + 1, delta=1.1, msg=gaps)

    # --- B: events

    def test_event_direct_messages_are_published_and_forwarded_relayed(self):
        calls = self.records(self.quarn1, (5, 6), after=self.t["bep_last"])
        types = [c["device_type"] for c in calls]
        self.assertEqual(types[:2], [5, 5], types)
        for call in calls:
            self.assertEqual(fields(call), dict(EVENT_RECORD, device_type=call["device_type"]))
        # The direct messages after the first come back from gateway 1 with id type 0x81 and
        # nothing else changed; relayed ones are never forwarded.
        copies = [m["hex"] for m in self.forwarded(self.gw1.address, EVENT_PORT)]
        self.assertEqual(copies, [flip(h, 8, 0x80) for h in self.event_sent[1:]])

    def test_relayed_messages_wait_for_the_direct_ones_to_go_stale(self):
        calls = self.records(self.quarn1, (5, 6), after=self.t["bep_last"])
        relayed = calls[2:]  # after the two direct publications
        self.assertTrue(all(c["device_type"] == 6 for c in relayed), [fields(c) for c in calls])
        # Sent every 5 s for 40 s: those within 30 s of the last direct one are dropped.
        self.assertIn(len(relayed), (2, 3))
        for call in relayed:
            self.assertGreater(call["mono"], self.t["direct_last"] + DIRECT_PRECEDENCE - 1)
        self.assertEqual(self.gw1.read("/var/log/wanvox").count(b"SetMDM Event Handler\r\n"),
                         len(calls))

    def test_second_gateway_publishes_the_relayed_copy_and_does_not_forward(self):
        # Gateway 1 forwarded two copies; the first only woke the idle listener.
        calls = self.records(self.quarn2, (5, 6))
        self.assertEqual([fields(c) for c in calls], [dict(EVENT_RECORD, device_type=6)])
        self.assertEqual(self.forwarded(self.gw2.address, EVENT_PORT), [])

    def test_event_router_takes_precedence_over_bep(self):
        # The BEP report sent while the event router was heard was neither published nor
        # forwarded, and did not keep the BEP router active.
        late_bep = self.records(self.quarn1, (1, 3, 7, 8), after=self.t["ignored_bep"])
        self.assertEqual(late_bep, [])
        log = self.gw1.read("/var/log/wanvox")
        size = len(self.bep_sent[0]) // 2
        self.assertEqual(log.count(b"UDPHandlerBEP Message: [%d]\n" % size), 4)
        # Once the BEP router went stale the summary follows the event router.
        summaries = [c for c in self.quarn1.calls("TEL_SendMDM")
                     if self.t["bep_last"] + DIRECT_PRECEDENCE + 3 < c["mono"]
                     < self.t["router_last"]]
        self.assertGreaterEqual(len(summaries), 2)
        for summary in summaries:
            self.assertEqual(fields(summary), EVENT_SUMMARY)

    # --- C: modes

    def test_publisher_is_silent_while_a_router_is_heard_and_takes_over_after(self):
        # Gateway 2 last heard the router through the last forwarded direct message.
        last_heard = {1: self.t["router_last"], 2: self.t["direct_last"] + 1}
        for index, quarn in ((1, self.quarn1), (2, self.quarn2)):
            with self.subTest(gateway=index):
                first_router = self.records(quarn, (1, 3, 5, 6, 7, 8))[0]["mono"]
                during = self.no_modem_records(quarn, first_router + 0.5,
                                               last_heard[index] + SILENCE[0])
                self.assertEqual(during, [])
                resumed = self.no_modem_records(quarn, after=last_heard[index])[0]["mono"]
                self.assertGreaterEqual(resumed - last_heard[index], SILENCE[0])
                self.assertLessEqual(resumed - last_heard[index], SILENCE[1])
                # No modem and no router: no summary either.
                late = [c for c in quarn.calls("TEL_SendMDM") if c["mono"] > resumed]
                self.assertEqual(late, [])

    def test_daemons_stop_cleanly(self):
        self.assertEqual((self.exit1, self.exit2), (0, 0))


if __name__ == "__main__":
    unittest.main()
