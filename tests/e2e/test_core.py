"""End-to-end checks of the daemon core: command line, threads, signals, log rotation, settings file.

Each test runs the real wanvox in a sandbox gateway; where several daemons are needed they run side
by side in one sandbox so that their waits overlap.
"""

import os
import signal
import unittest

from sandbox import Sandbox, wait_for

USAGE = (b"wanvox [options]\r\n"
         b"\t-d [level]        : Adjust debugging level\r\n"
         b"\t--help or ?       : You are here\r\n")
WORKERS = ["plotnode-mon", "plotnode2-mon", "wanvox-udevmon", "cellular-mon"]
CONFIG = "/etc/ostrel/quarn/wanvox.conf"
DEFAULT_CONFIG = b'{"interval": 60}'
STARTUP_TIMEOUT = 10
STOP_TIMEOUT = 2

class CoreTestCase(unittest.TestCase):
    def assertNoSanitizerReport(self, daemon):
        # The daemon's standard error also carries D-Bus and Thrift messages; only reports count.
        for marker in (b"Sanitizer", b"runtime error:"):
            self.assertNotIn(marker, daemon.stderr())


def workers_started(daemon):
    return set(WORKERS) <= set(daemon.threads())


def start_and_wait(gateway, args=()):
    daemon = gateway.start_daemon(args)
    wait_for(lambda: workers_started(daemon), STARTUP_TIMEOUT, what="the four worker threads")
    return daemon


class HelpTest(CoreTestCase):
    def test_help_prints_usage_exits_1_after_rotating_logs(self):
        cases = [["--help"], ["-d", "5", "--help"], ["?"], ["-d", "?"], ["x", "--help", "-d", "9"]]
        with Sandbox() as sb:
            gw = sb.gateway
            gw.seed("/var/log/modem-errors", b"kept\n")
            for args in cases:
                with self.subTest(args=args):
                    gw.seed("/var/log/wanvox", b"before %r\n" % args)
                    gw.seed("/var/log/modem", b"modem before %r\n" % args)
                    daemon = gw.start_daemon(args)
                    self.assertEqual(daemon.wait_exit(STOP_TIMEOUT), 1)
                    self.assertEqual(daemon.stdout(), USAGE)
                    self.assertNoSanitizerReport(daemon)
                    self.assertEqual(gw.read("/var/log/wanvox.1"), b"before %r\n" % args)
                    self.assertEqual(gw.read("/var/log/wanvox"), b"")
                    self.assertEqual(gw.read("/var/log/modem.1"), b"modem before %r\n" % args)
                    self.assertFalse(gw.exists("/etc/ostrel"))
            # The error log is appended to, never rotated.
            self.assertEqual(gw.read("/var/log/modem-errors"), b"kept\n")
            self.assertFalse(gw.exists("/var/log/modem-errors.1"))


class RunTest(CoreTestCase):
    def test_start_writes_settings_names_threads_and_stops_on_sigterm(self):
        with Sandbox() as sb:
            gw = sb.gateway
            old = {n: b"copy %d\n" % n for n in range(1, 26) if n != 7}  # .7 missing: a gap
            for n, data in old.items():
                gw.seed("/var/log/wanvox.%d" % n, data)
            gw.seed("/var/log/wanvox", b"previous run\n")

            daemon = start_and_wait(gw)
            self.assertEqual(gw.read(CONFIG), DEFAULT_CONFIG)
            threads = daemon.threads()
            self.assertEqual(threads[0], "wanvox")
            self.assertEqual([t for t in threads if t in WORKERS], WORKERS)  # once each, in order

            daemon.signal(signal.SIGTERM)
            self.assertEqual(daemon.wait_exit(STOP_TIMEOUT), 0)
            self.assertNoSanitizerReport(daemon)
            log = gw.read("/var/log/wanvox")
            self.assertIn(b"Loading Config from file /etc/ostrel/quarn/wanvox.conf\n", log)
            self.assertIn(b"Saving Config to file /etc/ostrel/quarn/wanvox.conf\n", log)
            self.assertIn(b"Caught signal 15 : ", log)

            expected = {1: b"previous run\n"}
            expected.update({n + 1: data for n, data in old.items() if n < 25})
            present = {n: gw.read("/var/log/wanvox.%d" % n) for n in range(1, 27)
                       if gw.exists("/var/log/wanvox.%d" % n)}
            self.assertEqual(present, expected)  # .8 absent, old .25 gone, nothing past .25


class BadInputTest(CoreTestCase):
    def test_daemon_survives_bad_settings_and_log_directories(self):
        with Sandbox(gateways=0) as sb:
            bad_config = sb.add_gateway()
            no_var_log = sb.add_gateway(var_log="missing")
            read_only_log = sb.add_gateway(var_log="readonly")
            bad_config.seed(CONFIG, b'{"interval": 30')
            with open(read_only_log.log_dir + "/wanvox", "wb") as f:
                f.write(b"untouched\n")

            daemons = [start_and_wait(gw) for gw in sb.gateways]
            # The unparsable file is replaced by the default.
            self.assertEqual(bad_config.read(CONFIG), DEFAULT_CONFIG)
            self.assertFalse(no_var_log.exists("/var/log"))
            for daemon in daemons:
                daemon.signal(signal.SIGTERM)
            for gw, daemon in zip(sb.gateways, daemons):
                with self.subTest(gateway=gw.index):
                    self.assertEqual(daemon.wait_exit(STOP_TIMEOUT), 0)
                    self.assertNoSanitizerReport(daemon)
                    self.assertEqual(gw.read(CONFIG), DEFAULT_CONFIG)
                    # The logger also writes to standard output, which still works.
                    self.assertIn(b"Caught signal 15 : ", daemon.stdout())
            self.assertEqual(sorted(read_only_log.listdir("/var/log")), ["wanvox"])
            self.assertEqual(read_only_log.read("/var/log/wanvox"), b"untouched\n")

    def test_second_signal_during_shutdown_is_logged_and_shutdown_completes(self):
        with Sandbox() as sb:
            daemon = start_and_wait(sb.gateway)
            # The shutdown takes milliseconds now that every wait ends at the exit request: the
            # second signal follows the first at once, and a different one so that the two are
            # never merged while both are pending.
            daemon.signal(signal.SIGINT)
            daemon.signal(signal.SIGTERM)
            self.assertEqual(daemon.wait_exit(STOP_TIMEOUT), 0)
            self.assertNoSanitizerReport(daemon)
            log = sb.gateway.read("/var/log/wanvox")
            self.assertEqual((log.count(b"Caught signal 2 : "), log.count(b"Caught signal 15 : ")),
                             (1, 1))


class LogTruncationTest(CoreTestCase):
    def test_log_emptied_under_the_daemon_goes_on_at_its_start(self):
        # As logrotate's copytruncate does. Without Quarn every publication logs an error, every 5 s
        # once the first is out (an unchanged settings file does not postpone them).
        with Sandbox() as sb:
            sb.gateway.seed(CONFIG, DEFAULT_CONFIG)
            daemon = start_and_wait(sb.gateway)
            daemon.wait_for_log("Error: ", 20)
            self.assertIn(b"Error: ", daemon.stdout())  # line-buffered, not held back
            os.truncate(sb.gateway.path("/var/log/wanvox"), 0)
            daemon.wait_for_log("Error: ", 10)
            log = sb.gateway.read("/var/log/wanvox")
            self.assertTrue(log.startswith(b"Error: ") and b"\0" not in log, log[:80])


if __name__ == "__main__":
    unittest.main()
