// The clear majority that keeps a sector whose reads did not settle at once: each case a
// sequence of reads (a value, flagged or not, or a failure) and what is kept after them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Frames.h"
#include "SectorVotes.h"

namespace {

// 'A' to 'C' a read of that value, 'a' to 'c' the same flagged by C2, '-' a failed read.
SectorVotes votesOf(const std::string& reads) {
  SectorVotes votes;
  for (const char read : reads) {
    if (read == '-') {
      votes.addFailed();
      continue;
    }
    const bool flagged = read >= 'a';
    const std::vector<std::uint8_t> sector(kAudioFrameBytes,
                                           static_cast<std::uint8_t>(flagged ? read - 32 : read));
    votes.add(sector.data(), flagged);
  }
  return votes;
}

TEST(SectorVotes, KeepsAValueOnlyByAClearMajority) {
  struct Case {
    const char* reads;
    bool trustFlags;
    char kept;  // the value kept, or 0 for none yet
  };
  const std::vector<Case> cases = {
      {"AA", true, 'A'},     // two alike, unflagged
      {"A", true, 0},        // one read proves nothing
      {"aA", true, 0},       // a flagged first read and a second alike: not yet
      {"aa", true, 0},       // two flagged reads that agree
      {"aaa", true, 'A'},    // three alike contradict the flags
      {"aa", false, 'A'},    // flags distrusted: two alike
      {"BAB", true, 0},      // two against one is not clear
      {"BABAAA", true, 0},   // four against two: not three times as many
      {"BAAA", true, 'A'},   // three against one
      {"bbAAA", true, 'A'},  // flagged reads count for no value
      {"BCBCBC", true, 0},   // never a winner
      {"-AA", true, 'A'},    // a failure is no value
      {"-A", true, 0},         {"ABAAAB", true, 0},  // four against two
      {"ABAAAAAB", true, 'A'},                       // six against two: three times as many
  };
  for (const Case& c : cases) {
    const SectorVotes votes = votesOf(c.reads);
    const std::uint8_t* kept = votes.kept(c.trustFlags);
    EXPECT_EQ(kept == nullptr ? 0 : static_cast<char>(kept[0]), c.kept) << c.reads;
  }
}

}  // namespace
