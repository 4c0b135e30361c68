#include "CdAudioDevice.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
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

// Commands are ASCII; the C library's locale-aware classification would cost more than the
// rest of a command. Nearly every byte is above the space, so that test comes first.
bool isSpace(char c) {
  return static_cast<unsigned char>(c) <= ' ' && (c == ' ' || (c >= '\t' && c <= '\r'));
}

// Whether `word` is `keyword` in any case. Commands come in lower case, compared at once;
// otherwise byte by byte: keywords are lower-case letters only, so setting the case bit of a
// byte of `word` lowers an upper-case letter and turns no other byte into a lower-case one.
bool sameWord(std::string_view word, std::string_view keyword) {
  if (word.size() != keyword.size()) return false;
  if (std::memcmp(word.data(), keyword.data(), keyword.size()) == 0) return true;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if ((word[i] | 0x20) != keyword[i]) return false;
  }
  return true;
}

Words splitWords(std::string_view command) {
  Words words;
  const char* const end = command.data() + command.size();
  for (const char* pos = command.data(); pos != end;) {
    if (isSpace(*pos)) {
      ++pos;
      continue;
    }
    const char* const start = pos;
    while (++pos != end && !isSpace(*pos)) {
    }
    const std::string_view word(start, static_cast<std::size_t>(pos - start));
    if (words.count >= 2 && sameWord(word, "wait")) continue;
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

// Writes a reply, cut to its buffer and always terminated.
void writeReply(char* reply, unsigned replyLength, std::string_view text) {
  if (reply == nullptr || replyLength == 0) return;
  const std::size_t length = std::min<std::size_t>(text.size(), replyLength - 1);
  std::memcpy(reply, text.data(), length);
  reply[length] = '\0';
}

void writeNumber(char* reply, unsigned replyLength, unsigned number) {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  writeReply(reply, replyLength, std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

// "mm:ss:ff", two digits each; addresses stay below 100 minutes.
void writeMsf(char* reply, unsigned replyLength, std::uint32_t frames) {
  const Msf address = msfOf(frames);
  const std::uint32_t fields[] = {address.minutes % 100, address.seconds, address.frames};
  char msf[] = "00:00:00";
  for (std::size_t i = 0; i < 3; ++i) {
    msf[3 * i] = static_cast<char>('0' + fields[i] / 10);
    msf[3 * i + 1] = static_cast<char>('0' + fields[i] % 10);
  }
  writeReply(reply, replyLength, msf);
}

CdAudioDevice::Outcome answer(MCIERROR code) { return {code, {}}; }

// The track number of a status command, the whole of `word`; empty when it is none.
std::optional<long> trackNumberOf(std::string_view word) {
  long track = 0;
  const auto [rest, error] = std::from_chars(word.data(), word.data() + word.size(), track);
  if (error != std::errc() || rest != word.data() + word.size()) return std::nullopt;
  return track;
}

// Answers "status cdaudio position|length track N".
CdAudioDevice::Outcome trackStatus(const TableOfContents& disc, bool position, long track,
                                   char* reply, unsigned replyLength) {
  if (!disc.hasTrack(track)) return answer(kMciOutOfRange);
  const auto trackNumber = static_cast<unsigned>(track);
  writeMsf(reply, replyLength, position ? disc.startOf(trackNumber) : disc.lengthOf(trackNumber));
  return answer(0);
}

// Answers "status cdaudio ..." from the table read at open.
CdAudioDevice::Outcome status(const TableOfContents& disc, const Words& words, char* reply,
                              unsigned replyLength) {
  if (wordsAre(words, 2, {"number", "of", "tracks"})) {
    writeNumber(reply, replyLength, disc.trackCount());
    return answer(0);
  }
  const bool position = words.count == 5 && sameWord(words.items[2], "position");
  const bool length = words.count == 5 && sameWord(words.items[2], "length");
  if (!(position || length) || !sameWord(words.items[3], "track")) {
    return answer(kMciUnrecognizedCommand);
  }
  const std::optional<long> track = trackNumberOf(words.items[4]);
  if (!track) return answer(kMciUnrecognizedCommand);
  return trackStatus(disc, position, *track, reply, replyLength);
}

// The commands of a track, as a drive sends them for every track.
constexpr std::string_view kSetMsf = "set cdaudio time format msf";
constexpr std::string_view kPositionOfTrack = "status cdaudio position track ";
constexpr std::string_view kLengthOfTrack = "status cdaudio length track ";

bool startsWith(std::string_view text, std::string_view start) {
  return text.size() >= start.size() && std::memcmp(text.data(), start.data(), start.size()) == 0;
}

}  // namespace

CdAudioDevice::Outcome CdAudioDevice::execute(std::string_view command, char* reply,
                                              unsigned replyLength) {
  writeReply(reply, replyLength, "");
  // As in winmm, a device belongs to the thread that opened it.
  const bool openHere = disc && owner == std::this_thread::get_id();
  // A track's commands as drives send them (lower case, one space between words) are known
  // by their whole text, without splitting words: three a track, they are nearly all of a
  // call's commands. Any other spelling takes the long way to the same answer.
  if (openHere) {
    if (command == kSetMsf) return answer(0);
    const bool position = startsWith(command, kPositionOfTrack);
    if (position || startsWith(command, kLengthOfTrack)) {
      const std::size_t start = position ? kPositionOfTrack.size() : kLengthOfTrack.size();
      if (const std::optional<long> track = trackNumberOf(command.substr(start))) {
        return trackStatus(disc->toc, position, *track, reply, replyLength);
      }
    }
  }
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
  if (!openHere) return answer(kMciInvalidDeviceName);

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
  DiscOpening opening = discOpener();
  if (auto* failure = std::get_if<DiscFailure>(&opening)) {
    return {mciErrorFor(failure->reason), std::move(failure->detail)};
  }
  disc = std::move(std::get<OpenDisc>(opening));
  owner = std::this_thread::get_id();
  writeReply(reply, replyLength, "1");
  return answer(0);
}
