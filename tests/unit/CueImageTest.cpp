#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CueImage.h"
#include "TempFolder.h"

namespace {

std::string frames(std::uint32_t count, char fill) {
  return std::string(std::size_t{count} * kAudioFrameBytes, fill);
}

// `before`: chunks (header and body) between the format and the samples.
std::string waveOf(const std::string& samples, std::uint16_t channels = 2,
                   std::uint32_t rate = 44100, std::uint32_t claimed = 0,
                   const std::string& before = "") {
  std::string header = "RIFF....WAVEfmt ";
  const auto put = [&](std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) header += static_cast<char>(value >> (8 * i) & 0xff);
  };
  put(16, 4);
  put(1, 2);
  put(channels, 2);
  put(rate, 4);
  put(rate * 2 * channels, 4);
  put(2 * channels, 2);
  put(16, 2);
  header += before + "data";
  put(claimed != 0 ? claimed : static_cast<std::uint32_t>(samples.size()), 4);
  return header + samples;
}

struct File {
  std::string name, contents;
};

std::variant<std::unique_ptr<CueImage>, DiscFailure> imageOf(const TempFolder& folder,
                                                             const std::string& sheet,
                                                             const std::vector<File>& files) {
  for (const File& file : files) folder.write(file.name, file.contents);
  return CueImage::open(folder.write("disc.cue", sheet));
}

struct Hostile {
  const char* what;
  std::string sheet;
  std::vector<File> files;
  FailureReason reason;
  const char* says;
};

