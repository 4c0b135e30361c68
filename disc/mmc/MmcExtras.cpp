#include <algorithm>

#include "DiscExtras.h"
#include "MmcSubchannel.h"
#include "ScsiSense.h"

namespace {

constexpr std::uint8_t kInquiry = 0x12;
constexpr std::uint8_t kReadToc = 0x43;
constexpr std::uint8_t kCdTextFormat = 0x05;
constexpr std::size_t kCdTextHeaderSize = 4;
// Sectors of Q data read to confirm an ISRC: it shows at least once in about 100 of them.
constexpr std::uint32_t kConfirmingSectors = 120;

std::string trimmed(const std::uint8_t* field, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(field), size);
  const auto end = text.find_last_not_of(std::string(" \0", 2));
  return end == std::string::npos ? "" : text.substr(0, end + 1);
}

std::array<std::uint8_t, 10> readCdTextCommand(std::size_t allocation) {
  return {kReadToc,
          0,
          kCdTextFormat,
          0,
          0,
          0,
          0,
          static_cast<std::uint8_t>(allocation >> 8),
          static_cast<std::uint8_t>(allocation),
          0};
}

// Sends the commands of one read of the extras, stopping at the first the platform refuses
// or that shows the disc gone, at the caller's interrupt and when its time is up.
class ExtrasReader {
 public:
  ExtrasReader(ScsiTransport& drive, const std::string& path, const ExtrasLimits& limits,
               ExtrasReading& reading)
      : drive(drive), path(path), limits(limits), reading(reading) {}

  // The bytes that arrived; empty when the drive gave none (it refused this one command,
  // say) or the read is to stop.
  template <std::size_t N>
  std::optional<std::size_t> ask(const std::array<std::uint8_t, N>& command, std::uint8_t* reply,
                                 std::size_t size, const char* doing) {
    if (stopped()) return std::nullopt;
    if (limits.interrupted()) {
      reading.failure =
          DiscFailure{FailureReason::kInterrupted, path, path + ": interrupted while " + doing};
      return std::nullopt;
    }
    outOfTime = limits.outOfTime();
    if (outOfTime) return std::nullopt;
    const ScsiOutcome outcome = drive.send(command.data(), command.size(), reply, size);
    if (deliveredReply(outcome)) return outcome.transferred;
    if (outcome.status == ScsiOutcome::Status::kRefused) {
      reading.transportRefused = true;
    } else if (outcome.status == ScsiOutcome::Status::kFailed ||
               (outcome.sense &&
                (meansNoUsableDisc(*outcome.sense) || outcome.sense->key == kUnitAttentionKey))) {
      // The disc went away or was changed: what was read of it no longer holds.
      reading.failure = failureFor(outcome, path, doing);
    }
    return std::nullopt;
  }

  bool stopped() const { return failed() || outOfTime; }
  // What was read before a refusal or a failure does not count.
  bool failed() const { return reading.transportRefused || reading.failure.has_value(); }

 private:
  static constexpr std::uint8_t kUnitAttentionKey = 0x6;
  ScsiTransport& drive;
  const std::string& path;
  const ExtrasLimits& limits;
  ExtrasReading& reading;
  bool outOfTime = false;
};

std::optional<std::string> readCatalogNumber(ExtrasReader& reader) {
  std::array<std::uint8_t, kSubchannelReplySize> reply{};
  const auto size = reader.ask(readCatalogNumberCommand(), reply.data(), reply.size(),
                               "reading the catalog number");
  return size ? parseCatalogNumberReply(reply.data(), *size) : std::nullopt;
}

std::optional<std::string> askIsrc(ExtrasReader& reader, unsigned track) {
  std::array<std::uint8_t, kSubchannelReplySize> reply{};
  const auto size =
      reader.ask(readIsrcCommand(track), reply.data(), reply.size(), "reading an ISRC");
  return size ? parseIsrcReply(reply.data(), *size) : std::nullopt;
}

// The ISRC the Q data of sectors well inside the track carries, if any of them does.
std::optional<std::string> isrcFromQ(ExtrasReader& reader, const TableOfContents& toc,
                                     unsigned track) {
  const std::uint32_t start = toc.startOf(track) - kLeadInFrames;
  const std::uint32_t length = toc.lengthOf(track);
  const std::uint32_t into = std::min<std::uint32_t>(kFramesPerSecond, length / 4);
  const std::uint32_t count = std::min(kConfirmingSectors, length - into);
  if (count == 0) return std::nullopt;
  std::vector<std::uint8_t> reply(count * kQBytes);
  const auto size = reader.ask(readQCommand(start + into, count), reply.data(), reply.size(),
                               "reading the Q sub-channel");
  if (!size) return std::nullopt;
  for (std::size_t offset = 0; offset + kQBytes <= *size; offset += kQBytes) {
    if (auto isrc = isrcOfQ(reply.data() + offset)) return isrc;
  }
  return std::nullopt;
}

