#pragma once

#include <cstddef>
#include <cstdint>

// The CRC of the Q sub-channel and of CD-Text packs: polynomial 1021h, starting from 0,
// stored inverted and big-endian after the bytes it covers.
inline std::uint16_t crc16(const std::uint8_t* data, std::size_t size) {
  std::uint16_t crc = 0;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= static_cast<std::uint16_t>(data[i] << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<std::uint16_t>((crc & 0x8000) != 0 ? crc << 1 ^ 0x1021 : crc << 1);
    }
  }
  return crc;
}

// Whether the two bytes after `size` bytes hold their CRC.
inline bool crcHolds(const std::uint8_t* data, std::size_t size) {
  const std::uint16_t stored = static_cast<std::uint16_t>(data[size] << 8 | data[size + 1]);
  return static_cast<std::uint16_t>(~crc16(data, size)) == stored;
}
