"""End-to-end runs of the internal modem. A hot-plugged Sierra EM7565, described by the ModemManager
mock, is published to Quarn and on the LAN: one daemon run of about 30 s (its loss and return run
against the real ModemManager in test_real_modem.py). ModemManager freezes (the mock is stopped with
SIGSTOP) until the modem is lost, then it is attached, queried and published afresh, and
ModemManager freezes again until the daemon is stopped: one run of one and a half to two and a half
minutes. FIFOs and 10 MB files at the settings and identity paths, at start and while running: one
run of about 25 s."""

import json
import os
import re
import signal
import stat
import sys
import time
import unittest

from sandbox import Sandbox, wait_for
from sandbox.modemmanager import ModemManager
from sandbox.quarn import QuarnMonitor
from sandbox.routers import LanListener
from sandbox.udev import UdevTestbed

IMEI, SIM_ID, PHONE = "359225050123456", "89148000004412345678", "15551234567"
MODEM = dict(model="EM7565", revision="SWI9X50C_01.08.04.00 dbc1 2019/03/25", imei=IMEI,
             own_numbers=(PHONE,), bands=(43, 34), sim_id=SIM_ID, registration=1,
             operator_code="311480", rate=0, lte={"rssi": -71.0, "rsrq": -9.0})
BANDS = "4G LTE:EUTRAN_XIII,EUTRAN_IV"
INTERVAL = 4  # summary every INTERVAL + 1 uptime seconds
SETTINGS_KEYS = ["provider", "apn", "mode_b", "apn_b", "user_b", "version", "slot", "mode",
                 "country", "user", "password", "roaming", "password_b", "country_b",
                 "provider_b", "roaming_b"]


def modem_records(quarn, after=0.0):
    return [c for c in quarn.calls("SetModemInfo")
            if c.get("device_type") == 2 and c["mono"] > after]


class InternalModemTest(unittest.TestCase):
    def test_hotplugged_modem_is_published_lost_and_found_again(self):
        with Sandbox() as sb:
            gw = sb.gateway
            gw.seed("/etc/ostrel/quarn/wanvox.conf", json.dumps({"interval": INTERVAL}))
            # No link-local IPv6 address, which the record would prefer over the IPv4 one.
            gw.add_link("wwan0", ipv4="10.64.0.2/30", link_local=False)
            quarn = QuarnMonitor(gw).start()
            mm = ModemManager(gw).start()
            modem = mm.add_modem(**MODEM)
            udev = UdevTestbed(gw)
            sb.lan.add_address()  # the bridge delivers broadcasts only with an address of its own
            lan = LanListener(sb)
            daemon = gw.start_daemon(["-d", "4"], env=dict(udev.daemon_env(), **mm.env))
            udev.wait_monitor()
            udev.plug("sierra")
            daemon.wait_for_log("Detected Modem: Sierra EM7565\r\n", timeout=10, log="modem")
            daemon.wait_for_log("State: Modem Running\r\n", timeout=15, log="modem")

            # The first radio refresh has run once the record carries an RSSI.
            record = wait_for(lambda: [c for c in modem_records(quarn) if c["rssi"]], timeout=20,
                              what="an internal record with radio values")[0]
            expected = {"model": "EM7565", "firmware": "SWI9X50C_01.08.04.00", "modemid": IMEI,
                        "sim_id": SIM_ID, "phone_number": PHONE, "current_bands": BANDS,
                        "rssi": "-71.000000", "network_type": "4G LTE", "ip": "10.64.0.2",
                        "roaming": False, "gps_mode": 0, "modem_error": "None", "modem_state": 11,
                        "modem_lte_registration_state": 1, "modem_sim_subscription_state": 2}
            self.assertEqual({k: record[k] for k in expected}, expected)
            self.assertTrue(record["apn"])

            self.assertEqual(gw.read("/etc/ostrel/cell/IMEI"), IMEI.encode())
            self.assertEqual(gw.read("/etc/ostrel/cell/SIMID"), SIM_ID.encode())
            settings = gw.read("/etc/ostrel/cell/cellular.conf").decode()
            self.assertNotIn("\n", settings)
            document = json.loads(settings)
            self.assertEqual(list(document), SETTINGS_KEYS)
            self.assertEqual((document["slot"], document["apn"]), ("A", record["apn"]))
            self.assertEqual(mm.setup_calls(modem), [5])

            heard = lan.wait_for(lambda m: m["from"] == gw.address and "bep" in m, timeout=10,
                                 new=False, what="the modem's BEP report")
            bep = heard["bep"]
            self.assertEqual(heard["hex"][40:48], "000010e0")  # MI 3, RF 2, IP 1
            self.assertTrue(bep["valid"], bep)
            self.assertEqual((bep["qid_high"] << 32) | bep["qid_low"], int(IMEI))
            self.assertEqual((bep["ack"], bep["app"], bep["ver"], bep["model"], bep["phone"],
                              bep["firmware"]), (1, 1, 1, "EM7565", PHONE, "SWI9X50C_01.08.04.00"))

            calls = quarn.wait_for_calls(2, "TEL_SendMDM", timeout=3 * (INTERVAL + 1))[-2:]
            for call in calls:
                self.assertEqual((call["sModel"], call["sRSSI"], call["sRegState"],
                                  call["OperatorCode"], call["sCurrentBands"]),
                                 ("EM7565", "-71.000000", "Home", 311480, BANDS))
                self.assertNotIn("sNetwork", call)
            # A schedule of whole uptime seconds: a period of n seconds is n +- 1 s.
            self.assertAlmostEqual(calls[1]["mono"] - calls[0]["mono"], INTERVAL + 1, delta=1.1)
            self.assertEqual(daemon.stop(), 0)


