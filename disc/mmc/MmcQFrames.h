#pragma once

#include <string>

#include "QFrames.h"
#include "ScsiTransport.h"

// Q frames through READ CD with formatted Q sub-channel (16 bytes a sector). A sector the
// drive cannot read (MEDIUM ERROR) gives no frames; a drive or system that reads no Q at
// all, and a disc gone, fail the read.
class MmcQFrames : public QFrames {
 public:
  // `path` names the drive in a failure.
  MmcQFrames(ScsiTransport& drive, std::string path) : drive(drive), path(std::move(path)) {}

  QFramesRead read(std::uint32_t lba, std::uint32_t count) override;

 private:
  ScsiTransport& drive;
  std::string path;
};
