#include "WaveData.h"

#include <algorithm>
#include <array>

#include "Frames.h"

namespace {

constexpr std::uint32_t kPcm = 1;
constexpr std::uint32_t kCdRate = 44100;
constexpr std::uint32_t kRiffHeaderBytes = 12;
constexpr std::uint32_t kChunkHeaderBytes = 8;
constexpr std::uint32_t kFormatBytes = 16;

std::uint32_t littleEndian(const std::uint8_t* bytes, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

bool named(const std::uint8_t* bytes, const char (&name)[5]) {
  return std::equal(bytes, bytes + 4, name);
}

std::string formatProblem(const std::array<std::uint8_t, kFormatBytes>& format) {
  const std::uint32_t type = littleEndian(&format[0], 2);
  const std::uint32_t channels = littleEndian(&format[2], 2);
  const std::uint32_t rate = littleEndian(&format[4], 4);
  const std::uint32_t bits = littleEndian(&format[14], 2);
  if (type == kPcm && channels == 2 && rate == kCdRate && bits == 16) return "";
  return "a WAVE file of " + std::to_string(channels) + " channels of " + std::to_string(bits) +
         "-bit " + (type == kPcm ? "PCM" : "coded audio (format " + std::to_string(type) + ")") +
         " at " + std::to_string(rate) + " Hz, not CD audio (16-bit stereo PCM at 44100 Hz)";
}

}  // namespace

std::variant<WaveData, std::string> findWaveData(ImageFile& file) {
  std::array<std::uint8_t, kRiffHeaderBytes> riff{};
  if (file.readAt(0, riff.size(), riff.data()) != riff.size() || !named(&riff[0], "RIFF") ||
      !named(&riff[8], "WAVE")) {
    return std::string("not a WAVE file (no RIFF WAVE header)");
  }
  bool formatSeen = false;
  for (std::uint64_t at = kRiffHeaderBytes; at + kChunkHeaderBytes <= file.size();) {
    std::array<std::uint8_t, kChunkHeaderBytes> chunk{};
    if (file.readAt(at, chunk.size(), chunk.data()) != chunk.size()) break;
    const std::uint64_t size = littleEndian(&chunk[4], 4);
    const std::uint64_t body = at + kChunkHeaderBytes;
    if (named(&chunk[0], "fmt ")) {
      std::array<std::uint8_t, kFormatBytes> format{};
      if (size < kFormatBytes || file.readAt(body, format.size(), format.data()) != format.size()) {
        return std::string("a WAVE file whose format chunk is cut short");
      }
      const std::string problem = formatProblem(format);
      if (!problem.empty()) return problem;
      formatSeen = true;
    } else if (named(&chunk[0], "data")) {
      if (!formatSeen) return std::string("a WAVE file without a format before its samples");
      const std::uint64_t held = std::min(size, file.size() - body);
      return WaveData{body, held, size - held};
    }
    at = body + size + (size & 1);  // chunks are padded to an even size
  }
  return std::string("a WAVE file without samples (no data chunk)");
}
