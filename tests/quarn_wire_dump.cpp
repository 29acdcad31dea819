// quarn_wire_dump: prints "<name>\t<hex>\t<the call as the Quarn monitor
// reports it>" for each hand-derived wire vector, for quarn_wire_check.py.

#include <cstdio>
#include <string>

#include "tests/QuarnVectors.h"
#include "tools/quarnmon/QuarnMonitorHandler.h"

int main() {
  for (const quarn_vectors::Vector& v : quarn_vectors::Vectors()) {
    std::string call;
    QuarnMonitorHandler handler([&call](const std::string& line) { call = line; });
    v.summary ? handler.TEL_SendMDM(v.modem) : handler.SetModemInfo(v.cellular);
    printf("%s\t%s\t%s\n", v.name, v.hex.c_str(), call.c_str());
  }
  return 0;
}
