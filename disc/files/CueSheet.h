#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// A CUE sheet as written: the files it names and its tracks' index points within them,
// before any file is looked at. Where the tracks land on a disc is CueImage's concern.

// A sheet takes a few kilobytes even with every text of 99 tracks; a larger file is some
// other file.
constexpr std::size_t kMaxCueSheetSize = std::size_t{256} * 1024;

struct CueFile {
  enum class Type { kBinary, kWave };
  std::string name;  // as the sheet gives it, separators not yet judged
  Type type = Type::kBinary;
  int line = 0;
};

// A place in one of the sheet's files, in frames from the file's start.
struct CuePosition {
  std::size_t file = 0;
  std::uint32_t frames = 0;
  int line = 0;
};

// The texts a sheet gives the album or a track, as ISO-8859-1 bytes: CD-Text's own.
struct CueTexts {
  std::optional<std::string> title, performer, songwriter;
};

struct CueTrack {
  unsigned number = 0;
  bool audio = true;
  std::uint32_t sectorBytes = 0;  // what one sector takes in its file
  unsigned session = 1;
  std::uint8_t flags = 0;            // FLAGS as CONTROL bits: PRE 1, DCP 2, 4CH 8
  std::uint32_t pregapSilence = 0;   // PREGAP: frames of silence no file holds
  std::uint32_t postgapSilence = 0;  // POSTGAP: the same after its last sector
  // A data track no file holds, described by its length (REM DATA TRACK): its sectors.
  std::optional<std::uint32_t> describedFrames;
  std::optional<CuePosition> index0;  // the start of its pregap, when the file holds one
  std::vector<CuePosition> indexes;   // INDEX 01, 02, ...: index01 is the track's start
  std::optional<std::string> isrc;
  CueTexts texts;
  int line = 0;
};

struct CueSheet {
  std::optional<std::string> catalog;
  CueTexts texts;
  std::vector<CueFile> files;
  // Numbered one after another, each with an INDEX 01 but those described by their length.
  std::vector<CueTrack> tracks;
};

// A sheet's problem: the line it lies on (0: the whole sheet) and what it is.
struct CueProblem {
  int line;
  std::string what;
};

// Parses a sheet's text: UTF-8 (with or without a byte-order mark) or, where it is not valid
// UTF-8, ISO-8859-1, its lines ended by LF, CR LF or CR. Commands it does not need (REM,
// CDTEXTFILE...) are passed over; those it needs are checked, and the first problem ends
// the parse. A data track that no file holds is described, where it lies among the tracks,
// by `REM DATA TRACK nn [PREGAP mm:ss:ff] LENGTH mm:ss:ff`: its number, the silence before
// it and its length, so that the sheet lays out the disc it came from.
std::variant<CueSheet, CueProblem> parseCueSheet(std::string_view text);
