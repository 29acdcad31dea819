// libFuzzer target for BEPMessage::parse. The first input byte picks the
// trace level (odd: every trace on), so the trace formatting is fuzzed too;
// the rest is the datagram, copied into a buffer of exactly its size so that
// AddressSanitizer catches any read past it. Every input is also rebuilt
// with build_message and parsed back.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "routers/BEPMessage.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The traces would drown the fuzzer's own output.
  return freopen("/dev/null", "w", stdout) == nullptr;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int level = data[0] & 1 ? 9 : 0;
  std::vector<unsigned char> datagram(data + 1, data + size);
  BEPMessage message(level);
  message.parse(datagram.data(), static_cast<int>(datagram.size()));

  message.build_message();
  std::vector<unsigned char> built = message.outMessage;
  BEPMessage receiver(level);
  receiver.parse(built.data(), static_cast<int>(built.size()));
  return 0;
}
