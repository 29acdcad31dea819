"""End-to-end run of the internal modem: a hot-plugged Sierra EM7565, described by the ModemManager
mock, is published to Quarn and on the LAN, then disappears from ModemManager and comes back. One
daemon run of about a minute in one sandbox gateway."""

import json
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
            gw.add_link("wwan0", ipv4="10.64.0.2/30")
            # No link-local IPv6 address, which the record would prefer over the IPv4 one.
            sysctl = gw.start(["sysctl", "-qw", "net.ipv6.conf.wwan0.disable_ipv6=1"], view=False)
            self.assertEqual(sysctl.wait_exit(timeout=5), 0)
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
            # A whole-second schedule polled every 250 ms: a period of n seconds is n +- 1 s.
            self.assertAlmostEqual(calls[1]["mono"] - calls[0]["mono"], INTERVAL + 1, delta=1.1)

            self.check_loss_and_return(gw, mm, quarn, daemon, modem)
            self.assertEqual(daemon.stop(), 0)

    def check_loss_and_return(self, gw, mm, quarn, daemon, modem):
        mm.remove_modem(modem)
        lost = time.monotonic()
        daemon.wait_for_log("Error: Modem Lost\r\n", timeout=10, log="modem")
        daemon.wait_for_log("State: Modem Error \r\n", timeout=3, log="modem")
        mm.add_modem(**MODEM)
        # The status is cleared: the next record still says INTERNAL, with no identity.
        wait_for(lambda: [c for c in modem_records(quarn, lost)
                          if c["model"] == c["modemid"] == ""], timeout=10,
                 what="a cleared internal record")

        # After the 20 s wait the modem is attached and queried afresh. (The hot-plug announced
        # each of the modem's ttys, so earlier attach lines come in several copies.)
        def after_error():
            log = gw.read("/var/log/modem")
            return log[log.rindex(b"State: Modem Error \r\n"):]
        wait_for(lambda: b"State: Modem Running\r\n" in after_error(), timeout=35,
                 what="the modem running again")
        again = after_error()
        self.assertLess(again.index(b"State: Modem Attached\r\n"),
                        again.index(b"Detected Modem: Sierra EM7565\r\n"))
        back = wait_for(lambda: [c for c in modem_records(quarn, lost) if c["modemid"] == IMEI],
                        timeout=15, what="the modem published again")[0]
        self.assertEqual(back["model"], "EM7565")


if __name__ == "__main__":
    unittest.main()
