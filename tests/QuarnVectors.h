// Wire vectors of the two Quarn calls: records filled the way the daemon's
// publishers fill them, each with the bytes that the binary protocol (strict
// write, sequence id 0) must put on the wire for the call, derived by hand.
// Shared by service_tests and quarn_wire_dump (which feeds the Python
// cross-check). Any thread.
#ifndef WANVOX_TESTS_QUARNVECTORS_H_
#define WANVOX_TESTS_QUARNVECTORS_H_

#include <string>
#include <vector>

#include "quarn_types.h"

struct QuarnVector {
  const char* name;
  std::string (*callBytes)();  // the call message as QuarnClient writes it
  std::string hex;             // the expected bytes; spaces are for reading only
};

const std::vector<QuarnVector>& QuarnVectors();

// Lower-case hex of |bytes|, and |hex| without its spaces.
std::string ToHex(const std::string& bytes);
std::string SquashHex(const std::string& hex);

// Records of the vectors, for tests that send them for real.
quarn::stCellularInfo NoModemRecord();
quarn::stModemInfo InternalSummary();

#endif  // WANVOX_TESTS_QUARNVECTORS_H_
