#pragma once

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>

#include "DiscReader.h"

// A table-of-contents file: first track, last track, lead-out, then every track's start,
// as absolute frames separated by white space; '#' starts a comment that runs to the line
// end. A start followed directly by 'd' ("250000d") is that of a data track. Lines that
// start with a keyword give what the disc carries besides: its catalog number, ISRCs and
// CD-Text (see TocFileExtras.h).

// A table of contents takes a few hundred bytes; a larger file than this is some other file.
constexpr std::size_t kMaxTocFileSize = std::size_t{64} * 1024;

DiscReading readTocFile(const std::string& path);

// Parses a file's contents; problems are reported as "<name> line <n>: <what>".
DiscExtrasReading parseTocFileText(std::string_view text, const std::string& name);
// The same, the table alone.
DiscReading parseTocText(std::string_view text, const std::string& name);

// What each reading of a file's contents parses them into.
template <typename Reading>
Reading parseTocFileAs(std::string_view text, const std::string& name);
template <>
inline DiscReading parseTocFileAs<DiscReading>(std::string_view text, const std::string& name) {
  return parseTocText(text, name);
}
template <>
inline DiscExtrasReading parseTocFileAs<DiscExtrasReading>(std::string_view text,
                                                           const std::string& name) {
  return parseTocFileText(text, name);
}

// What a file's OS error (errno) means for a disc read from it.
FailureReason fileErrorReason(int error);

// A file that could not be opened or read (an OS error), or that is too large to be one.
DiscFailure unreadableTocFile(const std::string& name, int error);
DiscFailure oversizedTocFile(const std::string& name);

// Reads and parses a file of `expectedSize` bytes by its status, refusing it unread when
// that is too large. `readSome(buffer, size)` reads at most `size` bytes: how many, 0 at
// the end, -1 with errno set on failure. The size is only a hint: a file can grow, and
// those of /proc claim none.
template <typename Reading = DiscReading, typename ReadSome>
Reading readTocText(const std::string& name, std::size_t expectedSize, ReadSome readSome) {
  if (expectedSize > kMaxTocFileSize) return oversizedTocFile(name);
  std::string text(expectedSize + 1, '\0');  // one byte more shows a file that has grown
  std::size_t size = 0;
  for (;;) {
    if (size == text.size()) {
      if (size > kMaxTocFileSize) return oversizedTocFile(name);
      text.resize(std::min(std::max<std::size_t>(2 * size, 4096), kMaxTocFileSize + 1));
    }
    const auto got = readSome(&text[size], text.size() - size);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      return unreadableTocFile(name, errno);
    }
    size += static_cast<std::size_t>(got);
  }
  text.resize(size);
  return parseTocFileAs<Reading>(text, name);
}
