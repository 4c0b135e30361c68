#include "CdAudioDevice.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <initializer_list>

#include "MciErrors.h"

namespace {

constexpr std::size_t kMaxWords = 8;

// A command's words without the "wait" flag, which changes nothing here: every command
// completes before it returns.
struct Words {
  std::array<std::string_view, kMaxWords> items;
  std::size_t count = 0;
  bool tooMany = false;
};

bool sameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

Words splitWords(std::string_view command) {
  Words words;
  std::size_t pos = 0;
  while (pos < command.size()) {
    while (pos < command.size() && isSpace(command[pos])) ++pos;
    std::size_t end = pos;
    while (end < command.size() && !isSpace(command[end])) ++end;
    const std::string_view word = command.substr(pos, end - pos);
    pos = end;
    if (word.empty() || (words.count >= 2 && sameWord(word, "wait"))) continue;
    if (words.count == kMaxWords) {
      words.tooMany = true;
      break;
    }
    words.items[words.count++] = word;
  }
  return words;
}

// True when the words from index `from` on are exactly `expected`.
bool wordsAre(const Words& words, std::size_t from,
              std::initializer_list<std::string_view> expected) {
  if (words.count < from || words.count - from != expected.size()) return false;
  std::size_t i = from;
  for (std::string_view word : expected) {
    if (!sameWord(words.items[i++], word)) return false;
  }
  return true;
}

void writeReply(char* reply, unsigned replyLength, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

void writeReply(char* reply, unsigned replyLength, const char* format, ...) {
  if (reply == nullptr || replyLength == 0) return;
  va_list args;
  va_start(args, format);
  std::vsnprintf(reply, replyLength, format, args);
  va_end(args);
}

void writeMsf(char* reply, unsigned replyLength, std::uint32_t frames) {
  writeReply(reply, replyLength, "%02u:%02u:%02u", static_cast<unsigned>(frames / 4500),
             static_cast<unsigned>(frames / 75 % 60), static_cast<unsigned>(frames % 75));
}

CdAudioDevice::Outcome answer(MCIERROR code) { return {code, {}}; }

// Answers "status cdaudio ..." from the table read at open.
CdAudioDevice::Outcome status(const TableOfContents& disc, const Words& words, char* reply,
                              unsigned replyLength) {
  if (wordsAre(words, 2, {"number", "of", "tracks"})) {
    writeReply(reply, replyLength, "%u", disc.trackCount());
    return answer(0);
  }
  const bool position = words.count == 5 && sameWord(words.items[2], "position");
  const bool length = words.count == 5 && sameWord(words.items[2], "length");
  if (!(position || length) || !sameWord(words.items[3], "track")) {
    return answer(kMciUnrecognizedCommand);
  }
  const std::string_view number = words.items[4];
  long track = 0;
  const auto [rest, error] = std::from_chars(number.data(), number.data() + number.size(), track);
  if (error != std::errc() || rest != number.data() + number.size()) {
    return answer(kMciUnrecognizedCommand);
  }
  if (!disc.hasTrack(track)) return answer(kMciOutOfRange);
  const auto trackNumber = static_cast<unsigned>(track);
  writeMsf(reply, replyLength, position ? disc.startOf(trackNumber) : disc.lengthOf(trackNumber));
  return answer(0);
}

}  // namespace

CdAudioDevice::Outcome CdAudioDevice::execute(std::string_view command, char* reply,
                                              unsigned replyLength) {
  writeReply(reply, replyLength, "%s", "");
  const Words words = splitWords(command);
  if (words.tooMany || words.count < 2) return answer(kMciUnrecognizedCommand);
  const std::string_view verb = words.items[0];
  if (!sameWord(words.items[1], "cdaudio")) return answer(kMciInvalidDeviceName);

  if (sameWord(verb, "open")) {
    return words.count == 2 ? open(reply, replyLength) : answer(kMciUnrecognizedCommand);
  }
  if (!sameWord(verb, "close") && !sameWord(verb, "set") && !sameWord(verb, "status")) {
    return answer(kMciUnrecognizedCommand);
  }
  // As in winmm, a device belongs to the thread that opened it.
  if (!disc || owner != std::this_thread::get_id()) return answer(kMciInvalidDeviceName);

  if (sameWord(verb, "close")) {
    if (words.count != 2) return answer(kMciUnrecognizedCommand);
    disc.reset();
    return answer(0);
  }
  if (sameWord(verb, "set")) {
    const bool msf = wordsAre(words, 2, {"time", "format", "msf"});
    return answer(msf ? MCIERROR{0} : MCIERROR{kMciUnrecognizedCommand});
  }
  return status(disc->toc, words, reply, replyLength);
}

CdAudioDevice::Outcome CdAudioDevice::open(char* reply, unsigned replyLength) {
  if (disc) return answer(kMciDeviceOpen);
  DiscOpening opening = openDisc();
  if (auto* error = std::get_if<DiscError>(&opening)) {
    return {error->code, std::move(error->detail)};
  }
  disc = std::move(std::get<OpenDisc>(opening));
  owner = std::this_thread::get_id();
  writeReply(reply, replyLength, "1");
  return answer(0);
}
