#include "MmcSubchannel.h"

#include "Crc16.h"
#include "DiscExtras.h"
#include "Frames.h"
#include "ReadCdCommand.h"

namespace {

constexpr std::uint8_t kReadSubchannel = 0x42;
constexpr std::uint8_t kSubQ = 0x40;
constexpr std::uint8_t kCatalogFormat = 0x02;
constexpr std::uint8_t kIsrcFormat = 0x03;
constexpr std::uint8_t kValidBit = 0x80;
constexpr std::size_t kValueOffset = 9;
constexpr std::size_t kCatalogLength = 13;
constexpr std::size_t kIsrcLength = 12;

constexpr std::uint8_t kFormattedQ = 0x02;
constexpr std::uint8_t kPositionAdr = 1;
constexpr std::uint8_t kIsrcAdr = 3;

std::array<std::uint8_t, 10> readSubchannelCommand(std::uint8_t format, unsigned track) {
  return {kReadSubchannel,      0, kSubQ, format, 0, 0, static_cast<std::uint8_t>(track), 0,
          kSubchannelReplySize, 0};
}

// The value a reply of `format` holds, if its valid bit is set and it arrived whole.
std::optional<std::string> valueOf(const std::uint8_t* reply, std::size_t size, std::uint8_t format,
                                   std::size_t length) {
  if (size < kValueOffset + length || reply[4] != format || (reply[8] & kValidBit) == 0) {
    return std::nullopt;
  }
  return std::string(reinterpret_cast<const char*>(reply + kValueOffset), length);
}

// The ISRC's first five characters are coded in six bits: digits from 0, letters from 11h.
char sixBitCharacter(unsigned code) {
  if (code <= 9) return static_cast<char>('0' + code);
  if (code >= 0x11 && code <= 0x2a) return static_cast<char>('A' + code - 0x11);
  return '?';
}

// A BCD byte's value; empty when either digit is no decimal one.
std::optional<unsigned> fromBcd(std::uint8_t byte) {
  const unsigned high = byte >> 4;
  const unsigned low = byte & 0x0fU;
  if (high > 9 || low > 9) return std::nullopt;
  return high * 10 + low;
}

}  // namespace

std::array<std::uint8_t, 10> readCatalogNumberCommand() {
  return readSubchannelCommand(kCatalogFormat, 0);
}

std::array<std::uint8_t, 10> readIsrcCommand(unsigned track) {
  return readSubchannelCommand(kIsrcFormat, track);
}

std::optional<std::string> parseCatalogNumberReply(const std::uint8_t* reply, std::size_t size) {
  auto number = valueOf(reply, size, kCatalogFormat, kCatalogLength);
  if (number && !validMediaCatalogNumber(*number)) return std::nullopt;
  return number;
}

std::optional<std::string> parseIsrcReply(const std::uint8_t* reply, std::size_t size) {
  auto isrc = valueOf(reply, size, kIsrcFormat, kIsrcLength);
  if (isrc && !validIsrc(*isrc)) return std::nullopt;
  return isrc;
}

std::array<std::uint8_t, 12> readQCommand(std::uint32_t lba, std::uint32_t count) {
  return readCdCommand(lba, count, 0, 0, kFormattedQ);
}

std::optional<std::string> isrcOfQ(const std::uint8_t* q) {
  if ((q[0] & 0x0f) != kIsrcAdr || !crcHolds(q, 10)) return std::nullopt;
  // Bytes 1 to 9 as a bit string: five six-bit characters, two zero bits, seven BCD digits.
  const auto bits = [q](unsigned first, unsigned count) {
    unsigned value = 0;
    for (unsigned bit = first; bit < first + count; ++bit) {
      value = value << 1 | (q[1 + bit / 8] >> (7 - bit % 8) & 1);
    }
    return value;
  };
  std::string isrc;
  for (unsigned i = 0; i < 5; ++i) isrc += sixBitCharacter(bits(6 * i, 6));
  for (unsigned i = 0; i < 7; ++i) {
    const unsigned digit = bits(32 + 4 * i, 4);
    isrc += digit <= 9 ? static_cast<char>('0' + digit) : '?';
  }
  if (!validIsrc(isrc)) return std::nullopt;
  return isrc;
}

std::optional<QPosition> positionOfQ(const std::uint8_t* q) {
  if ((q[0] & 0x0f) != kPositionAdr || !crcHolds(q, 10)) return std::nullopt;
  const auto track = fromBcd(q[1]);
  const auto index = fromBcd(q[2]);
  const auto minutes = fromBcd(q[7]);
  const auto seconds = fromBcd(q[8]);
  const auto frames = fromBcd(q[9]);
  if (!track || !index || !minutes || !seconds || !frames || *track == 0 ||
      *seconds >= kSecondsPerMinute || *frames >= kFramesPerSecond) {
    return std::nullopt;
  }
  return QPosition{static_cast<std::uint8_t>(q[0] >> 4), *track, *index,
                   framesOf(Msf{*minutes, *seconds, *frames})};
}
