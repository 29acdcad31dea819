"""The internal modem against the real ModemManager, which probes a simulated AT modem
(sandbox.real_modemmanager). Two service runs: a Sierra EM7565 exported disabled, enabled, roaming,
replugged and outliving a service restart (about two minutes); then, without polkit, a modem
without a SIM card, one whose SIM asks for its PIN, and one whose Signal.Setup is refused.

A missing ModemManager fails these tests: WANVOX_SKIP_REAL_MODEMMANAGER=1 skips them instead, for
a developer's machine only."""

import json
import os
import signal
import time
import unittest

from sandbox import Sandbox, wait_for
from sandbox.quarn import QuarnMonitor
from sandbox.real_modemmanager import RealModemManager, installed

IMEI, ICCID, PHONE = "359225050123456", "89148000004412345678", "15551234567"
MODEM0, MODEM1 = ("/org/freedesktop/ModemManager1/Modem/%d" % n for n in (0, 1))
DISABLED, LOCKED, REGISTERED, FAILED = 3, 2, 8, -1
EXPORT = 30    # plugged or restarted until ModemManager exports the modem (probing, 4-6 s)
RUNNING = 40   # exported until the daemon runs (queries 10 s apart; the error wait is 20 s)
RECORD = 15    # a record about every 6 s


def wait_record(quarn, after, what, timeout=RECORD, method="SetModemInfo", **fields):
    """The first internal modem record (or summary) after `after` with these field values."""
    if method == "SetModemInfo":
        fields["device_type"] = 2
    return quarn.wait_for_call(method, after, timeout, what, **fields)


