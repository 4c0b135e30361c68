#pragma once

#include <string>
#include <string_view>

#include "DiscFailure.h"

// A table-of-contents file: first track, last track, lead-out, then every track's start,
// as absolute frames separated by white space; '#' starts a comment that runs to the line end.
DiscReading readTocFile(const std::string& path);

// Parses a file's contents; problems are reported as "<name> line <n>: <what>".
DiscReading parseTocText(std::string_view text, const std::string& name);