RSS_LIMIT_KB = 20 * 1024
PERIOD, SLACK = 6.0, 1.1  # the record's 5 s deadline, in whole uptime seconds


class FrozenModemManagerTest(unittest.TestCase):
    def test_frozen_modem_manager_neither_stalls_publication_nor_shutdown(self):
        with Sandbox() as sb:
            gw = sb.gateway
            quarn = QuarnMonitor(gw).start()
            mm = ModemManager(gw).start()
            mm.add_modem(**MODEM)
            udev = UdevTestbed(gw)
            udev.add("sierra")
            daemon = gw.start_daemon([], env=dict(udev.daemon_env(), **mm.env))
            rss = []

            def watch(predicate, timeout, what):  # and samples the daemon's RSS meanwhile
                return wait_for(lambda: rss.append(daemon.rss_kib() or 0) or predicate(),
                                timeout, interval=0.5, what=what)

            def log(start=0):
                return gw.read("/var/log/modem")[start:]

            def published(after):
                return [c for c in modem_records(quarn, after) if c["modemid"] == IMEI]

            watch(lambda: published(0), 30, "the modem published")
            # Every query now waits out the library's 25 s time-out: the modem is lost after
            # two to four of them.
            mm.process.signal(signal.SIGSTOP)
            frozen = time.monotonic()
            try:
                lost = watch(lambda: log().find(b"Error: Modem Lost") + 1, 130, "the modem lost")
            finally:
                mm.process.signal(signal.SIGCONT)
            thawed = time.monotonic()
            self.assertGreater(thawed - frozen, 45)
            arrivals = [c["mono"] for c in quarn.calls("SetModemInfo") if c["mono"] > frozen]
            for earlier, later in zip(arrivals, arrivals[1:]):
                self.assertAlmostEqual(later - earlier, PERIOD, delta=SLACK, msg=arrivals)
            self.assertLess(thawed - arrivals[-1], PERIOD + SLACK)
            # After the 20 s error wait the modem is attached and running again.
            watch(lambda: b"State: Modem Running" in log(lost), 40, "the modem running again")
            running = time.monotonic()
            watch(lambda: published(running), 2 * PERIOD, "the modem published again")

            # A refresh comes every 6 s: after 8 s a query waits on ModemManager.
            mm.process.signal(signal.SIGSTOP)
            mark, refrozen = len(log()), time.monotonic()
            try:
                watch(lambda: time.monotonic() - refrozen > 8, 10, "a query in flight")
                self.assertNotIn(b"Error: Modem Lost", log(mark))  # still running
                daemon.signal(signal.SIGTERM)
                stopping = time.monotonic()
                self.assertEqual(daemon.wait_exit(timeout=30), 0)
                self.assertLess(time.monotonic() - stopping, 3.0)
            finally:
                mm.process.signal(signal.SIGCONT)
            self.assertIn(b"State: Modem Shutdown", log(mark))
            self.assertLess(max(rss), RSS_LIMIT_KB)


CONFIG, CELLULAR = "/etc/ostrel/quarn/wanvox.conf", "/etc/ostrel/cell/cellular.conf"
PATHS = {CONFIG: "wanvox", CELLULAR: "modem", "/etc/ostrel/cell/IMEI": "modem",
         "/etc/ostrel/cell/SIMID": "modem"}  # and the log that names each
HUGE = b'{"interval": 30, "version": 1, "pad": "' + b"x" * (10 << 20) + b'"}'
WHY = {"fifo": b"not a regular file\n", "huge": b"larger than 65536 bytes\n"}


