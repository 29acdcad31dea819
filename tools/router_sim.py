#!/usr/bin/python3
"""Router simulator for the gateway's router links (standard library only).

    router_sim.py bep    [options]   send BEP status reports (UDP 45454), as a BT-xxxx router would
    router_sim.py event  [options]   send event messages (UDP 45456), as a GX450 router would
    router_sim.py listen [options]   print every datagram heard on 45454/45456 as one JSON line
    router_sim.py decode HEX         decode one datagram given in hex, as JSON

Sending to anything but a loopback address is refused in the machine's own network namespace: run it
inside a network namespace (the sandbox's LAN namespace, see tools/sandbox/routers.py).
"""

import argparse
import json
import os
import select
import socket
import struct
import subprocess
import sys
import time
import xml.etree.ElementTree as ElementTree

BEP_PORT = 45454
EVENT_PORT = 45456
BROADCAST = "10.0.0.255"
EVENT_MARKER = 0xE1
BEP_HEADER = 24
EVENT_HEADER = 15
DEFAULT_QID = 352099001761481

# MI layout-3 texts, in wire order: (option name, default)
MI_TEXTS = [("model", "BT-5830v2"), ("phone", "15551230000"), ("serial", "SN0001"),
            ("modem_name", "BT-5830v2"), ("firmware", "4.3.1"), ("config", "cfg-1"),
            ("prl", ""), ("gps_version", ""), ("rf_version", ""), ("hw_version", "A"),
            ("os_version", ""), ("boot_version", ""), ("sim", "89012345678901234567")]

MODEL_NAMES = {0x4200: "BT-4200", 0x4400: "BT-4400", 0x4600: "BT-4600", 0x4601: "BT-4600A",
               0x5200: "BT-5200", 0x5400: "BT-5400", 0x5600: "BT-5600", 0x5601: "BT-5600A",
               0x6410: "BT-6401", 0x6430: "BT-6421", 0x6450: "BT-6401EB", 0x6601: "BT-6600",
               0x6611: "BT-6601", 0x6631: "BT-6621", 0x6651: "BT-6601EB", 0x6800: "BT-6800",
               0x6810: "BT-6801", 0x6830: "BT-6821", 0x6850: "BT-6801EB", 0x7601: "BT-5600v2",
               0x7800: "BT-4800v2"}


# ---------------------------------------------------------------- BEP encoding

def text(value):
    return value.encode("latin-1") + b"\0"


def ip_to_u32(dotted):
    # The wire carries the top octet of the dotted text in the last byte.
    return struct.unpack(">I", socket.inet_aton(dotted))[0]


def encode_mi(a):
    if a.mi == 1:
        return b"\0" + text(a.modem_name)
    if a.mi == 2:
        texts = text(a.firmware) + text(a.config) + text(a.prl)
        length = a.mi_length if a.mi_length is not None else len(texts) - 3 + 10
        return struct.pack("<HI", length, a.model_id) + texts
    if a.mi == 3:
        texts = b"".join(text(getattr(a, name)) for name, _ in MI_TEXTS)
        length = a.mi_length if a.mi_length is not None else 4 + len(texts)
        return struct.pack("<HI", length, a.model_id) + texts
    return b""


def encode_rf(a):
    if a.rf == 1:
        return struct.pack("<Bb", 1, a.rssi)
    if a.rf == 2:
        texts = text(a.network) + text(a.provider)
        body = struct.pack("<BB", (-a.rssi) & 0xFF, 1 if a.roaming else 0) + texts
        length = a.rf_length if a.rf_length is not None else len(body)
        return struct.pack("<B", length & 0xFF) + body
    return b""


def encode_io(a):
    if a.io != 1:
        return b""
    inputs = sum(1 << i for i, bit in enumerate(a.io_inputs) if bit == "1")
    outputs = sum(1 << i for i, bit in enumerate(a.io_outputs) if bit == "1")
    body = struct.pack("<BBBBB", 20, inputs, 0, outputs, 0)
    for value in a.io_values:
        body += struct.pack("<I", value)
    return body


