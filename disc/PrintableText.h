#pragma once

#include <string>
#include <string_view>

// Bytes from outside (a file's contents, a path, an environment variable) made safe to
// print: control characters, DEL and every byte above 0x7e become "\xNN", so that what is
// printed is always the lines it claims to be and a NUL does not cut it short.
std::string printable(std::string_view bytes);
