// libFuzzer target for EventMessage::parse. The first byte picks the trace
// level (odd: all traces); the rest is the datagram, in a buffer of exactly
// its size for AddressSanitizer. One object per level takes every input.
#include <cstdint>
#include <cstdio>
#include <vector>

#include <libxml/xmlerror.h>

#include "routers/EventMessage.h"

static void ignoreXmlError(void*, const char*, ...) {}

// libxml2's complaints and the traces would drown libFuzzer's own output.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  xmlSetGenericErrorFunc(nullptr, ignoreXmlError);
  return freopen("/dev/null", "w", stdout) == nullptr;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static EventMessage quiet(0), verbose(9);
  if (size == 0) return 0;
  std::vector<unsigned char> datagram(data + 1, data + size);
  (data[0] & 1 ? verbose : quiet).parse(datagram.data(), static_cast<int>(datagram.size()));
  return 0;
}
