#pragma once

#include <string>
#include <string_view>

// The text of a sheet written by hand or by any program: UTF-8 with or without a byte-order
// mark, or an 8-bit code page, ISO-8859-1 the likeliest.

std::string_view withoutByteOrderMark(std::string_view text);

// Whether `text` is valid UTF-8 (plain ASCII is).
bool isUtf8(std::string_view text);

// The text as ISO-8859-1 bytes, CD-Text's character set: decoded from UTF-8 when `utf8`, a
// character beyond ISO-8859-1 becoming '?'; else taken as ISO-8859-1 already.
std::string latin1Text(std::string_view text, bool utf8);
