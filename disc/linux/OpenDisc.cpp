#include "OpenDisc.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "CdDriveList.h"
#include "CdromDrive.h"
#include "DiscReader.h"
#include "DriveFailures.h"
#include "TocFile.h"

namespace {

bool isDeviceNode(const struct stat& info) {
  return S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode);
}

// The name of a group, if it has one.
std::optional<std::string> groupName(gid_t id) {
  std::vector<char> buffer(1024);
  for (;;) {
    group entry;
    group* found = nullptr;
    const int error = ::getgrgid_r(id, &entry, buffer.data(), buffer.size(), &found);
    if (error == ERANGE && buffer.size() < 64 * 1024) {
      buffer.resize(2 * buffer.size());
      continue;
    }
    if (error != 0 || found == nullptr) return std::nullopt;
    return std::string(found->gr_name);
  }
}

// Access to a drive's node is usually granted through its group (cdrom on Debian): that
// group is worth naming, unless it is root's. Advice only where the node's mode denies
// this user reading; a refusal of another kind (a sandbox's EPERM, root's) has other causes.
std::string deniedAdvice(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0 || !isDeviceNode(info)) return "";
  if (::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) == 0) return "";
  std::string advice = "; the user needs read access to it";
  if (info.st_gid != 0) {
    if (const auto group = groupName(info.st_gid)) {
      advice += ", for example as a member of its group '" + *group + "'";
    }
  }
  return advice;
}

DiscOpening readTocFileOpenOn(const FileDescriptor& file, const struct stat& info,
                              const std::string& path) {
  DiscExtrasReading reading = readTocText<DiscExtrasReading>(
      path, static_cast<std::size_t>(info.st_size),
      [&](char* buffer, std::size_t size) { return ::read(file.get(), buffer, size); });
  if (auto* failure = std::get_if<DiscFailure>(&reading)) return std::move(*failure);
  auto& disc = std::get<DiscWithExtras>(reading);
  return OpenDisc{std::move(disc.toc), FileDescriptor(), std::move(disc.extras), nullptr};
}

DiscOpening openCueImage(const std::string& path) {
  auto opened = CueImage::open(path);
  if (auto* failure = std::get_if<DiscFailure>(&opened)) return std::move(*failure);
  auto& image = std::get<std::unique_ptr<CueImage>>(opened);
  return OpenDisc{image->toc(), FileDescriptor(), image->extras(), std::move(image)};
}

}  // namespace

DiscFailure cannotOpen(const std::string& path, int openError) {
  std::string what = std::strerror(openError);
  const bool denied = openError == EACCES || openError == EPERM;
  if (denied) what += deniedAdvice(path);
  const FailureReason reason = openError == ENOMEDIUM ? FailureReason::kNoDisc
                               : denied               ? FailureReason::kNoAccess
                                                      : FailureReason::kNoDrive;
  return driveFailure(reason, path, what);
}

std::string findFirstCdDrive(const char* devCdrom, const std::string& sysClassBlock,
                             const char* driveList) {
  if (::access(devCdrom, F_OK) == 0) return devCdrom;
  const std::vector<std::string> names = cdDriveNames(sysClassBlock, driveList);
  return names.empty() ? "" : "/dev/" + names.front();
}

DiscOpening openDisc(const std::string& path) {
  const std::string drive = path.empty() ? findFirstCdDrive() : path;
  if (drive.empty()) {
    return DiscFailure{FailureReason::kNoDrive, "",
                       "no CD drive: there is no /dev/cdrom and the kernel lists none"};
  }
  // Opened once, and everything after reads this descriptor, never the path again. Without
  // blocking: a drive without a disc may wait, a FIFO would wait for a writer.
  FileDescriptor file(::open(drive.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!file) return cannotOpen(drive, errno);
  struct stat info;
  if (::fstat(file.get(), &info) != 0) {
    return driveFailure(FailureReason::kReadFailed, drive, std::strerror(errno));
  }
  if (isDeviceNode(info)) return readCdromDrive(std::move(file), drive);
  if (S_ISREG(info.st_mode)) {
    return isCueSheetName(drive) ? openCueImage(drive) : readTocFileOpenOn(file, info, drive);
  }
  if (S_ISDIR(info.st_mode)) return unreadableTocFile(drive, EISDIR);
  return notADrive(drive);
}

DiscReading readDisc(const std::string& drive) {
  DiscOpening opening = openDisc(drive);
  if (auto* failure = std::get_if<DiscFailure>(&opening)) return std::move(*failure);
  return std::move(std::get<OpenDisc>(opening).toc);
}
