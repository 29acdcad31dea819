"""A simulated AT modem on a pty: the 3GPP 27.007 subset ModemManager probes, enables and polls.

tools/umockdev_testbed.py --at puts one behind the AT port of each modem it plugs. `AtModem`
answers command lines and keeps the network state; `PtyPort` serves it on a pty and writes its
unsolicited result codes. Commands outside the subset get ERROR, as an unknown command does on a
real module.

    modem = AtModem(Identity.for_modem("le910"))
    modem.answer("AT+CGMM")                  # ["AT+CGMM", "LE910-SVG", "OK"] (echo on)
    modem.update(registration=5, signal=40)  # returns the URC lines to write
"""

import os
import re
import select
import threading
import tty

# 27.007 registration states (+CREG/+CGREG/+CEREG <stat>): 1 home, 5 roaming.
REGISTRATION_STATES = range(0, 6)
SIM_STATES = ("present", "absent", "pin")
CME_SIM_NOT_INSERTED = "+CME ERROR: 10"
CME_SIM_PIN_REQUIRED = "+CME ERROR: 11"
ACT_EUTRAN = 7           # +COPS/+CREG <AcT>
TELIT_PSNT_LTE = 4       # #PSNT <nt>
CIND = '+CIND: ("battchg",(0-5)),("signal",(0-5)),("service",(0-1)),("roam",(0-1))'
SIGNAL_INDICATOR = 2     # 1-based position of "signal" in CIND
# +CRSM file ids: EF_ICCID, EF_AD (its fourth byte is the MNC length).
EF_ICCID, EF_AD = 12258, 28589
SW_OK, SW_NOT_FOUND = "144,0", "106,130"


class Identity:
    """What the module says about itself and its SIM."""

    MODELS = {
        "sierra": ("Sierra Wireless, Incorporated", "EM7565", "SWI9X50C_01.08.04.00"),
        "gemalto": ("Cinterion", "PLS8-X", "REVISION 03.017"),
        "le910": ("Telit", "LE910-SVG", "17.00.523"),
        "le910-eu-v2": ("Telit", "LE910-EU V2", "20.00.403"),
        "he910": ("Telit", "HE910", "12.00.024"),
    }

    def __init__(self, manufacturer, model, revision, imei="359225050123456",
                 iccid="89148000004412345678", imsi="311480123456789", number="15551234567"):
        self.manufacturer, self.model, self.revision = manufacturer, model, revision
        self.imei, self.iccid, self.imsi, self.number = imei, iccid, imsi, number
        self.telit = manufacturer == "Telit"

    @classmethod
    def for_modem(cls, name):
        return cls(*cls.MODELS[name])


def swapped_bcd(digits):
    """EF_ICCID as +CRSM shows it: nibble-swapped BCD, padded with F."""
    digits = digits + "F" * (len(digits) % 2)
    return "".join(digits[i + 1] + digits[i] for i in range(0, len(digits), 2))


