"""Cross-checks the Quarn wire bytes with Apache Thrift's own Python library.

Usage: quarn_wire_check.py THRIFT_COMPILER QUARN_THRIFT QUARN_WIRE_DUMP

Generates Python code from quarn.thrift into a temporary directory, runs
quarn_wire_dump (which prints each call message as QuarnClient writes it),
and checks that the Python library decodes every message, with a strict
reader, to the expected method and record (unset fields stay None), and that
it encodes that record back to the very same bytes.
"""

import subprocess
import sys
import tempfile
import unittest

from thrift.protocol import TBinaryProtocol
from thrift.Thrift import TMessageType
from thrift.transport import TTransport

THRIFT, IDL, DUMP = sys.argv[1:4]


def expected_calls(ttypes):
    """Vector name -> (method, record), as the daemon's publishers fill them."""
    info, summary = ttypes.stCellularInfo, ttypes.stModemInfo
    devices = ttypes.eCellularDeviceTypes
    return {
        "internal": ("SetModemInfo", info(
            model="EXS82-W", modemid="351234567890123", rssi="-71", firmware="01.200",
            ip="100.72.14.9", roaming=False, phone_number="+15551230000",
            network_type="4G LTE", apn="internet", sim_id="8901260123456789012", gps_mode=0,
            current_bands="LTE B4", device_type=devices.INTERNAL,
            modem_state=ttypes.eCellularModemState.MODEM_STATE_FAILED,
            modem_error="SIM failure",
            modem_lte_registration_state=ttypes.eCellularLTERegistrationState
            .MODEM_3GPP_REGISTRATION_STATE_HOME,
            modem_sim_subscription_state=ttypes.eCellularSIMSubscriptionState
            .MODEM_3GPP_SUBSCRIPTION_STATE_PROVISIONED)),
        "no-modem": ("SetModemInfo", info(
            model="", modemid="", rssi="", firmware="", ip="", roaming=False, phone_number="",
            network_type="", apn="", sim_id="", gps_mode=-1, current_bands="",
            device_type=devices.NONE, modem_state=0, modem_lte_registration_state=4,
            modem_sim_subscription_state=0)),
        "bep-router": ("SetModemInfo", info(
            model="BT-5830v2", modemid="356789012345678", rssi="-75", firmware="2.1.4",
            ip="100.64.0.17", roaming=True, phone_number="+15559870000", network_type="LTE",
            apn="Unavailable", sim_id="Unavailable", gps_mode=1,
            device_type=devices.PLOTNODE_1_DIRECT)),
        "event-router": ("SetModemInfo", info(
            model="GX450-Sierra", modemid="353270040000000", rssi="-88", firmware="N/A",
            ip="100.64.0.30", roaming=False, phone_number="", network_type="HSPA+",
            apn="Unavailable", sim_id="Unavailable", gps_mode=0,
            device_type=devices.PLOTNODE_2_DIRECT)),
        "fresh-record": ("SetModemInfo", info(model="")),
        "internal-summary": ("TEL_SendMDM", summary(
            sModel="EXS82-W", sRSSI="-71", OperatorCode=310260, sRegState="Home",
            sCurrentBands="LTE B4")),
        "bep-summary": ("TEL_SendMDM", summary(sModel="BT-5830v2", sRSSI="75", sNetwork="N/A")),
    }


class QuarnWireTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.generated = tempfile.TemporaryDirectory(prefix="quarn-py-")
        subprocess.run([THRIFT, "--gen", "py", "-out", cls.generated.name, IDL], check=True)
        sys.path.insert(0, cls.generated.name)
        from quarn import Quarn, ttypes
        cls.service, cls.expected = Quarn, expected_calls(ttypes)
        dump = subprocess.run([DUMP], check=True, capture_output=True, text=True).stdout
        cls.vectors = dict(line.split(" ") for line in dump.splitlines())

    @classmethod
    def tearDownClass(cls):
        cls.generated.cleanup()

    def test_every_vector_is_dumped(self):
        self.assertEqual(sorted(self.vectors), sorted(self.expected))

    def test_decodes_to_the_expected_call(self):
        for name, hex_bytes in self.vectors.items():
            with self.subTest(vector=name):
                method, record = self.expected[name]
                wire = bytes.fromhex(hex_bytes)
                transport = TTransport.TMemoryBuffer(wire)
                protocol = TBinaryProtocol.TBinaryProtocol(transport, strictRead=True)
                self.assertEqual(protocol.readMessageBegin(), (method, TMessageType.CALL, 0))
                args = getattr(self.service, method + "_args")()
                args.read(protocol)
                protocol.readMessageEnd()
                self.assertEqual(transport.cstringio_buf.read(), b"", "bytes left over")
                decoded = args.sInfo if method == "SetModemInfo" else args.sModemInfo
                self.assertEqual(decoded, record)

    def test_reencodes_to_the_same_bytes(self):
        for name, hex_bytes in self.vectors.items():
            with self.subTest(vector=name):
                method, record = self.expected[name]
                transport = TTransport.TMemoryBuffer()
                protocol = TBinaryProtocol.TBinaryProtocol(transport, strictWrite=True)
                protocol.writeMessageBegin(method, TMessageType.CALL, 0)
                args = getattr(self.service, method + "_args")(record)
                args.write(protocol)
                protocol.writeMessageEnd()
                self.assertEqual(transport.getvalue().hex(), hex_bytes)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
