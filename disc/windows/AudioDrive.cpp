// A drive's audio on Windows: READ CD through SCSI pass-through, or, where Windows refuses
// pass-through (a handle without write access), the CD-ROM class driver's raw read of CD-DA;
// a CUE sheet's image read from its files.
#include "AudioDrive.h"

#include <windows.h>
#include <winioctl.h>
// After windows.h and winioctl.h, which it builds on.
#include <ntddcdrm.h>

#include <algorithm>

#include "CueImage.h"
#include "DriveLetterReader.h"
#include "Frames.h"
#include "MmcQFrames.h"
#include "MmcReadCd.h"
#include "PassThroughTransport.h"

namespace {

// The class driver's address of a sector in a raw read: as if its sectors held 2048 bytes.
constexpr LONGLONG kCookedSectorBytes = 2048;

// IOCTL_CDROM_RAW_READ in track mode CDDA. Requests too long for the driver are made
// shorter, halving down to one sector, as for READ CD.
class RawReadSectors : public AudioSectors {
 public:
  RawReadSectors(HANDLE drive, std::string letter) : drive(drive), letter(std::move(letter)) {}

  SectorsRead read(std::uint32_t lba, std::uint32_t count, std::uint8_t* out) override {
    while (count > 0) {
      const std::uint32_t piece = std::min(count, perRequest);
      RAW_READ_INFO request{};
      request.DiskOffset.QuadPart = LONGLONG{lba} * kCookedSectorBytes;
      request.SectorCount = piece;
      request.TrackMode = CDDA;
      const DWORD size = piece * kAudioFrameBytes;
      DWORD returned = 0;
      const bool read = DeviceIoControl(drive, IOCTL_CDROM_RAW_READ, &request, sizeof request, out,
                                        size, &returned, nullptr);
      const DWORD error = read ? ERROR_SUCCESS : GetLastError();
      if (read && returned == size) {
        lba += piece;
        count -= piece;
        out += size;
        continue;
      }
      if (piece > 1 && (read || error == ERROR_INVALID_PARAMETER ||
                        error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_INVALID_USER_BUFFER)) {
        perRequest = std::max<std::uint32_t>(1, piece / 2);
        continue;
      }
      // The class driver reports a sector it can not read as a CRC error.
      if (error == ERROR_CRC || error == ERROR_SECTOR_NOT_FOUND) {
        return {SectorsRead::Status::kBadSector, std::nullopt};
      }
      return {SectorsRead::Status::kFailed,
              driveLetterFailure(read ? ERROR_READ_FAULT : error, letter, "fails to read audio")};
    }
    return {SectorsRead::Status::kRead, std::nullopt};
  }

 private:
  HANDLE drive;
  std::string letter;
  std::uint32_t perRequest = kSectorsPerReadCd;
};

// Pass-through while Windows passes it; from its first refusal on, the raw read.
class WindowsAudioDrive : public AudioDrive {
 public:
  explicit WindowsAudioDrive(OpenDriveLetter opened)
      : drive(std::move(opened)),
        name("drive " + drive.letter.substr(0, 1)),
        transport(drive.handle.get()),
        commands(transport, name),
        raw(drive.handle.get(), drive.letter),
        sectorsRead(*this),
        qCommands(transport, name),
        q(*this) {}

  const TableOfContents& toc() const override { return drive.toc; }
  AudioSectors& sectors() override { return sectorsRead; }
  QFrames& subchannel() override { return q; }
  const std::string& path() const override { return drive.letter; }

 protected:
  DiscReading readTocAgain() override {
    return readDriveLetterTable(drive.handle.get(), drive.letter);
  }

 private:
  struct Fallback : AudioSectors {
    explicit Fallback(WindowsAudioDrive& owner) : owner(owner) {}
    SectorsRead read(std::uint32_t lba, std::uint32_t count, std::uint8_t* out) override {
      return readFlagged(lba, count, out, nullptr);
    }
    // `flagged` null: a read without C2 pointers.
    SectorsRead readFlagged(std::uint32_t lba, std::uint32_t count, std::uint8_t* out,
                            std::uint8_t* flagged) override {
      if (!owner.passThroughRefused) {
        SectorsRead read = flagged ? owner.commands.readFlagged(lba, count, out, flagged)
                                   : owner.commands.read(lba, count, out);
        if (read.status != SectorsRead::Status::kRefused) {
          // The shared layer words a failure "drive D: <what>": it is this reader's.
          if (read.failure) read.failure->drive = owner.drive.letter;
          return read;
        }
        owner.passThroughRefused = true;
      }
      return flagged ? owner.raw.readFlagged(lba, count, out, flagged)
                     : owner.raw.read(lba, count, out);
    }
    bool givesC2() const override { return !owner.passThroughRefused && owner.commands.givesC2(); }
    std::optional<std::uint32_t> reportedBufferKilobytes() override {
      if (owner.passThroughRefused) return std::nullopt;
      return owner.commands.reportedBufferKilobytes();
    }
    void dropCached(std::uint32_t lba) override {
      if (!owner.passThroughRefused) owner.commands.dropCached(lba);
    }
    WindowsAudioDrive& owner;
  };

  // The Q data only through pass-through: the class driver has no raw read of it.
  struct LetterQ : QFrames {
    explicit LetterQ(WindowsAudioDrive& owner) : owner(owner) {}
    QFramesRead read(std::uint32_t lba, std::uint32_t count) override {
      QFramesRead read = owner.qCommands.read(lba, count);
      if (read.failure) read.failure->drive = owner.drive.letter;
      return read;
    }
    WindowsAudioDrive& owner;
  };

  OpenDriveLetter drive;
  std::string name;
  PassThroughTransport transport;
  MmcAudioSectors commands;
  RawReadSectors raw;
  Fallback sectorsRead;
  MmcQFrames qCommands;
  LetterQ q;
  bool passThroughRefused = false;
};

}  // namespace

AudioDriveOpening openAudioDrive(const std::string& drive) {
  if (isCueSheetName(drive)) {
    auto image = CueImage::open(drive);
    if (auto* failure = std::get_if<DiscFailure>(&image)) return std::move(*failure);
    return std::move(std::get<std::unique_ptr<CueImage>>(image));
  }
  auto opened = openDriveLetter(drive);
  if (auto* failure = std::get_if<DiscFailure>(&opened)) return std::move(*failure);
  return std::make_unique<WindowsAudioDrive>(std::move(std::get<OpenDriveLetter>(opened)));
}
