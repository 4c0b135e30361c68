#pragma once

#include <FLAC/stream_decoder.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "FlacProblem.h"
#include "ImageFile.h"

// libFLAC's stream decoder over an image file, one frame at a time. It reads no further
// than the size the file had when opened; a file that shrinks meanwhile is said to have.
// Every call is given the file it was opened on.
class FlacStream {
 public:
  // What a frame gives: its samples as 16-bit little-endian stereo bytes, or only their
  // count (a check of the whole file, which keeps none of them).
  enum class Samples { kKept, kCounted };

  // The decoder, past the file's metadata; its STREAMINFO said in info().
  static std::variant<std::unique_ptr<FlacStream>, FlacProblem> open(ImageFile& file,
                                                                     Samples samples,
                                                                     bool checkMd5);
  ~FlacStream();
  FlacStream(const FlacStream&) = delete;
  FlacStream& operator=(const FlacStream&) = delete;

  struct Info {
    unsigned channels = 0, bits = 0, rate = 0;
    std::uint64_t samples = 0;  // 0: not said
  };
  const Info& info() const { return streamInfo; }

  // Decodes the next frame: the one after frameStart(), or the first after a seek.
  std::optional<FlacProblem> next(ImageFile& file);
  // Moves to `sample`: the frame holding it is decoded, from that sample on. A seek that
  // fails with no frame found damaged found the file ending before the sample.
  std::optional<FlacProblem> seek(ImageFile& file, std::uint64_t sample);
  // Decodes the rest of the file, frame after frame, then checks the samples' MD5 (where
  // the decoder was opened to) and that there were as many as STREAMINFO says.
  std::optional<FlacProblem> decodeToEnd(ImageFile& file);

  // The frame decoded last: its first sample, its number of samples, and where kept, its
  // samples' bytes.
  std::uint64_t frameStart() const { return firstSample; }
  std::uint64_t frameEnd() const { return firstSample + frameSamples; }
  const std::vector<std::uint8_t>& frameBytes() const { return bytes; }

 private:
  struct Callbacks;
  FlacStream(Samples samples, std::uint64_t fileSize);
  // Runs a decoder call with the file at hand; the fault a callback found comes first.
  template <typename Call>
  std::optional<FlacProblem> with(ImageFile& file, Call call, FlacFault otherwise);

  std::unique_ptr<FLAC__StreamDecoder, void (*)(FLAC__StreamDecoder*)> decoder;
  Samples samples;
  std::uint64_t fileSize;
  ImageFile* file = nullptr;  // during a decoder call only
  std::uint64_t position = 0;
  std::optional<FlacProblem> fault;
  Info streamInfo;
  std::uint64_t firstSample = 0, frameSamples = 0;
  std::uint64_t inOrder = 0;  // samples decoded one frame after another from the start
  std::vector<std::uint8_t> bytes;
};
