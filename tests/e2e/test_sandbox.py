"""Self-checks of the sandbox rig: the LAN, the mount views, and that teardown leaves nothing behind."""

import os
import subprocess
import unittest

from sandbox import Sandbox, wait_for

# Prints the first datagram it receives on the given port as "<source> <payload>".
LISTENER = """
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("0.0.0.0", int(sys.argv[1])))
print("ready", flush=True)
data, peer = s.recvfrom(100)
print(peer[0], data.decode(), flush=True)
"""
BROADCASTER = """
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
s.sendto(b"hello", ("10.0.0.255", int(sys.argv[1])))
"""
PORT = "45999"


def root_links():
    return subprocess.run(["ip", "-o", "link"], capture_output=True, text=True).stdout


def run(gw_or_lan, script, timeout=5, **start_args):
    process = gw_or_lan.start(["sh", "-c", script], **start_args)
    return process.wait_exit(timeout), process.stdout()


class SandboxTest(unittest.TestCase):
    def test_broadcast_reaches_other_gateway_and_lan_but_not_root_namespace(self):
        with Sandbox(gateways=2) as sb:
            sb.gateway.add_link("wwan0", ipv4="10.64.0.2/30", ipv6="fd00:64::2/64")
            sb.lan.add_address()
            listeners = [sb.gateways[1].start(["python3", "-c", LISTENER, PORT]),
                         sb.lan.start(["python3", "-c", LISTENER, PORT])]
            for listener in listeners:
                listener.wait_for_output("ready", 5)
            sb.gateway.start(["python3", "-c", BROADCASTER, PORT]).wait_exit(5)
            for listener in listeners:
                self.assertEqual(listener.wait_exit(5), 0)
                self.assertEqual(listener.stdout(), b"ready\n10.0.0.1 hello\n")
            status, out = run(sb.gateway, "ip -br addr show wwan0")
            self.assertIn(b"10.64.0.2/30", out)
            self.assertIn(b"fd00:64::2/64", out)
            self.assertNotIn("wwan0", root_links())
            self.assertIn(sb.lan.netns, subprocess.run(["ip", "netns"], capture_output=True,
                                                       text=True).stdout)

    def test_mount_views_put_scratch_over_var_log_and_etc(self):
        with Sandbox(gateways=0) as sb:
            normal = sb.add_gateway()
            missing = sb.add_gateway(var_log="missing")
            readonly = sb.add_gateway(var_log="readonly")
            normal.seed("/etc/ostrel/quarn/wanvox.conf", "seeded")
            status, out = run(normal, "cat /etc/ostrel/quarn/wanvox.conf; echo x > /var/log/new;"
                                      " mkdir -p /etc/ostrel/cell; echo y > /etc/ostrel/cell/IMEI")
            self.assertEqual((status, out), (0, b"seeded"))
            with open(os.path.join(normal.log_dir, "new"), "rb") as f:
                self.assertEqual(f.read(), b"x\n")
            self.assertEqual(normal.read("/etc/ostrel/cell/IMEI"), b"y\n")
            self.assertTrue(os.path.isdir(os.path.join(normal.etc_upper, "ostrel", "cell")))
            self.assertFalse(os.path.exists("/etc/ostrel/cell/IMEI"))
            # Another gateway's view does not see it, and a process without a view sees the host.
            self.assertFalse(missing.exists("/etc/ostrel"))
            self.assertEqual(run(normal, "test -e /etc/ostrel/cell", view=False)[0], 1)
            self.assertEqual(run(missing, "test -e /var/log")[0], 1)
            self.assertNotEqual(run(readonly, "echo z > /var/log/new")[0], 0)
            self.assertEqual(os.listdir(readonly.log_dir), [])

    def test_teardown_stops_processes_and_removes_everything_even_on_error(self):
        with self.assertRaises(RuntimeError):
            with Sandbox() as sb:
                sleeper = sb.gateway.start(["sleep", "60"])
                ignorer = sb.lan.start(["sh", "-c", "trap '' TERM; echo ready; while :; do sleep 1; done"])
                ignorer.wait_for_output("ready", 5)
                wait_for(lambda: sleeper.threads() == ["sleep"], 5)
                scratch, prefix = sb.scratch, sb.prefix
                raise RuntimeError("test body failed")
        self.assertFalse(sleeper.running())
        self.assertEqual(ignorer.wait_exit(0), -9)  # ignored SIGTERM, so it was killed
        self.assertFalse(os.path.exists(scratch))
        self.assertNotIn(prefix, subprocess.run(["ip", "netns"], capture_output=True,
                                                text=True).stdout)


if __name__ == "__main__":
    unittest.main()