class AtModem:
    """The command interpreter and the network state of one module. Not thread-safe: PtyPort
    serialises the reader thread and control updates under its lock."""

    def __init__(self, identity, **settings):
        """`settings`: as for update(); a SIM with a number, registered at home on 311480."""
        self.identity = identity
        self.sim = "present"
        self.registration = 1
        self.operator = "311480"
        self.signal = 80          # percent, 0..100
        self.echo = True
        self.cfun = 1
        self.cops_format = 0
        self.urc_modes = {"+CREG": 0, "+CGREG": 0, "+CEREG": 0}
        self.indicators = False   # +CMER enabled +CIEV
        self.update(**settings)

    # --- network state, changed by the control socket

    def update(self, **changes):
        """Applies registration, operator, signal or sim; returns the URC lines it causes."""
        urcs = []
        for key, value in changes.items():
            if key == "registration" and str(value).isdigit() and int(value) in REGISTRATION_STATES:
                self.registration = int(value)
                urcs += self._registration_urcs()
            elif key == "operator" and str(value).isdigit():
                self.operator = str(value)
            elif key == "signal" and str(value).isdigit() and int(value) <= 100:
                self.signal = int(value)
                if self.indicators:
                    urcs.append("+CIEV: %d,%d" % (SIGNAL_INDICATOR, self._signal_bars()))
            elif key == "sim" and value in SIM_STATES:
                self.sim = value
            else:
                raise ValueError("bad setting %s=%s" % (key, value))
        return urcs

    def state(self):
        return {"sim": self.sim, "registration": self.registration, "operator": self.operator,
                "signal": self.signal}

    def _registered(self):
        return self.registration in (1, 5)

    def _signal_bars(self):
        return self.signal // 20

    def _registration_urcs(self):
        return [self._registration_line(name, mode, False)
                for name, mode in self.urc_modes.items() if mode > 0]

    def _registration_line(self, name, mode, query):
        fields = ([str(mode)] if query else []) + [str(self.registration)]
        if mode >= 2 and self._registered():
            fields += ['"1A2B"', '"01A2B3C4"', str(ACT_EUTRAN)]
        return "%s: %s" % (name, ",".join(fields))

    # --- commands

    def answer(self, line):
        """Reply lines (final result code last) for one command line; the echo comes first."""
        line = line.strip()
        replies = [line] if self.echo else []
        if not line.upper().startswith("AT"):
            return replies + ["ERROR"] if line else replies
        result = []
        for command in split_commands(line[2:]):
            lines = self._command(command)
            if lines is None or lines[-1:] in ([CME_SIM_NOT_INSERTED], [CME_SIM_PIN_REQUIRED]):
                return replies + result + (lines or ["ERROR"])
            result += lines
        return replies + result + ["OK"]

    def _command(self, command):
        """Information lines of one command, or a list ending in an error, or None (ERROR)."""
        upper = command.upper()
        if not upper[:1] in "+#^$%":
            return self._basic(upper)
        name = re.match(r"[+#^$%][A-Z0-9]+", upper)
        if not name:
            return None
        name, rest = name.group(0), command[name.end():]
        handler = self.HANDLERS.get(name)
        return handler(self, rest) if handler else None

    def _basic(self, command):
        if command.startswith("E"):
            self.echo = command[1:] != "0"
        return [] if re.fullmatch(r"(&?[A-Z]\d*|S\d+(=\d+|\?))", command) and command != "I" \
            else None

    def _sim_error(self):
        if self.sim == "absent":
            return [CME_SIM_NOT_INSERTED]
        if self.sim == "pin":
            return [CME_SIM_PIN_REQUIRED]
        return None

    def _cpin(self, rest):
        if rest != "?":
            return None
        if self.sim == "absent":
            return [CME_SIM_NOT_INSERTED]
        return ["+CPIN: SIM PIN" if self.sim == "pin" else "+CPIN: READY"]

    def _ccid(self, rest):
        if self.sim == "absent":
            return [CME_SIM_NOT_INSERTED]
        return ["+CCID: " + self.identity.iccid]  # readable while the PIN is still asked for

    def _crsm(self, rest):
        if self.sim == "absent":
            return [CME_SIM_NOT_INSERTED]
        fields = rest.lstrip("=").split(",")
        file_id = int(fields[1]) if len(fields) > 1 and fields[1].isdigit() else 0
        if file_id == EF_ICCID:
            return ['+CRSM: %s,"%s"' % (SW_OK, swapped_bcd(self.identity.iccid))]
        if file_id == EF_AD and self.sim == "present":
            return ['+CRSM: %s,"00000003"' % SW_OK]
        return ["+CRSM: " + SW_NOT_FOUND]

    def _cimi(self, rest):
        return self._sim_error() or [self.identity.imsi]

    def _cnum(self, rest):
        return self._sim_error() or ['+CNUM: "","%s",129' % self.identity.number]

    def _registration(self, name, rest):
        if rest == "?":
            return [self._registration_line(name, self.urc_modes[name], True)]
        if rest == "=?":
            return ["%s: (0-2)" % name]
        if rest.startswith("=") and rest[1:] in ("0", "1", "2"):
            self.urc_modes[name] = int(rest[1:])
            return []
        return None

    def _cops(self, rest):
        if rest == "?":
            if not self._registered():
                return ["+COPS: 0"]
            name = self.operator if self.cops_format == 2 else "Wanvox Mobile"
            return ['+COPS: 0,%d,"%s",%d' % (self.cops_format, name, ACT_EUTRAN)]
        match = re.fullmatch(r"=(\d)(?:,(\d))?.*", rest)
        if not match:
            return None
        if match.group(1) == "3" and match.group(2) is not None:
            self.cops_format = int(match.group(2))
        return []

    def _csq(self, rest):
        return ["+CSQ: %d,99" % round(self.signal * 31 / 100)] if rest == "" else None

    def _cesq(self, rest):
        if rest == "=?":
            return ["+CESQ: (0-63,99),(0-7,99),(0-96,255),(0-49,255),(0-34,255),(0-97,255)"]
        # LTE only: rsrq and rsrp indexes that follow the quality.
        return ["+CESQ: 99,99,255,255,%d,%d" % (self.signal * 34 // 100, self.signal * 97 // 100)]

    def _cind(self, rest):
        if rest == "=?":
            return [CIND]
        if rest == "?":
            return ["+CIND: 5,%d,%d,%d" % (self._signal_bars(), int(self._registered()),
                                          int(self.registration == 5))]
        return None

    def _cmer(self, rest):
        if rest == "=?":
            return ["+CMER: (0-3),(0),(0),(0-2),(0-1)"]
        if not rest.startswith("="):
            return None
        fields = rest[1:].split(",")
        self.indicators = fields[0] == "3" and len(fields) > 3 and fields[3] in ("1", "2")
        return []

    def _cgdcont(self, rest):
        if rest == "?":
            return ['+CGDCONT: 1,"IP","internet","0.0.0.0",0,0']
        if rest == "=?":
            return ['+CGDCONT: (1-16),"IP",,,(0-2),(0-4)', '+CGDCONT: (1-16),"IPV6",,,(0-2),(0-4)',
                    '+CGDCONT: (1-16),"IPV4V6",,,(0-2),(0-4)']
        return [] if rest.startswith("=") else None

    def _cfun(self, rest):
        if rest == "?":
            return ["+CFUN: %d" % self.cfun]
        if rest == "=?":
            return ["+CFUN: (0,1,4),(0-1)"]
        match = re.fullmatch(r"=(\d)(,\d)?", rest)
        if not match:
            return None
        self.cfun = int(match.group(1))
        return []

    def _ws46(self, rest):
        if rest == "=?":
            return ["+WS46: (12,22,25,28,29)"]
        return ["+WS46: 25"] if rest == "?" else None

    def _setting(self, rest):
        return [] if rest.startswith("=") else None

    def _gcap(self, rest):
        return ["+GCAP: +CGSM,+DS,+ES"] if rest == "" else None

    def _telit_psnt(self, rest):
        return ["#PSNT: 0,%d" % TELIT_PSNT_LTE] if self.identity.telit and rest == "?" else None

    def _telit_bands(self, rest):
        if not self.identity.telit:
            return None
        if rest == "=?":
            return ["#BND: (0-3),(0-8),(1-40000000)"]
        return ["#BND: 0,5,28"] if rest == "?" else None


def _identity(field):
    return lambda modem, rest: [getattr(modem.identity, field)] if rest in ("", "?") else None


def _registration(name):
    return lambda modem, rest: modem._registration(name, rest)


# Extended commands by name; each takes (modem, text after the name).
AtModem.HANDLERS = {
    "+CGMI": _identity("manufacturer"), "+GMI": _identity("manufacturer"),
    "+CGMM": _identity("model"), "+GMM": _identity("model"),
    "+CGMR": _identity("revision"), "+GMR": _identity("revision"),
    "+CGSN": _identity("imei"), "+GSN": _identity("imei"),
    "+CREG": _registration("+CREG"), "+CGREG": _registration("+CGREG"),
    "+CEREG": _registration("+CEREG"),
    "+GCAP": AtModem._gcap, "+CPIN": AtModem._cpin, "+CCID": AtModem._ccid,
    "+CRSM": AtModem._crsm, "+CIMI": AtModem._cimi, "+CNUM": AtModem._cnum,
    "+COPS": AtModem._cops, "+CSQ": AtModem._csq, "+CESQ": AtModem._cesq,
    "+CIND": AtModem._cind, "+CMER": AtModem._cmer, "+CGDCONT": AtModem._cgdcont,
    "+CFUN": AtModem._cfun, "+WS46": AtModem._ws46, "+CMEE": AtModem._setting,
    "+CSCS": AtModem._setting, "#PSNT": AtModem._telit_psnt, "#BND": AtModem._telit_bands,
}


def split_commands(text):
    """The commands of one line after "AT": basic ones (E0, &C1, S7=60) run together, extended
    ones (+CMEE=1) up to the next ';'."""
    commands = []
    while text:
        if text[0] == ";":
            text = text[1:]
            continue
        if text[0] in "+#^$%":
            end = text.find(";")
            end = len(text) if end < 0 else end
        else:
            match = re.match(r"([Ss]\d+(=\d+|\?)|&?[A-Za-z]\d*)\s*", text)
            end = match.end() if match else len(text)
        commands.append(text[:end].strip())
        text = text[end:]
    return [c for c in commands if c]


class PtyPort:
    """Serves one AtModem on a pty: `slave_path` is what the testbed's device node points at."""

    def __init__(self, modem):
        self.modem = modem
        self._master, self._slave = os.openpty()
        tty.setraw(self._slave)   # no line discipline between ModemManager and the module
        self.slave_path = os.ttyname(self._slave)
        self._lock = threading.Lock()
        self._stop_r, self._stop_w = os.pipe()
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    def update(self, **changes):
        with self._lock:
            urcs = self.modem.update(**changes)
            for urc in urcs:
                self._write_lines([urc])
            return self.modem.state()

    def close(self):
        os.write(self._stop_w, b"x")
        self._thread.join()
        for fd in (self._master, self._slave, self._stop_r, self._stop_w):
            os.close(fd)

    def _write_lines(self, lines):
        data = "".join("\r\n%s\r\n" % line for line in lines).encode()
        try:
            os.write(self._master, data)
        except OSError:
            pass  # nobody has the port open: the bytes have nowhere to go

    def _serve(self):
        pending = b""
        while True:
            ready, _, _ = select.select([self._master, self._stop_r], [], [])
            if self._stop_r in ready:
                return
            try:
                pending += os.read(self._master, 4096)
            except OSError:
                continue
            while b"\r" in pending:
                line, _, pending = pending.partition(b"\r")
                text = line.decode(errors="replace").strip("\n")
                with self._lock:
                    replies = self.modem.answer(text)
                    if self.modem.echo and replies:
                        os.write(self._master, (replies.pop(0) + "\r").encode())
                    self._write_lines(replies)
