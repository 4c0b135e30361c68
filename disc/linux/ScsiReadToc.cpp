#include "ScsiReadToc.h"

#include <scsi/sg.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "DriveFailures.h"

namespace {

// A unit attention is reported once per event (a disc change, a reset, a power-on); a few
// of them in a row can happen, an endless series only on a broken drive.
constexpr int kMaxAttempts = 3;
// As long as the kernel's own CD-ROM ioctls give a drive to answer.
constexpr unsigned kTimeoutMilliseconds = 30000;

constexpr std::uint8_t kNotReady = 0x2;
constexpr std::uint8_t kUnitAttention = 0x6;
constexpr std::uint8_t kMediumNotPresent = 0x3a;
constexpr std::uint8_t kTrayOpenQualifier = 0x02;
constexpr std::uint8_t kLogicalUnitNotReady = 0x04;
constexpr std::uint8_t kBecomingReadyQualifier = 0x01;

struct Sense {
  std::uint8_t key;
  std::uint8_t asc;   // additional sense code
  std::uint8_t ascq;  // its qualifier
};

// Sense data in the fixed format (response codes 70h, 71h) or the descriptor format (72h, 73h).
std::optional<Sense> senseOf(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return std::nullopt;
  const auto byte = [&](std::size_t i) -> std::uint8_t { return i < size ? data[i] : 0; };
  switch (data[0] & 0x7f) {
    case 0x70:
    case 0x71:
      return Sense{static_cast<std::uint8_t>(byte(2) & 0x0f), byte(12), byte(13)};
    case 0x72:
    case 0x73:
      return Sense{static_cast<std::uint8_t>(byte(1) & 0x0f), byte(2), byte(3)};
  }
  return std::nullopt;
}

std::string spelledOut(const Sense& sense) {
  static constexpr const char* kKeyNames[16] = {
      "no sense",       "recovered error", "not ready",      "medium error",
      "hardware error", "illegal request", "unit attention", "data protect",
      "blank check",    "vendor specific", "copy aborted",   "aborted command",
      "obsolete key",   "volume overflow", "miscompare",     "reserved key"};
  char text[64];
  std::snprintf(text, sizeof text, "%s (sense %X/%02X/%02X)", kKeyNames[sense.key & 0x0f],
                sense.key, sense.asc, sense.ascq);
  return text;
}

DiscFailure failureFor(const Sense& sense, const std::string& path) {
  if (sense.key == kNotReady && sense.asc == kMediumNotPresent) {
    return sense.ascq == kTrayOpenQualifier ? trayOpen(path) : noDisc(path);
  }
  if (sense.key == kNotReady && sense.asc == kLogicalUnitNotReady &&
      sense.ascq == kBecomingReadyQualifier) {
    return becomingReady(path);
  }
  return driveFailure(FailureReason::kReadFailed, path,
                      "reading the table of contents: " + spelledOut(sense));
}

// SG_IO refused as such, rather than the command failing: not offered for this node, or
// not allowed to this process.
bool refusesScsi(int error) {
  return error == ENOTTY || error == EINVAL || error == EPERM || error == EACCES ||
         error == ENOSYS || error == EOPNOTSUPP;
}

}  // namespace

std::optional<DiscReading> readTocThroughScsi(int node, const std::string& path,
                                              TocAddressForm form) {
  std::array<std::uint8_t, 10> command = readTocCommand(form);
  std::array<std::uint8_t, kReadTocReplySize> reply;
  std::array<std::uint8_t, 32> senseData;
  for (int attempt = 1;; ++attempt) {
    sg_io_hdr_t io{};
    io.interface_id = 'S';
    io.dxfer_direction = SG_DXFER_FROM_DEV;
    io.cmd_len = static_cast<unsigned char>(command.size());
    io.cmdp = command.data();
    io.dxfer_len = static_cast<unsigned>(reply.size());
    io.dxferp = reply.data();
    io.mx_sb_len = static_cast<unsigned char>(senseData.size());
    io.sbp = senseData.data();
    io.timeout = kTimeoutMilliseconds;
    if (::ioctl(node, SG_IO, &io) != 0) {
      const int error = errno;
      if (error == EINTR && attempt < kMaxAttempts) continue;
      if (refusesScsi(error)) return std::nullopt;
      return driveFailure(FailureReason::kReadFailed, path,
                          std::string("reading the table of contents: ") + std::strerror(error));
    }

    if (io.status == 0 && io.host_status == 0 && io.driver_status == 0) {
      const std::size_t missing =
          io.resid > 0 ? std::min<std::size_t>(static_cast<std::size_t>(io.resid), reply.size())
                       : 0;
      auto parsed = parseReadTocReply(reply.data(), reply.size() - missing, form);
      if (auto* toc = std::get_if<TableOfContents>(&parsed)) return DiscReading(std::move(*toc));
      return driveFailure(FailureReason::kBadTable, path, std::get<std::string>(parsed));
    }
    const std::optional<Sense> sense =
        senseOf(senseData.data(), std::min<std::size_t>(io.sb_len_wr, senseData.size()));
    if (!sense) {
      char what[128];
      std::snprintf(what, sizeof what,
                    "reading the table of contents: the command failed without sense data "
                    "(status %02Xh, host status %02Xh, driver status %02Xh)",
                    io.status, io.host_status, io.driver_status);
      return driveFailure(FailureReason::kReadFailed, path, what);
    }
    if (sense->key == kUnitAttention && attempt < kMaxAttempts) continue;
    return failureFor(*sense, path);
  }
}
