#pragma once

#include <memory>
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
};

using AudioDriveOpening = std::variant<std::unique_ptr<AudioDrive>, DiscFailure>;

// Opens the drive that `drive` names as readDisc takes it (empty: the system's first CD
// drive). One implementation a platform, chosen by the build. A table-of-contents file
// holds no audio: it is refused.
AudioDriveOpening openAudioDrive(const std::string& drive);
