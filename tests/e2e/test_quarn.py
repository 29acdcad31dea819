"""End to end: the daemon's Quarn publications while it has no modem, and a Quarn that goes away.

One run of about 42 s: the no-modem record 11 s after start, then every 6 s, never a summary. The
third gets no result and the service goes down right after, leaving that connection open.
A second run of about 50 s meets a broken service: answers that belong to no call, an answer that
never comes, and stray signals.
"""

import re
import signal
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


class BrokenServiceTest(unittest.TestCase):
    def test_bad_answers_fail_fast_and_a_silent_service_holds_nothing_up(self):
        with Sandbox() as sb:
            gw = sb.gateway
            gw.seed("/etc/ostrel/quarn/wanvox.conf", b'{"interval": 0}')  # status records only
            quarn = QuarnMonitor(gw, mode="garbage").start()
            daemon = gw.start_daemon([])
            wait_for(lambda: "cellular-mon" in daemon.threads(), 5, what="the worker threads")
            for stray in (signal.SIGHUP, signal.SIGUSR1, signal.SIGUSR2):
                daemon.signal(stray)
            peak_rss = []

            def restart(mode):
                peak_rss.append(daemon.rss_kib() or 0)
                quarn.stop()
                quarn.mode = mode
                quarn.start()

            # Each bad answer is one failed publication; the next comes on schedule.
            quarn.wait_for_calls(2, "SetModemInfo", timeout=25)
            restart("wrong-name")
            quarn.wait_for_calls(4, "SetModemInfo", timeout=3 * PERIOD)
            restart("silent")
            quarn.wait_for_calls(5, "SetModemInfo", timeout=2 * PERIOD)
            time.sleep(PERIOD + SLACK)
            self.assertEqual(len(quarn.calls()), 5)  # the publisher waits for the answer
            # A service that comes back ends the wait: its predecessor's connection closes.
            restart("answer")
            quarn.wait_for_calls(6, "SetModemInfo", timeout=2 * PERIOD)
            restart("silent")
            quarn.wait_for_calls(7, "SetModemInfo", timeout=2 * PERIOD)
            time.sleep(1)
            peak_rss.append(daemon.rss_kib() or 0)
            stopping = time.monotonic()
            daemon.signal(signal.SIGTERM)
            self.assertEqual(daemon.wait_exit(5), 0)
            self.assertLess(time.monotonic() - stopping, 3.0)

            self.assertLess(max(peak_rss), 20 * 1024, peak_rss)  # 0: under a sanitizer
            errors = re.findall(rb"Error: [^\n]*\n", gw.read(LOG))
            self.assertEqual(errors, [b"Error: answer is not for SetModemInfo\n"] * 4
                             + [b"Error: No more data to read.\n", b"Error: Interrupted\n"])
            self.assertIn(b"Caught signal 15 : ", gw.read(LOG))
            self.assertNotIn(b"Caught signal 1 :", gw.read(LOG))


if __name__ == "__main__":
    unittest.main()
