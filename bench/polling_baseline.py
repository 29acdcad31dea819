"""The polling baseline of bench/wakeups: what a plain script doing the daemon's modem job costs.

    polling_baseline.py --address BUS --quarn-call PATH [--period 6]

Every period it asks ModemManager for its objects (GetManagedObjects), reads the SIM, 3GPP and
Signal properties of each modem (GetAll), each with the gdbus command-line tool, and posts one
record to Quarn with bench's quarn_call (a no-modem record when there is no modem). SIGUSR1 makes
it print one JSON line with its own resource use and that of every child it has reaped (getrusage
RUSAGE_SELF and RUSAGE_CHILDREN: exact, short-lived children included), and the number of gdbus
runs so far. SIGTERM ends it. Run it inside a sandbox's gateway namespace only.
"""

import argparse
import json
import re
import resource
import signal
import subprocess
import sys
import time

MM = "org.freedesktop.ModemManager1"
MODEM = re.compile(r"objectpath '(/org/freedesktop/ModemManager1/Modem/\d+)'")
SIM = re.compile(r"'Sim': <objectpath '(/org/freedesktop/ModemManager1/SIM/\d+)'>")
TEXT = r"'%s': <'([^']*)'>"
NUMBER = r"'%s': <(?:uint32 )?(-?\d+)"


class Baseline:
    def __init__(self, address, quarn_call):
        self.address = address
        self.quarn_call = quarn_call
        self.gdbus_runs = 0

    def gdbus(self, path, method, *args):
        self.gdbus_runs += 1
        return subprocess.run(["gdbus", "call", "--address", self.address, "--dest", MM,
                               "--object-path", path, "--method", method] + list(args),
                              capture_output=True, text=True, check=False).stdout

    def get_all(self, path, interface):
        return self.gdbus(path, "org.freedesktop.DBus.Properties.GetAll", MM + "." + interface)

    def cycle(self):
        objects = self.gdbus("/org/freedesktop/ModemManager1",
                             "org.freedesktop.DBus.ObjectManager.GetManagedObjects")
        record = {"device_type": "0", "model": ""}
        for path in MODEM.findall(objects)[:1]:  # the gateway has one internal modem
            sim = SIM.search(objects)
            sim_text = self.get_all(sim.group(1), "Sim") if sim else ""
            gpp = self.get_all(path, "Modem.Modem3gpp")
            signal_text = self.get_all(path, "Modem.Signal")
            record = {"device_type": "2", "model": find(TEXT, "Model", objects),
                      "modemid": find(TEXT, "EquipmentIdentifier", objects),
                      "sim_id": find(TEXT, "SimIdentifier", sim_text),
                      "modem_state": find(NUMBER, "State", objects),
                      "modem_lte_registration_state": find(NUMBER, "RegistrationState", gpp),
                      "rssi": find(r"'%s': <(-?[\d.]+)", "rssi", signal_text)}
        subprocess.run([self.quarn_call] + ["%s=%s" % kv for kv in record.items()],
                       stdout=subprocess.DEVNULL, check=False)

    def report(self, *_):
        own = resource.getrusage(resource.RUSAGE_SELF)
        children = resource.getrusage(resource.RUSAGE_CHILDREN)
        print(json.dumps({"mono": time.monotonic(), "gdbus_runs": self.gdbus_runs,
                          "cpu": own.ru_utime + own.ru_stime + children.ru_utime +
                          children.ru_stime,
                          "voluntary": own.ru_nvcsw + children.ru_nvcsw,
                          "involuntary": own.ru_nivcsw + children.ru_nivcsw}), flush=True)


def find(pattern, name, text):
    match = re.search(pattern % name, text)
    return match.group(1) if match else ""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--address", required=True)
    parser.add_argument("--quarn-call", required=True)
    parser.add_argument("--period", type=float, default=6.0)
    options = parser.parse_args()
    baseline = Baseline(options.address, options.quarn_call)
    signal.signal(signal.SIGUSR1, baseline.report)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print(json.dumps({"ready": True}), flush=True)
    next_cycle = time.monotonic()
    while True:
        baseline.cycle()
        next_cycle += options.period
        time.sleep(max(0.0, next_cycle - time.monotonic()))


if __name__ == "__main__":
    main()
