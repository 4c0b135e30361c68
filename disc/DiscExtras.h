#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DiscFailure.h"
#include "ExtrasLimits.h"
#include "ScsiTransport.h"
#include "TableOfContents.h"

// What a disc says about itself beside its table of contents: the Media Catalog Number,
// each track's ISRC and CD-Text. Asked for as a set of these bits.
enum : unsigned { kExtraMcn = 1, kExtraIsrc = 2, kExtraCdText = 4 };

// The pack types of CD-Text that carry text or codes, as the disc numbers them.
enum CdTextPackType : std::uint8_t {
  kCdTextTitle = 0x80,
  kCdTextPerformer = 0x81,
  kCdTextSongwriter = 0x82,
  kCdTextComposer = 0x83,
  kCdTextArranger = 0x84,
  kCdTextMessage = 0x85,
  kCdTextDiscCatalog = 0x86,  // album only
  kCdTextGenre = 0x87,        // album only: a two-byte genre code, then text
  kCdTextUpcIsrc = 0x8e,      // the album's UPC/EAN, a track's ISRC
  kCdTextSizeInfo = 0x8f,
};

// The character codes of a CD-Text block; the bytes stay as the disc has them.
enum CdTextCharacterCode : std::uint8_t {
  kCdTextIso8859_1 = 0x00,
  kCdTextAscii = 0x01,
  kCdTextMsJis = 0x80,
};

// One text of a block: a pack type's bytes for the album (track 0) or a track, its end
// mark removed and a "same as before" mark resolved. Genre: the code's two bytes first.
struct CdTextItem {
  std::uint8_t packType;
  unsigned track;
  std::string bytes;

  bool operator==(const CdTextItem& other) const {
    return packType == other.packType && track == other.track && bytes == other.bytes;
  }
};

// One language block (0 to 7) as the disc has it.
struct CdTextBlock {
  unsigned number = 0;
  std::uint8_t languageCode = 0;
  std::uint8_t characterCode = kCdTextIso8859_1;
  std::vector<CdTextItem> items;  // in pack type order, then track order

  const CdTextItem* find(std::uint8_t packType, unsigned track) const;
  bool operator==(const CdTextBlock& other) const {
    return number == other.number && languageCode == other.languageCode &&
           characterCode == other.characterCode && items == other.items;
  }
};

struct CdText {
  std::vector<CdTextBlock> blocks;  // in block order; never empty

  bool operator==(const CdText& other) const { return blocks == other.blocks; }
};

struct DiscExtras {
  std::optional<std::string> mediaCatalogNumber;
  std::vector<std::optional<std::string>> isrcs;  // one per track, track order
  std::optional<CdText> cdText;
};

// The checks every reader applies before it gives a value: 13 ASCII digits, not all zero;
// two letters, three letters or digits, seven digits.
bool validMediaCatalogNumber(std::string_view number);
bool validIsrc(std::string_view isrc);

// The most CD-Text a disc holds, as READ TOC format 5 replies it: the 4-byte header and
// 8 language blocks of at most 256 packs of 18 bytes.
constexpr std::size_t kMaxCdTextReply = 4 + 8 * 256 * 18;

// CD-Text from a READ TOC format 5 reply of which `size` bytes arrived: each pack's CRC
// checked and a bad one skipped; empty when no block holds any text.
std::optional<CdText> parseCdText(const std::uint8_t* reply, std::size_t size);

// Puts a block's items in pack type order, then track order.
void sortItems(CdTextBlock& block);

// The extras of a file that holds them all, left empty where not asked for in `wanted`.
DiscExtras onlyThoseWanted(DiscExtras extras, unsigned wanted, std::size_t trackCount);

// Keeps only the album and the tracks `toc` has.
void keepTracksOf(CdText& cdText, const TableOfContents& toc);

// INQUIRY (12h): the drive's names, ASCII padded with spaces, trimmed here.
struct DriveIdentity {
  std::string vendor, model, revision;
};
constexpr std::size_t kInquiryReplySize = 36;
std::array<std::uint8_t, 6> inquiryCommand();
std::optional<DriveIdentity> parseInquiry(const std::uint8_t* reply, std::size_t size);
// Asks the drive with one INQUIRY; empty when it gives no answer.
std::optional<DriveIdentity> inquire(ScsiTransport& drive);

// What reading the extras gave. `transportRefused`: the platform passed no command to the
// drive, and may read what it can by other means. `failure`: the disc went away, the drive
// stopped answering or the caller interrupted the read; the read fails with it.
struct ExtrasReading {
  DiscExtras extras;
  bool transportRefused = false;
  std::optional<DiscFailure> failure;
};

// Reads the extras asked for in `wanted` of the disc whose table is `toc` through `drive`:
// READ SUB-CHANNEL 02h for the MCN, 03h per audio track for its ISRC (confirmed from the
// Q sub-channel through READ CD where the answer may be a stale one, and read from it alone
// once the drive has shown it lags), READ TOC format 5 for CD-Text. A drive that refuses
// one extra gives no value for it. `path` names the drive in a failure. An interrupt fails
// the read; once `limits`' time is up, no command is sent: what was read stays, what was
// not is empty.
ExtrasReading readDiscExtras(ScsiTransport& drive, const TableOfContents& toc, unsigned wanted,
                             const std::string& path, const ExtrasLimits& limits = ExtrasLimits());
