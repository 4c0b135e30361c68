// The values a disc carries beside its table of contents, checked and ordered the same way
// whichever reader found them.
#include "DiscExtras.h"

#include <algorithm>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }

}  // namespace

bool validMediaCatalogNumber(std::string_view number) {
  return number.size() == 13 && std::all_of(number.begin(), number.end(), isDigit) &&
         number.find_first_not_of('0') != std::string_view::npos;
}

bool validIsrc(std::string_view isrc) {
  if (isrc.size() != 12) return false;
  const auto isUpperOrDigit = [](char c) { return isUpper(c) || isDigit(c); };
  return std::all_of(isrc.begin(), isrc.begin() + 2, isUpper) &&
         std::all_of(isrc.begin() + 2, isrc.begin() + 5, isUpperOrDigit) &&
         std::all_of(isrc.begin() + 5, isrc.end(), isDigit);
}

const CdTextItem* CdTextBlock::find(std::uint8_t packType, unsigned track) const {
  for (const CdTextItem& item : items) {
    if (item.packType == packType && item.track == track) return &item;
  }
  return nullptr;
}

void sortItems(CdTextBlock& block) {
  std::stable_sort(block.items.begin(), block.items.end(),
                   [](const CdTextItem& a, const CdTextItem& b) {
                     return a.packType != b.packType ? a.packType < b.packType : a.track < b.track;
                   });
}

DiscExtras onlyThoseWanted(DiscExtras extras, unsigned wanted, std::size_t trackCount) {
  if ((wanted & kExtraMcn) == 0) extras.mediaCatalogNumber.reset();
  if ((wanted & kExtraIsrc) == 0) extras.isrcs.assign(trackCount, std::nullopt);
  if ((wanted & kExtraCdText) == 0) extras.cdText.reset();
  return extras;
}

void keepTracksOf(CdText& cdText, const TableOfContents& toc) {
  for (CdTextBlock& block : cdText.blocks) {
    block.items.erase(std::remove_if(block.items.begin(), block.items.end(),
                                     [&](const CdTextItem& item) {
                                       return item.track != 0 && !toc.hasTrack(item.track);
                                     }),
                      block.items.end());
  }
  cdText.blocks.erase(std::remove_if(cdText.blocks.begin(), cdText.blocks.end(),
                                     [](const CdTextBlock& block) { return block.items.empty(); }),
                      cdText.blocks.end());
}
