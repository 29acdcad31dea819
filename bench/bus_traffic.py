"""D-Bus traffic of one bus connection or a group of them, from `dbus-monitor --address ADDR`
(its default text form) recorded from before they connected.

The monitor shows every message on the bus. A message counts for a group when one of its
connections sent it, when it was addressed to one of them (method replies and errors, the bus
driver's replies and NameAcquired included), or when it is a broadcast signal that the bus
delivered to one of them because it matched a rule the connection had added with AddMatch. So the
rules are followed from the monitor's start, and a well-known name in a rule's sender is resolved
through the owners that NameOwnerChanged announced. Replies are counted under the member of the
call they answer.
"""

import re

DRIVER = "org.freedesktop.DBus"
_HEADER = re.compile(r"^(method call|method return|error|signal) time=(\S+) sender=(\S+) -> "
                     r"destination=(\(null destination\)|\S+) (.*)$")
_FIELD = re.compile(r"(\w+)=([^;\s]+)")
_ARG = re.compile(r'^   (string|object path) "(.*?)"?$')
_RULE = re.compile(r"(\w+)='((?:[^']|'\\'')*)'")
_KINDS = {"method call": "call", "method return": "return", "error": "error", "signal": "signal"}


class Message:
    __slots__ = ("kind", "time", "sender", "destination", "serial", "reply_serial", "path",
                 "interface", "member", "args")

    def __init__(self, match):
        kind, time, sender, destination, rest = match.groups()
        fields = dict(_FIELD.findall(rest))
        self.kind = _KINDS[kind]
        self.time = float(time)
        self.sender = sender
        self.destination = None if destination.startswith("(null") else destination
        self.serial = int(fields.get("serial", 0))  # an error shows none
        self.reply_serial = int(fields["reply_serial"]) if "reply_serial" in fields else None
        self.path = fields.get("path")
        self.interface = fields.get("interface")
        self.member = fields.get("member")
        self.args = []  # top-level arguments: text for strings and object paths, else None


def read_messages(path):
    """The messages of a dbus-monitor text file, in order."""
    messages = []
    with open(path, errors="replace") as f:
        for line in f:
            header = _HEADER.match(line)
            if header:
                messages.append(Message(header))
            elif messages and line.startswith("   ") and not line.startswith("    "):
                arg = _ARG.match(line.rstrip("\n"))
                messages[-1].args.append(arg.group(2) if arg else None)
    return messages


def parse_rule(text):
    return {key: value.replace("'\\''", "'") for key, value in _RULE.findall(text)}


def rule_matches(rule, message, owners):
    for key, value in rule.items():
        if key == "type":
            ok = _KINDS.get(value.replace("_", " ")) == message.kind
        elif key == "sender":
            ok = message.sender in (value, owners.get(value))
        elif key in ("interface", "member", "path", "destination"):
            ok = getattr(message, key) == value
        elif key == "path_namespace":
            ok = message.path is not None and (value == "/" or message.path == value or
                                               message.path.startswith(value + "/"))
        elif key.startswith("arg"):
            ok = _arg_matches(key, value, message.args)
        else:
            ok = True  # eavesdrop and anything newer: no effect on delivery here
        if not ok:
            return False
    return True


def _arg_matches(key, value, args):
    index = int(re.match(r"arg(\d+)", key).group(1))
    arg = args[index] if index < len(args) else None
    if arg is None:
        return False
    if key.endswith("namespace"):
        return arg == value or arg.startswith(value + ".")
    if key.endswith("path"):
        return arg == value or (arg.endswith("/") and value.startswith(arg)) or \
            (value.endswith("/") and arg.startswith(value))
    return arg == value


class Traffic:
    """Counts of one group of connections (unique names) between two wall-clock instants."""

    def __init__(self):
        self.sent = {}       # member -> messages the group sent
        self.received = {}   # member -> messages delivered to the group

    def total(self):
        return sum(self.sent.values()), sum(self.received.values())


def count(messages, groups, start, end):
    """{group: Traffic} for the messages from `start` to `end` (time.time() instants).
    `groups` maps a group's name to a predicate on unique connection names."""
    owners = {DRIVER: DRIVER}   # well-known name -> unique name
    rules = {}                  # unique name -> [rule dicts]
    calls = {}                  # (caller, serial) -> member
    result = {group: Traffic() for group in groups}
    group_cache = {}

    def group_of(name):
        if name not in group_cache:
            group_cache[name] = next((g for g, owns in groups.items() if name and owns(name)),
                                     None)
        return group_cache[name]

    for m in messages:
        if m.kind == "call":
            calls[(m.sender, m.serial)] = m.member
            member = m.member
            if m.destination == DRIVER and m.member in ("AddMatch", "RemoveMatch") and m.args:
                _follow_rule(rules.setdefault(m.sender, []), m.member, m.args[0])
        elif m.kind in ("return", "error"):
            member = calls.pop((m.destination, m.reply_serial), "reply")
        else:
            member = "signal " + m.member
            if m.sender == DRIVER and m.member == "NameOwnerChanged" and len(m.args) >= 3:
                name, _, new = m.args[:3]
                if not name.startswith(":"):
                    owners[name] = new
                elif not new:
                    rules.pop(name, None)
        if not start <= m.time <= end:
            continue
        sender_group = group_of(m.sender)
        if sender_group:
            _add(result[sender_group].sent, member)
        if m.destination is not None:
            receivers = [owners.get(m.destination, m.destination)]
        elif m.kind == "signal":
            receivers = [name for name, own in rules.items()
                         if any(rule_matches(r, m, owners) for r in own)]
        else:
            receivers = []
        for name in receivers:
            group = group_of(name)
            if group:
                _add(result[group].received, member)
    return result


def _follow_rule(own, member, text):
    rule = parse_rule(text)
    if member == "AddMatch":
        own.append(rule)
    elif rule in own:
        own.remove(rule)


def _add(counts, member):
    counts[member] = counts.get(member, 0) + 1
