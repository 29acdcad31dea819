// libFuzzer target for EventMessage::parse. The first input byte picks the
// trace level (odd: every trace on); the rest is the datagram, copied into a
// buffer of exactly its size so that AddressSanitizer catches any read past
// it. One object takes every input, as the listener's does.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include "routers/EventMessage.h"

namespace {

void ignoreXmlError(void*, const char*, ...) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // libxml2's complaints and the traces would drown the fuzzer's output.
  xmlSetGenericErrorFunc(nullptr, ignoreXmlError);
  return freopen("/dev/null", "w", stdout) == nullptr;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static EventMessage quiet(0), verbose(9);
  if (size == 0) return 0;
  std::vector<unsigned char> datagram(data + 1, data + size);
  EventMessage& message = data[0] & 1 ? verbose : quiet;
  message.parse(datagram.data(), static_cast<int>(datagram.size()));
  return 0;
}
