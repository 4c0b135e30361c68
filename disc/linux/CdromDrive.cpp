#include "CdromDrive.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace {

DiscFailure error(FailureReason reason, const std::string& path, const std::string& what) {
  return {reason, path, path + ": " + what};
}

DiscFailure cannotOpen(const std::string& path, int openError) {
  std::string what = std::strerror(openError);
  if (openError == EACCES || openError == EPERM) {
    what += "; the user needs read access to it";
    struct stat info;
    if (::stat(path.c_str(), &info) == 0) {
      if (const group* owners = ::getgrgid(info.st_gid)) {
        what += std::string(", for example as a member of its group '") + owners->gr_name + "'";
      }
    }
  }
  const FailureReason reason = openError == ENOMEDIUM ? FailureReason::kNoDisc
                               : openError == EACCES || openError == EPERM
                                   ? FailureReason::kNoAccess
                                   : FailureReason::kNoDrive;
  return error(reason, path, what);
}

// A track's absolute start in frames, in whichever form the drive answered.
std::optional<std::uint32_t> absoluteFrame(const cdrom_tocentry& entry) {
  if (entry.cdte_format == CDROM_MSF) {
    const cdrom_msf0& msf = entry.cdte_addr.msf;
    return framesOf({msf.minute, msf.second, msf.frame});
  }
  constexpr long kLeadIn = kLeadInFrames;
  if (entry.cdte_format == CDROM_LBA && entry.cdte_addr.lba >= -kLeadIn) {
    return static_cast<std::uint32_t>(entry.cdte_addr.lba + kLeadIn);
  }
  return std::nullopt;
}

// Reads one entry's start and control nibble; a failure is described in `what`.
std::optional<std::uint32_t> readEntry(int node, unsigned track, std::uint8_t& control,
                                       std::string& what) {
  cdrom_tocentry entry{};
  entry.cdte_track = static_cast<__u8>(track);
  entry.cdte_format = CDROM_LBA;
  const std::string name =
      track == CDROM_LEADOUT ? "the lead-out" : "track " + std::to_string(track);
  if (::ioctl(node, CDROMREADTOCENTRY, &entry) != 0) {
    what = "reading " + name + ": " + std::strerror(errno);
    return std::nullopt;
  }
  control = entry.cdte_ctrl;
  const auto frame = absoluteFrame(entry);
  if (!frame) what = "the drive gives " + name + " an address that is not one";
  return frame;
}

DiscOpening readTableOfContents(FileDescriptor node, const cdrom_tochdr& header,
                                const std::string& path) {
  TableOfContents toc;
  toc.firstTrack = header.cdth_trk0;
  toc.lastTrack = header.cdth_trk1;
  if (toc.firstTrack < 1 || toc.lastTrack < toc.firstTrack || toc.lastTrack > kMaxTrack) {
    return error(FailureReason::kBadTable, path,
                 "the drive reports tracks " + std::to_string(toc.firstTrack) + " to " +
                     std::to_string(toc.lastTrack));
  }
  std::string what;
  std::uint8_t control = 0;
  for (unsigned track = toc.firstTrack; track <= toc.lastTrack; ++track) {
    const auto start = readEntry(node.get(), track, control, what);
    if (!start) return error(FailureReason::kReadFailed, path, what);
    toc.starts.push_back(*start);
    toc.controls.push_back(control);
  }
  const auto leadOut = readEntry(node.get(), CDROM_LEADOUT, control, what);
  if (!leadOut) return error(FailureReason::kReadFailed, path, what);
  toc.leadOut = *leadOut;
  if (const auto problem = findProblem(toc)) {
    return error(FailureReason::kBadTable, path,
                 "the drive's table of contents is wrong: " + problem->what);
  }
  return OpenDisc{std::move(toc), std::move(node)};
}

}  // namespace

std::optional<DiscOpening> openCdromDrive(const std::string& path) {
  // Without O_NONBLOCK, opening a drive with no disc or an open tray fails or waits.
  FileDescriptor node(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!node) return cannotOpen(path, errno);

  cdrom_tochdr header{};
  if (::ioctl(node.get(), CDROMREADTOCHDR, &header) == 0) {
    return readTableOfContents(std::move(node), header, path);
  }
  const int headerError = errno;
  const int driveStatus = ::ioctl(node.get(), CDROM_DRIVE_STATUS, CDSL_CURRENT);
  if (driveStatus < 0) {
    struct stat info;
    if (::fstat(node.get(), &info) == 0 && S_ISREG(info.st_mode)) return std::nullopt;
    return error(FailureReason::kNoDrive, path, "neither a CD drive nor a table-of-contents file");
  }
  switch (driveStatus) {
    case CDS_NO_DISC:
      return error(FailureReason::kNoDisc, path, "no disc in the drive");
    case CDS_TRAY_OPEN:
      return error(FailureReason::kNoDisc, path, "the drive's tray is open");
    case CDS_DRIVE_NOT_READY:
      return error(FailureReason::kNotReady, path,
                   "the drive is not ready yet; try again in a moment");
  }
  return error(FailureReason::kReadFailed, path,
               std::string("the table of contents can not be read: ") + std::strerror(headerError));
}
