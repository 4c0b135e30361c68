#pragma once

#include <cstddef>
#include <cstdint>
#include <random>

#include "Crc16.h"

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

// Frames of `frameSize` bytes from `first` on, each with the CRC of its first `covered`
// bytes after them, as CD-Text packs and Q sub-channel frames are.
struct CrcFrames {
  std::size_t first, frameSize, covered;
};

// Writes each frame's CRC after a mutation (LLVMFuzzerMutate): a random mutation almost
// never leaves one right, and the parser behind the check would stay out of reach. One frame
// in 16 keeps what the mutation left, so that a bad CRC is still tried.
inline void writeCrcs(std::uint8_t* data, std::size_t size, unsigned seed,
                      const CrcFrames& frames) {
  std::minstd_rand random(seed);
  for (std::size_t at = frames.first; at + frames.frameSize <= size; at += frames.frameSize) {
    if (random() % 16 == 0) continue;
    const auto crc = static_cast<std::uint16_t>(~crc16(data + at, frames.covered));
    data[at + frames.covered] = static_cast<std::uint8_t>(crc >> 8);
    data[at + frames.covered + 1] = static_cast<std::uint8_t>(crc);
  }
}
