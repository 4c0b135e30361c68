// The disc reader on Windows: the table of contents of the CD drive behind a drive letter,
// in one IOCTL_CDROM_READ_TOC request to the CD-ROM class driver, and the extras a disc
// carries through MMC commands; or a CUE sheet's image.
#include <windows.h>
#include <winioctl.h>
// After windows.h and winioctl.h, which it builds on.
#include <ntddcdrm.h>

#include "CdDriveLetter.h"
#include "CdromIoctlExtras.h"
#include "CueImage.h"
#include "DiscReader.h"
#include "DriveLetterReader.h"
#include "DriveLetters.h"
#include "MmcToc.h"
#include "PassThroughTransport.h"

namespace {

DiscFailure failure(FailureReason reason, const std::string& letter, const std::string& what) {
  return {reason, letter, "drive " + letter + " " + what};
}

// The reply has the layout of MMC's READ TOC reply with MSF addresses, which is what the
// class driver sends the drive for it.
DiscReading tableOf(const CDROM_TOC& reply, DWORD replyBytes, const std::string& letter) {
  auto parsed = parseReadTocReply(reinterpret_cast<const std::uint8_t*>(&reply), replyBytes,
                                  TocAddressForm::kMsf);
  if (auto* problem = std::get_if<std::string>(&parsed)) {
    return failure(FailureReason::kBadTable, letter, *problem);
  }
  return std::move(std::get<TableOfContents>(parsed));
}

DiscReading readTable(HANDLE handle, const std::string& letter) {
  CDROM_TOC reply{};
  DWORD replyBytes = 0;
  if (!DeviceIoControl(handle, IOCTL_CDROM_READ_TOC, nullptr, 0, &reply, sizeof reply, &replyBytes,
                       nullptr)) {
    return windowsFailure(GetLastError(), letter, "fails to read its table of contents");
  }
  return tableOf(reply, replyBytes, letter);
}

}  // namespace

DiscFailure windowsFailure(DWORD error, const std::string& letter, const char* doing) {
  switch (error) {
    case ERROR_NOT_READY:
    case ERROR_NO_MEDIA_IN_DRIVE:
      return failure(FailureReason::kNoDisc, letter, "holds no disc, or its tray is open");
    case ERROR_ACCESS_DENIED:
      return failure(FailureReason::kNoAccess, letter,
                     "may not be read: access denied; the user needs read access to it");
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return failure(FailureReason::kNoDrive, letter, "does not exist");
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
      return failure(FailureReason::kNoDrive, letter, "does not answer as a CD drive");
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      return failure(FailureReason::kNotReady, letter,
                     "is in use by another program; try again in a moment");
    case ERROR_MEDIA_CHANGED:
      return failure(FailureReason::kNotReady, letter,
                     "has just had its disc changed; try again in a moment");
  }
  return failure(FailureReason::kReadFailed, letter, std::string(doing) + ": " + systemText(error));
}

std::variant<std::string, DiscFailure> cdDriveLetterOf(const std::string& drive) {
  if (drive.empty()) {
    const std::vector<std::string> letters = cdDriveLetters();
    if (letters.empty()) {
      return DiscFailure{FailureReason::kNoDrive, "",
                         "no CD drive: Windows has no drive letter of type CD-ROM"};
    }
    return letters.front();
  }
  const std::string letter = driveLetterOf(drive);
  if (letter.empty()) {
    return DiscFailure{FailureReason::kNoDrive, drive,
                       "'" + drive + "' is not a drive letter; name a CD drive as D:, D or D:\\"};
  }
  const UINT type = driveTypeOf(letter);
  if (type == DRIVE_NO_ROOT_DIR) return failure(FailureReason::kNoDrive, letter, "does not exist");
  if (type != DRIVE_CDROM) return failure(FailureReason::kNoDrive, letter, "is not a CD drive");
  return letter;
}

DiscReading readDisc(const std::string& drive) {
  if (isCueSheetName(drive)) {
    DiscExtrasReading image = readCueImage(drive, 0);
    if (auto* problem = std::get_if<DiscFailure>(&image)) return std::move(*problem);
    return std::move(std::get<DiscWithExtras>(image).toc);
  }
  const auto letter = cdDriveLetterOf(drive);
  if (auto* problem = std::get_if<DiscFailure>(&letter)) return *problem;
  const std::string& name = std::get<std::string>(letter);
  const Handle handle = openDriveDevice(name, GENERIC_READ);
  if (handle == nullptr) return windowsFailure(GetLastError(), name, "can not be opened");
  return readTable(handle.get(), name);
}

std::variant<OpenDriveLetter, DiscFailure> openDriveLetter(const std::string& drive) {
  const auto letter = cdDriveLetterOf(drive);
  if (auto* problem = std::get_if<DiscFailure>(&letter)) return *problem;
  const std::string& name = std::get<std::string>(letter);
  Handle handle = openDriveForCommands(name);
  if (handle == nullptr) return windowsFailure(GetLastError(), name, "can not be opened");
  DiscReading reading = readTable(handle.get(), name);
  if (auto* problem = std::get_if<DiscFailure>(&reading)) return std::move(*problem);
  return OpenDriveLetter{name, std::move(handle), std::move(std::get<TableOfContents>(reading))};
}

DiscReading readDriveLetterTable(HANDLE handle, const std::string& letter) {
  return readTable(handle, letter);
}

DiscFailure driveLetterFailure(DWORD error, const std::string& letter, const char* doing) {
  return windowsFailure(error, letter, doing);
}

// The table as readDisc(drive) reads it; for extras on a handle that may also carry MMC
// commands, and then through pass-through, or the class driver where that is refused.
DiscExtrasReading readDisc(const std::string& drive, unsigned extras,
                           const ExtrasLimits::Interrupted& interrupted) {
  if (isCueSheetName(drive)) return readCueImage(drive, extras);
  const auto letter = cdDriveLetterOf(drive);
  if (auto* problem = std::get_if<DiscFailure>(&letter)) return *problem;
  const std::string& name = std::get<std::string>(letter);
  const Handle handle =
      extras == 0 ? openDriveDevice(name, GENERIC_READ) : openDriveForCommands(name);
  if (handle == nullptr) return windowsFailure(GetLastError(), name, "can not be opened");
  DiscReading reading = readTable(handle.get(), name);
  if (auto* problem = std::get_if<DiscFailure>(&reading)) return std::move(*problem);
  DiscWithExtras disc{std::move(std::get<TableOfContents>(reading)), {}};

  PassThroughTransport transport(handle.get());
  const ExtrasLimits limits(ExtrasLimits::kDefaultTime, interrupted);
  // The shared layer words a failure "<path>: <what>": "drive D" makes it this reader's
  // "drive D: <what>".
  const std::string path = "drive " + name.substr(0, 1);
  ExtrasReading read = readDiscExtras(transport, disc.toc, extras, path, limits);
  if (read.transportRefused) {
    read = readExtrasThroughCdromIoctls(handle.get(), disc.toc, extras, path, limits);
  }
  if (read.failure) {
    read.failure->drive = name;
    return std::move(*read.failure);
  }
  disc.extras = std::move(read.extras);
  return disc;
}