TEST(CueImage, RefusesHostileSheetsSayingWhyAndWhere) {
  const std::string oneFile = "FILE \"a.bin\" BINARY\n";
  const std::vector<File> second{{"a.bin", frames(75, 1)}};
  const Hostile cases[] = {
      {"absolute path",
       "FILE \"/etc/passwd\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n",
       {},
       FailureReason::kNoAccess,
       "line 1: '/etc/passwd': refused: a sheet's files must lie in"},
      {"leaving the folder", "FILE \"../a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n",
       second, FailureReason::kNoAccess, "'../a.bin': refused"},
      {"leaving by backslashes", "FILE \"x\\..\\..\\a.bin\" BINARY\nTRACK 1 AUDIO\nINDEX 1 0:0:0\n",
       second, FailureReason::kNoAccess, "refused"},
      {"a drive letter", "FILE \"C:a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", second,
       FailureReason::kNoAccess, "refused"},
      {"a link out of the folder",
       "FILE \"out.bin\" BINARY\nTRACK 1 AUDIO\nINDEX 1 0:0:0\n",
       {},
       FailureReason::kNoAccess,
       "no link"},
      {"through a linked folder",
       "FILE \"away/a.bin\" BINARY\nTRACK 1 AUDIO\nINDEX 1 0:0:0\n",
       {{"sub/a.bin", frames(75, 1)}},
       FailureReason::kNoAccess,
       "refused"},
      {"a missing file",
       "FILE \"gone.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n",
       {},
       FailureReason::kNoDrive,
       "line 1: 'gone.bin': No such file"},
      {"a folder as a file",
       "FILE \"sub\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n",
       {},
       FailureReason::kNoDrive,
       "'sub': Is a directory"},
      {"not whole samples",
       oneFile + "TRACK 01 AUDIO\nINDEX 01 00:00:00\n",
       {{"a.bin", std::string(2353, 0)}},
       FailureReason::kBadTable,
       "'a.bin': cut short: 2351 bytes missing of its last sector of 2352 bytes (2353 bytes"},
      {"a BIN 1000 bytes short",
       oneFile + "TRACK 01 AUDIO\nINDEX 01 00:00:00\n",
       {{"a.bin", frames(75, 1).substr(1000)}},
       FailureReason::kBadTable,
       "'a.bin': cut short: 1000 bytes missing of its last sector"},
      {"data sectors short",
       "FILE \"d.bin\" BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n",
       {{"d.bin", std::string(2048 * 3 - 48, 0)}},
       FailureReason::kBadTable,
       "'d.bin': cut short: 48 bytes missing of its last sector of 2048 bytes"},
      {"mono WAVE",
       "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n",
       {{"a.wav", waveOf(frames(1, 0), 1)}},
       FailureReason::kBadTable,
       "1 channels"},
      {"WAVE at 48 kHz",
       "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n",
       {{"a.wav", waveOf(frames(1, 0), 2, 48000)}},
       FailureReason::kBadTable,
       "48000 Hz"},
      {"WAVE cut short",
       "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n",
       {{"a.wav", waveOf(frames(1, 0), 2, 44100, kAudioFrameBytes + 1000)}},
       FailureReason::kBadTable,
       "'a.wav': cut short: 1000 bytes missing of the 3352 its data chunk claims"},
      {"raw bytes called WAVE", "FILE \"a.bin\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", second,
       FailureReason::kBadTable, "not a WAVE file"},
      {"data in a WAVE",
       "FILE \"a.wav\" WAVE\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n",
       {{"a.wav", waveOf(frames(1, 0))}},
       FailureReason::kBadTable,
       "data track"},
      {"INDEX 02 before 01", oneFile + "TRACK 01 AUDIO\nINDEX 02 00:00:00\n", second,
       FailureReason::kBadTable, "line 3: INDEX 2 out of order"},
      {"index past the end", oneFile + "TRACK 01 AUDIO\nINDEX 01 00:02:00\n", second,
       FailureReason::kBadTable, "line 3: INDEX at frame 150 lies past the end of 'a.bin'"},
      {"frames of 75", oneFile + "TRACK 01 AUDIO\nINDEX 01 00:00:75\n", second,
       FailureReason::kBadTable, "a second has 75 frames"},
      {"seconds of 60", oneFile + "TRACK 01 AUDIO\nINDEX 01 00:60:00\n", second,
       FailureReason::kBadTable, "a minute has 60 seconds"},
      {"an INDEX of a data track described by its length",
       oneFile + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nREM DATA TRACK 02 LENGTH 00:00:30\n"
                 "INDEX 01 00:00:40\n",
       second, FailureReason::kBadTable, "line 5: track 2 is described by its length"},
      {"a data track described without its length",
       oneFile + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nREM DATA TRACK 02 00:00:30\n", second,
       FailureReason::kBadTable, "line 4: REM DATA TRACK takes a number"},
      {"a data track described out of turn",
       oneFile + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nREM DATA TRACK 05 LENGTH 00:00:30\n", second,
       FailureReason::kBadTable, "line 4: track 5 does not follow track 1"},
      {"INDEX 00 after 01", oneFile + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nINDEX 00 00:00:10\n",
       second, FailureReason::kBadTable, "line 4: INDEX 0 out of order"},
      {"an index at the time of the one before",
       oneFile + "TRACK 01 AUDIO\nINDEX 01 00:00:10\nINDEX 02 00:00:10\n", second,
       FailureReason::kBadTable, "line 4: INDEX 2 is not after"},
      {"a session skipped", oneFile + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nREM SESSION 03\n", second,
       FailureReason::kBadTable,
       "line 4: REM SESSION takes the number of the session "
       "after the last (2)"},
      {"an INDEX after POSTGAP",
       oneFile + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nPOSTGAP 00:00:10\nINDEX 02 00:00:20\n", second,
       FailureReason::kBadTable, "line 5: INDEX after POSTGAP"},
      {"POSTGAP before INDEX 01", oneFile + "TRACK 01 AUDIO\nPOSTGAP 00:00:10\n", second,
       FailureReason::kBadTable, "line 3: POSTGAP belongs to a TRACK"},
      {"lines ended by CR alone, each read", oneFile + "TRACK 01 AUDIO\rINDEX 01 00:00:99\r",
       second, FailureReason::kBadTable, "line 3: '00:00:99' is not a time"},
      {"INDEX 01 before 00", oneFile + "TRACK 01 AUDIO\nINDEX 00 00:00:10\nINDEX 01 00:00:05\n",
       second, FailureReason::kBadTable, "line 4: INDEX 1 is not after"},
      {"a track before the last",
       oneFile + "TRACK 01 AUDIO\nINDEX 01 00:00:50\nTRACK 02 AUDIO\n"
                 "INDEX 01 00:00:20\n",
       second, FailureReason::kBadTable, "line 5: INDEX at frame 20 lies before"},
      {"tracks skipped", oneFile + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 03 AUDIO\n", second,
       FailureReason::kBadTable, "line 4: track 3 does not follow track 1"},
      {"no INDEX 01", oneFile + "TRACK 01 AUDIO\nINDEX 00 00:00:00\n", second,
       FailureReason::kBadTable, "track 1 has no INDEX 01"},
      {"TRACK before FILE",
       "TRACK 01 AUDIO\n",
       {},
       FailureReason::kBadTable,
       "line 1: TRACK before"},
      {"an MP3", "FILE \"a.mp3\" MP3\n", {}, FailureReason::kBadTable, "only BINARY"},
      {"an unclosed quote", "FILE \"a.bin BINARY\n", {}, FailureReason::kBadTable, "not closed"},
      {"a bad catalog", "CATALOG 123\n", {}, FailureReason::kBadTable, "13 digits"},
      {"a bad ISRC",
       oneFile + "TRACK 01 AUDIO\nISRC XX\n",
       {},
       FailureReason::kBadTable,
       "line 3: ISRC takes 12"},
      {"two sector sizes in one file",
       oneFile + "TRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                 "TRACK 02 MODE1/2048\nINDEX 01 00:00:30\n",
       second, FailureReason::kBadTable, "'a.bin' would hold sectors of 2352 and of 2048 bytes"},
      {"some other file",
       "\x7f"
       "ELF\x02\x01\x01",
       {},
       FailureReason::kBadTable,
       "no command"},
      {"a NUL byte", std::string("REM a\0b\n", 8), {}, FailureReason::kBadTable, "NUL"},
      {"nothing", "", {}, FailureReason::kBadTable, "no TRACK"},
      {"only a described data track",
       "REM DATA TRACK 01 LENGTH 10:00:00\n",
       {},
       FailureReason::kBadTable,
       "no FILE"},
      {"a track past 100 minutes",
       oneFile + "TRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                 "FILE \"a.bin\" BINARY\nTRACK 02 AUDIO\nPREGAP 99:59:00\nINDEX 01 00:00:00\n",
       second, FailureReason::kBadTable, "past 100 minutes"},
  };
  for (const Hostile& hostile : cases) {
    SCOPED_TRACE(hostile.what);
    const TempFolder folder;
    std::filesystem::create_directory(folder.path() + "/sub");
    std::filesystem::create_symlink("/etc/passwd", folder.path() + "/out.bin");
    std::filesystem::create_directory_symlink("sub", folder.path() + "/away");
    const auto opened = imageOf(folder, hostile.sheet, hostile.files);
    const auto* failure = std::get_if<DiscFailure>(&opened);
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(failure->reason, hostile.reason);
    EXPECT_EQ(failure->drive, folder.path() + "/disc.cue");
    EXPECT_NE(failure->detail.find(hostile.says), std::string::npos) << failure->detail;
  }
}

