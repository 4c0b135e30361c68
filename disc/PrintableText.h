#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Bytes from outside (a file's contents, a path, an environment variable) made safe to
// print: control characters, DEL and every byte above 0x7e become "\xNN", so that what is
// printed is always the lines it claims to be and a NUL does not cut it short.
std::string printable(std::string_view bytes);

// printable(bytes) in at most `room` characters: when it is longer, its middle is left out
// and "..." marks the gap, so that both ends stay (the start of a path, the cause at the end
// of a message); an escape is never split. Writes to `out` without a terminator and returns
// how many characters it wrote; with less room than the gap mark needs, nothing. Allocates
// nothing.
std::size_t printableWithin(std::string_view bytes, char* out, std::size_t room) noexcept;
