#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <variant>
#include <vector>

#include "AudioSectors.h"
#include "DiscLayout.h"
#include "QFrames.h"
#include "TableOfContents.h"

// Finds a disc's pregaps, index points and pre-emphasis in its Q sub-channel without reading
// every sector's: each boundary (a pregap's start, an index point) is searched for with a
// few reads of a few sectors, first where it most often lies, then by halving the stretch
// that must hold it. Every frame is placed by the address it carries, whatever was asked.
// A frame the table rules out, or a lone frame that contradicts the order of the frames
// around it (an index going back, a frame of another track), is outvoted; a frame whose CRC
// fails is passed over for the next good one. A boundary counts only when two frames on
// each side put it there: the two before it below it, the one at it and the next beside it
// of one track and index; where the frames disagree more than one lone frame can explain, or
// a sector at the boundary gives no good frame, it stays unknown. The audio before the first
// track is read until it shows sound, to tell a hidden track.
class LayoutSearch {
 public:
  // `audioLeadOut`: where the audio session ends (absolute frames); on an Enhanced CD the
  // data that follows is a session of its own.
  LayoutSearch(QFrames& q, AudioSectors& audio, const TableOfContents& toc,
               std::uint32_t audioLeadOut);

  std::variant<DiscLayout, DiscFailure> run();

 private:
  struct Stretch {
    std::uint32_t floor;    // the first place the boundary may be
    std::uint32_t ceiling;  // the last
    std::uint32_t limit;    // where its session ends: nothing from here on is read
    bool hardFloor;         // nothing before the floor can be read: it may be at the floor
  };

  void findPregap(unsigned track, TrackLayout& layout);
  // `nextPregap`: where the next track's pregap starts, -1 when unknown.
  void findIndexes(unsigned track, std::int64_t nextPregap, TrackLayout& layout);
  // The first place in the stretch whose (track, index) is at least `key`; empty when no
  // two frames confirm it within the reads a boundary may take. `hints`: where to look
  // first, in turn, while they lie in the stretch still open.
  std::optional<std::uint32_t> findBoundary(unsigned key, const Stretch& stretch,
                                            std::vector<std::uint32_t> hints);
  // Whether the boundary between `before` and `after` (the next place) has a second frame
  // on each side that agrees, reading what is missing; empty while more must be read.
  std::optional<bool> confirmed(std::uint32_t before, std::uint32_t after, unsigned key,
                                const Stretch& stretch);
  // The (track, index) of a place, as it and the good frame before it agree, reading there
  // if no frame of it is known yet.
  std::optional<unsigned> keyAt(std::uint32_t place, std::uint32_t limit);
  // Reads the Q of a few sectors around `target`, within [floor, limit), and keeps what
  // it gives; whether any frame new to the search arrived.
  bool probe(std::uint32_t target, std::uint32_t floor, std::uint32_t limit);
  void keep(const QPosition& frame);
  // Outvotes each lone frame that breaks the order of its neighbours.
  void settle();
  // The first two neighbouring frames out of order that no lone frame explains, within
  // [from, to]: the place of the first.
  std::optional<std::uint32_t> disorderWithin(std::uint32_t from, std::uint32_t to) const;
  // The nearest good frame before (`step` -1) or after (+1) a place, a few sectors at most.
  std::optional<std::uint32_t> neighbour(std::uint32_t place, int step) const;
  std::optional<bool> preEmphasisOf(unsigned track) const;
  std::optional<bool> hiddenAudio(std::uint32_t sectors);
  // Where the session of `track` begins (hard floor) if the track opens one, else empty.
  std::optional<std::uint32_t> sessionStartOf(unsigned track) const;
  std::uint32_t sessionEndOf(unsigned track) const;

  QFrames& q;
  AudioSectors& audio;
  const TableOfContents& toc;
  std::uint32_t audioLeadOut;
  std::map<std::uint32_t, QPosition> frames;  // good frames, by the address each carries
  std::set<std::uint32_t> outvoted;           // places whose frame was not believed
  std::set<std::uint32_t> asked;              // targets read, not to be read again
  std::int64_t skew = 0;                      // the drive's frames against the addresses asked
  std::optional<DiscFailure> failure;
};
