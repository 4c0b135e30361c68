#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "AudioSectors.h"
#include "DiscFailure.h"
#include "QFrames.h"
#include "TableOfContents.h"

// A CD drive opened to read its disc's audio: the table of contents read once at the
// opening, and the drive's sectors, read the platform's way, for as long as it stays open.
class AudioDrive {
 public:
  virtual ~AudioDrive() = default;
  virtual const TableOfContents& toc() const = 0;
  virtual AudioSectors& sectors() = 0;
  // The Q sub-channel of its sectors.
  virtual QFrames& subchannel() = 0;
  // The drive as failures name it.
  virtual const std::string& path() const = 0;
  // Whether it is a disc image: files, which read the same every time, with no drive to lock.
  virtual bool isImage() const { return false; }

  // Whether the disc is still the one opened: its table read again from the drive (one
  // command) and held to toc(). A disc swapped meanwhile may have left no unit attention
  // for the reads to see (the kernel's polling takes it), so each track's reading asks.
  std::optional<DiscFailure> checkSameDisc();

 protected:
  // The drive's table of contents as it is now.
  virtual DiscReading readTocAgain() = 0;
};

using AudioDriveOpening = std::variant<std::unique_ptr<AudioDrive>, DiscFailure>;

// Opens the drive that `drive` names as readDisc takes it (empty: the system's first CD
// drive). One implementation a platform, chosen by the build. A CUE sheet opens its image;
// a table-of-contents file holds no audio: it is refused.
AudioDriveOpening openAudioDrive(const std::string& drive);
