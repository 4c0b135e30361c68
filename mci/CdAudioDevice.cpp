#include "CdAudioDevice.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "MciErrors.h"

namespace {

// Beyond this many words (besides "wait"), a command is no command of ours.
constexpr std::size_t kMaxWords = 8;

// Commands are ASCII; the C library's locale-aware classification would cost more than the
// rest of a command.
// Nearly every byte is above the space, so that test comes first.
bool isSpace(char c) {
  return static_cast<unsigned char>(c) <= ' ' && (c == ' ' || (c >= '\t' && c <= '\r'));
}

// A keyword of two to eight lower-case letters, with its first and last four letters (two,
// below four) as a load of the command's bytes gives them: a word is compared in two loads,
// overlapping below eight letters, whatever its case, since setting the case bit of a byte
// lowers an upper-case letter and turns no other byte into a lower-case one.
struct Keyword {
  std::size_t size;
  std::uint32_t head, tail;
};

constexpr std::uint32_t littleEndian(std::string_view text, std::size_t from, std::size_t count) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < count; ++i) {
    value |= std::uint32_t{static_cast<unsigned char>(text[from + i])} << (8 * i);
  }
  return value;
}

constexpr Keyword keyword(std::string_view text) {
  const std::size_t width = text.size() >= 4 ? 4 : 2;
  return {text.size(), littleEndian(text, 0, width),
          littleEndian(text, text.size() - width, width)};
}

constexpr Keyword kStatus = keyword("status"), kSet = keyword("set"), kOpen = keyword("open"),
                  kClose = keyword("close"), kCdaudio = keyword("cdaudio"), kWait = keyword("wait"),
                  kPosition = keyword("position"), kLength = keyword("length"),
                  kTrack = keyword("track"), kNumber = keyword("number"), kOf = keyword("of"),
                  kTracks = keyword("tracks"), kTime = keyword("time"), kFormat = keyword("format"),
                  kMsf = keyword("msf");

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "a load's first byte is its lowest");

// Whether the `keyword.size` bytes at `text` are the keyword in any case.
bool sameLetters(const char* text, const Keyword& keyword) {
  if (keyword.size >= 4) {
    std::uint32_t head, tail;
    std::memcpy(&head, text, 4);
    std::memcpy(&tail, text + keyword.size - 4, 4);
    return (head | 0x20202020u) == keyword.head && (tail | 0x20202020u) == keyword.tail;
  }
  std::uint16_t head, tail;
  std::memcpy(&head, text, 2);
  std::memcpy(&tail, text + keyword.size - 2, 2);
  return (head | 0x2020u) == keyword.head && (tail | 0x2020u) == keyword.tail;
}

// A command's words, taken in order. A keyword is recognised where it stands, without
// finding its word's end first: a track's three commands, nearly all of a call's, cost
// little more than comparing their text. After the device's name, "wait" words are passed
// over: every command completes before it returns.
class Words {
 public:
  explicit Words(std::string_view command)
      : pos(command.data()), end(command.data() + command.size()) {
    skipSpaces();
  }

  // Takes the next word if it is `keyword`.
  bool take(const Keyword& keyword) {
    const std::size_t size = keyword.size;
    if (static_cast<std::size_t>(end - pos) < size || !sameLetters(pos, keyword) ||
        (pos + size != end && !isSpace(pos[size]))) {
      return false;
    }
    // Past the keyword and the white space after it; most often the next word starts there.
    pos += size;
    if (pos != end) ++pos;
    if (pos != end && !isSpace(*pos) && !(waits && (*pos | 0x20) == 'w')) return true;
    skipSpaces();
    return true;
  }

  // Takes the next word, whatever it is; empty at the end.
  std::string_view next() {
    const char* const start = pos;
    while (pos != end && !isSpace(*pos)) ++pos;
    const std::string_view word(start, static_cast<std::size_t>(pos - start));
    skipSpaces();
    return word;
  }

  bool atEnd() const { return pos == end; }

