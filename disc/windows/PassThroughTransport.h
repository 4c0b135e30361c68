#pragma once

#include <windows.h>

#include "ScsiTransport.h"

// MMC commands to the CD drive open on a handle, through IOCTL_SCSI_PASS_THROUGH_DIRECT.
// Windows passes them only on a handle with read and write access: on any other, every
// command is refused. The handle stays its owner's.
class PassThroughTransport : public ScsiTransport {
 public:
  explicit PassThroughTransport(HANDLE drive) : drive(drive) {}

  ScsiOutcome send(const std::uint8_t* command, std::size_t commandSize, std::uint8_t* reply,
                   std::size_t replySize) override;

 private:
  HANDLE drive;
};
