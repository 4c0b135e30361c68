#pragma once

#include <array>
#include <cstdint>

// MMC's READ CD (BEh) of `count` sectors from `lba`: the expected sector type (byte 1; 0 for
// any), what of the main channel to return (byte 9) and which sub-channel data (byte 10).
inline std::array<std::uint8_t, 12> readCdCommand(std::uint32_t lba, std::uint32_t count,
                                                  std::uint8_t sectorType, std::uint8_t mainChannel,
                                                  std::uint8_t subChannel) {
  return {0xbe,
          sectorType,
          static_cast<std::uint8_t>(lba >> 24),
          static_cast<std::uint8_t>(lba >> 16),
          static_cast<std::uint8_t>(lba >> 8),
          static_cast<std::uint8_t>(lba),
          static_cast<std::uint8_t>(count >> 16),
          static_cast<std::uint8_t>(count >> 8),
          static_cast<std::uint8_t>(count),
          mainChannel,
          subChannel,
          0};
}
