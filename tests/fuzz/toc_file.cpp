// The table-of-contents file reader over fuzzed files: no crash, and every table it accepts
// is one the "cdaudio" device can answer for (tracks 1 to 99 with rising starts, every
// address within an MSF reply's two-digit minutes, every length at least zero frames).
#include <cstdlib>
#include <string_view>

#include "TocFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const DiscReading reading =
      parseTocText(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz");
  const auto* toc = std::get_if<TableOfContents>(&reading);
  if (toc == nullptr) {
    if (std::get<DiscFailure>(reading).detail.empty()) std::abort();
    return 0;
  }
  if (toc->firstTrack < 1 || toc->lastTrack > 99 || toc->firstTrack > toc->lastTrack ||
      toc->starts.size() != toc->trackCount() || toc->leadOut > 100 * kFramesPerMinute) {
    std::abort();
  }
  for (unsigned track = toc->firstTrack; track <= toc->lastTrack; ++track) {
    if (toc->startOf(track) / kFramesPerMinute > 99 || toc->lengthOf(track) >= toc->leadOut)
      std::abort();
  }
  return 0;
}
