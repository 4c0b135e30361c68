#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The CRC-32 of zip and PNG (reflected polynomial EDB88320h, starting from and ending
// inverted), as rippers give it for a track's samples. A table of 256 entries rather than
// zlib: the library is built for three platforms, each of which would need its own static,
// position-independent zlib, for these few lines.
class Crc32 {
 public:
  void add(const std::uint8_t* data, std::size_t size) {
    static const std::array<std::uint32_t, 256> table = makeTable();
    for (std::size_t i = 0; i < size; ++i) {
      state = table[(state ^ data[i]) & 0xff] ^ state >> 8;
    }
  }
  std::uint32_t value() const { return ~state; }

 private:
  static std::array<std::uint32_t, 256> makeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int bit = 0; bit < 8; ++bit) c = (c & 1) != 0 ? 0xedb88320u ^ c >> 1 : c >> 1;
      table[n] = c;
    }
    return table;
  }

  std::uint32_t state = 0xffffffffu;
};
