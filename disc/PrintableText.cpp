#include "PrintableText.h"

#include <cstring>

namespace {

constexpr char kGapMark[] = "...";
constexpr std::size_t kGapMarkLength = sizeof kGapMark - 1;

bool isPrintable(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x20 && byte < 0x7f;
}

std::size_t formLength(char c) { return isPrintable(c) ? 1 : 4; }

// Writes the byte's printable form; returns the position after it.
char* writeForm(char c, char* out) {
  static constexpr char kHexDigits[] = "0123456789abcdef";
  if (isPrintable(c)) {
    *out++ = c;
    return out;
  }
  const auto byte = static_cast<unsigned char>(c);
  *out++ = '\\';
  *out++ = 'x';
  *out++ = kHexDigits[byte >> 4];
  *out++ = kHexDigits[byte & 0xf];
  return out;
}

char* writeForms(std::string_view bytes, char* out) {
  for (const char c : bytes) out = writeForm(c, out);
  return out;
}

}  // namespace

std::string printable(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    char form[4];
    if (c == '\\') {
      text += "\\\\";
    } else {
      text.append(form, writeForm(c, form));
    }
  }
  return text;
}

std::size_t printableWithin(std::string_view bytes, char* out, std::size_t room) noexcept {
  std::size_t length = 0;
  for (const char c : bytes) length += formLength(c);
  if (length <= room) return static_cast<std::size_t>(writeForms(bytes, out) - out);
  if (room < kGapMarkLength) return 0;

  const std::size_t tailRoom = (room - kGapMarkLength) / 2;
  const std::size_t headRoom = room - kGapMarkLength - tailRoom;
  std::size_t head = 0;
  for (std::size_t used = 0; used + formLength(bytes[head]) <= headRoom; ++head) {
    used += formLength(bytes[head]);
  }
  std::size_t tail = bytes.size();
  for (std::size_t used = 0; used + formLength(bytes[tail - 1]) <= tailRoom; --tail) {
    used += formLength(bytes[tail - 1]);
  }
  char* next = writeForms(bytes.substr(0, head), out);
  std::memcpy(next, kGapMark, kGapMarkLength);
  next = writeForms(bytes.substr(tail), next + kGapMarkLength);
  return static_cast<std::size_t>(next - out);
}
