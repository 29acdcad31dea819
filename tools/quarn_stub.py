#!/usr/bin/python3
"""A minimal Quarn for a Debian system without the build: a Thrift server on 127.0.0.1:9090 that
answers SetModemInfo and TEL_SendMDM with 0 and prints one JSON line per call, with the fields that
were set. It is Apache Thrift's own Python library (python3-thrift) over Python code generated from
service/quarn.thrift, so it shares no code with the daemon's client.

    thrift --gen py -out GEN service/quarn.thrift
    quarn_stub.py GEN

The boot test (tests/boot/run) runs it inside the booted container, where the monitor of
tools/quarnmon is not built.
"""

import json
import sys

from thrift.protocol.TBinaryProtocol import TBinaryProtocolFactory
from thrift.server.TServer import TSimpleServer
from thrift.transport.TSocket import TServerSocket
from thrift.transport.TTransport import TBufferedTransportFactory


class Handler:
    @staticmethod
    def _print(call, record):
        fields = {name: value for name, value in vars(record).items() if value is not None}
        print(json.dumps({"call": call, **fields}), flush=True)
        return 0

    def SetModemInfo(self, sInfo):
        return self._print("SetModemInfo", sInfo)

    def TEL_SendMDM(self, sModemInfo):
        return self._print("TEL_SendMDM", sModemInfo)


def main():
    sys.path.insert(0, sys.argv[1])
    from quarn import Quarn

    server = TSimpleServer(Quarn.Processor(Handler()), TServerSocket(host="127.0.0.1", port=9090),
                           TBufferedTransportFactory(), TBinaryProtocolFactory())
    server.serve()


if __name__ == "__main__":
    main()