struct Laid {
  const char* what;
  std::string sheet;
  std::vector<File> files;
  TableOfContents toc;
};

TEST(CueImage, LaysTracksOutAsTheDiscHadThem) {
  const std::vector<File> threeFiles{
      {"1.bin", frames(100, 1)}, {"2.wav", waveOf(frames(50, 2))}, {"3.bin", frames(40, 3)}};
  const Laid cases[] = {
      {"one file, INDEX 00 and a hidden track",
       "FILE \"1.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 00 00:00:00\nINDEX 01 00:00:20\n"
       "TRACK 02 AUDIO\nINDEX 00 00:00:60\nINDEX 01 00:01:00\nINDEX 02 00:01:10\n",
       threeFiles,
       {1, 2, 250, {170, 225}, {0, 0}}},
      {"gaps appended to the file before",
       "FILE \"1.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
       "INDEX 00 00:01:15\nFILE \"2.wav\" WAVE\nINDEX 01 00:00:00\nTRACK 03 AUDIO\n"
       "INDEX 00 00:00:45\nFILE \"3.bin\" BINARY\nINDEX 01 00:00:00\n",
       threeFiles,
       {1, 3, 340, {150, 250, 300}, {0, 0, 0}}},
      {"gaps left out: PREGAP",
       "FILE \"1.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE \"2.wav\" WAVE\n"
       "TRACK 02 AUDIO\nFLAGS DCP PRE\nPREGAP 00:02:00\nINDEX 01 00:00:00\n",
       threeFiles,
       {1, 2, 450, {150, 400}, {0, 3}}},
      {"pregaps at the start of their own files, a data track in a second session",
       "FILE \"1.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE \"2.wav\" WAVE\n"
       "TRACK 02 AUDIO\nINDEX 00 00:00:00\nINDEX 01 00:00:10\nREM SESSION 02\n"
       "FILE \"3.bin\" BINARY\nTRACK 03 MODE1/2352\nINDEX 01 00:00:00\n",
       threeFiles,
       {1,
        3,
        300 + kSessionGapFrames + 40,
        {150, 260, 300 + kSessionGapFrames},
        {0, 0, kDataTrackControl}}},
      {"an INDEX 00 exactly at its file's end",
       "FILE \"1.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
       "INDEX 00 00:01:25\nFILE \"2.wav\" WAVE\nINDEX 01 00:00:00\n",
       threeFiles,
       {1, 2, 300, {150, 250}, {0, 0}}},
      {"lines ended by CR alone, POSTGAPs after a track and the last",
       "FILE \"1.bin\" BINARY\rTRACK 01 AUDIO\rINDEX 01 00:00:00\rPOSTGAP 00:00:10\r"
       "FILE \"3.bin\" BINARY\rTRACK 02 AUDIO\rINDEX 01 00:00:00\rPOSTGAP 00:00:05\r",
       threeFiles,
       {1, 2, 305, {150, 260}, {0, 0}}},
      {"a WAVE with a chunk of odd size before its samples",
       "FILE \"odd.wav\" WAVE\r\nTRACK 01 AUDIO\r\nINDEX 01 00:00:00\r\n",
       {{"odd.wav", waveOf(frames(30, 1), 2, 44100, 0, std::string("LIST\3\0\0\0abc\0", 12))}},
       {1, 1, 180, {150}, {0}}},
      {"a data track described by its length first (Mixed Mode)",
       "REM DATA TRACK 01 LENGTH 00:01:00\nFILE \"2.wav\" WAVE\nTRACK 02 AUDIO\n"
       "PREGAP 00:00:10\nINDEX 01 00:00:00\n",
       threeFiles,
       {1, 2, 285, {150, 235}, {kDataTrackControl, 0}}},
      {"a data track described between two audio tracks of one file",
       "FILE \"1.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
       "REM DATA TRACK 02 LENGTH 00:00:30\nTRACK 03 AUDIO\nINDEX 01 00:00:60\n",
       threeFiles,
       {1, 3, 280, {150, 210, 240}, {0, kDataTrackControl, 0}}},
      {"a data track described in a second session, after silence",
       "FILE \"1.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nREM SESSION 02\n"
       "REM DATA TRACK 02 PREGAP 00:00:05 LENGTH 00:00:40\n",
       threeFiles,
       {1,
        2,
        100 + kSessionGapFrames + 45 + 150,
        {150, 100 + kSessionGapFrames + 155},
        {0, kDataTrackControl}}},
      {"a first track numbered 5, a data track first, lower case",
       "file \"3.bin\" binary\ntrack 05 mode1/2048\nindex 01 00:00:00\nfile \"1.bin\" binary\n"
       "track 06 audio\nindex 01 00:00:00\n",
       {{"1.bin", frames(10, 1)}, {"3.bin", std::string(2048 * 30, 0)}},
       {5, 6, 190, {150, 180}, {kDataTrackControl, 0}}},
  };
  for (const Laid& laid : cases) {
    SCOPED_TRACE(laid.what);
    const TempFolder folder;
    const auto opened = imageOf(folder, laid.sheet, laid.files);
    const auto* failure = std::get_if<DiscFailure>(&opened);
    ASSERT_EQ(failure, nullptr) << failure->detail;
    const TableOfContents& toc = std::get<std::unique_ptr<CueImage>>(opened)->toc();
    EXPECT_EQ(toc.firstTrack, laid.toc.firstTrack);
    EXPECT_EQ(toc.lastTrack, laid.toc.lastTrack);
    EXPECT_EQ(toc.leadOut, laid.toc.leadOut);
    EXPECT_EQ(toc.starts, laid.toc.starts);
    EXPECT_EQ(toc.controls, laid.toc.controls);
  }
  // The first case's Q sub-channel: track 1's pregap (the hidden track), track 2's INDEX 00,
  // 01 and 02, each sector's own position.
  const TempFolder folder;
  auto opened = imageOf(folder, cases[0].sheet, cases[0].files);
  const QFramesRead q = std::get<std::unique_ptr<CueImage>>(opened)->subchannel().read(0, 250);
  ASSERT_EQ(q.frames.size(), 100u);
  const unsigned expected[][3] = {{0, 1, 0},  {19, 1, 0}, {20, 1, 1}, {59, 1, 1},
                                  {60, 2, 0}, {75, 2, 1}, {84, 2, 1}, {85, 2, 2}};
  for (const auto& [sector, track, index] : expected) {
    EXPECT_EQ(q.frames[sector].position.track, track) << sector;
    EXPECT_EQ(q.frames[sector].position.index, index) << sector;
    EXPECT_EQ(q.frames[sector].position.absolute, sector + 150) << sector;
  }
}

