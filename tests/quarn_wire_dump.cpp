// quarn_wire_dump: prints each Quarn wire vector as "<name> <hex>", the bytes
// as QuarnClient writes them, for the cross-check with Apache Thrift's own
// Python library (quarn_wire_check.py).

#include <cstdio>

#include "tests/QuarnVectors.h"

int main() {
  for (const QuarnVector& vector : QuarnVectors()) {
    printf("%s %s\n", vector.name, ToHex(vector.callBytes()).c_str());
  }
  return 0;
}
