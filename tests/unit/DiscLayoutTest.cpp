// A disc's layout searched in the fake drive's Q sub-channel: pregaps, index points,
// pre-emphasis and a hidden track read exactly, with the commands each layout costs, also
// from a drive that answers a few sectors off, with lone lying frames and frames whose CRC
// fails; and Q data gone wrong beyond that, which leaves values unknown but never wrong.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "AudioDrive.h"
#include "FakeDriveTest.h"
#include "LayoutSearch.h"

namespace {

// The fake drive's settings for one case; each is cleared after it.
struct Settings {
  const char* toc;
  const char* layout = "";
  const char* skew = "0";
  const char* bad = "";
  const char* claims = "";
};

// The layout, the table it was read with and the READ CDs it took.
struct Found {
  DiscLayout layout;
  TableOfContents toc;
  std::size_t readCds = 0;
};

class DiscLayoutSearch : public FakeDriveTest {
 protected:
  Found search(const Settings& settings) {
    setenv("FAKE_CDROM_TOC", settings.toc, 1);
    setenv("FAKE_CDROM_LAYOUT", settings.layout, 1);
    setenv("FAKE_CDROM_Q_SKEW", settings.skew, 1);
    setenv("FAKE_CDROM_Q_BAD", settings.bad, 1);
    setenv("FAKE_CDROM_Q_CLAIM", settings.claims, 1);
    AudioDriveOpening opening = openAudioDrive(device);
    if (auto* failure = std::get_if<DiscFailure>(&opening)) {
      ADD_FAILURE() << failure->detail;
      return {};
    }
    AudioDrive& drive = *std::get<std::unique_ptr<AudioDrive>>(opening);
    std::ofstream(log, std::ios::trunc);
    LayoutSearch search(drive.subchannel(), drive.sectors(), drive.toc(), drive.toc().leadOut);
    auto found = search.run();
    if (auto* failure = std::get_if<DiscFailure>(&found)) {
      ADD_FAILURE() << failure->detail;
      return {};
    }
    std::ifstream file(log);
    const std::string commands((std::istreambuf_iterator<char>(file)), {});
    std::size_t readCds = 0;
    for (auto at = commands.find("command be"); at != std::string::npos;
         at = commands.find("command be", at + 1)) {
      ++readCds;
    }
    return {std::get<DiscLayout>(found), drive.toc(), readCds};
  }
};

// What no layout may hold, known or not: a pregap outside its track's stretch, a negative
// length, index points out of order or outside their track.
void expectInPlace(const Found& found) {
  const TableOfContents& toc = found.toc;
  for (unsigned track = toc.firstTrack; track <= toc.lastTrack; ++track) {
    SCOPED_TRACE("track " + std::to_string(track));
    const TrackLayout& layout = found.layout.tracks.at(track - toc.firstTrack);
    const std::int64_t start = toc.startOf(track);
    if (layout.pregapStart >= 0) {
      EXPECT_GE(layout.pregapLength, 0);
      EXPECT_EQ(layout.pregapStart + layout.pregapLength, start);
      EXPECT_GT(layout.pregapStart, track == toc.firstTrack ? 149 : toc.startOf(track - 1));
    } else {
      EXPECT_EQ(layout.pregapLength, -1);
    }
    std::int64_t previous = start;
    for (const std::uint32_t index : layout.indexes) {
      EXPECT_GT(index, previous);
      EXPECT_LT(index, track == toc.lastTrack ? toc.leadOut : toc.startOf(track + 1));
      previous = index;
    }
    if (!layout.indexesKnown) {
      EXPECT_TRUE(layout.indexes.empty());
    }
  }
}

std::vector<std::int64_t> pregapStarts(const DiscLayout& layout) {
  std::vector<std::int64_t> starts;
  for (const TrackLayout& track : layout.tracks) starts.push_back(track.pregapStart);
  return starts;
}

std::vector<std::vector<std::uint32_t>> indexesOf(const DiscLayout& layout) {
  std::vector<std::vector<std::uint32_t>> indexes;
  for (const TrackLayout& track : layout.tracks) indexes.push_back(track.indexes);
  return indexes;
}

// "-" unknown, "n" none, "q" in the Q data alone, "t" in the table alone, "b" both.
std::string emphasisOf(const DiscLayout& layout) {
  std::string seen;
  for (const TrackLayout& track : layout.tracks) {
    const bool inToc = (track.tocControl & 1) != 0;
    if (!track.qPreEmphasis) {
      seen += '-';
    } else {
      seen += *track.qPreEmphasis ? (inToc ? 'b' : 'q') : (inToc ? 't' : 'n');
    }
  }
  return seen;
}

constexpr const char* kFourTracks = "1 4 30000 150 8000 15000 22000";
constexpr const char* kLayout =
    "pregap 2 150 pregap 3 75 pregap 4 33 index 3 18000 index 3 19000 index 4 25000 "
    "emphasis 2 q emphasis 3 toc emphasis 4 both";

TEST_F(DiscLayoutSearch, ReadsEachLayoutExactlyInAFewCommands) {
  using Starts = std::vector<std::int64_t>;
  using Indexes = std::vector<std::vector<std::uint32_t>>;
  const Indexes none(4);
  const Indexes laid = {{}, {}, {18000, 19000}, {25000}};
  const struct {
    const char* name;
    Settings settings;
    Starts pregaps;
    Indexes indexes;
    std::string emphasis;
    std::uint32_t hidden;
    bool hiddenAudio;
    std::size_t mostReadCds;
  } cases[] = {
      {"no pregaps", {kFourTracks}, {150, 8000, 15000, 22000}, none, "nnnn", 0, false, 5},
      {"pregaps, index points, pre-emphasis",
       {kFourTracks, kLayout},
       {150, 7850, 14925, 21967},
       laid,
       "nqtb",
       0,
       false,
       40},
      {"Q three sectors late",
       {kFourTracks, kLayout, "3"},
       {150, 7850, 14925, 21967},
       laid,
       "nqtb",
       0,
       false,
       40},
      {"Q two sectors early, bad CRCs at the boundaries",
       {kFourTracks, kLayout, "-2", "7848 7851 14926 18001 21965 25001"},
       {150, 7850, 14925, 21967},
       laid,
       "nqtb",
       0,
       false,
       50},
      {"a hidden track",
       {"1 3 20000 600 8000 14000", "pregap 2 150 emphasis 1 both"},
       {150, 7850, 14000},
       {{}, {}, {}},
       "bnn",
       450,
       true,
       12},
      {"one frame in seven bad, none beside a boundary",
       {kFourTracks, kLayout, "0", "every 7+5"},
       {150, 7850, 14925, 21967},
       laid,
       "nqtb",
       0,
       false,
       40},
      {"one frame in seven sent bad",
       {kFourTracks, kLayout, "0", "sent 7"},
       {150, 7850, 14925, 21967},
       laid,
       "nqtb",
       0,
       false,
       44},
      {"a lying frame where the search looks last",
       {kFourTracks, "pregap 2 37", "0", "", "7926:2:0"},
       {150, 7963, 15000, 22000},
       none,
       "nnnn",
       0,
       false,
       10},
      {"a pregap of 40 seconds",
       {"1 2 9000 150 6000", "pregap 2 3000"},
       {150, 3000},
       {{}, {}},
       "nn",
       0,
       false,
       20},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    const Found found = search(row.settings);
    expectInPlace(found);
    EXPECT_TRUE(found.layout.complete());
    EXPECT_EQ(pregapStarts(found.layout), row.pregaps);
    EXPECT_EQ(indexesOf(found.layout), row.indexes);
    EXPECT_EQ(emphasisOf(found.layout), row.emphasis);
    EXPECT_EQ(found.layout.hiddenLength, row.hidden);
    EXPECT_EQ(found.layout.hiddenAudio, row.hiddenAudio);
    EXPECT_LE(found.readCds, row.mostReadCds);
  }
}

TEST_F(DiscLayoutSearch, LeavesUnknownWhatTheQDataContradicts) {
  using Starts = std::vector<std::int64_t>;
  const struct {
    const char* name;
    Settings settings;
    Starts pregaps;
    std::vector<bool> indexesKnown;
    std::string emphasis;
  } cases[] = {
      {"bad CRCs everywhere",
       {kFourTracks, kLayout, "0", "all"},
       {-1, -1, -1, -1},
       {false, false, false, false},
       "----"},
      {"an index going back, beside the index point",
       {kFourTracks, kLayout, "0", "", "18001:3:1"},
       {150, 7850, 14925, 21967},
       {true, true, false, true},
       "nqtb"},
      {"a frame of another track before a pregap",
       {kFourTracks, kLayout, "0", "", "7849:3:0"},
       {150, -1, 14925, 21967},
       {false, true, true, true},
       "nqtb"},
      {"a frame of another track at a start",
       {kFourTracks, "", "0", "", "15000:2:1"},
       {150, 8000, -1, 22000},
       {true, false, true, true},
       "nnnn"},
      {"bad CRCs at a boundary's two frames",
       {kFourTracks, kLayout, "0", "14924 14925"},
       {150, 7850, -1, 21967},
       {true, false, true, true},
       "nqtb"},
      {"a bad CRC at a boundary's first frame",
       {kFourTracks, kLayout, "0", "7850"},
       {150, -1, 14925, 21967},
       {false, true, true, true},
       "nqtb"},
      {"a track of two frames, one with a bad CRC",
       {"1 3 9000 150 8000 8002", "emphasis 2 q", "0", "8001"},
       {150, -1, -1},
       {false, false, true},
       "n-n"},
      {"one frame in seven bad, two beside boundaries",
       {kFourTracks, kLayout, "0", "every 7+0"},
       {150, 7850, -1, -1},
       {true, false, false, true},
       "nqtb"},
      {"a phantom index on a track's last frame",
       {kFourTracks, kLayout, "0", "", "14924:2:2"},
       {150, 7850, 14925, 21967},
       {true, false, true, true},
       "nqtb"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    const Found found = search(row.settings);
    expectInPlace(found);
    EXPECT_FALSE(found.layout.complete());
    EXPECT_EQ(pregapStarts(found.layout), row.pregaps);
    std::vector<bool> known;
    for (const TrackLayout& track : found.layout.tracks) known.push_back(track.indexesKnown);
    EXPECT_EQ(known, row.indexesKnown);
    EXPECT_EQ(emphasisOf(found.layout), row.emphasis);
  }
}

}  // namespace
