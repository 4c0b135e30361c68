#pragma once

#include "CDDrive.h"
#include "TableOfContents.h"

// A table of contents already read, answering as the MCI drive answers for the same disc:
// each track's length as MCI reports it (the last one a frame short of the lead-out) plus
// one frame, and its whole seconds. So the texts built from either are the same.
class TableDrive : public CDDrive {
 public:
  explicit TableDrive(const TableOfContents& toc) : toc(toc) {}

  std::uint32_t getTrackCount() const override { return toc.trackCount(); }
  std::uint32_t getTrackStart(std::uint32_t index) const override { return toc.starts[index]; }
  std::uint32_t getTrackLength(std::uint32_t index) const override {
    return reportedLength(index) + 1;
  }
  std::int32_t getTrackSeconds(std::uint32_t index) const override {
    return static_cast<std::int32_t>(reportedLength(index) / kFramesPerSecond);
  }

 private:
  std::uint32_t reportedLength(std::uint32_t index) const {
    return toc.lengthOf(toc.firstTrack + index);
  }

  const TableOfContents& toc;
};
