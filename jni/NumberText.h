#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>

// A text of numbers and the characters between them, written into room made once: each
// number is written in place, with no formatting and no allocation of its own.
class NumberText {
 public:
  // Room for `numbers` numbers of up to 32 bits, each with a separator.
  explicit NumberText(std::size_t numbers) : text(numbers * kRoomPerNumber, '\0') {}

  // As printf's "%ld" writes it.
  void addNumber(long number) {
    length = static_cast<std::size_t>(
        std::to_chars(&text[length], text.data() + text.size(), number).ptr - text.data());
  }
  // As printf's "%08X" writes it.
  void addHexadecimal(std::uint32_t number) {
    for (std::size_t i = 8; i-- > 0; number >>= 4) {
      text[length + i] = "0123456789ABCDEF"[number & 0xF];
    }
    length += 8;
  }
  void addCharacter(char c) { text[length++] = c; }

  std::string take() && {
    text.resize(length);
    return std::move(text);
  }

 private:
  static constexpr std::size_t kRoomPerNumber = 12;  // "-2147483648" and a separator

  std::string text;
  std::size_t length = 0;
};
