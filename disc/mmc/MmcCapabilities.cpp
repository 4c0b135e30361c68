#include "MmcCapabilities.h"

namespace {

constexpr std::uint8_t kModeSense10 = 0x5a;
constexpr std::uint8_t kDisableBlockDescriptors = 0x08;
constexpr std::uint8_t kCapabilitiesPage = 0x2a;
constexpr std::size_t kHeaderBytes = 8;
constexpr std::uint8_t kC2PointersBit = 0x10;

}  // namespace

std::array<std::uint8_t, 10> modeSenseCapabilitiesCommand() {
  return {kModeSense10,
          kDisableBlockDescriptors,
          kCapabilitiesPage,
          0,
          0,
          0,
          0,
          static_cast<std::uint8_t>(kCapabilitiesReplyBytes >> 8),
          static_cast<std::uint8_t>(kCapabilitiesReplyBytes),
          0};
}

std::optional<DriveCapabilities> parseCapabilities(const std::uint8_t* reply, std::size_t size) {
  if (size < kHeaderBytes) return std::nullopt;
  // Drives may send block descriptors though asked not to: the header says how long.
  const std::size_t page = kHeaderBytes + (std::size_t{reply[6]} << 8 | reply[7]);
  if (page + 14 > size || (reply[page] & 0x3f) != kCapabilitiesPage || reply[page + 1] < 12) {
    return std::nullopt;
  }
  return DriveCapabilities{std::uint32_t{reply[page + 12]} << 8 | reply[page + 13],
                           (reply[page + 5] & kC2PointersBit) != 0};
}
