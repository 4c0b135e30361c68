#pragma once

#include <functional>
#include <optional>

#include "DiscFailure.h"
#include "MmcMedium.h"

// What one poll of a drive saw: its medium, and whether the drive said that the medium
// changed since it was last asked (a unit attention, a media event) even where a disc is
// in both times.
struct MediumObservation {
  Medium medium = Medium::kUnknown;
  bool changed = false;
  // For an unreadable disc: what the drive said of it.
  std::optional<DiscFailure> problem;
};

// What a watch tells its listener after a poll, in this order: the disc it knew left, a
// disc arrived (its table of contents read), a disc stays unreadable.
struct WatchReport {
  bool removed = false;
  std::optional<TableOfContents> inserted;
  std::optional<DiscFailure> unreadable;

  bool empty() const { return !removed && !inserted && !unreadable; }
};

// The state of a watched drive, from one poll to the next, which makes each change one
// report: a disc is reported once when its table of contents has been read (read once a
// disc, not once a poll), its removal once, a disc becoming ready not at all, a disc that
// stays unreadable once. A poll that could tell nothing changes nothing.
class WatchState {
 public:
  // A failed reading of a disc that is in and ready is tried again at the next polls; after
  // this many the disc is unreadable.
  static constexpr int kReadingsBeforeUnreadable = 3;

  // Whether the next poll must tell a ready disc from one becoming ready; not while a disc
  // that has been reported stays in.
  bool readinessNeeded() const { return state != State::kPresent && state != State::kUnreadable; }

  // The report of a poll that saw `observation`; `readToc` reads the disc when it is to be
  // read.
  WatchReport next(const MediumObservation& observation,
                   const std::function<DiscReading()>& readToc);

 private:
  enum class State {
    kStarting,  // nothing known yet: a disc already in is reported as it is found
    kEmpty,
    kWaiting,  // a disc is in but was not read yet: becoming ready, or its reading failed
    kPresent,
    kUnreadable,
  };

  WatchReport failedReading(const DiscFailure& failure, WatchReport report);

  State state = State::kStarting;
  int failedReadings = 0;
};