def encode_gp(a):
    if a.gp != 1:
        return b""
    nmea = a.gps.encode("latin-1")
    return struct.pack("<H", len(nmea)) + nmea


def encode_go(a):
    return struct.pack("<Bi", 4, a.odometer) if a.go == 1 else b""


def encode_ip(a):
    return struct.pack("<BI", 4, ip_to_u32(a.ip)) if a.ip_code == 1 else b""


def encode_au(a):
    if a.au != 1:
        return b""
    digest = bytes(range(16))
    return struct.pack("<H", 16 + len(a.au_text) + 1) + digest + text(a.au_text)


def encode_ac(a):
    if a.ac != 1:
        return b""
    return struct.pack("<H", 2 + len(a.ac_text) + 1) + b"\0\0" + text(a.ac_text)


def encode_bep(a, seq):
    body = b"".join(part(a) for part in (encode_mi, encode_rf, encode_io, encode_gp, encode_go,
                                         encode_ip, encode_au, encode_ac))
    if a.esn is not None:
        qid_low, qid_high = a.esn & 0xFFFFFFFF, 0
    else:
        qid = DEFAULT_QID if a.imei is None else a.imei
        qid_low, qid_high = qid & 0xFFFFFFFF, qid >> 32
    flags_a = ((a.au & 3) << 6) | ((a.ac & 3) << 4)
    flags_b = (a.flags & 0x0E) | (1 if a.ack else 0)
    element_map = ((a.go & 3) << 14) | ((a.ip_code & 3) << 12) | ((a.mi & 3) << 6) | \
        ((a.rf & 3) << 4) | ((a.io & 3) << 2) | (a.gp & 3)
    pktlen = a.pktlen if a.pktlen is not None else BEP_HEADER + len(body)
    header = struct.pack("<IIBBBBIHH", qid_low, qid_high, flags_a, flags_b, a.app, a.ver, seq,
                         pktlen & 0xFFFF, a.evtid) + struct.pack(">I", element_map)
    return header + body


# ---------------------------------------------------------------- event encoding

def encode_event(a):
    header = bytes([a.marker & 0xFF]) + a.id.to_bytes(8, "little")[:7] + bytes([a.id_type & 0xFF])
    header += b"\0" * 6
    if a.xml is not None:
        xml = a.xml
    else:
        elements = []
        for item in a.element:
            element_id, _, value = item.partition("=")
            elements.append('<%s id="%s">%s</%s>' % (a.tag, element_id, value, a.tag))
        xml = "<%s>%s</%s>" % (a.root, "".join(elements), a.root)
    return header + xml.encode("utf-8")


# ---------------------------------------------------------------- decoding

class Reader:
    def __init__(self, data, position):
        self.data, self.pos = data, position

    def take(self, count):
        if self.pos + count > len(self.data):
            raise ValueError("short")
        chunk = self.data[self.pos:self.pos + count]
        self.pos += count
        return chunk

    def unpack(self, fmt):
        return struct.unpack(fmt, self.take(struct.calcsize(fmt)))

    def text(self):
        end = self.data.find(b"\0", self.pos)
        if end < 0:
            raise ValueError("unterminated")
        value = self.data[self.pos:end].decode("latin-1")
        self.pos = end + 1
        return value


def decode_mi(r, code, out):
    if code == 1:
        r.take(1)
        out["modem_name"] = r.text()
        return True
    if code == 2:
        length, out["model_id"] = r.unpack("<HI")
        start = r.pos
        out["firmware"], out["config"], out["prl"] = r.text(), r.text(), r.text()
        out["modem_name"] = MODEL_NAMES.get(out["model_id"], "UNKNOWN MODEM TYPE")
        return length == r.pos - start + 4 + 3
    if code == 3:
        length, out["model_id"] = r.unpack("<HI")
        start = r.pos - 4
        for name, _ in MI_TEXTS:
            out[name] = r.text()
        return length == r.pos - start
    return True


