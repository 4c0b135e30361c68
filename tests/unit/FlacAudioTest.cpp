#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CueImage.h"
#include "FlacAudio.h"
#include "TempFolder.h"

namespace {

constexpr std::uint32_t kSamples = 225 * 588;  // whole sectors, as a disc holds; a last block short

struct Format {
  unsigned channels = 2, bits = 16, rate = 44100;
  unsigned blockSize = 4096;
  bool seekTable = true;
  bool lengthKnown = true;  // without a seek callback the encoder can not write it back
};

// The sample value of channel `channel` at `sample`, as make_image.py makes them.
FLAC__int32 valueAt(std::uint32_t sample, unsigned channel, unsigned bits) {
  const std::uint32_t word = (sample * 2654435761u + 12345u) >> (channel * 16);
  const auto value = static_cast<std::int16_t>(word & 0xffff);
  return bits == 16 ? value : value * (1 << (bits - 16));
}

// The CD audio bytes of samples [first, first + count).
std::string cdBytes(std::uint32_t first, std::uint32_t count) {
  std::string bytes;
  for (std::uint32_t s = first; s < first + count; ++s) {
    for (unsigned channel = 0; channel < 2; ++channel) {
      const auto value = static_cast<std::uint16_t>(valueAt(s, channel, 16));
      bytes += static_cast<char>(value & 0xff);
      bytes += static_cast<char>(value >> 8);
    }
  }
  return bytes;
}

struct Encoded {
  std::string bytes;
  std::size_t at = 0;
};

FLAC__StreamEncoderWriteStatus put(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                   std::size_t count, unsigned, unsigned, void* data) {
  Encoded& out = *static_cast<Encoded*>(data);
  if (out.bytes.size() < out.at + count) out.bytes.resize(out.at + count);
  out.bytes.replace(out.at, count, reinterpret_cast<const char*>(buffer), count);
  out.at += count;
  return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

FLAC__StreamEncoderSeekStatus moveTo(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* data) {
  static_cast<Encoded*>(data)->at = static_cast<std::size_t>(offset);
  return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
}

FLAC__StreamEncoderTellStatus tellAt(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* data) {
  *offset = static_cast<Encoded*>(data)->at;
  return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

// kSamples samples in a FLAC file of the given format, made by libFLAC's encoder.
std::string flacOf(const Format& format) {
  FLAC__StreamEncoder* encoder = FLAC__stream_encoder_new();
  FLAC__stream_encoder_set_channels(encoder, format.channels);
  FLAC__stream_encoder_set_bits_per_sample(encoder, format.bits);
  FLAC__stream_encoder_set_sample_rate(encoder, format.rate);
  FLAC__stream_encoder_set_blocksize(encoder, format.blockSize);
  if (format.lengthKnown) FLAC__stream_encoder_set_total_samples_estimate(encoder, kSamples);
  FLAC__StreamMetadata* table = FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE);
  FLAC__metadata_object_seektable_template_append_spaced_points(table, 8, kSamples);
  if (format.seekTable) FLAC__stream_encoder_set_metadata(encoder, &table, 1);
  Encoded out;
  FLAC__stream_encoder_init_stream(encoder, put, format.lengthKnown ? moveTo : nullptr,
                                   format.lengthKnown ? tellAt : nullptr, nullptr, &out);
  std::vector<FLAC__int32> interleaved;
  for (std::uint32_t s = 0; s < kSamples; ++s) {
    for (unsigned channel = 0; channel < format.channels; ++channel) {
      interleaved.push_back(valueAt(s, channel, format.bits));
    }
  }
  FLAC__stream_encoder_process_interleaved(encoder, interleaved.data(), kSamples);
  FLAC__stream_encoder_finish(encoder);
  FLAC__stream_encoder_delete(encoder);
  FLAC__metadata_object_delete(table);
  return out.bytes;
}

std::unique_ptr<FlacAudio> openedOrFail(ImageFile& file) {
  auto opened = FlacAudio::open(file);
  if (auto* problem = std::get_if<FlacProblem>(&opened)) {
    ADD_FAILURE() << flacProblemText(*problem);
    return nullptr;
  }
  return std::move(std::get<std::unique_ptr<FlacAudio>>(opened));
}

ImageFile fileOf(const TempFolder& folder, const std::string& contents) {
  return std::get<ImageFile>(ImageFile::open(folder.write("a.flac", contents)));
}

struct Reading {
  const char* what;
  Format format;
};

// Reads that jump back, skip ahead, cross frames and end at the last sample give the
// samples encoded, however the file was made.
TEST(FlacAudio, ReadsTheSamplesAtAnyPosition) {
  Format noTable;
  noTable.seekTable = false;
  Format smallBlocks;
  smallBlocks.blockSize = 1152;
  const Reading cases[] = {{"seek table", Format{}}, {"none", noTable}, {"1152", smallBlocks}};
  const std::pair<std::uint32_t, std::uint32_t> reads[] = {
      {0, 588},      {588, 5000}, {100000, 588},        {3, 1},
      {60000, 9000}, {4095, 2},   {kSamples - 588, 588}};
  for (const Reading& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    ImageFile file = fileOf(folder, flacOf(c.format));
    auto audio = openedOrFail(file);
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->bytes(), std::uint64_t{kSamples} * 4);
    for (const auto& [first, count] : reads) {
      std::string got(std::size_t{count} * 4, '\0');
      const auto problem = audio->read(file, std::uint64_t{first} * 4, got.size(),
                                       reinterpret_cast<std::uint8_t*>(got.data()));
      ASSERT_FALSE(problem) << flacProblemText(*problem);
      EXPECT_EQ(got, cdBytes(first, count)) << first;
    }
  }
}

struct Refused {
  const char* what;
  std::string contents;
  FlacFault fault;
  std::string says;
};

std::string withByteFlipped(std::string bytes, std::size_t at) {
  bytes[at] = static_cast<char>(bytes[at] ^ 0x10);
  return bytes;
}

// The offset of STREAMINFO's MD5: after "fLaC", the block's header and 18 bytes of it.
constexpr std::size_t kMd5At = 4 + 4 + 18;

TEST(FlacAudio, RefusesWhatIsNotWholeCdAudioByName) {
  const std::string good = flacOf(Format{});
  Format deep, fast, mono, unsaid;
  deep.bits = 24;
  fast.rate = 48000;
  mono.channels = 1;
  unsaid.lengthKnown = false;
  const Refused atOpening[] = {
      {"24-bit", flacOf(deep), FlacFault::kNotCdAudio, "2 channels of 24-bit samples at 44100"},
      {"48 kHz", flacOf(fast), FlacFault::kNotCdAudio, "at 48000 Hz"},
      {"mono", flacOf(mono), FlacFault::kNotCdAudio, "1 channels of 16-bit"},
      {"no length", flacOf(unsaid), FlacFault::kNoLength, "does not say how many"},
      {"cut", good.substr(0, good.size() - 3000), FlacFault::kCutShort, "cut short"},
      {"the last frame", withByteFlipped(good, good.size() - 500), FlacFault::kCutShort,
       "damaged at its end: sample " + std::to_string(kSamples - 1) + ","},
      {"no stream", "fLaC" + std::string(100, 'x'), FlacFault::kNotFlac, "not a FLAC"},
      // STREAMINFO, then a last block that claims 16 MB where the file ends.
      {"a block past the end", good.substr(0, 42) + "\x81\xff\xff\xff" + good.substr(50, 100),
       FlacFault::kNotFlac, "not a FLAC"},
  };
  for (const Refused& c : atOpening) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    ImageFile file = fileOf(folder, c.contents);
    ASSERT_TRUE(looksLikeFlac(file));
    const auto opened = FlacAudio::open(file);
    ASSERT_TRUE(std::holds_alternative<FlacProblem>(opened));
    EXPECT_EQ(std::get<FlacProblem>(opened).fault, c.fault);
    EXPECT_NE(flacProblemText(std::get<FlacProblem>(opened)).find(c.says), std::string::npos)
        << flacProblemText(std::get<FlacProblem>(opened));
  }
  // These open, but no read of them gives samples: not even of a part far from the damage.
  const Refused atReading[] = {
      {"a byte of a frame", withByteFlipped(good, good.size() / 2), FlacFault::kDamaged,
       "a damaged FLAC file: a frame near sample"},
      {"the MD5", withByteFlipped(good, kMd5At + 3), FlacFault::kWrongMd5, "MD5"},
  };
  for (const Refused& c : atReading) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    ImageFile file = fileOf(folder, c.contents);
    auto audio = openedOrFail(file);
    ASSERT_NE(audio, nullptr);
    for (int again = 0; again < 2; ++again) {
      std::string got(588 * 4, '\0');
      const auto problem =
          audio->read(file, 0, got.size(), reinterpret_cast<std::uint8_t*>(got.data()));
      ASSERT_TRUE(problem);
      EXPECT_EQ(problem->fault, c.fault);
      EXPECT_NE(flacProblemText(*problem).find(c.says), std::string::npos)
          << flacProblemText(*problem);
    }
  }
}

