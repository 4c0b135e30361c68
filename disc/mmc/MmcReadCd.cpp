#include "MmcReadCd.h"

#include <algorithm>
#include <cstring>

#include "DriveFailures.h"
#include "Frames.h"
#include "ReadCdCommand.h"
#include "ScsiSense.h"

namespace {

constexpr std::uint8_t kCdDaSectorType = 1 << 2;
constexpr std::uint8_t kUserData = 0x10;
constexpr std::uint8_t kC2Bits = 0x02;
constexpr std::uint8_t kC2BlockAndBits = 0x04;
constexpr std::size_t kC2BitsBytes = 294;
constexpr std::size_t kC2BlockAndBitsBytes = 296;
// The most a command transfers: 64 KB pass everywhere (26 sectors without C2, 24 with).
constexpr std::size_t kMaxTransferBytes = 65536;

constexpr std::uint8_t kRead12 = 0xa8;
constexpr std::uint8_t kForceUnitAccess = 0x08;
constexpr std::uint8_t kInvalidOpcode = 0x20;

constexpr std::uint8_t kMediumError = 0x3;
constexpr std::uint8_t kIllegalRequest = 0x5;
constexpr std::uint8_t kIllegalModeForTrack = 0x64;
constexpr std::uint8_t kOutOfRange = 0x21;

// Written over a reply's last bytes before it is sent: still there after it, the transfer
// stopped short though the residue says nothing. Audio holding it by chance is asked again
// with the other pattern.
constexpr std::array<std::array<std::uint8_t, 8>, 2> kSentinels = {
    {{0xa5, 0x5a, 0xc3, 0x3c, 0x96, 0x69, 0x0f, 0xf0},
     {0x5a, 0xa5, 0x3c, 0xc3, 0x69, 0x96, 0xf0, 0x0f}}};
// The sectors a C2 form is checked on: enough for the stride of a field to show.
constexpr std::uint32_t kFormCheckSectors = 3;

// The drive (or the way to it) did not take a command this long; a shorter one may pass.
bool refusedLength(const ScsiOutcome& outcome) {
  if (outcome.status == ScsiOutcome::Status::kRefused ||
      outcome.status == ScsiOutcome::Status::kFailed) {
    return true;
  }
  return outcome.sense && outcome.sense->key == kIllegalRequest &&
         outcome.sense->asc != kIllegalModeForTrack;
}

}  // namespace

std::array<std::uint8_t, 12> readCdAudioCommand(std::uint32_t lba, std::uint32_t count) {
  return readCdAudioCommand(lba, count, C2Form::kNone);
}

std::array<std::uint8_t, 12> readCdAudioCommand(std::uint32_t lba, std::uint32_t count,
                                                C2Form form) {
  const std::uint8_t c2 = form == C2Form::kBits           ? kC2Bits
                          : form == C2Form::kBlockAndBits ? kC2BlockAndBits
                                                          : 0;
  return readCdCommand(lba, count, kCdDaSectorType, kUserData | c2, 0);
}

std::size_t c2Bytes(C2Form form) {
  return form == C2Form::kBits           ? kC2BitsBytes
         : form == C2Form::kBlockAndBits ? kC2BlockAndBitsBytes
                                         : 0;
}

SectorsRead MmcAudioSectors::read(std::uint32_t lba, std::uint32_t count, std::uint8_t* out) {
  return readAll(lba, count, out, nullptr);
}

SectorsRead MmcAudioSectors::readFlagged(std::uint32_t lba, std::uint32_t count, std::uint8_t* out,
                                         std::uint8_t* flagged) {
  std::fill(flagged, flagged + count, std::uint8_t{0});
  if (!c2 && !findC2Form(lba, count)) return read(lba, count, out);
  return readAll(lba, count, out, givesC2() && !distrusted ? flagged : nullptr);
}

bool MmcAudioSectors::sendWhole(const std::array<std::uint8_t, 12>& command, std::uint8_t* reply,
                                std::size_t size, ScsiOutcome& outcome) {
  for (const auto& sentinel : kSentinels) {
    const std::size_t tail = std::min(size, sentinel.size());
    std::memcpy(reply + size - tail, sentinel.data(), tail);
    outcome = drive.send(command.data(), command.size(), reply, size);
    if (!deliveredReply(outcome) || outcome.transferred != size) return false;
    if (std::memcmp(reply + size - tail, sentinel.data(), tail) != 0) return true;
  }
  return false;
}

SectorsRead MmcAudioSectors::readAll(std::uint32_t lba, std::uint32_t count, std::uint8_t* out,
                                     std::uint8_t* flagged) {
  const std::size_t sectorBytes = kAudioFrameBytes + (flagged ? c2Bytes(*c2) : 0);
  while (count > 0) {
    const auto most = static_cast<std::uint32_t>(kMaxTransferBytes / sectorBytes);
    const std::uint32_t piece = std::min({count, perCommand, most});
    const std::optional<SectorsRead> read = readOnce(lba, piece, out, flagged);
    if (!read) continue;  // refused as too long: asked again for fewer
    if (read->status != SectorsRead::Status::kRead) return *read;
    lba += piece;
    count -= piece;
    out += std::size_t{piece} * kAudioFrameBytes;
    if (flagged) flagged += piece;
  }
  return {SectorsRead::Status::kRead, std::nullopt};
}