def decode_rf(r, code, out):
    if code == 1:
        length, out["rssi"] = r.unpack("<Bb")
        return length == 1
    if code == 2:
        length, magnitude, out["roaming"] = r.unpack("<BBB")
        out["rssi"] = struct.unpack("<b", bytes([(-magnitude) & 0xFF]))[0]
        start = r.pos - 2
        out["network"], out["provider"] = r.text(), r.text()
        return length == r.pos - start
    return code == 0


def decode_io(r, code, out):
    if code == 1:
        length, inputs, _, outputs, _ = r.unpack("<BBBBB")
        out["io_inputs"] = [(inputs >> i) & 1 for i in range(4)]
        out["io_outputs"] = [(outputs >> i) & 1 for i in range(3)]
        out["io_values"] = list(r.unpack("<IIII"))
        return length == 20
    return code == 0


def decode_gp(r, code, out):
    if code == 1:
        length, = r.unpack("<H")
        nmea = r.take(length)
        out["gps"] = nmea.split(b"\0")[0].decode("latin-1")
        return b"\0" not in nmea
    return True


def decode_fixed(name, fmt, convert):
    def decode(r, code, out):
        if code == 1:
            length, value = r.unpack(fmt)
            out[name] = convert(value)
            return length == 4
        return True
    return decode


def decode_au(r, code, out):
    if code == 1:
        length, = r.unpack("<H")
        r.take(16)
        out["au_text"] = r.text()
        return length == 16 + len(out["au_text"]) + 1
    return True


def decode_ac(r, code, out):
    if code == 1:
        length, = r.unpack("<H")
        r.take(2)
        out["ac_text"] = r.text()
        return length == 2 + len(out["ac_text"]) + 1
    return True


BEP_ELEMENTS = [("MI", decode_mi), ("RF", decode_rf), ("IO", decode_io), ("GP", decode_gp),
                ("GO", decode_fixed("odometer", "<Bi", int)),
                ("IP", decode_fixed("ip", "<BI",
                                    lambda v: socket.inet_ntoa(struct.pack(">I", v)))),
                ("AU", decode_au), ("AC", decode_ac)]


def decode_bep(data):
    if len(data) < BEP_HEADER:
        return {"valid": False, "error": "header"}
    (qid_low, qid_high, flags_a, flags_b, app, ver, seq, pktlen,
     evtid) = struct.unpack("<IIBBBBIHH", data[:20])
    element_map, = struct.unpack(">I", data[20:24])
    codes = {"AU": flags_a >> 6, "AC": (flags_a >> 4) & 3, "GO": (element_map >> 14) & 3,
             "IP": (element_map >> 12) & 3, "MI": (element_map >> 6) & 3,
             "RF": (element_map >> 4) & 3, "IO": (element_map >> 2) & 3, "GP": element_map & 3}
    if qid_high:
        device_id = "%15d" % ((qid_high << 32) | qid_low)
    else:
        device_id = "%03d%08d" % (qid_low >> 24, qid_low & 0xFFFFFF)
    out = {"qid_low": qid_low, "qid_high": qid_high, "device_id": device_id,
           "ack": flags_b & 1, "flags": flags_b & 0x0E, "app": app, "ver": ver, "seq": seq,
           "pktlen": pktlen, "evtid": evtid, "codes": codes}
    if ver != 1 or pktlen != len(data):
        out.update(valid=False, error="header")
        return out
    r = Reader(data, BEP_HEADER)
    for name, decode in BEP_ELEMENTS:
        try:
            accepted = decode(r, codes[name], out)
        except ValueError:
            accepted = False
        if not accepted:
            out.update(valid=False, error=name)
            return out
    out["valid"] = True
    return out


