"""Modem detection end to end: the real wanvox under a umockdev testbed of USB modems.

One daemon run walks a modem's hot-plug life, so the 15-second waits are paid once. No ModemManager
runs, so the checks stay on what detection logs.
"""

import time
import unittest

from sandbox import Sandbox, wait_for
from sandbox.udev import UdevTestbed

MANUAL_SCAN = b"udev : initiating manual scan\n"
TIMEOUT = 10       # the monitor takes one event a second
SCAN_TIMEOUT = 25  # a manual scan comes at most 16 s after the last one (or the monitor's start)


def port(modem, iface):
    return next(t["node"] for t in modem["ttys"] if t["iface"] == iface).encode()


class HotplugTest(unittest.TestCase):
    def test_hot_plug_removal_and_manual_scans(self):
        with Sandbox() as sb:
            gw = sb.gateway
            udev = UdevTestbed(gw)
            euv2 = udev.add("le910-eu-v2")
            daemon = gw.start_daemon(["-d", "1"], env=udev.daemon_env())
            udev.wait_monitor(TIMEOUT)

            def log(name="wanvox"):
                return gw.read("/var/log/" + name)

            # The start-up scan leaves the LE910-EU V2 alone.
            self.assertNotIn(b"SetPath: ", daemon.stdout())
            self.assertNotIn(b"Target Iface", log())

            # Its hot-plug events: found on interface 06 only.
            udev.uevent("le910-eu-v2", "add")
            daemon.wait_for_output(b"SetPath: %s\r\n" % port(euv2, "06"), TIMEOUT)
            daemon.wait_for_log("Detected Modem: Nimbelink Telit LE910-EU V2\r\n", TIMEOUT,
                                log="modem")
            wait_for(lambda: log().count(b"   Action: add\n") == 3, TIMEOUT, what="3 add events")
            self.assertIn(b"Got Device\n   Node: %s\n   Subsystem: tty\n   Devtype: (null)\n"
                          b"   Action: add\nusb iface 06\r\nTarget Iface: 06\n"
                          b"Device Node Path: /dev/bus/usb/001/002\n" % port(euv2, "06"), log())
            self.assertEqual(log().count(b"usb iface "), 3)
            self.assertEqual(daemon.stdout().count(b"SetPath: "), 1)

            # Unplugged, its USB parent already gone: offline once, nothing announced.
            udev.unplug("le910-eu-v2")
            daemon.wait_for_log("State: Modem Offline\r\n", TIMEOUT, log="modem")
            wait_for(lambda: log().count(b"   Action: remove\n") == 3, TIMEOUT,
                     what="3 remove events")
            for tty in euv2["ttys"]:
                self.assertIn(b"RemovePath: %s\r\n" % tty["node"].encode(), daemon.stdout())
            self.assertEqual(log("modem").count(b"State: Modem Offline"), 1)
            self.assertEqual(daemon.stdout().count(b"SetPath: "), 1)

            # Manual scans 15 s apart; the second finds an LE910 that came back without an
            # event, on its interface 05 only, and the scans stop.
            wait_for(lambda: log().count(MANUAL_SCAN) >= 1, SCAN_TIMEOUT, what="a manual scan")
            first, before = time.monotonic(), len(log())
            le910 = udev.add("le910")
            wait_for(lambda: log().count(MANUAL_SCAN) >= 2, SCAN_TIMEOUT, what="a second scan")
            self.assertTrue(13 <= time.monotonic() - first <= 19)
            daemon.wait_for_output(b"SetPath: %s\r\n" % port(le910, "05"), TIMEOUT)
            daemon.wait_for_log("Detected Modem: Nimbelink Telit LE910\r\n", TIMEOUT, log="modem")
            found = log()[before:]
            self.assertEqual(found.count(b"Target Iface: "), 1)
            self.assertIn(MANUAL_SCAN + b"Target Dev: %s\nTarget Iface: 05\n"
                          b"Device Node Path: /dev/bus/usb/001/002\n" % port(le910, "05"), found)
            self.assertEqual(daemon.stdout().count(b"SetPath: "), 2)
            time.sleep(17)
            self.assertEqual(log().count(MANUAL_SCAN), 2)
            self.assertTrue(daemon.running())


if __name__ == "__main__":
    unittest.main()