TEST(CueImage, ReadsEachSectorFromItsFileAndSilenceWhereNoFileHoldsIt) {
  const TempFolder folder;
  const auto opened = imageOf(
      folder,
      "FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
      "INDEX 00 00:00:02\nFILE \"b.wav\" WAVE\nINDEX 01 00:00:00\nFILE \"c.bin\" BINARY\n"
      "TRACK 03 AUDIO\nPREGAP 00:00:01\nINDEX 01 00:00:00\n",
      {{"a.bin", frames(3, 'a')}, {"b.wav", waveOf(frames(1, 'b'))}, {"c.bin", frames(2, 'c')}});
  ASSERT_EQ(std::get_if<DiscFailure>(&opened), nullptr) << std::get<DiscFailure>(opened).detail;
  CueImage& image = *std::get<std::unique_ptr<CueImage>>(opened);
  std::string sectors(7 * kAudioFrameBytes, 'x');
  const SectorsRead read =
      image.sectors().read(0, 7, reinterpret_cast<std::uint8_t*>(sectors.data()));
  ASSERT_EQ(read.status, SectorsRead::Status::kRead);
  EXPECT_EQ(sectors, frames(3, 'a') + frames(1, 'b') + frames(1, 0) + frames(2, 'c'));
  EXPECT_EQ(image.toc().leadOut, 150u + 7);
  EXPECT_TRUE(image.isImage());
}

