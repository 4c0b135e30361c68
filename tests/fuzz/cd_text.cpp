// The CD-Text parser over fuzzed READ TOC format 5 replies: no crash, no read past what the
// drive sent, and what it gives is well formed: blocks 0 to 7 in order, none empty, texts
// of text-carrying pack types, none empty, for the album or tracks 1 to 99, each once.
// Mutated inputs keep their packs' CRCs right, and mostly their length in the header.
#include <cstdlib>
#include <vector>

#include "CrcKeepingMutator.h"
#include "DiscExtras.h"

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t maxSize, unsigned seed) {
  size = LLVMFuzzerMutate(data, size, maxSize);
  writeCrcs(data, size, seed, {4, 18, 16});
  if (size >= 2 && seed % 4 != 0) {
    data[0] = static_cast<std::uint8_t>((size - 2) >> 8);
    data[1] = static_cast<std::uint8_t>(size - 2);
  }
  return size;
}

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
      if (!textType || item.track > kMaxTrack || item.bytes.empty()) std::abort();
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
