#include "AudioDrive.h"

namespace {

bool sameTable(const TableOfContents& a, const TableOfContents& b) {
  return a.firstTrack == b.firstTrack && a.lastTrack == b.lastTrack && a.leadOut == b.leadOut &&
         a.starts == b.starts && a.controls == b.controls;
}

}  // namespace

std::optional<DiscFailure> AudioDrive::checkSameDisc() {
  DiscReading now = readTocAgain();
  if (auto* failure = std::get_if<DiscFailure>(&now)) return std::move(*failure);
  if (sameTable(std::get<TableOfContents>(now), toc())) return std::nullopt;
  return DiscFailure{FailureReason::kNoDisc, path(),
                     path() + ": the disc was changed since the drive was opened; open it again"};
}
