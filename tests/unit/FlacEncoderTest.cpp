// The FLAC encoder's file, put together from its pieces and read back with libFLAC's
// decoder and metadata editor: the samples, STREAMINFO's count, the comments given at the
// end; and its refusals, a case a row.
#include <FLAC/metadata.h>
#include <FLAC/stream_decoder.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "FlacEncoder.h"

namespace {

std::vector<std::uint8_t> samplesOf(std::size_t count) {
  std::vector<std::uint8_t> bytes(count * 4);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>((i * 37) ^ (i >> 7));
  }
  return bytes;
}

// The file the pieces make, each written at its offset.
std::vector<std::uint8_t> fileOf(const std::vector<FlacEncoder::Piece>& pieces) {
  std::vector<std::uint8_t> file;
  for (const auto& piece : pieces) {
    if (file.size() < piece.offset + piece.bytes.size()) {
      file.resize(piece.offset + piece.bytes.size());
    }
    std::memcpy(file.data() + piece.offset, piece.bytes.data(), piece.bytes.size());
  }
  return file;
}

struct Decoding {
  explicit Decoding(const std::vector<std::uint8_t>& decoded) : file(decoded) {}
  const std::vector<std::uint8_t>& file;
  std::size_t position = 0;
  std::vector<std::uint8_t> samples;
  std::uint64_t total = 0;
};

FLAC__StreamDecoderReadStatus readFile(const FLAC__StreamDecoder*, FLAC__byte buffer[],
                                       std::size_t* bytes, void* data) {
  auto& decoding = *static_cast<Decoding*>(data);
  *bytes = std::min(*bytes, decoding.file.size() - decoding.position);
  std::memcpy(buffer, decoding.file.data() + decoding.position, *bytes);
  decoding.position += *bytes;
  return *bytes == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                     : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
}

FLAC__StreamDecoderWriteStatus takeFrame(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                         const FLAC__int32* const channels[], void* data) {
  auto& decoding = *static_cast<Decoding*>(data);
  for (unsigned i = 0; i < frame->header.blocksize; ++i) {
    for (unsigned channel = 0; channel < 2; ++channel) {
      decoding.samples.push_back(static_cast<std::uint8_t>(channels[channel][i] & 0xff));
      decoding.samples.push_back(static_cast<std::uint8_t>((channels[channel][i] >> 8) & 0xff));
    }
  }
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void takeMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block, void* data) {
  if (block->type == FLAC__METADATA_TYPE_STREAMINFO) {
    static_cast<Decoding*>(data)->total = block->data.stream_info.total_samples;
  }
}

void noError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus status, void*) {
  ADD_FAILURE() << FLAC__StreamDecoderErrorStatusString[status];
}

// Decodes the file with MD5 checking on; its samples and STREAMINFO's count.
Decoding decode(const std::vector<std::uint8_t>& file) {
  Decoding decoding{file};
  FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
  FLAC__stream_decoder_set_md5_checking(decoder, true);
  EXPECT_EQ(FLAC__stream_decoder_init_stream(decoder, readFile, nullptr, nullptr, nullptr, nullptr,
                                             takeFrame, takeMetadata, noError, &decoding),
            FLAC__STREAM_DECODER_INIT_STATUS_OK);
  EXPECT_TRUE(FLAC__stream_decoder_process_until_end_of_stream(decoder));
  EXPECT_TRUE(FLAC__stream_decoder_finish(decoder)) << "the samples' MD5 is not STREAMINFO's";
  FLAC__stream_decoder_delete(decoder);
  return decoding;
}

std::vector<std::string> commentsOf(const std::vector<std::uint8_t>& file) {
  // libFLAC's metadata reader takes files only: the test writes one.
  const std::string path = ::testing::TempDir() + "flac-encoder-test.flac";
  std::FILE* out = std::fopen(path.c_str(), "wb");
  std::fwrite(file.data(), 1, file.size(), out);
  std::fclose(out);
  FLAC__StreamMetadata* tags = nullptr;
  std::vector<std::string> comments;
  if (FLAC__metadata_get_tags(path.c_str(), &tags)) {
    const auto& block = tags->data.vorbis_comment;
    for (FLAC__uint32 i = 0; i < block.num_comments; ++i) {
      comments.emplace_back(reinterpret_cast<const char*>(block.comments[i].entry),
                            block.comments[i].length);
    }
    FLAC__metadata_object_delete(tags);
  }
  std::remove(path.c_str());
  return comments;
}

TEST(FlacEncoder, WritesTheSamplesAndTheCommentsGivenAtTheEnd) {
  for (const std::size_t count : {std::size_t{1}, std::size_t{4095}, std::size_t{44100 * 3 + 17}}) {
    const auto samples = samplesOf(count);
    FlacEncoder encoder(count, 5);
    std::vector<FlacEncoder::Piece> pieces;
    for (std::size_t at = 0; at < samples.size(); at += 26 * 2352) {
      ASSERT_TRUE(encoder.encode(samples.data() + at,
                                 std::min<std::size_t>(26 * 2352, samples.size() - at)));
      for (auto& piece : encoder.takePieces()) pieces.push_back(std::move(piece));
    }
    const std::vector<std::string> comments{"TITLE=Zw\xc3\xb6lf", "TRACKNUMBER=1",
                                            "ACCURATERIPRESULT=" + std::string(500, 'x')};
    ASSERT_TRUE(encoder.finish(comments)) << encoder.error();
    for (auto& piece : encoder.takePieces()) pieces.push_back(std::move(piece));
    const auto file = fileOf(pieces);
    const Decoding decoded = decode(file);
    EXPECT_EQ(decoded.total, count);
    EXPECT_TRUE(decoded.samples == samples) << count << " samples";
    EXPECT_EQ(commentsOf(file), comments);
  }
}

TEST(FlacEncoder, RefusesWhatTheFileCanNotHold) {
  struct Case {
    const char* name;
    std::size_t said, given;
    std::vector<std::string> comments;
    const char* error;
  };
  const Case cases[] = {
      {"fewer samples", 100, 99, {}, "the file was made for 100 samples, and 99 came"},
      {"more samples", 100, 101, {}, "more samples came than the file was made for (100)"},
      {"no '=' in a tag", 10, 10, {"TITLE"}, "not a tag NAME=value in UTF-8: TITLE"},
      {"a tag not in UTF-8", 10, 10, {"TITLE=\xff"}, "not a tag NAME=value in UTF-8: TITLE"},
      {"tags beyond their room",
       10,
       10,
       {"COMMENT=" + std::string(9000, 'x')},
       "the tags take more than the 8192 bytes kept for them"},
  };
  for (const Case& c : cases) {
    FlacEncoder encoder(c.said, 5);
    const auto samples = samplesOf(c.given);
    const bool encoded = encoder.encode(samples.data(), samples.size());
    EXPECT_FALSE(encoded && encoder.finish(c.comments)) << c.name;
    EXPECT_EQ(encoder.error(), c.error) << c.name;
  }
}

}  // namespace
