#include "CueSheet.h"

#include <algorithm>
#include <cctype>

#include "DiscExtras.h"
#include "Frames.h"
#include "SheetText.h"

namespace {

struct Token {
  std::string_view text;
  bool quoted;
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

bool sameWord(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

// A line's words; a word that starts with a quote runs to the next one.
std::variant<std::vector<Token>, std::string> tokensOf(std::string_view line) {
  std::vector<Token> tokens;
  std::size_t pos = 0;
  for (;;) {
    while (pos < line.size() && isBlank(line[pos])) ++pos;
    if (pos == line.size()) return tokens;
    if (line[pos] == '"') {
      const std::size_t end = line.find('"', pos + 1);
      if (end == std::string_view::npos) return std::string("a quote that is not closed");
      tokens.push_back({line.substr(pos + 1, end - pos - 1), true});
      pos = end + 1;
    } else {
      std::size_t end = pos;
      while (end < line.size() && !isBlank(line[end])) ++end;
      tokens.push_back({line.substr(pos, end - pos), false});
      pos = end;
    }
  }
}

// Digits alone, at most `most` of them.
std::optional<std::uint32_t> smallNumber(std::string_view digits, std::size_t most) {
  if (digits.empty() || digits.size() > most) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return value;
}

// mm:ss:ff, the frames below 75 and the seconds below 60.
std::variant<std::uint32_t, std::string> timeOf(std::string_view text) {
  const std::string bad = "'" + std::string(text.substr(0, 16)) + "' is not a time mm:ss:ff";
  const std::size_t first = text.find(':');
  const std::size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
  if (second == std::string_view::npos) return bad;
  const auto minutes = smallNumber(text.substr(0, first), 3);
  const auto seconds = smallNumber(text.substr(first + 1, second - first - 1), 2);
  const auto frames = smallNumber(text.substr(second + 1), 2);
  if (!minutes || !seconds || !frames) return bad;
  if (*frames >= kFramesPerSecond) return bad + ": a second has 75 frames, 00 to 74";
  if (*seconds >= kSecondsPerMinute) return bad + ": a minute has 60 seconds";
  return framesOf({*minutes, *seconds, *frames});
}

// The bytes one sector of a track of this type takes in its file; 0 for a type not read.
std::uint32_t sectorBytesOf(std::string_view type) {
  static constexpr std::pair<std::string_view, std::uint32_t> kTypes[] = {
      {"AUDIO", kAudioFrameBytes}, {"MODE1/2352", 2352}, {"MODE1/2048", 2048}, {"MODE2/2352", 2352},
      {"MODE2/2336", 2336},        {"CDI/2352", 2352},   {"CDI/2336", 2336}};
  for (const auto& [name, bytes] : kTypes) {
    if (sameWord(type, name)) return bytes;
  }
  return 0;
}

// What a sheet may hold that says nothing of where the audio lies.
bool isPassedOver(std::string_view command) {
  static constexpr std::string_view kOthers[] = {
      "REM",       "CDTEXTFILE", "COMPOSER", "ARRANGER",  "MESSAGE",  "DISC_ID",     "GENRE",
      "TOC_INFO1", "TOC_INFO2",  "UPC_EAN",  "SIZE_INFO", "LANGUAGE", "LANGUAGE_MAP"};
  return std::any_of(std::begin(kOthers), std::end(kOthers),
                     [&](std::string_view other) { return sameWord(command, other); });
}

class Parser {
 public:
  explicit Parser(bool utf8) : utf8(utf8) {}

  std::optional<std::string> take(const std::vector<Token>& words, std::string_view line,
                                  int number);
  std::variant<CueSheet, CueProblem> finish();

 private:
  std::optional<std::string> takeFile(const std::vector<Token>& words, int number);
  std::optional<std::string> takeTrack(const std::vector<Token>& words, int number);
  std::optional<std::string> takeIndex(const std::vector<Token>& words, int number);
  std::optional<std::string> takeDescribedTrack(const std::vector<Token>& words, int number);
  // Why a track numbered so can not come next, if it can not.
  std::optional<std::string> nextTrackProblem(std::optional<std::uint32_t> number) const;
  std::optional<std::string> takeText(std::string_view command, std::string_view line,
                                      const std::vector<Token>& words);
  // A file whose bytes no index points into would lie on the disc unnamed by any track.
  std::optional<std::string> unusedLastFile() const;

  bool utf8;
  CueSheet sheet;
  unsigned session = 1;
};

std::optional<std::string> Parser::take(const std::vector<Token>& words, std::string_view line,
                                        int number) {
  const std::string_view command = words[0].text;
  CueTrack* track = sheet.tracks.empty() ? nullptr : &sheet.tracks.back();
  const auto needs = [&](std::size_t count) { return words.size() == count + 1; };
  if (sameWord(command, "FILE")) return takeFile(words, number);
  if (sameWord(command, "TRACK")) return takeTrack(words, number);
  if (sameWord(command, "INDEX")) return takeIndex(words, number);
  if (sameWord(command, "TITLE") || sameWord(command, "PERFORMER") ||
      sameWord(command, "SONGWRITER")) {
    return takeText(command, line, words);
  }
  if (sameWord(command, "CATALOG")) {
    if (!needs(1) || !validMediaCatalogNumber(words[1].text)) {
      return std::string("CATALOG takes 13 digits");
    }
    sheet.catalog = std::string(words[1].text);
    return std::nullopt;
  }
  if (sameWord(command, "ISRC")) {
    if (track == nullptr) return std::string("ISRC before any TRACK");
    if (!needs(1) || !validIsrc(words[1].text)) {
      return std::string("ISRC takes 12 characters: country, owner, year, number");
    }
    track->isrc = std::string(words[1].text);
    return std::nullopt;
  }
  if (sameWord(command, "PREGAP")) {
    if (track == nullptr || track->index0 || !track->indexes.empty()) {
      return std::string("PREGAP belongs to a TRACK, before its INDEX lines");
    }
    if (!needs(1)) return std::string("PREGAP takes a time mm:ss:ff");
    auto frames = timeOf(words[1].text);
    if (auto* problem = std::get_if<std::string>(&frames)) return *problem;
    track->pregapSilence = std::get<std::uint32_t>(frames);
    return std::nullopt;
  }
  if (sameWord(command, "FLAGS")) {
    if (track == nullptr) return std::string("FLAGS before any TRACK");
    static constexpr std::pair<std::string_view, std::uint8_t> kFlags[] = {
        {"PRE", 1}, {"DCP", 2}, {"4CH", 8}, {"SCMS", 0}};
    for (std::size_t i = 1; i < words.size(); ++i) {
      const auto* flag = std::find_if(std::begin(kFlags), std::end(kFlags), [&](const auto& known) {
        return sameWord(words[i].text, known.first);
      });
      if (flag == std::end(kFlags)) return std::string("FLAGS takes DCP, 4CH, PRE and SCMS");
      track->flags |= flag->second;
    }
    return std::nullopt;
  }
  if (sameWord(command, "REM") && words.size() >= 3 && sameWord(words[1].text, "DATA") &&
      sameWord(words[2].text, "TRACK")) {
    return takeDescribedTrack(words, number);
  }
  if (sameWord(command, "REM") && words.size() == 3 && sameWord(words[1].text, "SESSION")) {
    // Sessions follow one another: one left out would leave a gap no sheet can lay out.
    const auto value = smallNumber(words[2].text, 2);
    const bool first = sheet.tracks.empty() && value == 1u;
    if (!value || (!first && *value != session + 1)) {
      return "REM SESSION takes the number of the session after the last (" +
             std::to_string(sheet.tracks.empty() ? 1 : session + 1) + ")";
    }
    session = *value;
    return std::nullopt;
  }
  if (sameWord(command, "POSTGAP")) {
    if (track == nullptr || track->indexes.empty() || track->postgapSilence != 0) {
      return std::string("POSTGAP belongs to a TRACK, once, after its INDEX lines");
    }
    if (!needs(1)) return std::string("POSTGAP takes a time mm:ss:ff");
    auto frames = timeOf(words[1].text);
    if (auto* problem = std::get_if<std::string>(&frames)) return *problem;
    track->postgapSilence = std::get<std::uint32_t>(frames);
    return std::nullopt;
  }
  if (isPassedOver(command)) return std::nullopt;
  return "'" + std::string(command.substr(0, 16)) + "' is no command of a CUE sheet";
}

std::optional<std::string> Parser::takeFile(const std::vector<Token>& words, int number) {
  if (words.size() != 3 || words[1].text.empty()) {
    return std::string("FILE takes a name and a type: FILE \"name\" WAVE");
  }
  CueFile file{std::string(words[1].text), CueFile::Type::kBinary, number};
  // A FLAC file is read as a WAVE one is: what it holds tells them apart.
  if (sameWord(words[2].text, "WAVE") || sameWord(words[2].text, "FLAC")) {
    file.type = CueFile::Type::kWave;
  } else if (!sameWord(words[2].text, "BINARY")) {
    return "FILE of type '" + std::string(words[2].text.substr(0, 16)) +
           "': only BINARY (raw 16-bit little-endian), WAVE and FLAC files are read";
  }
  if (auto problem = unusedLastFile()) return problem;
  sheet.files.push_back(std::move(file));
  return std::nullopt;
}

std::optional<std::string> Parser::unusedLastFile() const {
  if (sheet.files.empty()) return std::nullopt;
  const std::size_t last = sheet.files.size() - 1;
  const bool used = std::any_of(sheet.tracks.begin(), sheet.tracks.end(), [&](const auto& t) {
    return (t.index0 && t.index0->file == last) ||
           std::any_of(t.indexes.begin(), t.indexes.end(),
                       [&](const CuePosition& index) { return index.file == last; });
  });
  if (used) return std::nullopt;
  return "the FILE of line " + std::to_string(sheet.files.back().line) + " holds no INDEX";
}

std::optional<std::string> Parser::takeTrack(const std::vector<Token>& words, int number) {
  if (sheet.files.empty()) return std::string("TRACK before any FILE");
  const auto trackNumber = words.size() == 3 ? smallNumber(words[1].text, 2) : std::nullopt;
  if (auto problem = nextTrackProblem(trackNumber)) return problem;
  CueTrack track;
  track.number = *trackNumber;
  track.audio = sameWord(words[2].text, "AUDIO");
  track.sectorBytes = sectorBytesOf(words[2].text);
  if (track.sectorBytes == 0) {
    return "track type '" + std::string(words[2].text.substr(0, 16)) +
           "' is not one of AUDIO, MODE1/2352, MODE1/2048, MODE2/2352, MODE2/2336";
  }
  track.session = session;
  track.line = number;
  sheet.tracks.push_back(std::move(track));
  return std::nullopt;
}

std::optional<std::string> Parser::nextTrackProblem(std::optional<std::uint32_t> number) const {
  const CueTrack* last = sheet.tracks.empty() ? nullptr : &sheet.tracks.back();
  if (last != nullptr && last->indexes.empty() && !last->describedFrames) {
    return "track " + std::to_string(last->number) + " has no INDEX 01";
  }
  if (!number || *number < 1 || *number > 99) return std::string("a track's number is 01 to 99");
  if (last != nullptr && *number != last->number + 1) {
    return "track " + std::to_string(*number) + " does not follow track " +
           std::to_string(last->number);
  }
  return std::nullopt;
}

std::optional<std::string> Parser::takeDescribedTrack(const std::vector<Token>& words, int number) {
  static const std::string kForm =
      "REM DATA TRACK takes a number, then PREGAP mm:ss:ff if any and LENGTH mm:ss:ff";
  const bool withPregap = words.size() == 8 && sameWord(words[4].text, "PREGAP");
  if ((words.size() != 6 && !withPregap) || !sameWord(words[words.size() - 2].text, "LENGTH")) {
    return kForm;
  }
  const auto trackNumber = smallNumber(words[3].text, 2);
  if (auto problem = nextTrackProblem(trackNumber)) return problem;
  CueTrack track;
  for (std::size_t at = 5; at < words.size(); at += 2) {
    auto frames = timeOf(words[at].text);
    if (auto* problem = std::get_if<std::string>(&frames)) return *problem;
    if (at + 1 == words.size()) {
      track.describedFrames = std::get<std::uint32_t>(frames);
    } else {
      track.pregapSilence = std::get<std::uint32_t>(frames);
    }
  }
  if (*track.describedFrames == 0) return std::string("a data track of no length");
  track.number = *trackNumber;
  track.audio = false;
  track.session = session;
  track.line = number;
  sheet.tracks.push_back(std::move(track));
  return std::nullopt;
}

std::optional<std::string> Parser::takeIndex(const std::vector<Token>& words, int number) {
  if (sheet.tracks.empty()) return std::string("INDEX before any TRACK");
  CueTrack& track = sheet.tracks.back();
  if (track.describedFrames) {
    return "track " + std::to_string(track.number) +
           " is described by its length: no file holds it, no INDEX places it";
  }
  const auto index = words.size() == 3 ? smallNumber(words[1].text, 2) : std::nullopt;
  if (!index) return std::string("INDEX takes a number 00 to 99 and a time mm:ss:ff");
  if (track.postgapSilence != 0) return std::string("INDEX after POSTGAP");
  const unsigned expected = static_cast<unsigned>(track.indexes.size()) + 1;
  const bool zeroFirst = *index == 0 && !track.index0 && track.indexes.empty();
  if (!zeroFirst && *index != expected) {
    return "INDEX " + std::to_string(*index) + " out of order: track " +
           std::to_string(track.number) + " needs INDEX " +
           std::to_string(track.indexes.empty() ? 1 : expected) + " next";
  }
  auto frames = timeOf(words[2].text);
  if (auto* problem = std::get_if<std::string>(&frames)) return *problem;
  const CuePosition position{sheet.files.size() - 1, std::get<std::uint32_t>(frames), number};
  const CuePosition* before = !track.indexes.empty() ? &track.indexes.back()
                              : track.index0         ? &*track.index0
                                                     : nullptr;
  if (before != nullptr && before->file == position.file && before->frames >= position.frames) {
    return "INDEX " + std::to_string(*index) + " is not after the index before it";
  }
  if (zeroFirst) {
    track.index0 = position;
  } else {
    track.indexes.push_back(position);
  }
  return std::nullopt;
}

std::optional<std::string> Parser::takeText(std::string_view command, std::string_view line,
                                            const std::vector<Token>& words) {
  if (words.size() < 2) return std::string(command) + " takes a text";
  std::string_view text = words[1].text;
  if (!words[1].quoted) {  // the rest of the line, as some sheets write it
    text = line.substr(static_cast<std::size_t>(words[1].text.data() - line.data()));
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  }
  CueTexts& texts = sheet.tracks.empty() ? sheet.texts : sheet.tracks.back().texts;
  std::optional<std::string>& field = sameWord(command, "TITLE")       ? texts.title
                                      : sameWord(command, "PERFORMER") ? texts.performer
                                                                       : texts.songwriter;
  field = latin1Text(text, utf8);
  return std::nullopt;
}

std::variant<CueSheet, CueProblem> Parser::finish() {
  if (sheet.tracks.empty()) return CueProblem{0, "no TRACK: not a CUE sheet of a disc"};
  if (sheet.files.empty()) return CueProblem{0, "no FILE: no track of the sheet is held"};
  if (sheet.tracks.back().indexes.empty() && !sheet.tracks.back().describedFrames) {
    return CueProblem{sheet.tracks.back().line,
                      "track " + std::to_string(sheet.tracks.back().number) + " has no INDEX 01"};
  }
  if (auto problem = unusedLastFile()) return CueProblem{sheet.files.back().line, *problem};
  return std::move(sheet);
}

}  // namespace

std::variant<CueSheet, CueProblem> parseCueSheet(std::string_view text) {
  text = withoutByteOrderMark(text);
  Parser parser(isUtf8(text));
  int number = 0;
  for (std::size_t pos = 0; pos <= text.size();) {
    ++number;
    // Lines end with LF, CR LF or CR alone.
    const std::size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    if (line.find('\0') != std::string_view::npos) {
      return CueProblem{number, "a NUL byte: not a CUE sheet"};
    }
    auto words = tokensOf(line);
    if (auto* problem = std::get_if<std::string>(&words)) return CueProblem{number, *problem};
    const auto& tokens = std::get<std::vector<Token>>(words);
    if (tokens.empty()) continue;
    if (auto problem = parser.take(tokens, line, number)) return CueProblem{number, *problem};
  }
  return parser.finish();
}