// Each audio track's ISRC. Some drives answer with the last ISRC they saw rather than the
// track's own, often the previous track's. An answer is taken as it is only when the track
// before gave a trusted ISRC and this one differs: a stale one would be that ISRC again. Any
// other (the first audio track's, one after a data track or a track without one) is
// confirmed from the track's own Q data. An answer the Q data does not bear out, or two
// adjacent alike, shows the drive lags: from then on no answer counts, and each track's ISRC
// is read from its Q data, the two alike and those it answered none for included.
std::vector<std::optional<std::string>> readIsrcs(ExtrasReader& reader,
                                                  const TableOfContents& toc) {
  std::vector<std::optional<std::string>> isrcs(toc.trackCount());
  std::vector<bool> fromQ(toc.trackCount());
  const auto readFromQ = [&](unsigned track) {
    isrcs[track - toc.firstTrack] = isrcFromQ(reader, toc, track);
    fromQ[track - toc.firstTrack] = true;
  };
  bool lagging = false;
  for (unsigned track = toc.firstTrack; track <= toc.lastTrack && !reader.stopped(); ++track) {
    if (toc.isData(track)) continue;
    const std::size_t index = track - toc.firstTrack;
    if (lagging) {
      readFromQ(track);
      continue;
    }
    const std::optional<std::string> answer = askIsrc(reader, track);
    const bool afterTrusted = index > 0 && isrcs[index - 1];  // a data track's is empty
    if (!answer || (afterTrusted && answer != isrcs[index - 1])) {
      isrcs[index] = answer;
      continue;
    }
    readFromQ(track);
    lagging = afterTrusted || isrcs[index] != answer;
    for (unsigned earlier = toc.firstTrack; lagging && earlier < track; ++earlier) {
      if (!toc.isData(earlier) && !fromQ[earlier - toc.firstTrack]) readFromQ(earlier);
    }
  }
  return isrcs;
}

// The header first, for the length, then the whole: at most two commands.
std::optional<CdText> readCdText(ExtrasReader& reader, const TableOfContents& toc) {
  std::vector<std::uint8_t> reply(kCdTextHeaderSize);
  auto size =
      reader.ask(readCdTextCommand(reply.size()), reply.data(), reply.size(), "reading CD-Text");
  if (!size || *size < kCdTextHeaderSize) return std::nullopt;
  const std::size_t whole = std::min(kMaxCdTextReply, 2 + (std::size_t{reply[0]} << 8 | reply[1]));
  if (whole <= kCdTextHeaderSize) return std::nullopt;
  reply.resize(whole);
  size = reader.ask(readCdTextCommand(whole), reply.data(), reply.size(), "reading CD-Text");
  if (!size) return std::nullopt;
  std::optional<CdText> cdText = parseCdText(reply.data(), *size);
  if (!cdText) return std::nullopt;
  keepTracksOf(*cdText, toc);
  if (cdText->blocks.empty()) return std::nullopt;
  return cdText;
}

}  // namespace

std::array<std::uint8_t, 6> inquiryCommand() { return {kInquiry, 0, 0, 0, kInquiryReplySize, 0}; }

std::optional<DriveIdentity> parseInquiry(const std::uint8_t* reply, std::size_t size) {
  if (size < kInquiryReplySize) return std::nullopt;
  return DriveIdentity{trimmed(reply + 8, 8), trimmed(reply + 16, 16), trimmed(reply + 32, 4)};
}

std::optional<DriveIdentity> inquire(ScsiTransport& drive) {
  std::array<std::uint8_t, kInquiryReplySize> reply{};
  const auto command = inquiryCommand();
  const ScsiOutcome outcome =
      drive.send(command.data(), command.size(), reply.data(), reply.size());
  if (!deliveredReply(outcome)) return std::nullopt;
  return parseInquiry(reply.data(), outcome.transferred);
}

ExtrasReading readDiscExtras(ScsiTransport& drive, const TableOfContents& toc, unsigned wanted,
                             const std::string& path, const ExtrasLimits& limits) {
  ExtrasReading reading;
  reading.extras.isrcs.resize(toc.trackCount());
  ExtrasReader reader(drive, path, limits, reading);
  if ((wanted & kExtraMcn) != 0) reading.extras.mediaCatalogNumber = readCatalogNumber(reader);
  if ((wanted & kExtraIsrc) != 0) reading.extras.isrcs = readIsrcs(reader, toc);
  if ((wanted & kExtraCdText) != 0) reading.extras.cdText = readCdText(reader, toc);
  // Nothing read before the refusal or failure is kept.
  if (reader.failed()) {
    reading.extras = DiscExtras{};
    reading.extras.isrcs.resize(toc.trackCount());
  }
  return reading;
}
