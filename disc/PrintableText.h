#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Bytes from outside (a file's contents, a path, an environment variable) made safe to
// print: control characters, DEL and every byte above 0x7e become "\xNN", so that what is
// printed is always the lines it claims to be and a NUL does not cut it short; a backslash
// becomes "\\", so that the four characters "\x1b" never print as the escape of ESC.
std::string printable(std::string_view bytes);

// printable(bytes), but with a backslash as it is, in at most `room` characters: the MCI
// reports escape a text twice (our MCI layer's error text, then the drive's report of it,
// which escapes winmm's too), and only a rule that leaves its own escapes as they are can
// be applied twice. When the text is longer, its middle is left out
// and "..." marks the gap, so that both ends stay (the start of a path, the cause at the end
// of a message); an escape is never split. Writes to `out` without a terminator and returns
// how many characters it wrote; with less room than the gap mark needs, nothing. Allocates
// nothing.
std::size_t printableWithin(std::string_view bytes, char* out, std::size_t room) noexcept;
