// The CD-Text parser over fuzzed READ TOC format 5 replies: no crash, no read past what the
// drive sent, and what it gives is well formed: blocks 0 to 7 in order, none empty, texts
// of text-carrying pack types, none empty, for the album or tracks 0 to 127, each once.
#include <cstdlib>
#include <vector>

#include "DiscExtras.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> reply(data, data + size);
  std::optional<CdText> cdText = parseCdText(reply.data(), reply.size());
  if (!cdText) return 0;
  if (cdText->blocks.empty()) std::abort();
  for (std::size_t i = 0; i < cdText->blocks.size(); ++i) {
    const CdTextBlock& block = cdText->blocks[i];
    if (block.number > 7 || (i > 0 && block.number <= cdText->blocks[i - 1].number)) std::abort();
    if (block.items.empty()) std::abort();
    for (const CdTextItem& item : block.items) {
      const bool textType = (item.packType >= kCdTextTitle && item.packType <= kCdTextGenre) ||
                            item.packType == kCdTextUpcIsrc;
      if (!textType || item.track > 127 || item.bytes.empty()) std::abort();
      if (block.find(item.packType, item.track) != &item) std::abort();
    }
  }
  // Cut to a disc of tracks 1 to 2: only the album and those remain.
  TableOfContents toc{1, 2, 30000, {150, 15000}, {0, 0}};
  keepTracksOf(*cdText, toc);
  for (const CdTextBlock& block : cdText->blocks) {
    for (const CdTextItem& item : block.items) {
      if (item.track > 2) std::abort();
    }
  }
  return 0;
}
