#include "FlacAudio.h"

#include <algorithm>

namespace {

constexpr std::uint64_t kBytesPerSample = 4;
constexpr unsigned kCdRate = 44100;
// A read this close ahead of the frame decoded last decodes on to it; further, it seeks.
constexpr std::uint64_t kDecodeAhead = 4 * kCdRate;

}  // namespace

bool looksLikeFlac(ImageFile& file) {
  std::uint8_t start[4] = {};
  const std::size_t got = file.readAt(0, sizeof start, start);
  return (got == 4 && std::equal(start, start + 4, "fLaC")) ||
         (got >= 3 && std::equal(start, start + 3, "ID3"));
}

std::variant<std::unique_ptr<FlacAudio>, FlacProblem> FlacAudio::open(ImageFile& file) {
  auto opened = FlacStream::open(file, FlacStream::Samples::kKept, false);
  if (auto* problem = std::get_if<FlacProblem>(&opened)) return *problem;
  auto& stream = std::get<std::unique_ptr<FlacStream>>(opened);
  const FlacStream::Info& info = stream->info();
  if (info.channels != 2 || info.bits != 16 || info.rate != kCdRate) {
    return FlacProblem{FlacFault::kNotCdAudio, 0, info.channels, info.bits, info.rate};
  }
  if (info.samples == 0) return FlacProblem{FlacFault::kNoLength};
  // Its last sample decodes, or the file was cut before it: the table laid out from
  // STREAMINFO's length would then be wrong.
  if (auto problem = stream->seek(file, info.samples - 1)) return *problem;
  return std::unique_ptr<FlacAudio>(new FlacAudio(std::move(stream)));
}

std::uint64_t FlacAudio::bytes() const { return stream->info().samples * kBytesPerSample; }

std::optional<FlacProblem> FlacAudio::checkWhole(ImageFile& file) {
  auto opened = FlacStream::open(file, FlacStream::Samples::kCounted, true);
  if (auto* problem = std::get_if<FlacProblem>(&opened)) return *problem;
  return std::get<std::unique_ptr<FlacStream>>(opened)->decodeToEnd(file);
}

std::optional<FlacProblem> FlacAudio::read(ImageFile& file, std::uint64_t at, std::size_t count,
                                           std::uint8_t* out) {
  if (!wholeChecked) wholeChecked = checkWhole(file);
  if (*wholeChecked) return *wholeChecked;
  std::uint64_t sample = at / kBytesPerSample;
  std::uint64_t left = count / kBytesPerSample;
  while (left > 0) {
    const std::uint64_t start = stream->frameStart(), end = stream->frameEnd();
    if (sample >= start && sample < end) {
      const std::uint64_t taken = std::min(left, end - sample);
      const auto from = stream->frameBytes().begin() +
                        static_cast<std::ptrdiff_t>((sample - start) * kBytesPerSample);
      out = std::copy(from, from + static_cast<std::ptrdiff_t>(taken * kBytesPerSample), out);
      sample += taken;
      left -= taken;
      continue;
    }
    auto problem = sample >= end && sample - end < kDecodeAhead ? stream->next(file)
                                                                : stream->seek(file, sample);
    if (problem) return problem;
  }
  return std::nullopt;
}
