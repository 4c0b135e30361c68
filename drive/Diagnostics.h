#pragma once

#include <cstddef>
#include <string_view>

// The reports of one native call, collected while the drive is in use and written to
// standard error once it is closed and no lock is held: a standard error that nobody reads
// then blocks only the thread that writes to it, never the drive. Allocates nothing, so
// that reporting can not fail, not even for want of memory. Past its capacity the text is
// cut, ends with "...\n" and takes nothing more.
class Diagnostics {
 public:
  // More than a call reports: two command reports of at most 2 KB each, and a line.
  static constexpr std::size_t kCapacity = 8192;

  // Appends a text of our own, made with a printf format.
  void add(const char* format, ...) noexcept
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  // Appends the printable form of bytes from outside, in at most `room` characters (see
  // printableWithin).
  void addPrintable(std::string_view bytes, std::size_t room) noexcept;

  std::string_view text() const noexcept { return {buffer, length}; }
  // Writes the collected text to standard error in one piece.
  void write() const noexcept;

 private:
  void cut() noexcept;

  char buffer[kCapacity];
  std::size_t length = 0;
  bool full = false;
};
