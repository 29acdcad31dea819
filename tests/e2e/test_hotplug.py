"""End-to-end checks of modem detection: the real wanvox under a umockdev testbed of USB modems.

One daemon run walks a modem's whole hot-plug life, so that the 15-second waits are paid once:
a Telit LE910-EU V2 present at start is left alone by the start-up scan and found on its hot-plug
event; unplugging it takes the modem offline; manual scans then run every 15 s until a Telit LE910
with several ttys is found on its interface 05 only, and stop there. No ModemManager runs, so the
modem thread keeps querying in vain; the checks stay on what detection logs.
"""

import time
import unittest

from sandbox import Sandbox, wait_for
from sandbox.udev import UdevTestbed

MANUAL_SCAN = b"udev : initiating manual scan\n"
MONITOR_TIMEOUT = 10
EVENT_TIMEOUT = 10   # the monitor takes one event a second
SCAN_TIMEOUT = 25    # a manual scan comes at most 16 s after the last one (or the monitor's start)


def port(modem, iface):
    return next(t["node"] for t in modem["ttys"] if t["iface"] == iface)


class HotplugTest(unittest.TestCase):
    def test_hot_plug_removal_and_manual_scans(self):
        with Sandbox() as sb:
            gw = sb.gateway
            udev = UdevTestbed(gw)
            euv2 = udev.add("le910-eu-v2")
            daemon = gw.start_daemon(["-d", "1"], env=udev.daemon_env())
            udev.wait_monitor(MONITOR_TIMEOUT)

            def log():
                return gw.read("/var/log/wanvox")

            def scans():
                return log().count(MANUAL_SCAN)

            with self.subTest("LE910-EU V2 present at start: not found by the scan"):
                self.assertNotIn(b"SetPath: ", daemon.stdout())
                self.assertNotIn(b"Target Iface", log())

            with self.subTest("LE910-EU V2 found on the hot-plug event of interface 06"):
                euv2_port = port(euv2, "06")
                udev.uevent("le910-eu-v2", "add")
                daemon.wait_for_output("SetPath: %s\r\n" % euv2_port, EVENT_TIMEOUT)
                daemon.wait_for_log("Detected Modem: Nimbelink Telit LE910-EU V2\r\n",
                                    EVENT_TIMEOUT, log="modem")
                wait_for(lambda: log().count(b"   Action: add\n") == 3, EVENT_TIMEOUT,
                         what="the three add events")
                text = log()
                self.assertIn(b"Got Device\n   Node: %s\n   Subsystem: tty\n   Devtype: (null)\n"
                              b"   Action: add\nusb iface 06\r\nTarget Iface: 06\n"
                              b"Device Node Path: /dev/bus/usb/001/002\n"
                              % euv2_port.encode(), text)
                self.assertEqual(text.count(b"usb iface "), 3)
                self.assertEqual(daemon.stdout().count(b"SetPath: "), 1)

            with self.subTest("unplugged: State: Modem Offline"):
                udev.unplug("le910-eu-v2")
                daemon.wait_for_log("State: Modem Offline\r\n", EVENT_TIMEOUT, log="modem")
                wait_for(lambda: log().count(b"   Action: remove\n") == 3, EVENT_TIMEOUT,
                         what="the three remove events")
                out = daemon.stdout()
                for tty in euv2["ttys"]:
                    self.assertIn(b"RemovePath: %s\r\n" % tty["node"].encode(), out)
                self.assertEqual(gw.read("/var/log/modem").count(b"State: Modem Offline"), 1)
                self.assertEqual(out.count(b"SetPath: "), 1)  # the parent had gone already

            with self.subTest("manual scans every 15 s until the modem returns"):
                wait_for(lambda: scans() >= 1, SCAN_TIMEOUT, what="the first manual scan")
                first = time.monotonic()
                before = len(log())
                le910 = udev.add("le910")  # back without an event, with four ttys
                wait_for(lambda: scans() >= 2, SCAN_TIMEOUT, what="the second manual scan")
                self.assertGreaterEqual(time.monotonic() - first, 13)
                self.assertLessEqual(time.monotonic() - first, 19)

            with self.subTest("the LE910 is found on interface 05 only"):
                le910_port = port(le910, "05")
                daemon.wait_for_output("SetPath: %s\r\n" % le910_port, EVENT_TIMEOUT)
                daemon.wait_for_log("Detected Modem: Nimbelink Telit LE910\r\n", EVENT_TIMEOUT,
                                    log="modem")
                found = log()[before:]
                self.assertEqual(found.count(b"Target Iface: "), 1)
                self.assertIn(MANUAL_SCAN + b"Target Dev: %s\nTarget Iface: 05\n"
                              b"Device Node Path: /dev/bus/usb/001/002\n" % le910_port.encode(),
                              found)
                self.assertEqual(daemon.stdout().count(b"SetPath: "), 2)

            with self.subTest("no manual scan once the modem is back"):
                time.sleep(17)
                self.assertEqual(scans(), 2)
                self.assertTrue(daemon.running())


if __name__ == "__main__":
    unittest.main()
