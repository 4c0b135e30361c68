#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The CRC-32 of zip and PNG (reflected polynomial EDB88320h, starting from and ending
// inverted), as rippers give it for a track's samples. Eight bytes a step, through eight
// tables ("slicing by 8"). Written here rather than taken from zlib: the library is built
// for three platforms, each of which would need its own static, position-independent
// zlib, for these few lines.
class Crc32 {
 public:
  void add(const std::uint8_t* data, std::size_t size) {
    static const Tables tables = makeTables();
    std::uint32_t crc = state;
    for (; size >= 8; data += 8, size -= 8) {
      const std::uint32_t low = crc ^ (std::uint32_t{data[0]} | std::uint32_t{data[1]} << 8 |
                                       std::uint32_t{data[2]} << 16 | std::uint32_t{data[3]} << 24);
      crc = tables[7][low & 0xff] ^ tables[6][low >> 8 & 0xff] ^ tables[5][low >> 16 & 0xff] ^
            tables[4][low >> 24] ^ tables[3][data[4]] ^ tables[2][data[5]] ^ tables[1][data[6]] ^
            tables[0][data[7]];
    }
    for (; size > 0; ++data, --size) crc = tables[0][(crc ^ *data) & 0xff] ^ crc >> 8;
    state = crc;
  }
  std::uint32_t value() const { return ~state; }

 private:
  using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

  // tables[0]: a byte's CRC; tables[k]: that of the byte followed by k zero bytes.
  static Tables makeTables() {
    Tables tables{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int bit = 0; bit < 8; ++bit) c = (c & 1) != 0 ? 0xedb88320u ^ c >> 1 : c >> 1;
      tables[0][n] = c;
    }
    for (std::uint32_t n = 0; n < 256; ++n) {
      for (std::size_t k = 1; k < tables.size(); ++k) {
        tables[k][n] = tables[0][tables[k - 1][n] & 0xff] ^ tables[k - 1][n] >> 8;
      }
    }
    return tables;
  }

  std::uint32_t state = 0xffffffffu;
};