def decode_event(data):
    if len(data) < EVENT_HEADER or data[0] != EVENT_MARKER:
        return {"valid": False, "error": "header"}
    id_type = data[8]
    out = {"id": int.from_bytes(data[1:8], "little"), "id_type": id_type,
           "relayed": bool(id_type & 0x80),
           "form": {0: "phone", 1: "imei"}.get(id_type & 0x7F, "other")}
    body = data[EVENT_HEADER:].decode("utf-8", "replace")
    out["xml"] = body
    try:
        root = ElementTree.fromstring(body)
        out["elements"] = {element.get("id"): element.text or ""
                           for element in root.iter() if element.tag in ("sts", "inf")
                           and element.get("id") is not None}
        out["valid"] = id_type in (0x00, 0x01, 0x81)
    except ElementTree.ParseError:
        out.update(valid=False, error="xml")
    return out


def decode(data, port):
    if port == EVENT_PORT or (data[:1] == bytes([EVENT_MARKER]) and port != BEP_PORT):
        return "event", decode_event(data)
    return "bep", decode_bep(data)


# ---------------------------------------------------------------- commands

def in_own_namespace():
    """True in the machine's own network namespace (or when that cannot be told)."""
    try:
        return os.stat("/proc/self/ns/net").st_ino == os.stat("/proc/1/ns/net").st_ino
    except OSError:
        pass
    try:
        name = subprocess.run(["ip", "netns", "identify", str(os.getpid())], capture_output=True,
                              text=True, check=True).stdout.strip()
        return name == ""
    except (OSError, subprocess.CalledProcessError):
        return True


def sender(a):
    if not a.to.startswith("127.") and in_own_namespace():
        sys.exit("router_sim: refusing to send to %s from the machine's own network namespace"
                 % a.to)
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    if a.bind:
        sock.bind((a.bind, 0))
    return sock


def send_all(a, make):
    sock = sender(a)
    for index in range(a.count):
        if index:
            time.sleep(a.interval)
        data = bytes.fromhex(a.raw) if a.raw else make(index)
        sock.sendto(data, (a.to, a.port))
        if a.print:
            print(json.dumps({"sent": a.to, "port": a.port, "mono": time.monotonic(),
                              "len": len(data), "hex": data.hex()}), flush=True)
    sock.close()


def listen(a):
    sockets = []
    for port in a.ports:
        sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        sock.bind((a.bind, port))
        sockets.append((sock, port))
    print(json.dumps({"listening": a.ports}), flush=True)
    deadline = time.monotonic() + a.timeout if a.timeout else None
    heard = 0
    while a.count == 0 or heard < a.count:
        wait = None if deadline is None else max(0.0, deadline - time.monotonic())
        if wait == 0.0:
            break
        readable, _, _ = select.select([s for s, _ in sockets], [], [], wait)
        for sock, port in sockets:
            if sock not in readable:
                continue
            data, (source, source_port) = sock.recvfrom(65535)
            kind, fields = decode(data, port)
            print(json.dumps({"time": time.time(), "mono": time.monotonic(), "port": port, "from": source,
                              "from_port": source_port, "len": len(data), "hex": data.hex(),
                              kind: fields}), flush=True)
            heard += 1


def number(value):
    return int(value, 0)