  // From here on, "wait" words are passed over.
  void passWaits() {
    waits = true;
    skipSpaces();
  }

 private:
  void skipSpaces() {
    for (;;) {
      while (pos != end && isSpace(*pos)) ++pos;
      if (!waits || pos == end || (*pos | 0x20) != 'w' || !take(kWait)) return;
    }
  }

  const char* pos;
  const char* const end;
  bool waits = false;
};

// Whether the command has more words than any command of ours ("wait" after the device's
// name not counted): such a command is unrecognised before anything else is said of it.
bool tooManyWords(std::string_view command) {
  Words words(command);
  std::size_t count = 0;
  while (!words.atEnd()) {
    words.next();
    if (++count == 2) words.passWaits();
  }
  return count > kMaxWords;
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

// Answers "status cdaudio ..." from the table read at open; `words` are those after the
// device's name.
CdAudioDevice::Outcome status(const TableOfContents& disc, Words& words, char* reply,
                              unsigned replyLength) {
  const bool position = words.take(kPosition);
  if (position || words.take(kLength)) {
    if (!words.take(kTrack)) return answer(kMciUnrecognizedCommand);
    const std::optional<long> track = trackNumberOf(words.next());
    if (!track || !words.atEnd()) return answer(kMciUnrecognizedCommand);
    if (!disc.hasTrack(*track)) return answer(kMciOutOfRange);
    const auto number = static_cast<unsigned>(*track);
    writeMsf(reply, replyLength, position ? disc.startOf(number) : disc.lengthOf(number));
    return answer(0);
  }
  if (words.take(kNumber) && words.take(kOf) && words.take(kTracks) && words.atEnd()) {
    writeNumber(reply, replyLength, disc.trackCount());
    return answer(0);
  }
  return answer(kMciUnrecognizedCommand);
}

}  // namespace

CdAudioDevice::Outcome CdAudioDevice::execute(std::string_view command, char* reply,
                                              unsigned replyLength) {
  writeReply(reply, replyLength, "");
  enum class Verb { kStatus, kSet, kOpen, kClose, kOther };
  Words words(command);
  Verb verb = Verb::kOther;
  if (words.take(kStatus)) {
    verb = Verb::kStatus;
  } else if (words.take(kSet)) {
    verb = Verb::kSet;
  } else if (words.take(kOpen)) {
    verb = Verb::kOpen;
  } else if (words.take(kClose)) {
    verb = Verb::kClose;
  } else {
    words.next();
  }
  if (words.atEnd()) return answer(kMciUnrecognizedCommand);
  const bool ours = words.take(kCdaudio);
  // What is wrong with a command is said in a fixed order: too many words, another device,
  // another verb, a device not open on this thread.
  if (!ours || verb == Verb::kOther || verb == Verb::kOpen || verb == Verb::kClose) {
    if (tooManyWords(command)) return answer(kMciUnrecognizedCommand);
  }
  if (!ours) return answer(kMciInvalidDeviceName);
  if (verb == Verb::kOther) return answer(kMciUnrecognizedCommand);
  words.passWaits();
  if (verb == Verb::kOpen) {
    return words.atEnd() ? open(reply, replyLength) : answer(kMciUnrecognizedCommand);
  }
  // As in winmm, a device belongs to the thread that opened it.
  if (!disc || owner != std::this_thread::get_id()) {
    return answer(tooManyWords(command) ? kMciUnrecognizedCommand : kMciInvalidDeviceName);
  }
  switch (verb) {
    case Verb::kClose:
      if (!words.atEnd()) return answer(kMciUnrecognizedCommand);
      disc.reset();
      return answer(0);
    case Verb::kSet: {
      const bool msf = words.take(kTime) && words.take(kFormat) && words.take(kMsf);
      return answer(msf && words.atEnd() ? MCIERROR{0} : MCIERROR{kMciUnrecognizedCommand});
    }
    default:
      return status(disc->toc, words, reply, replyLength);
  }
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