bool MmcAudioSectors::findC2Form(std::uint32_t lba, std::uint32_t count) {
  const auto& page = capabilities();
  if (page && !page->c2Pointers) {
    c2 = C2Form::kNone;
    return true;
  }
  if (count < 2) return false;
  count = std::min(count, kFormCheckSectors);
  std::vector<std::uint8_t> plain(std::size_t{count} * kAudioFrameBytes);
  if (read(lba, count, plain.data()).status != SectorsRead::Status::kRead) return false;
  for (const C2Form form : {C2Form::kBits, C2Form::kBlockAndBits}) {
    const std::size_t stride = kAudioFrameBytes + c2Bytes(form);
    const auto command = readCdAudioCommand(lba, count, form);
    withC2.assign(count * stride, 0);
    ScsiOutcome outcome;
    if (sendWhole(command, withC2.data(), withC2.size(), outcome)) {
      bool same = true;
      for (std::uint32_t i = 0; i < count && same; ++i) {
        same = std::memcmp(withC2.data() + i * stride, plain.data() + i * kAudioFrameBytes,
                           kAudioFrameBytes) == 0;
      }
      if (same) {
        c2 = form;
        return true;
      }
      continue;  // the samples are not where this form puts them
    }
    // Refused (an invalid field) or sent short: the next form. A bad or missing sector decides
    // nothing.
    const bool refused =
        deliveredReply(outcome) ||
        (refusedLength(outcome) && !(outcome.sense && outcome.sense->asc == kOutOfRange));
    if (!refused) return false;
  }
  c2 = C2Form::kNone;
  return true;
}

const std::optional<DriveCapabilities>& MmcAudioSectors::capabilities() {
  if (!asked) {
    std::array<std::uint8_t, kCapabilitiesReplyBytes> reply{};
    const auto command = modeSenseCapabilitiesCommand();
    const ScsiOutcome outcome =
        drive.send(command.data(), command.size(), reply.data(), reply.size());
    asked.emplace();
    if (deliveredReply(outcome)) *asked = parseCapabilities(reply.data(), outcome.transferred);
  }
  return *asked;
}

std::optional<std::uint32_t> MmcAudioSectors::reportedBufferKilobytes() {
  const auto& page = capabilities();
  if (!page || page->bufferKilobytes == 0) return std::nullopt;
  return page->bufferKilobytes;
}

void MmcAudioSectors::dropCached(std::uint32_t lba) {
  if (dropRefused) return;
  // READ(12) with FUA and no sectors: a drive that honours it reads `lba` from the disc next.
  const std::array<std::uint8_t, 12> command = {kRead12,
                                                kForceUnitAccess,
                                                static_cast<std::uint8_t>(lba >> 24),
                                                static_cast<std::uint8_t>(lba >> 16),
                                                static_cast<std::uint8_t>(lba >> 8),
                                                static_cast<std::uint8_t>(lba)};
  std::uint8_t none = 0;
  const ScsiOutcome outcome = drive.send(command.data(), command.size(), &none, 0);
  dropRefused = outcome.status == ScsiOutcome::Status::kRefused ||
                (outcome.sense && outcome.sense->key == kIllegalRequest &&
                 outcome.sense->asc == kInvalidOpcode);
}

std::optional<SectorsRead> MmcAudioSectors::readOnce(std::uint32_t lba, std::uint32_t count,
                                                     std::uint8_t* out, std::uint8_t* flagged) {
  static const std::string kDoing = "reading audio";
  const std::size_t c2Size = flagged ? c2Bytes(*c2) : 0;
  const std::size_t size = std::size_t{count} * (kAudioFrameBytes + c2Size);
  if (flagged) withC2.assign(size, 0);
  const auto command = readCdAudioCommand(lba, count, flagged ? *c2 : C2Form::kNone);
  ScsiOutcome outcome;
  if (sendWhole(command, flagged ? withC2.data() : out, size, outcome)) {
    for (std::uint32_t i = 0; flagged && i < count; ++i) {
      const std::uint8_t* sector = withC2.data() + i * (kAudioFrameBytes + c2Size);
      std::copy(sector, sector + kAudioFrameBytes, out + std::size_t{i} * kAudioFrameBytes);
      const std::uint8_t* field = sector + kAudioFrameBytes;
      flagged[i] = std::any_of(field, field + c2Size, [](std::uint8_t bits) { return bits != 0; });
    }
    return SectorsRead{SectorsRead::Status::kRead, std::nullopt};
  }
  // Less than asked, or refused as too long: ask for fewer, down to one sector.
  if ((deliveredReply(outcome) || refusedLength(outcome)) && count > 1) {
    perCommand = std::max<std::uint32_t>(1, count / 2);
    return std::nullopt;
  }
  if (outcome.status == ScsiOutcome::Status::kRefused) {
    return SectorsRead{
        SectorsRead::Status::kRefused,
        driveFailure(FailureReason::kReadFailed, path,
                     kDoing + ": the system passes the drive no READ CD: " + outcome.error)};
  }
  if (outcome.sense && outcome.sense->key == kMediumError) {
    return SectorsRead{SectorsRead::Status::kBadSector, std::nullopt};
  }
  if (outcome.sense && outcome.sense->key == kIllegalRequest &&
      outcome.sense->asc == kIllegalModeForTrack) {
    return SectorsRead{
        SectorsRead::Status::kFailed,
        driveFailure(FailureReason::kReadFailed, path,
                     kDoing + ": sector " + std::to_string(lba) + " holds no audio")};
  }
  if (deliveredReply(outcome)) {
    return SectorsRead{
        SectorsRead::Status::kFailed,
        driveFailure(FailureReason::kReadFailed, path,
                     kDoing + ": the drive sent " +
                         (outcome.transferred == size ? std::string("less than its reply says")
                                                      : std::to_string(outcome.transferred)) +
                         " of the " + std::to_string(size) + " bytes of sector " +
                         std::to_string(lba))};
  }
  return SectorsRead{SectorsRead::Status::kFailed, failureFor(outcome, path, kDoing)};
}