class HostileFilesTest(unittest.TestCase):
    """Side by side: a gateway that starts with a FIFO at each path and then finds a 10 MB file
    there, one that starts with 10 MB files and then finds FIFOs, and one with neither, whose
    VmHWM is the measure at start. wanvox.conf is read again on its 15 s change check, the
    cellular files when the modem is plugged in again."""

    def test_fifos_and_huge_files_neither_hang_nor_bloat_the_daemon(self):
        with Sandbox(gateways=3) as sb:
            fifo_first, huge_first = sb.gateways[:2]
            for path in PATHS:
                make_fifo(fifo_first, path)
                huge_first.seed(path, HUGE)
            # cellular.conf with a writer that never writes
            with open(fifo_first.path(CELLULAR), "r+b", buffering=0):
                self.run_gateways(sb, fifo_first, huge_first)

    def run_gateways(self, sb, fifo_first, huge_first):
        udevs, daemons = [], []
        for gw in sb.gateways:
            mm = ModemManager(gw).start()
            mm.add_modem(**MODEM)
            udevs.append(UdevTestbed(gw))
            daemons.append(gw.start_daemon([], env=dict(udevs[-1].daemon_env(), **mm.env)))
        for udev in udevs:
            udev.wait_monitor()
            udev.plug("sierra")
        for gw, daemon in zip(sb.gateways, daemons):
            wait_settled(gw, daemon, 1)
        for path in PATHS:  # the FIFOs are left alone; the large files are rewritten
            self.assertTrue(stat.S_ISFIFO(os.stat(fifo_first.path(path)).st_mode), path)
        self.assertEqual(huge_first.read(CONFIG), b'{"interval": 60}')
        self.assertEqual(json.loads(huge_first.read(CELLULAR))["slot"], "A")
        self.assertEqual(huge_first.read("/etc/ostrel/cell/IMEI"), IMEI.encode())
        self.assertLines(fifo_first, ["fifo"])
        self.assertLines(huge_first, ["huge"])
        start = [daemon.hwm_kib() or 0 for daemon in daemons]  # 0: under a sanitizer
        for name, hwm in zip(["FIFO", "10 MB file"], start):
            sys.stderr.write("at start, %s: VmHWM %+d kB\n" % (name, hwm - start[2]))
            self.assertLess(hwm - start[2], 5 * 1024, name)

        for path in PATHS:
            os.unlink(fifo_first.path(path))
            fifo_first.seed(path, HUGE)
            os.unlink(huge_first.path(path))
            make_fifo(huge_first, path)
        for udev in udevs[:2]:
            udev.unplug("sierra")
            udev.plug("sierra")
        for gw, daemon in zip(sb.gateways[:2], daemons):
            wait_settled(gw, daemon, 2)
            wait_for(lambda: gw.read("/var/log/wanvox").count(b"Not reading " + CONFIG.encode())
                     == 2, 20, what="the settings file read again")
        self.assertLines(fifo_first, ["fifo", "huge"])
        self.assertLines(huge_first, ["huge", "fifo"])
        for name, daemon, hwm in zip(["FIFO, then 10 MB", "10 MB, then FIFO"], daemons, start):
            growth, stopping = (daemon.hwm_kib() - hwm if hwm else 0), time.monotonic()
            daemon.signal(signal.SIGTERM)
            self.assertEqual(daemon.wait_exit(5), 0, name)
            stop = time.monotonic() - stopping
            sys.stderr.write("%s: VmHWM +%d kB, stop %.2f s\n" % (name, growth, stop))
            self.assertLess(growth, 5 * 1024, name)
            self.assertLess(stop, 3.0, name)
        self.assertEqual(daemons[2].stop(), 0)

    def assertLines(self, gw, kinds):
        """The "Not reading"/"Not writing" lines of each path, for what was there in turn: a FIFO
        is not written to (and wanvox.conf only written at start). Each of the modem's three ports
        attaches it afresh, so the cellular files may be read more than once."""
        for path, log in PATHS.items():
            name = path.encode()
            found = re.findall(rb"Not \w+ %s: [^\n]*\n" % re.escape(name),
                               gw.read("/var/log/" + log))
            expected = {b"Not reading %s: %s" % (name, WHY[kind]) for kind in kinds}
            if "fifo" in kinds and (path != CONFIG or kinds[0] == "fifo"):
                expected.add(b"Not writing %s: %s" % (name, WHY["fifo"]))
            self.assertEqual(set(found), expected, (gw.index, path))
            if path == CONFIG:  # read once at start and once on the change
                self.assertEqual(len(found), len(expected), found)


def wait_settled(gw, daemon, plugs):
    """Waits until the modem, plugged in `plugs` times, runs after its last port was announced."""
    def settled():
        log = gw.read("/var/log/modem")
        return (daemon.stdout().count(b"SetPath: /dev/ttyUSB2") >= plugs
                and log.rfind(b"State: Modem Running") > log.rfind(b"State: Modem Attached"))
    for _ in range(2):  # twice: the last attach may not have been logged the first time
        wait_for(settled, 30, what="the modem running")
        time.sleep(1)


def make_fifo(gw, path):
    os.makedirs(os.path.dirname(gw.path(path)), exist_ok=True)
    os.mkfifo(gw.path(path))


if __name__ == "__main__":
    unittest.main()
