#include <gtest/gtest.h>

#include "MCICDDrive.h"
#include "ScriptedMci.h"

namespace {

struct DriveRun {
  std::uint32_t trackCount;
  std::string report;
};

// Creates and deletes a drive against the scripted MCI of the caller; returns what it read
// and reported.
DriveRun runDrive() {
  Diagnostics diagnostics;
  std::uint32_t trackCount;
  {
    MCICDDrive drive("cdaudio", diagnostics);
    trackCount = drive.getTrackCount();
  }
  return {trackCount, std::string(diagnostics.text())};
}

DriveRun runDrive(std::vector<Exchange> script) {
  ScriptedMci mci(std::move(script));
  return runDrive();
}

std::string report(const std::string& command, MCIERROR code) {
  return "SendString command: '" + command + "' returned:\n  'text of error " +
         std::to_string(code) + "'\n";
}

const Exchange kOpen = replies("open cdaudio wait", "1");
const Exchange kClose = replies("close cdaudio");
const Exchange kSet = replies("set cdaudio time format msf");

TEST(MCICDDrive, ReadsTheWorkedExampleIntoFrames) {
  ScriptedMci mci(
      goodRead({"00:02:00", "04:00:00", "07:30:15"}, {"03:58:00", "03:30:00", "03:20:00"}));
  Diagnostics diagnostics;
  MCICDDrive drive("cdaudio", diagnostics);
  ASSERT_EQ(drive.getTrackCount(), 3u);
  EXPECT_EQ(drive.getTrackStart(0), 150u);
  EXPECT_EQ(drive.getTrackStart(1), 18000u);
  EXPECT_EQ(drive.getTrackStart(2), 33765u);
  EXPECT_EQ(drive.getTrackLength(0), 17851u);  // the reported length plus one frame
  EXPECT_EQ(drive.getTrackLength(2), 15001u);
  EXPECT_EQ(drive.getTrackSeconds(0), 238);
  EXPECT_EQ(drive.getTrackSeconds(1), 210);
}

TEST(MCICDDrive, ReadsMsfFieldsOfOneOrTwoDigitsAndDropsFrames) {
  ScriptedMci mci(goodRead({"0:2:0", "4:0:0"}, {"00:59:74", "9:9:9"}));
  Diagnostics diagnostics;
  MCICDDrive drive("cdaudio", diagnostics);
  ASSERT_EQ(drive.getTrackCount(), 2u);
  EXPECT_EQ(drive.getTrackStart(0), 150u);
  EXPECT_EQ(drive.getTrackStart(1), 18000u);
  EXPECT_EQ(drive.getTrackSeconds(0), 59);
  EXPECT_EQ(drive.getTrackLength(1), 9u * 4500 + 9 * 75 + 9 + 1);
}

// Replies are read as "%d" and "%02d:%02d:%02d" read them: blanks before a number, a plus
// sign and whatever follows are taken, and a field's two characters include its sign. A
// track count that does not fit an int does not parse.
TEST(MCICDDrive, ReadsRepliesAsTheirFormatsDo) {
  const std::string countFailure = "Can not read track count\nCan not read track count";
  const struct {
    const char* reply;
    bool parses;
  } counts[] = {{" 1", true},
                {"+1", true},
                {"\t\n1", true},
                {"1 track", true},
                {"01", true},
                {"+-1", false},
                {"+", false},
                {"- 1", false},
                {"2147483648", false},
                {"4294967297", false},
                {"99999999999999999999", false}};
  for (const auto& count : counts) {
    SCOPED_TRACE(count.reply);
    std::vector<Exchange> script = goodRead({"00:02:00"}, {"03:58:00"});
    script[1] = replies("status cdaudio number of tracks", count.reply);
    if (!count.parses) script.erase(script.begin() + 2, script.end() - 1);
    const DriveRun run = runDrive(script);
    EXPECT_EQ(run.trackCount, count.parses ? 1u : 0u);
    EXPECT_EQ(run.report, count.parses ? "" : countFailure);
  }

  const std::uint32_t oneTwoThree = 1 * 4500 + 2 * 75 + 3;
  const struct {
    const char* reply;
    std::uint32_t start;  // 0: does not parse
  } positions[] = {{"+1:02:03", oneTwoThree},
                   {" 1: 2:\t3", oneTwoThree},
                   {"01:02:03 and more", oneTwoThree},
                   {"-0:+2:03", 2 * 75 + 3},
                   {"+12:00:00", 0},
                   {"01 :02:03", 0},
                   {"01:02", 0},
                   {"1:2:+-3", 0}};
  for (const auto& position : positions) {
    SCOPED_TRACE(position.reply);
    std::vector<Exchange> script = goodRead({position.reply}, {"03:58:00"});
    if (position.start == 0) script.erase(script.begin() + 4, script.end() - 1);
    ScriptedMci mci(script);
    Diagnostics diagnostics;
    {
      MCICDDrive drive("cdaudio", diagnostics);
      ASSERT_EQ(drive.getTrackCount(), position.start == 0 ? 0u : 1u);
      if (position.start != 0) {
        EXPECT_EQ(drive.getTrackStart(0), position.start);
      }
    }
    EXPECT_EQ(diagnostics.text(), position.start == 0 ? "Can not read position of track\n" : "");
  }
}

TEST(MCICDDrive, ADiscOfNoTracksIsOpenedAndClosedWithoutTrackCommands) {
  const DriveRun run = runDrive({kOpen, replies("status cdaudio number of tracks", "0"), kClose});
  EXPECT_EQ(run.trackCount, 0u);
  EXPECT_EQ(run.report, "");
}

// Every way a read can fail, with the exact diagnostics in their order.
TEST(MCICDDrive, ReportsEachFailureAndKeepsNoTracks) {
  const Exchange count = replies("status cdaudio number of tracks", "2");
  const Exchange position1 = replies("status cdaudio position track 1", "00:02:00");
  const Exchange length1 = replies("status cdaudio length track 1", "03:58:00");
  const struct {
    const char* failure;
    std::vector<Exchange> script;
    std::string report;
  } rows[] = {
      {"open fails",
       {fails("open cdaudio wait", 266), fails("close cdaudio", 263)},
       report("open cdaudio wait", 266) + "Can not open device cdaudio\n" +
           report("close cdaudio", 263)},
      {"track count command fails",
       {kOpen, fails("status cdaudio number of tracks", 276), kClose},
       report("status cdaudio number of tracks", 276) + "Can not read track count"},
      {"track count reply holds no integer",
       {kOpen, replies("status cdaudio number of tracks", "many"), kClose},
       "Can not read track count\nCan not read track count"},
      {"negative track count",
       {kOpen, replies("status cdaudio number of tracks", "-3"), kClose},
       "Can not read track count\nCan not read track count"},
      {"set fails at track 2",
       {kOpen, count, kSet, position1, length1, fails("set cdaudio time format msf", 262), kClose},
       report("set cdaudio time format msf", 262)},
      {"position command fails",
       {kOpen, count, kSet, fails("status cdaudio position track 1", 282), kClose},
       report("status cdaudio position track 1", 282)},
      {"length command fails",
       {kOpen, count, kSet, position1, fails("status cdaudio length track 1", 262), kClose},
       report("status cdaudio length track 1", 262)},
      {"position reply has a three-digit field",
       {kOpen, count, kSet, replies("status cdaudio position track 1", "100:00:00"), kClose},
       "Can not read position of track\n"},
      {"position reply has a negative field",
       {kOpen, count, kSet, replies("status cdaudio position track 1", "-1:00:00"), kClose},
       "Can not read position of track\n"},
      {"length reply is empty",
       {kOpen, count, kSet, position1, replies("status cdaudio length track 1", ""), kClose},
       "Can not read length of track\n"},
      {"length reply has a negative field",
       {kOpen, count, kSet, position1, replies("status cdaudio length track 1", "00:-5:00"),
        kClose},
       "Can not read length of track\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.failure);
    const DriveRun run = runDrive(row.script);
    EXPECT_EQ(run.trackCount, 0u);
    EXPECT_EQ(run.report, row.report);
  }
}

TEST(MCICDDrive, AFailureAtTrackThreeOfTenLeavesNoTracks) {
  std::vector<Exchange> script =
      goodRead(std::vector<std::string>(10, "00:02:00"), std::vector<std::string>(10, "01:00:00"));
  script.resize(2 + 3 * 2 + 2);  // open, count, two tracks, then track 3's set and position
  script.back() = replies("status cdaudio position track 3", "garbage");
  script.push_back(kClose);
  const DriveRun run = runDrive(script);
  EXPECT_EQ(run.trackCount, 0u);
  EXPECT_EQ(run.report, "Can not read position of track\n");
}

TEST(MCICDDrive, NamesAnErrorCodeThePlatformHasNoTextFor) {
  const DriveRun run = runDrive({fails("open cdaudio wait", 999), kClose});
  EXPECT_EQ(run.report,
            "SendString command: 'open cdaudio wait' returned:\n  'Unknown MCI error 999'\n"
            "Can not open device cdaudio\n");
}

// An error text is shown whole, up to the 1023 characters its buffer holds, even when the
// platform left it unterminated; escapes that make it longer cost its middle, not its end,
// where the cause is.
TEST(MCICDDrive, BoundsTheErrorTextOfAReportAndKeepsItsEnds) {
  const std::string opening = "SendString command: 'open cdaudio wait' returned:\n  '";
  const std::string closing = "'\nCan not open device cdaudio\n";
  {
    ScriptedMci mci({fails("open cdaudio wait", 266), kClose});
    mci.useUnterminatedErrorTexts();
    const std::string start = "text of error 266";
    const std::string end = "the end";
    EXPECT_EQ(runDrive().report,
              opening + start + std::string(1023 - start.size() - end.size(), 'x') + end + closing);
  }
  ScriptedMci mci({fails("open cdaudio wait", 266), kClose});
  mci.useErrorText(std::string(400, '\x01') + "the cause");
  const std::string report = runDrive().report;
  ASSERT_EQ(report.rfind(opening + "\\x01", 0), 0u) << report;
  const std::size_t shownEnd = report.size() - closing.size();
  EXPECT_EQ(report.compare(shownEnd, closing.size(), closing), 0) << report;
  EXPECT_LE(shownEnd - opening.size(), 1023u);
  EXPECT_EQ(report.compare(shownEnd - 13, 13, "\\x01the cause"), 0) << report;
  EXPECT_NE(report.find("\\x01...\\x01"), std::string::npos) << report;
}

// Error texts may carry bytes from outside (a path, a word of a file): a report is always
// the two lines it claims to be.
TEST(MCICDDrive, EscapesControlCharactersOfErrorTexts) {
  ScriptedMci mci({fails("open cdaudio wait", 266), kClose});
  mci.useErrorText("no drive at /tmp/\x1b]0;title\x07\nCan not open device evil\x7f\xe9");
  EXPECT_EQ(runDrive().report,
            "SendString command: 'open cdaudio wait' returned:\n"
            "  'no drive at /tmp/\\x1b]0;title\\x07\\x0aCan not open device evil\\x7f\\xe9'\n"
            "Can not open device cdaudio\n");
}

}  // namespace
