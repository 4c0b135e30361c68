#include "FlacEncoder.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr unsigned kBytesPerSample = 4;  // two channels of 16 bits
// A seek point every ten seconds, as the reference encoder places them.
constexpr unsigned kSeekPointSamples = 10 * 44100;

// The file's metadata in memory, read and written in place by libFLAC's metadata editor.
struct MetadataFile {
  std::vector<std::uint8_t>& bytes;
  std::size_t position = 0;
};

MetadataFile& fileOf(FLAC__IOHandle handle) { return *static_cast<MetadataFile*>(handle); }

std::size_t readFile(void* into, std::size_t size, std::size_t count, FLAC__IOHandle handle) {
  MetadataFile& file = fileOf(handle);
  if (size == 0) return 0;
  const std::size_t whole =
      std::min(count, (file.bytes.size() - std::min(file.position, file.bytes.size())) / size);
  std::memcpy(into, file.bytes.data() + file.position, whole * size);
  file.position += whole * size;
  return whole;
}

// Writes only within the metadata: its size is that of the room the frames left it.
std::size_t writeFile(const void* from, std::size_t size, std::size_t count,
                      FLAC__IOHandle handle) {
  MetadataFile& file = fileOf(handle);
  if (size == 0 || file.position > file.bytes.size()) return 0;
  const std::size_t whole = std::min(count, (file.bytes.size() - file.position) / size);
  std::memcpy(file.bytes.data() + file.position, from, whole * size);
  file.position += whole * size;
  return whole;
}

int seekFile(FLAC__IOHandle handle, FLAC__int64 offset, int whence) {
  MetadataFile& file = fileOf(handle);
  const FLAC__int64 base = whence == SEEK_CUR   ? static_cast<FLAC__int64>(file.position)
                           : whence == SEEK_END ? static_cast<FLAC__int64>(file.bytes.size())
                                                : 0;
  if (base + offset < 0) return -1;
  file.position = static_cast<std::size_t>(base + offset);
  return 0;
}

FLAC__int64 tellFile(FLAC__IOHandle handle) {
  return static_cast<FLAC__int64>(fileOf(handle).position);
}

int endOfFile(FLAC__IOHandle handle) {
  return fileOf(handle).position >= fileOf(handle).bytes.size() ? 1 : 0;
}

struct ChainDeleter {
  void operator()(FLAC__Metadata_Chain* chain) const { FLAC__metadata_chain_delete(chain); }
};
struct IteratorDeleter {
  void operator()(FLAC__Metadata_Iterator* iterator) const {
    FLAC__metadata_iterator_delete(iterator);
  }
};

}  // namespace

FlacEncoder::FlacEncoder(std::uint64_t samples, unsigned level)
    : samples_(samples),
      seekTable_(FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE)),
      comments_(FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT)),
      padding_(FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING)),
      encoder_(FLAC__stream_encoder_new()) {
  if (!seekTable_ || !comments_ || !padding_ || !encoder_) {
    fail("no memory left for the encoder");
    return;
  }
  padding_->length = kPaddingBytes;
  if (!FLAC__metadata_object_seektable_template_append_spaced_points_by_samples(
          seekTable_.get(), kSeekPointSamples, samples) ||
      !FLAC__metadata_object_seektable_template_sort(seekTable_.get(), true)) {
    fail("no memory left for the seek table");
    return;
  }
  // The padding last: the comments written at the end take their room from it.
  FLAC__StreamMetadata* blocks[] = {seekTable_.get(), comments_.get(), padding_.get()};
  // (libFLAC sums the samples' MD5 into STREAMINFO unless told not to.)
  FLAC__StreamEncoder* encoder = encoder_.get();
  if (!FLAC__stream_encoder_set_channels(encoder, 2) ||
      !FLAC__stream_encoder_set_bits_per_sample(encoder, 16) ||
      !FLAC__stream_encoder_set_sample_rate(encoder, 44100) ||
      !FLAC__stream_encoder_set_compression_level(encoder, level) ||
      !FLAC__stream_encoder_set_total_samples_estimate(encoder, samples) ||
      !FLAC__stream_encoder_set_metadata(encoder, blocks, 3)) {
    encoderFailed();
    return;
  }
  const FLAC__StreamEncoderInitStatus status =
      FLAC__stream_encoder_init_stream(encoder, written, sought, told, nullptr, this);
  if (status != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
    fail(std::string("libFLAC refused the settings: ") +
         FLAC__StreamEncoderInitStatusString[status]);
    return;
  }
  initialised_ = true;
  metadataEnd_ = position_;
}

bool FlacEncoder::fail(const std::string& why) {
  if (error_.empty()) error_ = why;
  return false;
}

bool FlacEncoder::encoderFailed() {
  return fail(std::string("libFLAC failed: ") +
              FLAC__stream_encoder_get_resolved_state_string(encoder_.get()));
}

bool FlacEncoder::encode(const std::uint8_t* pcm, std::size_t bytes) {
  if (failed()) return false;
  const std::size_t samples = bytes / kBytesPerSample;
  if (bytes % kBytesPerSample != 0 || samples > samples_ - encoded_) {
    return fail("more samples came than the file was made for (" + std::to_string(samples_) + ")");
  }
  buffer_.resize(samples * 2);
  for (std::size_t i = 0; i < buffer_.size(); i++) {
    buffer_[i] = static_cast<std::int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
  }
  encoded_ += samples;
  if (!FLAC__stream_encoder_process_interleaved(encoder_.get(), buffer_.data(),
                                                static_cast<std::uint32_t>(samples))) {
    return encoderFailed();
  }
  return true;
}