TEST(FlacAudio, SaysAFileShrankWhileRead) {
  TempFolder folder;
  const std::string good = flacOf(Format{});
  ImageFile file = fileOf(folder, good);
  auto audio = openedOrFail(file);
  ASSERT_NE(audio, nullptr);
  std::filesystem::resize_file(folder.path() + "/a.flac", good.size() / 2);
  std::string got(588 * 4, '\0');
  const auto problem =
      audio->read(file, 0, got.size(), reinterpret_cast<std::uint8_t*>(got.data()));
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->fault, FlacFault::kShrank);
}

// A sheet may name a FLAC file as WAVE or as FLAC: its sectors are the samples; a damaged
// one fails its reads, named.
TEST(FlacAudio, ServesACueImagesSectors) {
  const std::string good = flacOf(Format{});
  const struct {
    const char* type;
    std::string contents;
    bool reads;
  } cases[] = {{"WAVE", good, true},
               {"FLAC", good, true},
               {"WAVE", withByteFlipped(good, good.size() / 3), false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    TempFolder folder;
    folder.write("a.flac", c.contents);
    const std::string sheet = folder.write("disc.cue", std::string("FILE \"a.flac\" ") + c.type +
                                                           "\nTRACK 01 AUDIO\nINDEX 01 0:0:0\n");
    auto opened = CueImage::open(sheet);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<CueImage>>(opened))
        << std::get<DiscFailure>(opened).detail;
    AudioDrive& image = *std::get<std::unique_ptr<CueImage>>(opened);
    EXPECT_EQ(image.toc().leadOut, 150 + (kSamples + 587) / 588);
    std::string got(std::size_t{10} * kAudioFrameBytes, '\0');
    const SectorsRead read =
        image.sectors().read(75, 10, reinterpret_cast<std::uint8_t*>(got.data()));
    if (c.reads) {
      ASSERT_EQ(read.status, SectorsRead::Status::kRead);
      EXPECT_EQ(got, cdBytes(75 * 588, 10 * 588));
    } else {
      ASSERT_EQ(read.status, SectorsRead::Status::kFailed);
      EXPECT_NE(read.failure->detail.find("'a.flac': a damaged FLAC file"), std::string::npos)
          << read.failure->detail;
    }
  }
}

}  // namespace
