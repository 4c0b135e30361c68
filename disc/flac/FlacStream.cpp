#include "FlacStream.h"

#include <algorithm>

namespace {

constexpr unsigned kCdChannels = 2;
constexpr unsigned kCdBits = 16;

FlacStream& streamOf(void* data) { return *static_cast<FlacStream*>(data); }

}  // namespace

// libFLAC's callbacks, each handed the stream as its client data.
struct FlacStream::Callbacks {
  static FLAC__StreamDecoderReadStatus read(const FLAC__StreamDecoder*, FLAC__byte buffer[],
                                            std::size_t* count, void* data) {
    FlacStream& stream = streamOf(data);
    if (stream.position >= stream.fileSize) {
      *count = 0;
      return FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
    }
    const std::size_t wanted = static_cast<std::size_t>(
        std::min<std::uint64_t>(*count, stream.fileSize - stream.position));
    *count = stream.file->readAt(stream.position, wanted, buffer);
    stream.position += *count;
    if (*count == wanted) return FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
    if (!stream.fault) stream.fault = FlacProblem{FlacFault::kShrank, stream.frameEnd()};
    return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
  }

  static FLAC__StreamDecoderSeekStatus seek(const FLAC__StreamDecoder*, FLAC__uint64 offset,
                                            void* data) {
    FlacStream& stream = streamOf(data);
    if (offset > stream.fileSize) return FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
    stream.position = offset;
    return FLAC__STREAM_DECODER_SEEK_STATUS_OK;
  }

  static FLAC__StreamDecoderTellStatus tell(const FLAC__StreamDecoder*, FLAC__uint64* offset,
                                            void* data) {
    *offset = streamOf(data).position;
    return FLAC__STREAM_DECODER_TELL_STATUS_OK;
  }

  static FLAC__StreamDecoderLengthStatus length(const FLAC__StreamDecoder*, FLAC__uint64* size,
                                                void* data) {
    *size = streamOf(data).fileSize;
    return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
  }

  static FLAC__bool atEnd(const FLAC__StreamDecoder*, void* data) {
    const FlacStream& stream = streamOf(data);
    return stream.position >= stream.fileSize;
  }

  static FLAC__StreamDecoderWriteStatus write(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                              const FLAC__int32* const channels[], void* data) {
    FlacStream& stream = streamOf(data);
    const FLAC__FrameHeader& header = frame->header;
    // A frame may say other than STREAMINFO does: its own depth and channels count.
    if (header.channels != kCdChannels || header.bits_per_sample != kCdBits) {
      stream.fault = FlacProblem{FlacFault::kNotCdAudio, header.number.sample_number,
                                 header.channels, header.bits_per_sample, header.sample_rate};
    }
    if (stream.fault) return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    if (header.number.sample_number == stream.inOrder) stream.inOrder += header.blocksize;
    stream.firstSample = header.number.sample_number;
    stream.frameSamples = header.blocksize;
    if (stream.samples == Samples::kCounted) return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    stream.bytes.resize(std::size_t{header.blocksize} * kCdChannels * 2);
    std::uint8_t* out = stream.bytes.data();
    for (unsigned i = 0; i < header.blocksize; ++i) {
      for (unsigned channel = 0; channel < kCdChannels; ++channel) {
        const auto value = static_cast<std::uint16_t>(channels[channel][i]);
        *out++ = static_cast<std::uint8_t>(value & 0xff);
        *out++ = static_cast<std::uint8_t>(value >> 8);
      }
    }
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  }

  static void metadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block, void* data) {
    if (block->type != FLAC__METADATA_TYPE_STREAMINFO) return;
    const FLAC__StreamMetadata_StreamInfo& info = block->data.stream_info;
    streamOf(data).streamInfo =
        Info{info.channels, info.bits_per_sample, info.sample_rate, info.total_samples};
  }

  static void error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* data) {
    FlacStream& stream = streamOf(data);
    if (!stream.fault) stream.fault = FlacProblem{FlacFault::kDamaged, stream.frameEnd()};
  }
};

FlacStream::FlacStream(Samples samples, std::uint64_t fileSize)
    : decoder(FLAC__stream_decoder_new(), FLAC__stream_decoder_delete),
      samples(samples),
      fileSize(fileSize) {}

FlacStream::~FlacStream() = default;

template <typename Call>
std::optional<FlacProblem> FlacStream::with(ImageFile& at, Call call, FlacFault otherwise) {
  file = &at;
  const bool done = call(decoder.get());
  file = nullptr;
  if (fault) return fault;
  if (!done) return FlacProblem{otherwise, frameEnd()};
  return std::nullopt;
}

std::variant<std::unique_ptr<FlacStream>, FlacProblem> FlacStream::open(ImageFile& file,
                                                                        Samples samples,
                                                                        bool checkMd5) {
  std::unique_ptr<FlacStream> stream(new FlacStream(samples, file.size()));
  FLAC__StreamDecoder* decoder = stream->decoder.get();
  if (decoder == nullptr) return FlacProblem{FlacFault::kNoMemory};
  FLAC__stream_decoder_set_md5_checking(decoder, checkMd5);
  if (FLAC__stream_decoder_init_stream(decoder, Callbacks::read, Callbacks::seek, Callbacks::tell,
                                       Callbacks::length, Callbacks::atEnd, Callbacks::write,
                                       Callbacks::metadata, Callbacks::error,
                                       stream.get()) != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
    return FlacProblem{FlacFault::kNoMemory};
  }
  auto problem =
      stream->with(file, FLAC__stream_decoder_process_until_end_of_metadata, FlacFault::kNotFlac);
  if (problem) return *problem;
  // Metadata ends at the first frame: a stream with no STREAMINFO has none to give.
  if (stream->streamInfo.rate == 0) return FlacProblem{FlacFault::kNotFlac};
  return stream;
}

std::optional<FlacProblem> FlacStream::next(ImageFile& file) {
  const std::uint64_t end = frameEnd();
  while (frameEnd() == end) {
    auto problem = with(file, FLAC__stream_decoder_process_single, FlacFault::kDamaged);
    if (problem) return problem;
    if (FLAC__stream_decoder_get_state(decoder.get()) == FLAC__STREAM_DECODER_END_OF_STREAM &&
        frameEnd() == end) {
      return FlacProblem{FlacFault::kCutShort, end};
    }
  }
  return std::nullopt;
}

std::optional<FlacProblem> FlacStream::seek(ImageFile& file, std::uint64_t sample) {
  auto problem = with(
      file,
      [sample](FLAC__StreamDecoder* d) { return FLAC__stream_decoder_seek_absolute(d, sample); },
      FlacFault::kCutShort);
  if (problem) {
    // A failed seek leaves the decoder to be flushed before its next call.
    FLAC__stream_decoder_flush(decoder.get());
    problem->sample = sample;
  }
  return problem;
}

std::optional<FlacProblem> FlacStream::decodeToEnd(ImageFile& file) {
  auto problem = with(file, FLAC__stream_decoder_process_until_end_of_stream, FlacFault::kDamaged);
  if (problem) return problem;
  if (inOrder != frameEnd()) return FlacProblem{FlacFault::kDamaged, inOrder};
  if (inOrder < streamInfo.samples) return FlacProblem{FlacFault::kCutShort, inOrder};
  if (inOrder > streamInfo.samples) return FlacProblem{FlacFault::kTooLong, streamInfo.samples};
  // finish() compares the samples' MD5 with STREAMINFO's, unless STREAMINFO left it unset.
  if (!FLAC__stream_decoder_finish(decoder.get())) return FlacProblem{FlacFault::kWrongMd5};
  return std::nullopt;
}
