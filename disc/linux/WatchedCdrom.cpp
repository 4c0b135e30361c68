// A drive watched on Linux: its device node held open without blocking (which neither
// waits for a disc nor locks the tray), MMC commands through SG_IO, the kernel's drive
// status where SG_IO is refused; its tray through START STOP UNIT, or the kernel's
// CDROMEJECT and CDROMCLOSETRAY.
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>  // CDSL_CURRENT is INT_MAX
#include <cstring>

#include "CdromDrive.h"
#include "DriveFailures.h"
#include "OpenDisc.h"
#include "ScsiReadToc.h"
#include "SgioTransport.h"
#include "WatchedDrive.h"

namespace {

class WatchedCdrom : public WatchedDrive {
 public:
  WatchedCdrom(FileDescriptor node, std::string path)
      : node(std::move(node)), path(std::move(path)), transport(this->node.get()) {}

  const std::string& name() const override { return path; }
  ScsiTransport& commands() override { return transport; }

  MediumObservation mediumWithoutCommands() override {
    MediumObservation seen;
    switch (::ioctl(node.get(), CDROM_DRIVE_STATUS, CDSL_CURRENT)) {
      case CDS_NO_DISC:
      case CDS_TRAY_OPEN:
        seen.medium = Medium::kNone;
        break;
      case CDS_DRIVE_NOT_READY:
        seen.medium = Medium::kBecomingReady;
        break;
      case CDS_DISC_OK:
        seen.medium = Medium::kReady;
        break;
    }
    return seen;
  }

  // The flag the kernel keeps for the callers of this ioctl, which its own polling sets and
  // does not clear (it may send the drive a command of its own to bring itself up to date).
  bool mediumChangedMeanwhile() override {
    return ::ioctl(node.get(), CDROM_MEDIA_CHANGED, CDSL_CURRENT) == 1;
  }

  // Through SG_IO, its failures explained by the drive's sense data alone (no status asked
  // besides); as Disc.read reads the drive where SG_IO is refused.
  DiscReading readToc() override {
    if (auto reading = readTocThrough(transport, path)) return std::move(*reading);
    return readCdromTable(node.get(), path);
  }

 private:
  FileDescriptor node;
  std::string path;
  SgioTransport transport;
};

std::string driveOrFirst(const std::string& drive) {
  return drive.empty() ? findFirstCdDrive() : drive;
}

DiscFailure noCdDrive() {
  return DiscFailure{FailureReason::kNoDrive, "",
                     "no CD drive: there is no /dev/cdrom and the kernel lists none"};
}

// Opened without blocking, for reading and, where allowed, writing: the kernel passes START
// STOP UNIT only to a writer.
std::variant<FileDescriptor, DiscFailure> openDriveNode(const std::string& path, bool forWriting) {
  constexpr int kFlags = O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  FileDescriptor node(forWriting ? ::open(path.c_str(), O_RDWR | kFlags) : -1);
  if (!node) node = FileDescriptor(::open(path.c_str(), O_RDONLY | kFlags));
  if (!node) return cannotOpen(path, errno);
  struct stat info;
  if (::fstat(node.get(), &info) != 0 || !(S_ISBLK(info.st_mode) || S_ISCHR(info.st_mode))) {
    return driveFailure(FailureReason::kNoDrive, path, "not a CD drive");
  }
  return node;
}

std::optional<DiscFailure> moveTrayThroughIoctl(int node, TrayMove move, const std::string& path) {
  if (::ioctl(node, move == TrayMove::kEject ? CDROMEJECT : CDROMCLOSETRAY, 0) == 0) {
    return std::nullopt;
  }
  const int error = errno;
  switch (error) {
    case ENOSYS:
    case ENOTTY:
    case EINVAL:
      return trayCannotMove(path, move);
    case EBUSY:
      // The kernel ejects only for its one user, and not while it keeps the tray locked.
      return driveFailure(FailureReason::kTrayLocked, path,
                          "the drive is in use by another program, or its tray is locked");
  }
  return driveFailure(
      FailureReason::kReadFailed, path,
      std::string(move == TrayMove::kEject ? "ejecting the disc: " : "closing the tray: ") +
          std::strerror(error));
}

}  // namespace

DriveWatching watchDrive(const std::string& drive) {
  const std::string path = driveOrFirst(drive);
  if (path.empty()) return noCdDrive();
  auto node = openDriveNode(path, false);
  if (auto* failure = std::get_if<DiscFailure>(&node)) return std::move(*failure);
  return std::make_unique<WatchedCdrom>(std::move(std::get<FileDescriptor>(node)), path);
}

std::optional<DiscFailure> moveTray(const std::string& drive, TrayMove move) {
  const std::string path = driveOrFirst(drive);
  if (path.empty()) return noCdDrive();
  auto opened = openDriveNode(path, true);
  if (auto* failure = std::get_if<DiscFailure>(&opened)) return std::move(*failure);
  const FileDescriptor& node = std::get<FileDescriptor>(opened);
  SgioTransport transport(node.get());
  if (auto moved = moveTrayThrough(transport, move, path)) return *moved;
  return moveTrayThroughIoctl(node.get(), move, path);
}
