"""End to end: the daemon without a modem meets a broken Quarn service.

One run of about 50 s: answers that belong to no call, an answer that never comes, and stray
signals; one of about 25 s: answers that claim a 2 GiB string or a list of 2^31 - 1 structs. The
no-modem record and its schedule are unit-tested (StatusPublisherTest, QuarnLinkTest).
"""

import re
import signal
import sys
import time
import unittest

from sandbox import Sandbox, wait_for
from sandbox.quarn import QuarnMonitor

LOG = "/var/log/wanvox"
CONFIG = "/etc/ostrel/quarn/wanvox.conf"
# Deadlines count whole uptime seconds: a period of 6 is 5 to 7 s of real time.
PERIOD, SLACK = 6.0, 1.1


class BrokenServiceTest(unittest.TestCase):
    def test_bad_answers_fail_fast_and_a_silent_service_holds_nothing_up(self):
        with Sandbox() as sb:
            gw = sb.gateway
            gw.seed(CONFIG, b'{"interval": 0}')  # status records only
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
            # A record held up past its successor's deadline is followed by that one at once,
            # which may find the service between its stop and its start (refused), or still
            # closing its connections as it stops (one more end of data).
            errors = [e for e in re.findall(rb"Error: [^\n]*\n", gw.read(LOG))
                      if e != b"Error: connect() failed: Connection refused\n"]
            held = errors[4:-1]
            self.assertEqual(errors[:4], [b"Error: answer is not for SetModemInfo\n"] * 4, errors)
            self.assertIn(held, [[b"Error: No more data to read.\n"] * n for n in (1, 2)], errors)
            self.assertEqual(errors[-1:], [b"Error: Interrupted\n"], errors)
            self.assertIn(b"Caught signal 15 : ", gw.read(LOG))
            self.assertNotIn(b"Caught signal 1 :", gw.read(LOG))

    def test_huge_claims_cost_one_publication_each_and_no_memory(self):
        modes = ["huge-string", "huge-list"]
        with Sandbox(gateways=len(modes)) as sb:  # side by side: their waits overlap
            daemons = []
            for gw in sb.gateways:
                gw.seed(CONFIG, b'{"interval": 0}')
                daemons.append(gw.start_daemon([]))
            for daemon in daemons:  # the publisher has run once (no service yet)
                daemon.wait_for_log("Error: ", 15)
            before = [daemon.hwm_kib() for daemon in daemons]
            quarns = [QuarnMonitor(gw, mode=mode).start() for gw, mode in zip(sb.gateways, modes)]
            for quarn in quarns:
                quarn.wait_for_calls(3, "SetModemInfo", timeout=4 * PERIOD)
            time.sleep(1)  # the third answer has been read; the fourth call is 4 s away
            for gw, daemon, quarn, mode, hwm in zip(sb.gateways, daemons, quarns, modes, before):
                with self.subTest(mode=mode):
                    arrivals = [c["mono"] for c in quarn.calls("SetModemInfo")]
                    for earlier, later in zip(arrivals, arrivals[1:]):  # each on schedule
                        self.assertAlmostEqual(later - earlier, PERIOD, delta=SLACK, msg=arrivals)
                    growth = (daemon.hwm_kib() or 0) - (hwm or 0)  # 0: under a sanitizer
                    stopping = time.monotonic()
                    daemon.signal(signal.SIGTERM)
                    self.assertEqual(daemon.wait_exit(5), 0)
                    stop = time.monotonic() - stopping
                    sys.stderr.write("%s: VmHWM +%d kB, stop %.2f s\n" % (mode, growth, stop))
                    self.assertLess(growth, 5 * 1024)
                    self.assertLess(stop, 3.0)
                    errors = re.findall(rb"Error: [^\n]*\n", gw.read(LOG))
                    over = errors.count(b"Error: TProtocolException: Exceeded size limit\n")
                    self.assertEqual(over, len(arrivals), errors)


if __name__ == "__main__":
    unittest.main()
