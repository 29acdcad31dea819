"""End-to-end check of what the daemon sends to Quarn while it has no modem, and how it rides out a
Quarn that goes away and comes back.

One daemon run of about 50 s in one sandbox gateway, with the Quarn monitor as the service:
the no-modem record every 6 uptime seconds from 11 s after start, no summary, an answer without
result logged as such, one "Error: " line per publication that fell due while the service was
down, and publications again once it is back. The service goes down right after an answer without
result, which leaves the daemon's connection open: the daemon must still start afresh.
"""

import re
import time
import unittest

from sandbox import Sandbox, wait_for
from sandbox.quarn import QuarnMonitor

CONFIG = "/etc/ostrel/quarn/wanvox.conf"
HANDLER_LINE = b"SetMDM None Handler\r\n"
REFUSED = b"Error: connect() failed: Connection refused\n"
NO_RESULT = b"Error: SetModemInfo failed: unknown result\n"
TEXTS = ["model", "modemid", "rssi", "firmware", "ip", "phone_number", "network_type", "apn",
         "sim_id", "current_bands"]
NO_MODEM = dict({name: "" for name in TEXTS}, roaming=False, gps_mode=-1, device_type=0,
                modem_state=0, modem_lte_registration_state=4, modem_sim_subscription_state=0)
# Deadlines count whole seconds of uptime and the loop polls every 250 ms, so a period of 6 uptime
# seconds is 5 to 7 s of real time, and the first record (uptime t1 + 11) comes 10 to 12 s after
# t1; start-up itself adds a little.
PERIOD = 6.0
PERIOD_SLACK = 1.1
FIRST_AFTER = (9.9, 13.0)


def fields(call):
    return {k: v for k, v in call.items() if k not in ("call", "time", "mono")}


class NoModemPublicationTest(unittest.TestCase):
    def test_no_modem_record_cadence_and_unreachable_service(self):
        with Sandbox() as sb:
            gw = sb.gateway
            # A short summary interval: even so, nothing is summarised without a modem.
            gw.seed(CONFIG, b'{"interval": 4}')
            quarn = QuarnMonitor(gw).start()
            started = time.monotonic()
            daemon = gw.start_daemon(["-d", "4"])

            # Three records while the service answers.
            calls = quarn.wait_for_calls(3, "SetModemInfo", timeout=30)
            arrivals = [c["mono"] - started for c in calls]
            self.assertTrue(FIRST_AFTER[0] <= arrivals[0] <= FIRST_AFTER[1], arrivals)
            for earlier, later in zip(arrivals, arrivals[1:]):
                self.assertAlmostEqual(later - earlier, PERIOD, delta=PERIOD_SLACK, msg=arrivals)
            for call in calls:
                self.assertEqual(fields(call), NO_MODEM)   # modem_error and age_of_data absent

            # One answer without result, then the service goes away for about two periods.
            quarn.set_mode("no-success")
            unanswered = quarn.wait_for_calls(4, "SetModemInfo", timeout=2 * PERIOD)[-1]
            wait_for(lambda: NO_RESULT in gw.read("/var/log/wanvox"), 2, what="the failed answer")
            quarn.set_mode("answer")
            quarn.stop()
            down = time.monotonic()
            wait_for(lambda: gw.read("/var/log/wanvox").count(REFUSED) >= 2, 3 * PERIOD,
                     what="two refused publications")
            quarn.start()
            back = quarn.wait_for_calls(5, "SetModemInfo", timeout=2 * PERIOD)[-1]
            self.assertTrue(daemon.running())
            self.assertEqual(fields(back), NO_MODEM)

            # The schedule went on while the service was down: the gap is a whole number of
            # periods, and every publication in it logged exactly one error.
            gap = back["mono"] - unanswered["mono"]
            missed = round(gap / PERIOD) - 1
            self.assertAlmostEqual(gap, (missed + 1) * PERIOD, delta=PERIOD_SLACK)
            self.assertGreaterEqual(missed, 2)
            self.assertLess(down, back["mono"])
            log = gw.read("/var/log/wanvox")
            errors = re.findall(rb"Error: [^\n]*\n", log)
            self.assertEqual(errors, [NO_RESULT] + [REFUSED] * missed, log[-600:])
            # The handler line is written once per publication that reached the service.
            self.assertEqual(log.count(HANDLER_LINE), 5)

            self.assertEqual(quarn.calls("TEL_SendMDM"), [])
            self.assertEqual(daemon.stop(), 0)


if __name__ == "__main__":
    unittest.main()
