#include "TocFileExtras.h"

#include <algorithm>
#include <charconv>

namespace {

constexpr unsigned kBlocks = 8;

struct Field {
  const char* name;
  std::uint8_t packType;
};
constexpr Field kFields[] = {
    {"title", kCdTextTitle},           {"performer", kCdTextPerformer},
    {"songwriter", kCdTextSongwriter}, {"composer", kCdTextComposer},
    {"arranger", kCdTextArranger},     {"message", kCdTextMessage},
    {"catalog", kCdTextDiscCatalog},   {"genre", kCdTextGenre},
    {"upc", kCdTextUpcIsrc},           {"isrc", kCdTextUpcIsrc},
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Splits off the next word of `line`, skipping blanks before it.
std::string_view nextWord(std::string_view& line) {
  while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
  std::size_t end = 0;
  while (end < line.size() && !isBlank(line[end])) ++end;
  const std::string_view word = line.substr(0, end);
  line.remove_prefix(end);
  return word;
}

template <typename Number>
std::optional<Number> numberOf(std::string_view word, int base = 10) {
  Number value{};
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value, base);
  if (error != std::errc() || end != word.data() + word.size() || word.empty()) return std::nullopt;
  return value;
}

// A text's bytes: \xNN is the byte NN, anything else itself.
std::string unescaped(std::string_view text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint8_t value = 0;
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
        std::from_chars(text.data() + i + 2, text.data() + i + 4, value, 16).ptr ==
            text.data() + i + 4) {
      bytes += static_cast<char>(value);
      i += 3;
    } else {
      bytes += text[i];
    }
  }
  return bytes;
}

std::string quoted(std::string_view word) { return "'" + std::string(word) + "'"; }

}  // namespace

bool TocFileExtras::isKeyword(std::string_view word) {
  return word == "catalog" || word == "isrc" || word == "cdtext-block" || word == "cdtext";
}

std::optional<std::string> TocFileExtras::addLine(std::string_view line, int lineNumber) {
  const std::string_view keyword = nextWord(line);
  if (keyword == "catalog") {
    const std::string_view number = nextWord(line);
    if (!validMediaCatalogNumber(number) || !nextWord(line).empty()) {
      return quoted(number) + " is not a catalog number (13 digits, not all 0)";
    }
    mediaCatalogNumber = std::string(number);
    return std::nullopt;
  }
  const std::string_view first = nextWord(line);
  if (keyword == "isrc") {
    const auto track = numberOf<unsigned>(first);
    const std::string_view isrc = nextWord(line);
    if (!track) return quoted(first) + " is not a track number";
    if (!validIsrc(isrc) || !nextWord(line).empty()) return quoted(isrc) + " is not an ISRC";
    isrcs.push_back({{*track, lineNumber}, std::string(isrc)});
    return std::nullopt;
  }
  const auto block = numberOf<unsigned>(first);
  if (!block || *block >= kBlocks) return quoted(first) + " is not a CD-Text block (0 to 7)";
  auto found = std::find_if(cdText.blocks.begin(), cdText.blocks.end(),
                            [&](const CdTextBlock& b) { return b.number == *block; });
  if (keyword == "cdtext-block") {
    const std::string_view languageWord = nextWord(line);
    const auto language = numberOf<std::uint8_t>(languageWord, 16);
    if (!language) return quoted(languageWord) + " is not a language code (hexadecimal)";
    const std::string_view code = nextWord(line);
    const std::uint8_t characterCode = code == "latin1"  ? kCdTextIso8859_1
                                       : code == "ascii" ? kCdTextAscii
                                       : code == "msjis" ? kCdTextMsJis
                                                         : 0xff;
    if (characterCode == 0xff) return quoted(code) + " is not latin1, ascii or msjis";
    if (found != cdText.blocks.end()) return "CD-Text block " + std::to_string(*block) + " again";
    CdTextBlock added;
    added.number = *block;
    added.languageCode = *language;
    added.characterCode = characterCode;
    cdText.blocks.insert(
        std::upper_bound(cdText.blocks.begin(), cdText.blocks.end(), *block,
                         [](unsigned number, const CdTextBlock& b) { return number < b.number; }),
        added);
    return std::nullopt;
  }
  if (found == cdText.blocks.end()) {
    return "CD-Text block " + std::to_string(*block) + " has no cdtext-block line before";
  }
  const std::string_view trackWord = nextWord(line);
  const auto track = numberOf<unsigned>(trackWord);
  if (!track) return quoted(trackWord) + " is not a track number";
  const std::string_view fieldName = nextWord(line);
  const auto field = std::find_if(std::begin(kFields), std::end(kFields),
                                  [&](const Field& f) { return fieldName == f.name; });
  const bool albumOnly =
      field != std::end(kFields) && (field->packType == kCdTextDiscCatalog ||
                                     field->packType == kCdTextGenre || fieldName == "upc");
  if (field == std::end(kFields) || (albumOnly && *track != 0) ||
      (fieldName == "isrc" && *track == 0)) {
    return quoted(fieldName) + " is no CD-Text field of " +
           (*track == 0 ? std::string("the album") : "a track");
  }
  while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
  std::string bytes;
  if (field->packType == kCdTextGenre) {
    const std::string_view codeWord = nextWord(line);
    const auto code = numberOf<std::uint16_t>(codeWord);
    if (!code) return quoted(codeWord) + " is not a genre code";
    while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
    bytes = {static_cast<char>(*code >> 8), static_cast<char>(*code & 0xff)};
  }
  while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  bytes += unescaped(line);
  if (found->find(field->packType, *track) != nullptr) {
    return "CD-Text " + std::string(fieldName) + " of track " + std::to_string(*track) + " again";
  }
  found->items.push_back({field->packType, *track, bytes});
  cdTextTracks.push_back({*track, lineNumber});
  return std::nullopt;
}

std::variant<DiscExtras, std::pair<int, std::string>> TocFileExtras::extrasFor(
    const TableOfContents& toc) const {
  DiscExtras extras;
  extras.mediaCatalogNumber = mediaCatalogNumber;
  extras.isrcs.resize(toc.trackCount());
  const auto noTrack = [&](const TrackValue& value) -> std::optional<std::pair<int, std::string>> {
    if (toc.hasTrack(value.track) || value.track == 0) return std::nullopt;
    return std::make_pair(value.line, "the disc has no track " + std::to_string(value.track));
  };
  for (const auto& [where, isrc] : isrcs) {
    if (where.track == 0) return std::make_pair(where.line, std::string("an ISRC is a track's"));
    if (auto problem = noTrack(where)) return *problem;
    extras.isrcs[where.track - toc.firstTrack] = isrc;
  }
  for (const TrackValue& where : cdTextTracks) {
    if (auto problem = noTrack(where)) return *problem;
  }
  CdText sorted = cdText;
  for (CdTextBlock& block : sorted.blocks) sortItems(block);
  sorted.blocks.erase(std::remove_if(sorted.blocks.begin(), sorted.blocks.end(),
                                     [](const CdTextBlock& b) { return b.items.empty(); }),
                      sorted.blocks.end());
  if (!sorted.blocks.empty()) extras.cdText = std::move(sorted);
  return extras;
}
