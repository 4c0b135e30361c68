#include "WatchState.h"

WatchReport WatchState::next(const MediumObservation& observation,
                             const std::function<DiscReading()>& readToc) {
  WatchReport report;
  const bool discKnown = state == State::kPresent || state == State::kUnreadable;
  // The drive said its medium changed, and no more: the disc known is gone, and the next poll
  // tells what is in now.
  if (observation.medium == Medium::kUnknown) {
    if (discKnown && observation.changed) {
      report.removed = true;
      state = State::kWaiting;
      failedReadings = 0;
    }
    return report;
  }
  // A ready drive does not become ready again with the same disc: one becoming ready, or
  // one that says its medium changed, holds another.
  const bool left = observation.medium == Medium::kNone ||
                    observation.medium == Medium::kBecomingReady || observation.changed;
  if (discKnown && left) {
    report.removed = true;
    state = State::kEmpty;
  }
  if (left) failedReadings = 0;
  switch (observation.medium) {
    case Medium::kNone:
      state = State::kEmpty;
      return report;
    case Medium::kBecomingReady:
      state = State::kWaiting;
      return report;
    case Medium::kUnreadable:
      if (state == State::kPresent || state == State::kUnreadable) return report;
      return failedReading(observation.problem.value_or(DiscFailure{FailureReason::kReadFailed, "",
                                                                    "the disc can not be read"}),
                           std::move(report));
    case Medium::kReady:
      break;
    case Medium::kUnknown:
      return report;
  }
  if (state == State::kPresent || state == State::kUnreadable) return report;
  DiscReading reading = readToc();
  if (auto* toc = std::get_if<TableOfContents>(&reading)) {
    state = State::kPresent;
    failedReadings = 0;
    report.inserted = std::move(*toc);
    return report;
  }
  const DiscFailure& failure = std::get<DiscFailure>(reading);
  // Gone again, or not ready after all: the next polls see what it is.
  if (failure.reason == FailureReason::kNoDisc) {
    state = State::kEmpty;
    return report;
  }
  if (failure.reason == FailureReason::kNotReady) {
    state = State::kWaiting;
    return report;
  }
  return failedReading(failure, std::move(report));
}

WatchReport WatchState::failedReading(const DiscFailure& failure, WatchReport report) {
  if (++failedReadings < kReadingsBeforeUnreadable) {
    state = State::kWaiting;
    return report;
  }
  state = State::kUnreadable;
  report.unreadable = failure;
  return report;
}
