#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "DiscExtras.h"

// The lines of a table-of-contents file that give what the disc carries besides its table,
// each a line of its own, starting with its keyword:
//   catalog <13 digits>
//   isrc <track> <12 characters>
//   cdtext-block <block 0-7> <language code, hexadecimal> <latin1|ascii|msjis>
//   cdtext <block> <track, 0 = album> <field> <text to the end of the line>
// where the field is title, performer, songwriter, composer, arranger, message, catalog,
// genre ("<code> <text>"), upc (album) or isrc (track), and \xNN in a text is any byte.
class TocFileExtras {
 public:
  static bool isKeyword(std::string_view word);

  // Takes one such line; what is wrong with it, if anything.
  std::optional<std::string> addLine(std::string_view line, int lineNumber);

  // The extras of the disc with table `toc`, or a line that names a track it lacks.
  std::variant<DiscExtras, std::pair<int, std::string>> extrasFor(const TableOfContents& toc) const;

 private:
  struct TrackValue {
    unsigned track;
    int line;
  };
  std::optional<std::string> mediaCatalogNumber;
  std::vector<std::pair<TrackValue, std::string>> isrcs;
  std::vector<TrackValue> cdTextTracks;  // where each CD-Text item was given
  CdText cdText;
};
