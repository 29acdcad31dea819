"""Reads the hand-derived Quarn wire vectors with Apache Thrift's own Python library.

Usage: quarn_wire_check.py THRIFT_COMPILER QUARN_THRIFT QUARN_WIRE_DUMP
Each vector must read, strictly and to its end, as the call quarn_wire_dump reports for it.
"""

import json
import subprocess
import sys
import tempfile
import unittest

from thrift.protocol.TBinaryProtocol import TBinaryProtocol
from thrift.Thrift import TMessageType
from thrift.transport.TTransport import TMemoryBuffer


class QuarnWireTest(unittest.TestCase):
    def test_python_reads_each_vector_as_its_call(self):
        thrift, idl, dump = sys.argv[1:4]
        with tempfile.TemporaryDirectory(prefix="quarn-py-") as generated:
            subprocess.run([thrift, "--gen", "py", "-out", generated, idl], check=True)
            sys.path.insert(0, generated)
            from quarn import Quarn
        out = subprocess.run([dump], check=True, capture_output=True, text=True).stdout
        vectors = [line.split("\t") for line in out.splitlines()]
        self.assertEqual(len(vectors), 4)
        for name, hex_bytes, call in vectors:
            with self.subTest(vector=name):
                expected = {k: v for k, v in json.loads(call).items() if k not in ("time", "mono")}
                method = expected.pop("call")
                buffer = TMemoryBuffer(bytes.fromhex(hex_bytes))
                protocol = TBinaryProtocol(buffer, strictRead=True)
                self.assertEqual(protocol.readMessageBegin(), (method, TMessageType.CALL, 0))
                args = getattr(Quarn, method + "_args")()
                args.read(protocol)
                self.assertEqual(buffer.cstringio_buf.read(), b"", "bytes left over")
                record = getattr(args, args.thrift_spec[1][2])  # argument 1
                self.assertEqual({k: v for k, v in vars(record).items() if v is not None}, expected)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
