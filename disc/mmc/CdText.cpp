// CD-Text from the packs of a READ TOC format 5 reply.
#include <algorithm>
#include <map>

#include "Crc16.h"
#include "DiscExtras.h"

namespace {

constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kPackSize = 18;
constexpr std::size_t kTextSize = 12;
constexpr unsigned kBlocks = 8;
constexpr unsigned kLastCharacterPosition = 15;  // "15 or more"

struct Pack {
  std::uint8_t type;
  unsigned track;
  unsigned sequence;
  unsigned position;  // characters of the current text before this pack's
  unsigned block;
  bool doubleByte;
  const std::uint8_t* text;
};

bool carriesText(std::uint8_t type) {
  return (type >= kCdTextTitle && type <= kCdTextGenre) || type == kCdTextUpcIsrc;
}

// The catalogue text, the genre and the codes are single-byte in every block; the other
// texts are double-byte where their packs say so, or all through an MS-JIS block (whose
// packs may leave the flag clear).
bool readsDoubleByte(const Pack& pack, std::uint8_t characterCode) {
  if (pack.type == kCdTextDiscCatalog || pack.type == kCdTextGenre || pack.type == kCdTextUpcIsrc) {
    return false;
  }
  return pack.doubleByte || characterCode == kCdTextMsJis;
}

// Gathers the texts of one pack type in one block from its packs in disc order. A pack
// that does not follow on from the one before (one skipped for its CRC, say) starts anew;
// the text it starts within is then incomplete and left out.
class TextRun {
 public:
  TextRun(std::uint8_t type, bool doubleByte, std::vector<CdTextItem>& items)
      : type(type), width(doubleByte ? 2 : 1), items(items) {}

  void add(const Pack& pack) {
    const bool followsOn = started && pack.sequence == lastSequence + 1 && pack.track == track &&
                           pack.position == std::min(characters(), kLastCharacterPosition);
    if (!followsOn) {
      track = pack.track;
      text.clear();
      whole = pack.position == 0;
    }
    started = true;
    lastSequence = pack.sequence;
    for (std::size_t i = 0; i + width <= kTextSize; i += width) {
      const char* unit = reinterpret_cast<const char*>(pack.text + i);
      // The genre's two code bytes come first, and may be zero.
      const bool codeByte = type == kCdTextGenre && track == 0 && text.size() < 2;
      if (!codeByte && std::all_of(unit, unit + width, [](char c) { return c == '\0'; })) {
        finish();
      } else {
        text.append(unit, width);
      }
    }
  }

 private:
  unsigned characters() const { return static_cast<unsigned>(text.size() / width); }

  // Ends the current text: kept when whole, not empty, for a track a disc can have and not
  // given before (by packs sent twice), a tab (the previous track's text again) resolved; the
  // next text is the next track's.
  void finish() {
    const bool given = std::any_of(items.begin(), items.end(), [&](const CdTextItem& item) {
      return item.packType == type && item.track == track;
    });
    if (whole && !text.empty() && track <= kMaxTrack && !given) {
      if (text == std::string(width, '\t')) {
        if (!items.empty() && items.back().packType == type && items.back().track + 1 == track) {
          items.push_back({type, track, items.back().bytes});
        }
      } else {
        items.push_back({type, track, text});
      }
    }
    text.clear();
    whole = true;
    ++track;
  }

  std::uint8_t type;
  std::size_t width;
  std::vector<CdTextItem>& items;
  bool started = false;
  bool whole = false;
  unsigned lastSequence = 0;
  unsigned track = 0;
  std::string text;
};

struct SizeInformation {
  std::optional<std::uint8_t> characterCode;
  std::optional<std::uint8_t> languageCodes[kBlocks];
};

}  // namespace

std::optional<CdText> parseCdText(const std::uint8_t* reply, std::size_t size) {
  if (size < kHeaderSize) return std::nullopt;
  const std::size_t length = std::min(size, 2 + (std::size_t{reply[0]} << 8 | reply[1]));
  std::vector<Pack> packs[kBlocks];
  SizeInformation sizes[kBlocks];
  for (std::size_t offset = kHeaderSize; offset + kPackSize <= length; offset += kPackSize) {
    const std::uint8_t* bytes = reply + offset;
    if (!crcHolds(bytes, kPackSize - 2)) continue;
    const Pack pack{bytes[0],           static_cast<unsigned>(bytes[1] & 0x7f),
                    bytes[2],           static_cast<unsigned>(bytes[3] & 0x0f),
                    bytes[3] >> 4 & 7u, (bytes[3] & 0x80) != 0,
                    bytes + 4};
    if ((bytes[1] & 0x80) != 0) continue;  // an extension of another pack's data
    if (pack.type == kCdTextSizeInfo) {
      SizeInformation& size = sizes[pack.block];
      if (pack.track == 0) size.characterCode = pack.text[0];
      if (pack.track == 2) {
        for (unsigned block = 0; block < kBlocks; ++block) {
          size.languageCodes[block] = pack.text[4 + block];
        }
      }
    } else if (carriesText(pack.type)) {
      packs[pack.block].push_back(pack);
    }
  }

  CdText cdText;
  for (unsigned number = 0; number < kBlocks; ++number) {
    if (packs[number].empty()) continue;
    CdTextBlock block;
    block.number = number;
    // Discs without size information are ISO-8859-1, unless their packs say double-byte;
    // any block's table gives the languages.
    const bool doubleBytePacks = std::any_of(packs[number].begin(), packs[number].end(),
                                             [](const Pack& pack) { return pack.doubleByte; });
    block.characterCode =
        sizes[number].characterCode.value_or(doubleBytePacks ? kCdTextMsJis : kCdTextIso8859_1);
    for (const SizeInformation& size : sizes) {
      if (size.languageCodes[number]) block.languageCode = *size.languageCodes[number];
    }
    if (sizes[number].languageCodes[number]) {
      block.languageCode = *sizes[number].languageCodes[number];
    }
    std::map<std::uint8_t, TextRun> runs;
    for (const Pack& pack : packs[number]) {
      runs.try_emplace(pack.type, pack.type, readsDoubleByte(pack, block.characterCode),
                       block.items)
          .first->second.add(pack);
    }
    sortItems(block);
    if (!block.items.empty()) cdText.blocks.push_back(std::move(block));
  }
  if (cdText.blocks.empty()) return std::nullopt;
  return cdText;
}
