"""Network namespace plumbing: the only code that runs commands in the root network namespace.

Every command is an `ip` call that creates, configures or deletes a namespace of this sandbox;
links are created directly inside their namespaces (`ip -n NS link add ... netns OTHER`), so no
interface of the sandbox ever exists in the root namespace, not even for a moment.
"""

import subprocess

SUBNET_PREFIX = "10.0.0."
PREFIX_LEN = 24
BRIDGE = "br0"


class NetnsError(RuntimeError):
    pass


def ip(*args, netns=None, check=True):
    """Runs `ip [-n netns] args...`; raises NetnsError with ip's message on failure."""
    cmd = ["ip"] + (["-n", netns] if netns else []) + list(args)
    result = subprocess.run(cmd, stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if check and result.returncode != 0:
        raise NetnsError("%s: %s" % (" ".join(cmd), result.stderr.strip()))
    return result


def create(name):
    """Adds namespace `name` with its loopback up."""
    ip("netns", "add", name)
    ip("link", "set", "lo", "up", netns=name)


def delete(name):
    """Deletes namespace `name` (and so every link inside it); a missing one is not an error."""
    ip("netns", "delete", name, check=False)


def exists(name):
    return name in ip("netns", "list").stdout.split()


def add_bridge(netns):
    ip("link", "add", BRIDGE, "type", "bridge", netns=netns)
    ip("link", "set", BRIDGE, "up", netns=netns)


def add_veth(netns, name, peer_netns, peer_name):
    """Makes a veth pair `name` (in `netns`) <-> `peer_name` (in `peer_netns`), both up."""
    ip("link", "add", name, "type", "veth", "peer", "name", peer_name, "netns", peer_netns,
       netns=netns)
    ip("link", "set", name, "up", netns=netns)
    ip("link", "set", peer_name, "up", netns=peer_netns)


def enslave(netns, name, bridge=BRIDGE):
    ip("link", "set", name, "master", bridge, netns=netns)


def add_address(netns, name, cidr):
    """Adds an IPv4 or IPv6 address; IPv6 skips duplicate detection so it is usable at once."""
    if ":" in cidr:
        ip("-6", "addr", "add", cidr, "dev", name, "nodad", netns=netns)
    else:
        ip("addr", "add", cidr, "brd", "+", "dev", name, netns=netns)


def delete_link(netns, name):
    ip("link", "delete", name, netns=netns)


def host_address(n):
    return SUBNET_PREFIX + str(n)
