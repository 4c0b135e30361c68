// A drive watched on Windows: its device held open, for pass-through where Windows grants
// it (read and write access), Windows' media check where it refuses; the table read as
// Disc.read reads it; the tray through START STOP UNIT, or the storage driver's eject and
// load requests.
#include <windows.h>
#include <winioctl.h>

#include <optional>

#include "CdDriveLetter.h"
#include "DiscReader.h"
#include "DriveFailures.h"
#include "DriveLetters.h"
#include "PassThroughTransport.h"
#include "ScsiReadToc.h"
#include "WatchedDrive.h"

namespace {

class WatchedDriveLetter : public WatchedDrive {
 public:
  WatchedDriveLetter(Handle device, std::string letter)
      : device(std::move(device)), letter(std::move(letter)), transport(this->device.get()) {}

  const std::string& name() const override { return letter; }
  ScsiTransport& commands() override { return transport; }

  // CHECK_VERIFY2 asks the class driver without the volume's checks; older drivers know
  // only CHECK_VERIFY. Either tells a disc from none, not a disc spinning up from none.
  MediumObservation mediumWithoutCommands() override {
    MediumObservation seen;
    DWORD returned = 0;
    BOOL checked = DeviceIoControl(device.get(), IOCTL_STORAGE_CHECK_VERIFY2, nullptr, 0, nullptr,
                                   0, &returned, nullptr);
    DWORD error = checked ? ERROR_SUCCESS : GetLastError();
    if (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED) {
      checked = DeviceIoControl(device.get(), IOCTL_STORAGE_CHECK_VERIFY, nullptr, 0, nullptr, 0,
                                &returned, nullptr);
      error = checked ? ERROR_SUCCESS : GetLastError();
    }
    switch (error) {
      case ERROR_SUCCESS:
        seen.medium = Medium::kReady;
        break;
      case ERROR_NOT_READY:
      case ERROR_NO_MEDIA_IN_DRIVE:
        seen.medium = Medium::kNone;
        break;
      case ERROR_MEDIA_CHANGED:
        seen.changed = true;
        break;
    }
    return seen;
  }

  // The class driver counts the media changes it saw; the first answer is where counting
  // starts.
  bool mediumChangedMeanwhile() override {
    ULONG count = 0;
    DWORD returned = 0;
    if (!DeviceIoControl(device.get(), IOCTL_STORAGE_CHECK_VERIFY2, nullptr, 0, &count,
                         sizeof count, &returned, nullptr) ||
        returned < sizeof count) {
      return false;
    }
    const bool changed = changeCount && *changeCount != count;
    changeCount = count;
    return changed;
  }

  // Through pass-through where Windows grants it, as on Linux (the class driver may answer
  // from a table it keeps until it notices the change: Wine's does), else as Disc.read.
  DiscReading readToc() override {
    auto reading = readTocThrough(transport, "drive " + letter.substr(0, 1));
    if (!reading) return readDisc(letter);
    if (auto* failure = std::get_if<DiscFailure>(&*reading)) failure->drive = letter;
    return std::move(*reading);
  }

 private:
  Handle device;
  std::string letter;
  PassThroughTransport transport;
  std::optional<ULONG> changeCount;
};

std::optional<DiscFailure> moveTrayThroughStorageDriver(HANDLE device, TrayMove move,
                                                        const std::string& words) {
  DWORD returned = 0;
  const DWORD request =
      move == TrayMove::kEject ? IOCTL_STORAGE_EJECT_MEDIA : IOCTL_STORAGE_LOAD_MEDIA;
  if (DeviceIoControl(device, request, nullptr, 0, nullptr, 0, &returned, nullptr)) {
    return std::nullopt;
  }
  const DWORD error = GetLastError();
  switch (error) {
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
      return trayCannotMove(words, move);
    case ERROR_BUSY:
    case ERROR_SHARING_VIOLATION:
      return driveFailure(FailureReason::kTrayLocked, words,
                          "the drive is in use by another program, or its tray is locked");
  }
  return driveFailure(
      FailureReason::kReadFailed, words,
      std::string(move == TrayMove::kEject ? "ejecting the disc: " : "closing the tray: ") +
          systemText(error));
}

}  // namespace

DriveWatching watchDrive(const std::string& drive) {
  const auto letter = cdDriveLetterOf(drive);
  if (const auto* problem = std::get_if<DiscFailure>(&letter)) return *problem;
  const std::string& name = std::get<std::string>(letter);
  Handle device = openDriveForCommands(name);
  if (device == nullptr) return windowsFailure(GetLastError(), name, "can not be opened");
  return std::make_unique<WatchedDriveLetter>(std::move(device), name);
}

std::optional<DiscFailure> moveTray(const std::string& drive, TrayMove move) {
  const auto letter = cdDriveLetterOf(drive);
  if (const auto* problem = std::get_if<DiscFailure>(&letter)) return *problem;
  const std::string& name = std::get<std::string>(letter);
  const Handle device = openDriveForCommands(name);
  if (device == nullptr) return windowsFailure(GetLastError(), name, "can not be opened");
  PassThroughTransport transport(device.get());
  // The shared layer words a failure "<path>: <what>": "drive D" makes it this platform's
  // "drive D: <what>", for the drive "D:".
  const std::string words = "drive " + name.substr(0, 1);
  auto moved = moveTrayThrough(transport, move, words);
  std::optional<DiscFailure> failure =
      moved ? *moved : moveTrayThroughStorageDriver(device.get(), move, words);
  if (failure) failure->drive = name;
  return failure;
}
