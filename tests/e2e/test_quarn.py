"""End to end: the daemon's Quarn publications while it has no modem, and a Quarn that goes away.

One run of about 42 s: the no-modem record 11 s after start, then every 6 s, never a summary. The
third gets no result and the service goes down right after, leaving that connection open.
"""

import re
import time
import unittest

from sandbox import Sandbox, wait_for
from sandbox.quarn import QuarnMonitor

LOG = "/var/log/wanvox"
REFUSED = b"Error: connect() failed: Connection refused\n"
NO_RESULT = b"Error: SetModemInfo failed: unknown result\n"
NO_MODEM = dict(model="", modemid="", rssi="", firmware="", ip="", roaming=False, phone_number="",
                network_type="", apn="", sim_id="", gps_mode=-1, current_bands="", device_type=0,
                modem_state=0, modem_lte_registration_state=4, modem_sim_subscription_state=0)
# Deadlines count whole uptime seconds, polled every 250 ms: a period of 6 is 5 to 7 s of real time.
PERIOD, SLACK = 6.0, 1.1


class NoModemPublicationTest(unittest.TestCase):
    def test_no_modem_record_cadence_and_unreachable_service(self):
        with Sandbox() as sb:
            gw = sb.gateway
            gw.seed("/etc/ostrel/quarn/wanvox.conf", b'{"interval": 4}')  # no summary even so
            quarn = QuarnMonitor(gw).start()
            started = time.monotonic()
            daemon = gw.start_daemon(["-d", "4"])
            quarn.wait_for_calls(2, "SetModemInfo", timeout=25)
            quarn.set_mode("no-success")
            failed = quarn.wait_for_calls(3, "SetModemInfo", timeout=2 * PERIOD)[-1]
            wait_for(lambda: NO_RESULT in gw.read(LOG), 2, what="the failed answer")
            quarn.set_mode("answer")
            quarn.stop()
            wait_for(lambda: gw.read(LOG).count(REFUSED) >= 2, 3 * PERIOD, what="refusals")
            quarn.start()
            calls = quarn.wait_for_calls(4, "SetModemInfo", timeout=2 * PERIOD)
            self.assertEqual(daemon.stop(), 0)

            arrivals = [call["mono"] - started for call in calls]
            self.assertTrue(9.9 <= arrivals[0] <= 13.0, arrivals)  # 10 to 12 s, plus start-up
            for earlier, later in zip(arrivals[:2], arrivals[1:3]):
                self.assertAlmostEqual(later - earlier, PERIOD, delta=SLACK, msg=arrivals)
            for call in calls:
                self.assertEqual({k: call[k] for k in call if k not in ("call", "time", "mono")},
                                 NO_MODEM)
            self.assertEqual(quarn.calls("TEL_SendMDM"), [])
            # The schedule went on while the service was down, one refused publication per period.
            gap = calls[3]["mono"] - failed["mono"]
            missed = round(gap / PERIOD) - 1
            self.assertAlmostEqual(gap, (missed + 1) * PERIOD, delta=SLACK)
            self.assertGreaterEqual(missed, 2)
            log = gw.read(LOG)
            errors = re.findall(rb"Error: [^\n]*\n", log)
            self.assertEqual(errors, [NO_RESULT] + [REFUSED] * missed, log[-600:])
            self.assertEqual(log.count(b"SetMDM None Handler\r\n"), 4)  # the calls that got through


if __name__ == "__main__":
    unittest.main()
