#pragma once

#include <memory>
#include <string>
#include <variant>

#include "AudioSectors.h"
#include "DiscFailure.h"
#include "TableOfContents.h"

// A CD drive opened to read its disc's audio: the table of contents read once at the
// opening, and the drive's sectors, read the platform's way, for as long as it stays open.
class AudioDrive {
 public:
  virtual ~AudioDrive() = default;
  virtual const TableOfContents& toc() const = 0;
  virtual AudioSectors& sectors() = 0;
  // The drive as failures name it.
  virtual const std::string& path() const = 0;
  // Whether it is a disc image: files, which read the same every time, with no drive to lock.
  virtual bool isImage() const { return false; }
};

using AudioDriveOpening = std::variant<std::unique_ptr<AudioDrive>, DiscFailure>;

// Opens the drive that `drive` names as readDisc takes it (empty: the system's first CD
// drive). One implementation a platform, chosen by the build. A CUE sheet opens its image;
// a table-of-contents file holds no audio: it is refused.
AudioDriveOpening openAudioDrive(const std::string& drive);