bool FlacEncoder::finish(const std::vector<std::string>& comments) {
  if (failed()) return false;
  if (encoded_ != samples_) {
    return fail("the file was made for " + std::to_string(samples_) + " samples, and " +
                std::to_string(encoded_) + " came");
  }
  if (!FLAC__stream_encoder_finish(encoder_.get())) return encoderFailed();
  if (!putComments(comments)) return false;
  if (!frames_.bytes.empty()) pieces_.push_back(std::move(frames_));
  pieces_.push_back(Piece{0, std::move(metadata_)});
  return true;
}

bool FlacEncoder::putComments(const std::vector<std::string>& comments) {
  const std::unique_ptr<FLAC__Metadata_Chain, ChainDeleter> chain(FLAC__metadata_chain_new());
  const std::unique_ptr<FLAC__Metadata_Iterator, IteratorDeleter> iterator(
      FLAC__metadata_iterator_new());
  if (!chain || !iterator) return fail("no memory left for the tags");
  MetadataFile file{metadata_};
  const FLAC__IOCallbacks callbacks{readFile, writeFile, seekFile, tellFile, endOfFile, nullptr};
  if (!FLAC__metadata_chain_read_with_callbacks(chain.get(), &file, callbacks)) {
    return fail("libFLAC could not read back the file's metadata");
  }
  FLAC__metadata_iterator_init(iterator.get(), chain.get());
  while (FLAC__metadata_iterator_get_block_type(iterator.get()) !=
         FLAC__METADATA_TYPE_VORBIS_COMMENT) {
    if (!FLAC__metadata_iterator_next(iterator.get())) {
      return fail("the file's metadata lost its comments");
    }
  }
  FLAC__StreamMetadata* block = FLAC__metadata_iterator_get_block(iterator.get());
  for (const std::string& comment : comments) {
    const auto length = static_cast<FLAC__uint32>(comment.size());
    if (!FLAC__format_vorbiscomment_entry_is_legal(
            reinterpret_cast<const FLAC__byte*>(comment.data()), length)) {
      return fail("not a tag NAME=value in UTF-8: " + comment.substr(0, comment.find('=')));
    }
    FLAC__StreamMetadata_VorbisComment_Entry entry{
        length, reinterpret_cast<FLAC__byte*>(const_cast<char*>(comment.data()))};
    if (!FLAC__metadata_object_vorbiscomment_append_comment(block, entry, true)) {
      return fail("no memory left for the tags");
    }
  }
  if (FLAC__metadata_chain_check_if_tempfile_needed(chain.get(), true)) {
    return fail("the tags take more than the " + std::to_string(kPaddingBytes) +
                " bytes kept for them");
  }
  file.position = 0;
  if (!FLAC__metadata_chain_write_with_callbacks(chain.get(), true, &file, callbacks)) {
    return fail(std::string("libFLAC could not write the tags: ") +
                FLAC__Metadata_ChainStatusString[FLAC__metadata_chain_status(chain.get())]);
  }
  return true;
}

std::vector<FlacEncoder::Piece> FlacEncoder::takePieces() {
  if (!frames_.bytes.empty()) pieces_.push_back(std::move(frames_));
  frames_ = Piece{0, {}};
  std::vector<Piece> taken;
  taken.swap(pieces_);
  return taken;
}

void FlacEncoder::write(const FLAC__byte* bytes, std::size_t size) {
  if (!initialised_ || position_ < metadataEnd_) {
    // The metadata, as written first or updated at the end (STREAMINFO, the seek points).
    if (initialised_ && position_ + size > metadataEnd_) {
      fail("libFLAC wrote past the file's metadata while updating it");
      return;
    }
    if (metadata_.size() < position_ + size) metadata_.resize(position_ + size);
    std::copy(bytes, bytes + size, metadata_.begin() + static_cast<std::ptrdiff_t>(position_));
  } else {
    if (!frames_.bytes.empty() && frames_.offset + frames_.bytes.size() != position_) {
      pieces_.push_back(std::move(frames_));
      frames_ = Piece{0, {}};
    }
    if (frames_.bytes.empty()) frames_.offset = position_;
    frames_.bytes.insert(frames_.bytes.end(), bytes, bytes + size);
  }
  position_ += size;
}

FLAC__StreamEncoderWriteStatus FlacEncoder::written(const FLAC__StreamEncoder*,
                                                    const FLAC__byte* bytes, std::size_t size,
                                                    std::uint32_t, std::uint32_t, void* self) {
  auto& encoder = *static_cast<FlacEncoder*>(self);
  try {
    encoder.write(bytes, size);
  } catch (...) {  // (nothing may pass through libFLAC's C code)
    encoder.fail("no memory left for the encoded samples");
  }
  return encoder.failed() ? FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR
                          : FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

FLAC__StreamEncoderSeekStatus FlacEncoder::sought(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                                  void* self) {
  static_cast<FlacEncoder*>(self)->position_ = offset;
  return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
}

FLAC__StreamEncoderTellStatus FlacEncoder::told(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                                void* self) {
  *offset = static_cast<FlacEncoder*>(self)->position_;
  return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}
