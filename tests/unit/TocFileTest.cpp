#include <gtest/gtest.h>

#include <algorithm>

#include "TempFolder.h"
#include "TocFile.h"

namespace {

TEST(TocFile, ReadsASampleDisc) {
  const DiscReading reading = readTocFile(TOCMATE_TEST_DISCS "/22-tracks.toc");
  ASSERT_TRUE(std::holds_alternative<TableOfContents>(reading));
  const auto& toc = std::get<TableOfContents>(reading);
  EXPECT_EQ(toc.firstTrack, 1u);
  EXPECT_EQ(toc.lastTrack, 22u);
  EXPECT_EQ(toc.leadOut, 303602u);
  ASSERT_EQ(toc.starts.size(), 22u);
  EXPECT_EQ(toc.starts.front(), 150u);
  EXPECT_EQ(toc.starts.back(), 288750u);
}

TEST(TocFile, MarksDataTracks) {
  const DiscReading reading = readTocFile(TOCMATE_TEST_DISCS "/enhanced-cd.toc");
  ASSERT_TRUE(std::holds_alternative<TableOfContents>(reading));
  const auto& toc = std::get<TableOfContents>(reading);
  for (unsigned track = toc.firstTrack; track <= toc.lastTrack; ++track) {
    EXPECT_EQ(toc.isData(track), track == toc.lastTrack) << "track " << track;
  }
}

// What a disc may hold at its edges: the first track marked as data, the lead-out at 100
// minutes exactly.
TEST(TocFile, TakesTheEdgesOfWhatADiscHolds) {
  const std::pair<const char*, std::vector<std::uint8_t>> files[] = {
      {"1 2 30000 150d 20000", {kDataTrackControl, 0}},
      {"1 1 450000 150", {0}},
  };
  for (const auto& [text, controls] : files) {
    SCOPED_TRACE(text);
    const DiscReading reading = parseTocText(text, "t");
    ASSERT_TRUE(std::holds_alternative<TableOfContents>(reading))
        << std::get<DiscFailure>(reading).detail;
    EXPECT_EQ(std::get<TableOfContents>(reading).controls, controls);
  }
}

TEST(TocFile, TakesNumbersAcrossLinesAndCommentsAnywhere) {
  const DiscReading reading =
      parseTocText("# a disc\n2 3\t48766 # first, last, lead-out\r\n18000\n\n33765#end", "t");
  ASSERT_TRUE(std::holds_alternative<TableOfContents>(reading));
  const auto& toc = std::get<TableOfContents>(reading);
  EXPECT_EQ(toc.firstTrack, 2u);
  EXPECT_EQ(toc.trackCount(), 2u);
  EXPECT_EQ(toc.lengthOf(3), 48766u - 33765 - 1);
}

// Each problem is named with the line it stands on, where one line is to blame.
TEST(TocFile, SaysWhatIsWrongAndWhere) {
  const std::pair<const char*, const char*> files[] = {
      {"",
       "t: holds 0 numbers, not a table of contents (first track, last track, lead-out, then "
       "every track's start)"},
      {"1 1\n14160 1x51", "t line 2: '1x51' is not a number of frames"},
      {"1 1 14160 -151", "t line 1: '-151' is not a number of frames"},
      {"1 1 14160 99999999999", "t line 1: '99999999999' is not a number of frames"},
      {"0 1 14160 151", "t line 1: first track 0 is not between 1 and 99"},
      {"1\n100 14160 151", "t line 2: last track 100 is not between the first track 1 and 99"},
      {"3 2 14160 151", "t line 1: last track 2 is not between the first track 3 and 99"},
      {"1 3 14160\n151\n900", "t: tracks 1 to 3 need 3 starts, not 2"},
      {"1 2 14160\n151\n900\n1000", "t line 4: tracks 1 to 2 need 2 starts, not 3"},
      {"1 3 14160\n151\n900\n900",
       "t line 4: track 3 starts at 900, not after the previous track's 900"},
      {"1 2\n800\n151 800", "t line 2: lead-out 800 is not after the last track's start 800"},
      {"1 1\n450001\n151", "t line 2: lead-out 450001 is past 100 minutes (450000 frames)"},
      {"1 1 14160d 151", "t line 1: '14160d' is not a number of frames"},
      {"1 1 14160 d", "t line 1: 'd' is not a number of frames"},
      {"1 1 14160 151dd", "t line 1: '151dd' is not a number of frames"},
      // Some other file: its size and the start of its first word, nothing more.
      {"HOME=/root:PATH=/usr/bin SECRET=x",
       "t line 1: 'HOME=/root:PATH=...' is not a number of frames; a file of 33 bytes, no table "
       "of contents"},
      {"1 1 14160 151\ncatalog 0000000000000",
       "t line 2: '0000000000000' is not a catalog number (13 digits, not all 0)"},
      {"catalog 12345678901234\n1 1 14160 151",
       "t line 1: '12345678901234' is not a catalog number (13 digits, not all 0)"},
      {"1 1 14160 151\nisrc 1 gbaye9200070", "t line 2: 'gbaye9200070' is not an ISRC"},
      {"1 1 14160 151\nisrc 1 GBAYE92000701", "t line 2: 'GBAYE92000701' is not an ISRC"},
      {"1 1 14160 151\nisrc 1 G8AYE9200070", "t line 2: 'G8AYE9200070' is not an ISRC"},
      {"1 1 14160 151\n\nisrc 2 GBAYE9200070", "t line 3: the disc has no track 2"},
      {"1 1 14160 151\ncdtext 0 1 title x",
       "t line 2: CD-Text block 0 has no cdtext-block line before"},
      {"1 1 14160 151\ncdtext-block 8 09 latin1", "t line 2: '8' is not a CD-Text block (0 to 7)"},
      {"1 1 14160 151\ncdtext-block 0 09 utf8", "t line 2: 'utf8' is not latin1, ascii or msjis"},
      {"1 1 14160 151\ncdtext-block 0 09 latin1\ncdtext 0 1 genre 1 Pop",
       "t line 3: 'genre' is no CD-Text field of a track"},
      {"1 1 14160 151\ncdtext-block 0 09 latin1\ncdtext 0 2 title x",
       "t line 3: the disc has no track 2"},
  };
  for (const auto& [text, problem] : files) {
    SCOPED_TRACE(text);
    const DiscReading reading = parseTocText(text, "t");
    ASSERT_TRUE(std::holds_alternative<DiscFailure>(reading));
    EXPECT_EQ(std::get<DiscFailure>(reading).reason, FailureReason::kBadTable);
    EXPECT_EQ(std::get<DiscFailure>(reading).detail, problem);
  }
}

TEST(TocFile, NamesAFileThatCannotBeOpened) {
  const DiscReading missing = readTocFile("/nonexistent/disc.toc");
  ASSERT_TRUE(std::holds_alternative<DiscFailure>(missing));
  EXPECT_EQ(std::get<DiscFailure>(missing).reason, FailureReason::kNoDrive);
  EXPECT_EQ(std::get<DiscFailure>(missing).detail,
            "/nonexistent/disc.toc: No such file or directory");

  const DiscReading folder = readTocFile(TOCMATE_TEST_DISCS);
  ASSERT_TRUE(std::holds_alternative<DiscFailure>(folder));
  EXPECT_EQ(std::get<DiscFailure>(folder).detail,
            std::string() + TOCMATE_TEST_DISCS + ": Is a directory");
}

// A file's size by its status is a hint: a file grows, and those of /proc claim none. One
// that claims more than a table of contents can take is not read at all.
TEST(TocFile, ReadsAFileToItsEndWhateverSizeItClaims) {
  const std::string text = "# " + std::string(9000, '-') + "\n1 1 14160 151\n";
  for (const std::size_t claimed : {std::size_t{0}, std::size_t{10}, text.size()}) {
    SCOPED_TRACE(claimed);
    std::size_t offset = 0;
    const DiscReading reading = readTocText("t", claimed, [&](char* buffer, std::size_t size) {
      const std::size_t count = std::min({size, text.size() - offset, std::size_t{1000}});
      text.copy(buffer, count, offset);
      offset += count;
      return static_cast<long>(count);
    });
    ASSERT_TRUE(std::holds_alternative<TableOfContents>(reading));
    EXPECT_EQ(std::get<TableOfContents>(reading).leadOut, 14160u);
  }
  int reads = 0;
  const DiscReading large = readTocText("t", kMaxTocFileSize + 1, [&](char*, std::size_t) {
    ++reads;
    return 0L;
  });
  ASSERT_TRUE(std::holds_alternative<DiscFailure>(large));
  EXPECT_EQ(std::get<DiscFailure>(large).detail,
            "t: larger than 65536 bytes, not a table of contents");
  EXPECT_EQ(reads, 0);
  const DiscReading endless = readTocText("t", 0, [](char* buffer, std::size_t size) {
    std::fill_n(buffer, size, ' ');
    return static_cast<long>(size);
  });
  ASSERT_TRUE(std::holds_alternative<DiscFailure>(endless));
  EXPECT_EQ(std::get<DiscFailure>(endless).reason, FailureReason::kBadTable);
}

TEST(TocFile, RefusesAFileFarTooLargeToBeOne) {
  TempFolder folder;
  const std::string path = folder.write("large.toc", std::string(70000, ' ') + "1 1 14160 151");
  const DiscReading reading = readTocFile(path);
  ASSERT_TRUE(std::holds_alternative<DiscFailure>(reading));
  EXPECT_EQ(std::get<DiscFailure>(reading).detail,
            std::string() + path + ": larger than 65536 bytes, not a table of contents");
}

}  // namespace
