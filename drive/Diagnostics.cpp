#include "Diagnostics.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "PrintableText.h"

void Diagnostics::add(const char* format, ...) noexcept {
  if (full) return;
  va_list args;
  va_start(args, format);
  const int added = std::vsnprintf(buffer + length, kCapacity - length, format, args);
  va_end(args);
  if (added < 0) return;
  if (static_cast<std::size_t>(added) >= kCapacity - length) {
    cut();
    return;
  }
  length += static_cast<std::size_t>(added);
}

void Diagnostics::addPrintable(std::string_view bytes, std::size_t room) noexcept {
  if (full) return;
  length += printableWithin(bytes, buffer + length, std::min(room, kCapacity - length));
}

void Diagnostics::cut() noexcept {
  static constexpr char kCutMark[] = "...\n";
  full = true;
  length = kCapacity;
  std::memcpy(buffer + kCapacity - (sizeof kCutMark - 1), kCutMark, sizeof kCutMark - 1);
}

void Diagnostics::write() const noexcept {
  if (length > 0) std::fwrite(buffer, 1, length, stderr);
}
