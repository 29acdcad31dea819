// libFuzzer target for BEPMessage. The first byte picks the trace level (odd:
// all traces); the rest is the datagram, in a buffer of exactly its size for
// AddressSanitizer. What was parsed is then built and parsed back.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "routers/BEPMessage.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  return freopen("/dev/null", "w", stdout) == nullptr;  // traces would drown libFuzzer's output
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::vector<unsigned char> datagram(data + 1, data + size);
  BEPMessage message(data[0] & 1 ? 9 : 0);
  message.parse(datagram.data(), static_cast<int>(datagram.size()));
  message.build_message();
  std::vector<unsigned char> built = message.outMessage;
  message.parse(built.data(), static_cast<int>(built.size()));
  return 0;
}
