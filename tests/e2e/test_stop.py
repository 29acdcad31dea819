"""SIGTERM ends the daemon with exit 0 within 3 s whatever it is waiting for: six daemons side by
side in one sandbox, each stopped in its own situation. No modem; a modem whose queries fail (no
bus) in its 10 s retry wait; a running modem; ModemManager frozen with a query in flight; the 20 s
wait after the modem was lost; a gateway whose eth0 went down, so the broadcast fails and the 5 s
pause after it runs."""

import signal
import subprocess
import time
import unittest

from sandbox import Sandbox, wait_for
from sandbox.modemmanager import ModemManager
from sandbox.udev import UdevTestbed

MODEM = dict(model="EM7565", imei="359225050123456", sim_id="89148000004412345678",
             registration=1, operator_code="311480", lte={"rssi": -71.0, "rsrq": -9.0})
STOP_LIMIT = 3.0


class StopTest(unittest.TestCase):
    def test_sigterm_ends_every_wait_at_once(self):
        with Sandbox(gateways=6) as sb:
            gws = sb.gateways
            mms = {}
            daemons = []
            for index, gw in enumerate(gws):
                udev = UdevTestbed(gw)
                env = udev.daemon_env()
                if index >= 1:
                    udev.add("sierra")
                if index >= 2:  # the others have no bus at all: every query fails
                    mm = mms[index] = ModemManager(gw).start()
                    mms[index].path = mm.add_modem(**MODEM)
                    env.update(mm.env)
                daemons.append(gw.start_daemon(["-d", "4"], env=env))
            no_modem, querying, running, frozen, error, unrouted = daemons

            def modem_log(index):
                return gws[index].read("/var/log/modem")

            for index in (2, 3, 4, 5):
                daemons[index].wait_for_log("State: Modem Running\r\n", timeout=20, log="modem")
            querying.wait_for_log("Detected Modem: Sierra EM7565\r\n", timeout=10, log="modem")
            no_modem.wait_for_log("Loading Config", timeout=5)

            # ModemManager freezes; a refresh comes every 6 s, so after 7 s one waits on it.
            mms[3].process.signal(signal.SIGSTOP)
            frozen_at = time.monotonic()
            mms[4].remove_modem(mms[4].path)
            subprocess.run(["ip", "-n", gws[5].netns, "link", "set", "eth0", "down"], check=True)

            def stop(daemon, what):
                daemon.signal(signal.SIGTERM)
                start = time.monotonic()
                self.assertEqual(daemon.wait_exit(timeout=30), 0, what)
                self.assertLess(time.monotonic() - start, STOP_LIMIT, what)

            try:
                # Within the 5 s pause that follows the failed broadcast.
                wait_for(lambda: b"broadcast error" in unrouted.stderr(), 15,
                         what="a failed broadcast")
                stop(unrouted, "no route to the LAN")
                wait_for(lambda: b"State: Modem Error" in modem_log(4), 20, what="the Error wait")
                time.sleep(1)
                stop(error, "the Error wait")
                time.sleep(max(0.0, frozen_at + 7 - time.monotonic()))
                stop(frozen, "ModemManager frozen")
            finally:
                mms[3].process.signal(signal.SIGCONT)
            stop(running, "running")
            time.sleep(1)  # well inside the 10 s retry wait
            stop(querying, "a failing Querying")
            stop(no_modem, "no modem")

            # From the Error wait the modem is attached once more before it shuts down.
            lost = modem_log(4)
            tail = lost[lost.rfind(b"State: Modem Error \r\n"):]
            lines = [l.rstrip(b"\r") for l in tail.split(b"\n")
                     if l.startswith((b"State:", b"Detected"))]
            self.assertEqual(lines, [b"State: Modem Error ", b"State: Modem Attached",
                                     b"Detected Modem: Sierra EM7565", b"State: Modem Shutdown"])
            for index in (1, 2, 3):
                self.assertIn(b"State: Modem Shutdown\r\n", modem_log(index))
            self.assertNotIn(b"State: Modem", modem_log(0))


if __name__ == "__main__":
    unittest.main()
