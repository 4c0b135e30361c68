#pragma once

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Encodes CD audio (16-bit little-endian stereo at 44.1 kHz) to a FLAC file through libFLAC,
// handing out the file's bytes as pieces to write at their offsets. The samples' frames come
// as they are encoded; the metadata comes last, once finish() has put into it STREAMINFO's
// MD5 of the samples, the seek points and the Vorbis comments. The comments are known only
// then (an AccurateRip result comes after the samples): room is kept for them in a padding
// block, which they take from as a tag editor would.
class FlacEncoder {
 public:
  // Bytes to write at `offset` of the file.
  struct Piece {
    std::uint64_t offset;
    std::vector<std::uint8_t> bytes;
  };

  // The room kept for the comments, as the reference encoder keeps it.
  static constexpr unsigned kPaddingBytes = 8192;

  // An encoder of `samples` stereo samples at compression `level` (0 to 8); failed() says
  // whether libFLAC took the settings.
  FlacEncoder(std::uint64_t samples, unsigned level);

  // Whether the encoder has failed; error() says why.
  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }

  // Encodes whole stereo samples, 4 bytes each; false once it failed, or past `samples`.
  bool encode(const std::uint8_t* pcm, std::size_t bytes);

  // Ends the file with its metadata, the comments ("NAME=value", UTF-8) in it; false where
  // the samples were fewer than said, the comments do not fit, or libFLAC failed.
  bool finish(const std::vector<std::string>& comments);

  // The pieces made since the last call, in the order to write them.
  std::vector<Piece> takePieces();

 private:
  struct EncoderDeleter {
    void operator()(FLAC__StreamEncoder* encoder) const { FLAC__stream_encoder_delete(encoder); }
  };
  struct MetadataDeleter {
    void operator()(FLAC__StreamMetadata* block) const { FLAC__metadata_object_delete(block); }
  };
  using Metadata = std::unique_ptr<FLAC__StreamMetadata, MetadataDeleter>;

  static FLAC__StreamEncoderWriteStatus written(const FLAC__StreamEncoder*, const FLAC__byte* bytes,
                                                std::size_t size, std::uint32_t, std::uint32_t,
                                                void* self);
  static FLAC__StreamEncoderSeekStatus sought(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                              void* self);
  static FLAC__StreamEncoderTellStatus told(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                            void* self);
  void write(const FLAC__byte* bytes, std::size_t size);
  bool fail(const std::string& why);
  bool encoderFailed();
  bool putComments(const std::vector<std::string>& comments);

  const std::uint64_t samples_;
  std::uint64_t encoded_ = 0;
  std::string error_;
  // Where the encoder writes next, and where its metadata ends (the first frame starts).
  std::uint64_t position_ = 0;
  std::uint64_t metadataEnd_ = 0;
  bool initialised_ = false;
  // The file's metadata, kept here until the end; the frames made since the last piece.
  std::vector<std::uint8_t> metadata_;
  Piece frames_{0, {}};
  std::vector<Piece> pieces_;
  std::vector<FLAC__int32> buffer_;
  // The blocks the encoder writes after STREAMINFO, alive as long as it is.
  Metadata seekTable_;
  Metadata comments_;
  Metadata padding_;
  std::unique_ptr<FLAC__StreamEncoder, EncoderDeleter> encoder_;
};
