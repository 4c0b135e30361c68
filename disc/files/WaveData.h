#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "ImageFile.h"

// Where a WAVE file of CD audio keeps its samples.
struct WaveData {
  std::uint64_t offset = 0;
  std::uint64_t bytes = 0;
};

// Finds the samples of a RIFF WAVE file of 16-bit stereo PCM at 44.1 kHz, walking its
// chunks; what else it is, or where it is cut short, as a problem.
std::variant<WaveData, std::string> findWaveData(ImageFile& file);
