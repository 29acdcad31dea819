"""The hosts of a sandbox: the LAN namespace with its bridge, and the gateways joined to it."""

import os

from sandbox import netns
from sandbox.mountview import MountView
from sandbox.process import Process, environment

FIRST_LAN_HOST = 100
SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DEFAULT_BUILD_DIR = os.path.join(SOURCE_DIR, "build")   # where scripts/test builds


def build_dir():
    return os.environ.get("WANVOX_BUILD_DIR", DEFAULT_BUILD_DIR)


def daemon_binary():
    """The build's `wanvox`: at the top of the build directory or under core/ where CMake puts it."""
    for candidate in ("wanvox", "core/wanvox"):
        binary = os.path.join(build_dir(), candidate)
        if os.access(binary, os.X_OK) and not os.path.isdir(binary):
            return binary
    raise FileNotFoundError("no wanvox binary in %s (set WANVOX_BUILD_DIR)" % build_dir())


class Lan:
    """The LAN namespace: bridge br0, plus host addresses for router simulators and listeners."""

    def __init__(self, box):
        self._box = box
        self.netns = box.prefix + "-lan"
        self._next_host = FIRST_LAN_HOST
        netns.create(self.netns)
        netns.add_bridge(self.netns)

    def add_address(self):
        address = netns.host_address(self._next_host)
        netns.add_address(self.netns, netns.BRIDGE, "%s/%d" % (address, netns.PREFIX_LEN))
        self._next_host += 1
        return address

    def start(self, argv, env=None, name=None, cwd=None):
        return self._box.track(Process(["ip", "netns", "exec", self.netns], argv,
                                       environment(self._box.scratch, env),
                                       self._box.out_dir, self._box.process_name(argv, name),
                                       cwd=cwd))


class Gateway:
    """One gateway: network namespace with eth0 on the LAN, plus its mount view."""

    def __init__(self, box, index, var_log="scratch"):
        self._box = box
        self.index = index
        self.netns = "%s-gw%d" % (box.prefix, index)
        self.address = netns.host_address(index)
        netns.create(self.netns)
        bridge_port = "gw%d" % index
        netns.add_veth(self.netns, "eth0", box.lan.netns, bridge_port)
        netns.enslave(box.lan.netns, bridge_port)
        netns.add_address(self.netns, "eth0", "%s/%d" % (self.address, netns.PREFIX_LEN))
        self.scratch = os.path.join(box.scratch, "gw%d" % index)
        self.view = MountView(self.netns, self.scratch, var_log)
        self.log_dir = self.view.log_dir
        self.etc_upper = self.view.etc_upper

    # --- files as the gateway's processes see them

    def path(self, p):
        return self.view.path(p)

    def seed(self, p, data):
        host_path = self.path(p)
        os.makedirs(os.path.dirname(host_path), exist_ok=True)
        with open(host_path, "wb") as f:
            f.write(data.encode() if isinstance(data, str) else data)

    def read(self, p):
        with open(self.path(p), "rb") as f:
            return f.read()

    def exists(self, p):
        return os.path.lexists(self.path(p))

    def listdir(self, p):
        return sorted(os.listdir(self.path(p)))

    # --- extra interfaces

    def add_link(self, name, ipv4=None, ipv6=None, link_local=True):
        """A veth `name` in the gateway with the given CIDR addresses; `link_local=False` turns
        IPv6 off on it, so that it has no link-local address (and takes no `ipv6`).

        Its peer sits unbridged in the LAN namespace, so the link carries nothing to the LAN.
        """
        peer = "%sg%d" % (name[:9], self.index)
        netns.add_veth(self.netns, name, self._box.lan.netns, peer)
        if not link_local:
            sysctl = self.start(["sysctl", "-qw", "net.ipv6.conf.%s.disable_ipv6=1" % name],
                                view=False)
            if sysctl.wait_exit(timeout=5) != 0:
                raise RuntimeError("sysctl failed: %s" % sysctl.stderr().decode())
        for cidr in (ipv4, ipv6):
            if cidr:
                netns.add_address(self.netns, name, cidr)

    def remove_link(self, name):
        netns.delete_link(self.netns, name)  # the peer goes with it

    # --- processes

    def start(self, argv, env=None, view=True, name=None, cwd=None):
        """`view`: True for the gateway's mount view, False for its network namespace alone, or
        a view nested in the gateway's (anything with enter_command() and path())."""
        view = self.view if view is True else view or None
        prefix = view.enter_command() if view else ["ip", "netns", "exec", self.netns]
        return self._box.track(Process(prefix, argv, environment(self._box.scratch, env),
                                       self._box.out_dir, self._box.process_name(argv, name),
                                       cwd=cwd, view=view))

    def start_daemon(self, args=(), env=None, name="wanvox"):
        return self.start([daemon_binary()] + list(args), env=env, name=name)

    def close(self):
        self.view.close()