TEST(CueImage, GivesTheSheetsTextsAsCdTextWhateverTheirEncoding) {
  const std::string sheet =
      "CATALOG 0724383527720\nPERFORMER \"Caf\xC3\xA9 \xE6\x97\xA5 \xC3\xBF\"\nTITLE Album Title\n"
      "FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nTITLE \"One\"\nISRC GBAYE9200070\n"
      "INDEX 01 00:00:00\n";
  const std::string latin1 =
      "PERFORMER \"Caf\xE9\"\nFILE \"a.bin\" BINARY\nTRACK 01 AUDIO\n"
      "INDEX 01 00:00:00\n";
  const struct {
    const char* what;
    std::string sheet, performer;
  } cases[] = {{"UTF-8", sheet, "Caf\xE9 ? \xFF"},
               {"UTF-8 after a byte-order mark", "\xEF\xBB\xBF" + sheet, "Caf\xE9 ? \xFF"},
               {"ISO-8859-1", latin1, "Caf\xE9"}};
  for (const auto& encoded : cases) {
    SCOPED_TRACE(encoded.what);
    const TempFolder folder;
    const auto opened = imageOf(folder, encoded.sheet, {{"a.bin", frames(1, 0)}});
    ASSERT_EQ(std::get_if<DiscFailure>(&opened), nullptr);
    const DiscExtras& extras = std::get<std::unique_ptr<CueImage>>(opened)->extras();
    ASSERT_TRUE(extras.cdText);
    const CdTextItem* performer = extras.cdText->blocks[0].find(kCdTextPerformer, 0);
    ASSERT_NE(performer, nullptr);
    EXPECT_EQ(performer->bytes, encoded.performer);
    if (encoded.sheet != latin1) {
      EXPECT_EQ(extras.mediaCatalogNumber, "0724383527720");
      EXPECT_EQ(extras.isrcs, std::vector<std::optional<std::string>>{"GBAYE9200070"});
      EXPECT_EQ(extras.cdText->blocks[0].find(kCdTextTitle, 0)->bytes, "Album Title");
      EXPECT_EQ(extras.cdText->blocks[0].find(kCdTextTitle, 1)->bytes, "One");
    }
  }
}

}  // namespace