def bep_options(p):
    p.add_argument("--ack", action="store_true", help="set the ACK flag (a forwarded copy)")
    p.add_argument("--flags", type=number, default=0, help="bits 3-1 of flags byte B")
    p.add_argument("--imei", type=number, help="64-bit QID, IMEI form (default 352099001761481)")
    p.add_argument("--esn", type=number, help="32-bit QID, ESN form (QID high 0)")
    p.add_argument("--app", type=number, default=1)
    p.add_argument("--ver", type=number, default=1)
    p.add_argument("--seq", type=number, default=0, help="first SEQ; each datagram adds 1")
    p.add_argument("--evtid", type=number, default=0)
    p.add_argument("--pktlen", type=number, help="PKTLEN to write (default: the real length)")
    for element, default in (("mi", 3), ("rf", 2), ("io", 0), ("gp", 0), ("go", 0),
                             ("au", 0), ("ac", 0)):
        p.add_argument("--" + element, type=int, default=default, choices=range(4),
                       help="element code of %s (0 absent)" % element.upper())
    p.add_argument("--ip-code", type=int, default=1, choices=range(4), help="IP element code")
    p.add_argument("--model-id", type=number, default=0x7601)
    for name, default in MI_TEXTS:
        p.add_argument("--" + name.replace("_", "-"), default=default)
    p.add_argument("--mi-length", type=number, help="MI length field to write instead")
    p.add_argument("--rssi", type=int, default=-75, help="dBm")
    p.add_argument("--roaming", action="store_true")
    p.add_argument("--network", default="LTE")
    p.add_argument("--provider", default="Carrier")
    p.add_argument("--rf-length", type=number, help="RF length field to write instead")
    p.add_argument("--ip", default="192.168.2.1")
    p.add_argument("--gps", default="$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47")
    p.add_argument("--odometer", type=int, default=0)
    p.add_argument("--io-inputs", default="0000", help="bits 0-3, e.g. 1010")
    p.add_argument("--io-outputs", default="000", help="bits 0-2")
    p.add_argument("--io-values", type=number, nargs=4, default=[0, 0, 0, 0])
    p.add_argument("--au-text", default="user")
    p.add_argument("--ac-text", default="key")


def event_options(p):
    p.add_argument("--marker", type=number, default=EVENT_MARKER)
    p.add_argument("--id", type=number, default=DEFAULT_QID, help="56-bit router id")
    p.add_argument("--id-type", type=number, default=0x01,
                   help="0x00 phone form, 0x01 IMEI form, 0x81 relayed IMEI form")
    p.add_argument("--xml", help="the whole XML body (instead of --element)")
    p.add_argument("--element", action="extend", nargs="+", default=[], metavar="ID=VALUE",
                   help="status elements, e.g. 261=-75 264=LTE (repeatable)")
    p.add_argument("--tag", default="sts", choices=("sts", "inf"))
    p.add_argument("--root", default="msg")


def common_send_options(p, port):
    p.add_argument("--to", default=BROADCAST, help="destination (default %s)" % BROADCAST)
    p.add_argument("--port", type=int, default=port)
    p.add_argument("--bind", help="source address")
    p.add_argument("--count", type=int, default=1)
    p.add_argument("--interval", type=float, default=1.0, help="seconds between datagrams")
    p.add_argument("--raw", help="send these bytes (hex) instead")
    p.add_argument("--print", action="store_true", help="print each datagram sent as JSON")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    bep = commands.add_parser("bep", help="send BEP reports")
    common_send_options(bep, BEP_PORT)
    bep_options(bep)
    event = commands.add_parser("event", help="send event messages")
    common_send_options(event, EVENT_PORT)
    event_options(event)
    listener = commands.add_parser("listen", help="print datagrams heard as JSON lines")
    listener.add_argument("--bind", default="0.0.0.0")
    listener.add_argument("--ports", type=lambda v: [int(p) for p in v.split(",")],
                          default=[BEP_PORT, EVENT_PORT])
    listener.add_argument("--count", type=int, default=0, help="stop after this many (0: never)")
    listener.add_argument("--timeout", type=float, default=0, help="stop after this many seconds")
    decoder = commands.add_parser("decode", help="decode one datagram given in hex")
    decoder.add_argument("hex")
    decoder.add_argument("--port", type=int, default=0)
    a = parser.parse_args(argv)

    if a.command == "bep":
        send_all(a, lambda index: encode_bep(a, (a.seq + index) & 0xFFFFFFFF))
    elif a.command == "event":
        send_all(a, lambda index: encode_event(a))
    elif a.command == "listen":
        listen(a)
    else:
        kind, fields = decode(bytes.fromhex(a.hex), a.port)
        print(json.dumps({kind: fields}))


if __name__ == "__main__":
    main()
