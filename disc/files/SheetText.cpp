#include "SheetText.h"

#include <cstdint>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The length of the UTF-8 sequence that starts with `lead`; 0 for a byte no sequence starts
// with.
std::size_t sequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xc2 && lead <= 0xdf) return 2;
  if (lead >= 0xe0 && lead <= 0xef) return 3;
  if (lead >= 0xf0 && lead <= 0xf4) return 4;
  return 0;
}

bool isContinuation(unsigned char c) { return (c & 0xc0) == 0x80; }

// The character of the valid sequence of `length` bytes at `text`.
char32_t decode(const unsigned char* text, std::size_t length) {
  static constexpr unsigned char kLeadBits[] = {0, 0x7f, 0x1f, 0x0f, 0x07};
  char32_t c = text[0] & kLeadBits[length];
  for (std::size_t i = 1; i < length; ++i) c = c << 6 | (text[i] & 0x3f);
  return c;
}

}  // namespace

std::string_view withoutByteOrderMark(std::string_view text) {
  return text.substr(0, kByteOrderMark.size()) == kByteOrderMark
             ? text.substr(kByteOrderMark.size())
             : text;
}

bool isUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = sequenceLength(bytes[i]);
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if (!isContinuation(bytes[i + k])) return false;
    }
    const char32_t c = decode(bytes + i, length);
    // Overlong forms, surrogates and what lies beyond Unicode are not UTF-8.
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || (c >= 0xd800 && c <= 0xdfff) || c > 0x10ffff) return false;
    i += length;
  }
  return true;
}

std::string latin1Text(std::string_view text, bool utf8) {
  if (!utf8) return std::string(text);
  std::string latin1;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = sequenceLength(bytes[i]);
    if (length == 0 || i + length > text.size()) {  // not UTF-8 after all: taken as is
      return std::string(text);
    }
    const char32_t c = decode(bytes + i, length);
    latin1 += c <= 0xff ? static_cast<char>(c) : '?';
    i += length;
  }
  return latin1;
}
