// The media event parser over fuzzed replies: no crash, no read past what the drive sent,
// and a status only from a reply long enough to hold one.
#include <cstdlib>
#include <vector>

#include "MmcMedium.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly the bytes sent, so that the sanitizer sees any read past them.
  const std::vector<std::uint8_t> reply(data, data + size);
  const auto status = parseMediaEventReply(reply.data(), reply.size());
  if (status && (reply.size() < 6 || (reply[2] & 0x80) != 0)) std::abort();
  return 0;
}
