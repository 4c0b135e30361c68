#include "CdromDrive.h"

#include <linux/cdrom.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <climits>  // CDSL_CURRENT is INT_MAX
#include <cstring>

#include "DriveFailures.h"
#include "MmcToc.h"
#include "ScsiReadToc.h"
#include "SgioTransport.h"

namespace {

// The kernel numbers the lead-out as READ TOC does, which the shared words for it rely on.
static_assert(CDROM_LEADOUT == kLeadOutTrack);

// A track's absolute start in frames, in whichever form the drive answered.
std::optional<std::uint32_t> absoluteFrame(const cdrom_tocentry& entry) {
  if (entry.cdte_format == CDROM_MSF) {
    const cdrom_msf0& msf = entry.cdte_addr.msf;
    return frameOfMsf(msf.minute, msf.second, msf.frame);
  }
  constexpr long kLeadIn = kLeadInFrames;
  if (entry.cdte_format == CDROM_LBA && entry.cdte_addr.lba >= -kLeadIn) {
    return static_cast<std::uint32_t>(entry.cdte_addr.lba + kLeadIn);
  }
  return std::nullopt;
}

// Reads one entry's start and control nibble, or why it has none.
std::variant<std::uint32_t, DiscFailure> readEntry(int node, const std::string& path,
                                                   unsigned track, std::uint8_t& control) {
  cdrom_tocentry entry{};
  entry.cdte_track = static_cast<__u8>(track);
  entry.cdte_format = CDROM_LBA;
  if (::ioctl(node, CDROMREADTOCENTRY, &entry) != 0) {
    return driveFailure(FailureReason::kReadFailed, path,
                        "reading " + trackName(track) + ": " + std::strerror(errno));
  }
  control = entry.cdte_ctrl;
  if (const auto frame = absoluteFrame(entry)) return *frame;
  return driveFailure(FailureReason::kBadTable, path, addressProblem(track));
}

// The CD-ROM ioctls: one READ TOC command each, for the header, every track and the lead-out.
DiscReading readTocThroughIoctls(int node, const std::string& path) {
  cdrom_tochdr header{};
  if (::ioctl(node, CDROMREADTOCHDR, &header) != 0) {
    return driveFailure(
        FailureReason::kReadFailed, path,
        std::string("the table of contents can not be read: ") + std::strerror(errno));
  }
  TableOfContents toc;
  toc.firstTrack = header.cdth_trk0;
  toc.lastTrack = header.cdth_trk1;
  if (auto problem = trackRangeProblem(toc.firstTrack, toc.lastTrack)) {
    return driveFailure(FailureReason::kBadTable, path, *problem);
  }
  std::uint8_t control = 0;
  for (unsigned track = toc.firstTrack; track <= toc.lastTrack; ++track) {
    auto start = readEntry(node, path, track, control);
    if (auto* failure = std::get_if<DiscFailure>(&start)) return std::move(*failure);
    toc.starts.push_back(std::get<std::uint32_t>(start));
    toc.controls.push_back(control & 0x0f);
  }
  auto leadOut = readEntry(node, path, CDROM_LEADOUT, control);
  if (auto* failure = std::get_if<DiscFailure>(&leadOut)) return std::move(*failure);
  toc.leadOut = std::get<std::uint32_t>(leadOut);
  if (auto problem = tableProblem(toc)) {
    return driveFailure(FailureReason::kBadTable, path, *problem);
  }
  return toc;
}

// A read that failed for no reason of its own may be explained by the drive's status: no
// disc, an open tray, not ready yet; a node without one is no CD drive at all.
DiscFailure explained(DiscFailure failure, int node) {
  if (failure.reason != FailureReason::kReadFailed) return failure;
  switch (::ioctl(node, CDROM_DRIVE_STATUS, CDSL_CURRENT)) {
    case -1:
      return notADrive(failure.drive);
    case CDS_NO_DISC:
      return noDisc(failure.drive);
    case CDS_TRAY_OPEN:
      return trayOpen(failure.drive);
    case CDS_DRIVE_NOT_READY:
      return becomingReady(failure.drive);
  }
  return failure;
}

}  // namespace

DiscReading readCdromTable(int node, const std::string& path) {
  SgioTransport drive(node);
  std::optional<DiscReading> reading = readTocThrough(drive, path);
  if (!reading) reading = readTocThroughIoctls(node, path);
  if (auto* failure = std::get_if<DiscFailure>(&*reading)) {
    return explained(std::move(*failure), node);
  }
  return std::move(*reading);
}

DiscOpening readCdromDrive(FileDescriptor node, const std::string& path) {
  DiscReading reading = readCdromTable(node.get(), path);
  if (auto* failure = std::get_if<DiscFailure>(&reading)) return std::move(*failure);
  return OpenDisc{std::move(std::get<TableOfContents>(reading)), std::move(node), {}, nullptr};
}