class RealModemManagerTest(unittest.TestCase):
    def setUp(self):
        if not installed():
            if os.environ.get("WANVOX_SKIP_REAL_MODEMMANAGER") == "1":
                self.skipTest("ModemManager is not installed")
            self.fail("ModemManager is not installed: run scripts/install-deps, or set "
                      "WANVOX_SKIP_REAL_MODEMMANAGER=1 to skip")

    def start(self, sb, polkit=True):
        gw = sb.gateway
        gw.seed("/etc/ostrel/quarn/wanvox.conf", json.dumps({"interval": 4}))
        quarn = QuarnMonitor(gw).start()
        mm = RealModemManager(gw, polkit=polkit).start()
        daemon = gw.start_daemon(["-d", "4"], env=mm.env)
        mm.udev.wait_monitor()
        return gw, quarn, mm, daemon

    def stop(self, daemon):
        daemon.signal(signal.SIGTERM)
        self.assertEqual(daemon.wait_exit(timeout=10), 0)

    def test_modem_enabled_roaming_replugged_and_restarted(self):
        with Sandbox() as sb:
            gw, quarn, mm, daemon = self.start(sb)
            mm.udev.plug("sierra")
            mm.wait_modem(lambda m: m["State"] == DISABLED, EXPORT, "the modem exported disabled")
            disabled = wait_record(quarn, 0, "the disabled record", RUNNING, modemid=IMEI,
                                   modem_state=DISABLED)
            identity = {"model": "EM7565", "firmware": "SWI9X50C_01.08.04.00", "sim_id": ICCID,
                        "phone_number": PHONE, "modem_state": DISABLED, "rssi": "0",
                        "network_type": "", "roaming": False, "modem_error": "None"}
            self.assertEqual({k: disabled[k] for k in identity}, identity)
            self.assertEqual(gw.read("/etc/ostrel/cell/SIMID"), ICCID.encode())

            enabled = time.monotonic()
            mm.start_enabler()
            record = wait_record(quarn, enabled, "the enabled record", modem_state=REGISTERED,
                                 network_type="4G LTE", modem_lte_registration_state=1,
                                 roaming=False)
            quality = mm.modems()[MODEM0]["SignalQuality"][0]  # LTE values carry no rssi
            self.assertEqual(record["rssi"], str(quality // 2 - 100))
            wait_record(quarn, enabled, "the summary", method="TEL_SendMDM", sRegState="Home",
                        OperatorCode=311480, sRSSI=record["rssi"])

            # Unsolicited result codes: shown at once, not on ModemManager's 30 s polls.
            changed = time.monotonic()
            mm.udev.set("sierra", registration=5, signal=40)
            wait_record(quarn, changed, "roaming with the new signal", roaming=True,
                        modem_lte_registration_state=5, rssi="-80")
            self.assertLess(time.monotonic() - changed, 20)

            unplugged = time.monotonic()
            mm.udev.unplug("sierra")
            wait_record(quarn, unplugged, "the cleared record", model="", modemid="")
            mm.udev.plug("sierra")
            replugged = wait_record(quarn, unplugged, "the replugged modem", RUNNING + EXPORT,
                                    modemid=IMEI, modem_state=REGISTERED)
            self.assertIn(b"    Path: %s\r\n" % MODEM1.encode(), gw.read("/var/log/modem"))
            self.assertEqual(replugged["sim_id"], ICCID)

            restarted = time.monotonic()
            mm.stop_service()
            daemon.wait_for_log("Error: Modem Lost\r\n", timeout=RECORD, log="modem")
            wait_record(quarn, restarted, "the record cleared", model="", modemid="")
            mm.start_service()
            wait_record(quarn, restarted, "the modem back after the restart", 20 + RUNNING,
                        modemid=IMEI, modem_state=REGISTERED)
            # The restarted service may show the registered modem before the radio refresh
            # that finds its Signal interface: Setup can come a refresh after the record.
            wait_for(lambda: len(mm.setup_calls()) >= 3, RECORD, what="Setup after the restart")
            self.assertEqual(mm.setup_calls(), [(MODEM0, 5), (MODEM1, 5), (MODEM0, 5)])
            self.stop(daemon)

    def test_no_sim_locked_sim_and_no_polkit(self):
        with Sandbox() as sb:
            gw, quarn, mm, daemon = self.start(sb, polkit=False)
            mm.start_enabler()

            def appearance(what, sim, **fields):
                wait_for(lambda: not mm.modems(), EXPORT, what="the last modem gone")
                mm.udev.set("sierra", sim=sim)
                plugged = time.monotonic()
                mm.udev.plug("sierra")
                path = mm.wait_modem(lambda m: m["State"] != 0, EXPORT, "the modem exported")
                record = wait_record(quarn, plugged, what, RUNNING, model="EM7565", **fields)
                return path, record

            # No SIM card: ModemManager's Sim is "/" and the modem has failed.
            path, record = appearance("SIM Missing", "absent", modem_error="SIM Missing")
            self.assertEqual(mm.modems()[path]["Sim"], "/")
            interfaces = mm.interfaces(path)  # no 3GPP or Signal interface: their defaults apply
            self.assertNotIn("org.freedesktop.ModemManager1.Modem.Modem3gpp", interfaces)
            self.assertNotIn("org.freedesktop.ModemManager1.Modem.Signal", interfaces)
            self.assertEqual((record["modem_state"], record["sim_id"], record["rssi"]),
                             (FAILED, "", "0"))
            log = gw.read("/var/log/modem")
            self.assertIn(b"\t\tSim:/\r\n", log)
            self.assertNotIn(b"No SIM detected", log)
            self.assertFalse(gw.exists("/etc/ostrel/cell/SIMID"))
            self.assertEqual(mm.setup_calls(), [])
            mm.udev.unplug("sierra")

            # A SIM that asks for its PIN: the modem stays locked (no Signal interface) and is
            # published so, with the ICCID, which the module gives without the PIN.
            path, record = appearance("the locked modem", "pin", modem_state=LOCKED)
            self.assertEqual((record["sim_id"], record["modem_error"]), (ICCID, "None"))
            self.assertEqual(mm.setup_calls(), [])
            mm.udev.unplug("sierra")

            # Without polkit ModemManager refuses Enable and Signal.Setup: the modem stays
            # disabled and Setup is asked for again on every radio refresh.
            path, _ = appearance("the disabled modem", "present", modem_state=DISABLED)
            wait_for(lambda: len([c for c in mm.setup_calls() if c[0] == path]) >= 2, RECORD,
                     what="Setup on two radio refreshes")
            self.assertIn(b"enable failed %s: " % path.encode(), mm.enabler.stdout())
            self.assertIn(b"PolicyKit authorization failed", daemon.stderr())
            self.assertGreaterEqual(gw.read("/var/log/modem").count(b"Setting rate to 5\r\n"), 2)
            self.stop(daemon)


if __name__ == "__main__":
    unittest.main()
