// The sub-channel parsers over fuzzed replies (the first byte chooses: READ SUB-CHANNEL's
// catalog number or ISRC, or one sector's Q data, its ISRC or its position): no crash, no
// read past what the drive sent, and every value given passes its validation. Mutated Q
// data keeps its CRC right.
#include <cstdlib>
#include <vector>

#include "CrcKeepingMutator.h"
#include "DiscExtras.h"
#include "MmcSubchannel.h"

namespace {
constexpr std::uint8_t kQData = 2;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t maxSize, unsigned seed) {
  size = LLVMFuzzerMutate(data, size, maxSize);
  // Only Q data has a CRC; READ SUB-CHANNEL's replies have none.
  if (size > 0 && data[0] % 3 == kQData) writeCrcs(data, size, seed, {1, kQBytes, 10});
  return size;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // A copy of exactly the bytes sent, so that the sanitizer sees any read past them.
  const std::vector<std::uint8_t> reply(data + 1, data + size);
  switch (data[0] % 3) {
    case 0:
      if (const auto number = parseCatalogNumberReply(reply.data(), reply.size())) {
        if (!validMediaCatalogNumber(*number)) std::abort();
      }
      break;
    case 1:
      if (const auto isrc = parseIsrcReply(reply.data(), reply.size())) {
        if (!validIsrc(*isrc)) std::abort();
      }
      break;
    case kQData:
      if (reply.size() < kQBytes) return 0;
      if (const auto isrc = isrcOfQ(reply.data())) {
        if (!validIsrc(*isrc)) std::abort();
      }
      // A position is a track of the disc's, an index and a time a CD can hold.
      if (const auto position = positionOfQ(reply.data())) {
        if (position->track < 1 || position->track > 99 || position->index > 99 ||
            position->absolute >= 100 * 60 * 75) {
          std::abort();
        }
      }
  }
  return 0;
}
