#pragma once

#include <memory>
#include <vector>

#include "CDDrive.h"
#include "Diagnostics.h"
#include "MciApi.h"

// The audio CD drive driven through MCI command strings. One object is one opening of
// the device: the constructor opens it and reads the whole table of contents, the
// destructor closes it. Every failure is reported to `diagnostics`, which must outlive the
// drive (its destructor reports a failed close), and leaves zero tracks.
class MCICDDrive : public CDDrive {
 public:
  MCICDDrive(const char* deviceName, Diagnostics& diagnostics);
  ~MCICDDrive() override;
  MCICDDrive(const MCICDDrive&) = delete;
  MCICDDrive& operator=(const MCICDDrive&) = delete;

  std::uint32_t getTrackCount() const override { return trackCount; }
  std::uint32_t getTrackStart(std::uint32_t index) const override {
    return tracks[index]->startFrames;
  }
  std::uint32_t getTrackLength(std::uint32_t index) const override {
    return tracks[index]->lengthFrames;
  }
  std::int32_t getTrackSeconds(std::uint32_t index) const override {
    return tracks[index]->lengthSeconds;
  }

 private:
  // Sends one command and reports a failure. Returns the MCI code.
  MCIERROR sendCommand(const char* command, char* reply, unsigned replyLength);
  // Each returns 0, the failing command's MCI code, or -1 for a reply that does not parse.
  int readTrackCount(const char* deviceName);
  int readTrackTable(const char* deviceName);

  std::uint32_t trackCount = 0;
  std::vector<std::unique_ptr<TrackInfo>> tracks;
  Diagnostics& diagnostics;
};
