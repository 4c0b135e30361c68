#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "FlacProblem.h"
#include "FlacStream.h"
#include "ImageFile.h"

// Whether a file starts as a FLAC stream does, "fLaC" (some files put an ID3 tag first).
bool looksLikeFlac(ImageFile& file);

// A FLAC file of CD audio, decoded by libFLAC, read as the bytes of 16-bit little-endian
// stereo samples a WAVE file's data would hold. Every call is given the file it was opened
// on, which the caller keeps open for as long as this lives.
class FlacAudio {
 public:
  // Reads the file's STREAMINFO and refuses what is not CD audio, and a file cut before
  // its last sample.
  static std::variant<std::unique_ptr<FlacAudio>, FlacProblem> open(ImageFile& file);
  FlacAudio(const FlacAudio&) = delete;
  FlacAudio& operator=(const FlacAudio&) = delete;

  // The bytes its samples take as 16-bit stereo.
  std::uint64_t bytes() const;
  // Reads `count` bytes of samples from byte `at` (both whole samples, within bytes()).
  // The first read decodes the whole file first, checking every frame's CRC, the number of
  // samples and their MD5: a file that fails is refused from then on, so that no part of it
  // counts as read.
  std::optional<FlacProblem> read(ImageFile& file, std::uint64_t at, std::size_t count,
                                  std::uint8_t* out);

 private:
  explicit FlacAudio(std::unique_ptr<FlacStream> stream) : stream(std::move(stream)) {}
  std::optional<FlacProblem> checkWhole(ImageFile& file);

  std::unique_ptr<FlacStream> stream;
  std::optional<std::optional<FlacProblem>> wholeChecked;
};
