// A drive watch's parts: the media event parser and the meaning of the medium commands'
// answers, the state that makes each change one report, and the poller's commands.
#include <gtest/gtest.h>

#include <deque>
#include <sstream>
#include <vector>

#include "ScsiSense.h"
#include "WatchedDrive.h"

namespace {

ScsiOutcome good() {
  ScsiOutcome outcome;
  outcome.status = ScsiOutcome::Status::kGood;
  return outcome;
}

ScsiOutcome checkCondition(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq) {
  ScsiOutcome outcome;
  outcome.status = ScsiOutcome::Status::kCheckCondition;
  outcome.sense = Sense{key, asc, ascq};
  return outcome;
}

ScsiOutcome withStatus(ScsiOutcome::Status status) {
  ScsiOutcome outcome;
  outcome.status = status;
  outcome.error = "Input/output error";
  return outcome;
}

TEST(MediaEvents, AsksPolledForTheMediaClass) {
  const std::array<std::uint8_t, 10> command = {0x4a, 0x01, 0, 0, 0x10, 0, 0, 0, 8, 0};
  EXPECT_EQ(mediaEventCommand(), command);
}

TEST(MediaEvents, ReadsTheEventAndTheMediumOrNothing) {
  const struct {
    std::vector<std::uint8_t> reply;
    std::optional<MediaEvent> event;  // none: no media status at all
    bool present, trayOpen;
  } cases[] = {
      {{0, 6, 0x04, 0x10, 0x02, 0x02, 0, 0}, MediaEvent::kNewMedium, true, false},
      {{0, 6, 0x04, 0x10, 0x00, 0x02, 0, 0}, MediaEvent::kNone, true, false},
      {{0, 6, 0x04, 0x10, 0x03, 0x01, 0, 0}, MediaEvent::kMediumRemoved, false, true},
      {{0, 6, 0x04, 0x10, 0x01, 0x03, 0, 0}, MediaEvent::kEjectRequest, true, true},
      {{0, 6, 0x04, 0x10, 0x04, 0x02, 0, 0}, MediaEvent::kMediumChanged, true, false},
      {{0, 6, 0x04, 0x10, 0x0f, 0x00, 0, 0}, MediaEvent::kOther, false, false},
      {{0, 6, 0x04, 0x10, 0x05, 0x02, 0, 0}, MediaEvent::kOther, true, false},
      // Reserved bits set around the fields.
      {{0, 6, 0x7c, 0xff, 0xf2, 0xfe, 0xff, 0xff}, MediaEvent::kNewMedium, true, false},
      // Six bytes are enough; a length beyond the reply changes nothing.
      {{0, 6, 0x04, 0x10, 0x02, 0x02}, MediaEvent::kNewMedium, true, false},
      {{0xff, 0xff, 0x04, 0x10, 0x00, 0x02, 0, 0}, MediaEvent::kNone, true, false},
      // No event available, another class, a length too short for an event, too few bytes.
      {{0, 2, 0x84, 0x10}, std::nullopt, false, false},
      {{0, 6, 0x84, 0x10, 0x02, 0x02, 0, 0}, std::nullopt, false, false},
      {{0, 6, 0x02, 0x10, 0x02, 0x02, 0, 0}, std::nullopt, false, false},
      {{0, 3, 0x04, 0x10, 0x02, 0x02, 0, 0}, std::nullopt, false, false},
      {{0, 6, 0x04, 0x10, 0x02}, std::nullopt, false, false},
      {{}, std::nullopt, false, false},
  };
  for (const auto& c : cases) {
    const auto status = parseMediaEventReply(c.reply.data(), c.reply.size());
    SCOPED_TRACE(testing::PrintToString(c.reply));
    ASSERT_EQ(status.has_value(), c.event.has_value());
    if (!status) continue;
    EXPECT_EQ(status->event, *c.event);
    EXPECT_EQ(status->present, c.present);
    EXPECT_EQ(status->trayOpen, c.trayOpen);
  }
  EXPECT_FALSE(parseMediaEventReply(nullptr, 8));
}

TEST(TestUnitReady, TellsTheMediumAndAChangeNeverAsAFailure) {
  const struct {
    ScsiOutcome outcome;
    Medium medium;
    bool changed;
  } cases[] = {
      {good(), Medium::kReady, false},
      {checkCondition(2, 0x3a, 0x01), Medium::kNone, false},
      {checkCondition(2, 0x3a, 0x02), Medium::kNone, false},
      {checkCondition(2, 0x3a, 0x00), Medium::kNone, false},
      {checkCondition(2, 0x04, 0x01), Medium::kBecomingReady, false},
      {checkCondition(2, 0x04, 0x07), Medium::kBecomingReady, false},
      {checkCondition(6, 0x28, 0x00), Medium::kUnknown, true},
      {checkCondition(6, 0x29, 0x00), Medium::kUnknown, true},
      {checkCondition(2, 0x30, 0x00), Medium::kUnreadable, false},
      {checkCondition(3, 0x11, 0x00), Medium::kUnknown, false},
      {checkCondition(6, 0x2a, 0x01), Medium::kUnknown, false},
      {withStatus(ScsiOutcome::Status::kCheckCondition), Medium::kUnknown, false},
      {withStatus(ScsiOutcome::Status::kFailed), Medium::kUnknown, false},
  };
  for (const auto& c : cases) {
    const Readiness readiness = readinessOf(c.outcome);
    EXPECT_EQ(readiness.medium, c.medium) << (c.outcome.sense ? spelledOut(*c.outcome.sense) : "");
    EXPECT_EQ(readiness.changed, c.changed);
  }
}

TEST(Tray, SaysWhyItDidNotMove) {
  const std::array<std::uint8_t, 6> eject = {0x1b, 0, 0, 0, 0x02, 0};
  const std::array<std::uint8_t, 6> load = {0x1b, 0, 0, 0, 0x03, 0};
  EXPECT_EQ(startStopCommand(TrayMove::kEject), eject);
  EXPECT_EQ(startStopCommand(TrayMove::kClose), load);
  const struct {
    ScsiOutcome outcome;
    TrayMove move;
    std::optional<FailureReason> reason;
    const char* detail;
  } cases[] = {
      {good(), TrayMove::kEject, std::nullopt, ""},
      {checkCondition(1, 0x17, 0x01), TrayMove::kClose, std::nullopt, ""},
      {checkCondition(5, 0x53, 0x02), TrayMove::kEject, FailureReason::kTrayLocked,
       "/dev/sr0: the tray is locked: a program prevents the disc's removal"},
      {checkCondition(5, 0x24, 0x00), TrayMove::kClose, FailureReason::kUnsupported,
       "/dev/sr0: the drive can not close its tray by itself (a slot-loading, caddy or manual "
       "drive)"},
      {checkCondition(5, 0x20, 0x00), TrayMove::kEject, FailureReason::kUnsupported,
       "/dev/sr0: the drive can not eject its disc by command"},
      // A removal problem other than prevention: no motor, not a lock.
      {checkCondition(5, 0x53, 0x00), TrayMove::kEject, FailureReason::kUnsupported,
       "/dev/sr0: the drive can not eject its disc by command"},
      {checkCondition(2, 0x53, 0x00), TrayMove::kEject, FailureReason::kReadFailed,
       "/dev/sr0: ejecting the disc: not ready (sense 2/53/00)"},
      {withStatus(ScsiOutcome::Status::kFailed), TrayMove::kClose, FailureReason::kReadFailed,
       "/dev/sr0: closing the tray: Input/output error"},
  };
  for (const auto& c : cases) {
    const auto failure = trayFailureOf(c.outcome, c.move, "/dev/sr0");
    ASSERT_EQ(failure.has_value(), c.reason.has_value()) << c.detail;
    if (!failure) continue;
    EXPECT_EQ(failure->reason, *c.reason);
    EXPECT_EQ(failure->detail, c.detail);
  }
}

// A drive that answers each command with the next outcome of its script (and a reply for a
// good one), recording the opcodes; where its commands are refused, the platform's status.
class ScriptedDrive : public WatchedDrive, public ScsiTransport {
 public:
  struct Answer {
    ScsiOutcome outcome;
    std::vector<std::uint8_t> reply;
  };
  std::deque<Answer> answers;
  std::vector<std::uint8_t> sent;
  MediumObservation platformStatus;
  std::deque<bool> platformChanges;  // one a poll: whether the system saw a change

  const std::string& name() const override { return path; }
  ScsiTransport& commands() override { return *this; }
  MediumObservation mediumWithoutCommands() override { return platformStatus; }
  DiscReading readToc() override { return TableOfContents{}; }
  bool mediumChangedMeanwhile() override {
    if (platformChanges.empty()) return false;
    const bool changed = platformChanges.front();
    platformChanges.pop_front();
    return changed;
  }

  ScsiOutcome send(const std::uint8_t* command, std::size_t, std::uint8_t* reply,
                   std::size_t replySize) override {
    sent.push_back(command[0]);
    if (answers.empty()) {
      ADD_FAILURE() << "a command beyond the script";
      return withStatus(ScsiOutcome::Status::kFailed);
    }
    Answer answer = answers.front();
    answers.pop_front();
    answer.outcome.transferred = std::min(replySize, answer.reply.size());
    std::copy_n(answer.reply.begin(), answer.outcome.transferred, reply);
    return answer.outcome;
  }

 private:
  std::string path = "/dev/sr0";
};

std::vector<std::uint8_t> mediaReply(std::uint8_t event, bool present) {
  return {0, 6, 0x04, 0x10, event, static_cast<std::uint8_t>(present ? 0x02 : 0x01), 0, 0};
}

TEST(MediumPoller, AsksWithOneOrTwoCommandsThatSpinNothingUp) {
  constexpr std::uint8_t kEvents = 0x4a, kReady = 0x00;
  const ScsiOutcome refused = withStatus(ScsiOutcome::Status::kRefused);
  const struct {
    const char* name;
    std::vector<bool> readinessNeeded;  // one a poll
    std::vector<ScriptedDrive::Answer> answers;
    std::vector<std::uint8_t> sent;
    Medium medium;  // of the last poll
    bool changed;
  } cases[] = {
      {"no disc known: readiness alone", {true}, {{good(), {}}}, {kReady}, Medium::kReady, false},
      {"a disc known, still in",
       {true, false},
       {{good(), {}}, {good(), mediaReply(0, true)}},
       {kReady, kEvents},
       Medium::kReady,
       false},
      {"a disc known, gone",
       {true, false},
       {{good(), {}}, {good(), mediaReply(3, false)}},
       {kReady, kEvents},
       Medium::kNone,
       false},
      {"events before the disc was read are its own",
       {true, false},
       {{good(), {}}, {good(), mediaReply(2, true)}},
       {kReady, kEvents},
       Medium::kReady,
       false},
      {"a new medium announced, then its readiness",
       {true, false, false},
       {{good(), {}},
        {good(), mediaReply(0, true)},
        {good(), mediaReply(2, true)},
        {checkCondition(2, 4, 1), {}}},
       {kReady, kEvents, kEvents, kReady},
       Medium::kBecomingReady,
       true},
      {"a medium changed event is a change",
       {true, false, false},
       {{good(), {}}, {good(), mediaReply(0, true)}, {good(), mediaReply(4, true)}, {good(), {}}},
       {kReady, kEvents, kEvents, kReady},
       Medium::kReady,
       true},
      {"a reserved event code is no change",
       {true, false},
       {{good(), {}}, {good(), mediaReply(5, true)}},
       {kReady, kEvents},
       Medium::kReady,
       false},
      {"a unit attention, the first word of a change: the disc is read at once",
       {true},
       {{checkCondition(6, 0x28, 0), {}}},
       {kReady},
       Medium::kReady,
       true},
      {"a unit attention after the event told of the change: the next poll asks",
       {true, false, false},
       {{good(), {}},
        {good(), mediaReply(0, true)},
        {good(), mediaReply(2, true)},
        {checkCondition(6, 0x28, 0), {}}},
       {kReady, kEvents, kEvents, kReady},
       Medium::kUnknown,
       true},
      {"a drive without media events is asked readiness alone from then on",
       {true, false, false},
       {{good(), {}}, {checkCondition(5, 0x20, 0), {}}, {good(), {}}, {good(), {}}},
       {kReady, kEvents, kReady, kReady},
       Medium::kReady,
       false},
      {"no event available: as without media events",
       {true, false, false},
       {{good(), {}}, {good(), {0, 2, 0x84, 0x10}}, {good(), {}}, {good(), {}}},
       {kReady, kEvents, kReady, kReady},
       Medium::kReady,
       false},
      {"commands refused: the platform's status",
       {true},
       {{refused, {}}},
       {kReady},
       Medium::kBecomingReady,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedDrive drive;
    drive.platformStatus.medium = Medium::kBecomingReady;
    drive.answers.assign(c.answers.begin(), c.answers.end());
    MediumPoller poller;
    MediumObservation seen;
    for (bool needed : c.readinessNeeded) seen = poller.observe(drive, needed);
    EXPECT_EQ(drive.sent, c.sent);
    EXPECT_EQ(seen.medium, c.medium);
    EXPECT_EQ(seen.changed, c.changed);
    EXPECT_TRUE(drive.answers.empty());
  }
  // A disc swapped at once, its event taken by the system's polling: the system's word is a
  // change, and readiness is asked rather than events.
  ScriptedDrive drive;
  drive.platformChanges = {false, true};
  drive.answers = {{good(), {}}, {good(), {}}};
  MediumPoller poller;
  poller.observe(drive, true);
  const MediumObservation seen = poller.observe(drive, false);
  EXPECT_EQ(drive.sent, (std::vector<std::uint8_t>{kReady, kReady}));
  EXPECT_EQ(seen.medium, Medium::kReady);
  EXPECT_TRUE(seen.changed);
}

// The tray's command, asked once more after a unit attention (a reset, then the new medium).
TEST(Tray, AsksOnceMoreAfterAUnitAttention) {
  const ScsiOutcome attention = checkCondition(6, 0x28, 0);
  const struct {
    const char* name;
    std::vector<ScsiOutcome> answers;
    std::size_t sent;
    const char* failure;  // empty: moved
  } cases[] = {
      {"a unit attention, then moved", {attention, good()}, 2, ""},
      {"two unit attentions: the second reported",
       {attention, attention, good()},
       2,
       "/dev/sr0: ejecting the disc: unit attention (sense 6/28/00)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedDrive drive;
    for (const ScsiOutcome& outcome : c.answers) drive.answers.push_back({outcome, {}});
    const auto moved = moveTrayThrough(drive, TrayMove::kEject, "/dev/sr0");
    ASSERT_TRUE(moved);
    EXPECT_EQ(drive.sent.size(), c.sent);
    EXPECT_EQ(moved->has_value() ? (*moved)->detail : "", c.failure);
  }
}

// The state over a series of polls. Each poll's observation: N no disc, B becoming ready,
// R ready, X unreadable, U nothing known; lower case where the drive also said the medium
// changed. Each reading of the disc takes the next result: T a table, E a read error,
// n no disc, w not ready. Each poll's report: "in", "out", "bad", joined by "+", or "-".
std::string reportsOf(const std::string& polls, std::string readings) {
  WatchState state;
  std::ostringstream reports;
  for (char poll : polls) {
    MediumObservation seen;
    seen.changed = std::islower(static_cast<unsigned char>(poll)) != 0;
    switch (std::toupper(static_cast<unsigned char>(poll))) {
      case 'N':
        seen.medium = Medium::kNone;
        break;
      case 'B':
        seen.medium = Medium::kBecomingReady;
        break;
      case 'R':
        seen.medium = Medium::kReady;
        break;
      case 'X':
        seen.medium = Medium::kUnreadable;
        seen.problem = DiscFailure{FailureReason::kReadFailed, "d", "d: unreadable"};
        break;
    }
    const WatchReport report = state.next(seen, [&readings]() -> DiscReading {
      if (readings.empty()) {
        ADD_FAILURE() << "a reading too many";
        return TableOfContents{};
      }
      const char result = readings.front();
      readings.erase(0, 1);
      if (result == 'T') return TableOfContents{1, 1, 1000, {150}, {0}};
      const FailureReason reason = result == 'n'   ? FailureReason::kNoDisc
                                   : result == 'w' ? FailureReason::kNotReady
                                                   : FailureReason::kReadFailed;
      return DiscFailure{reason, "d", "d: failed"};
    });
    std::string text;
    if (report.removed) text += "+out";
    if (report.inserted) text += "+in";
    if (report.unreadable) text += "+bad";
    reports << (text.empty() ? "-" : text.substr(1)) << ' ';
  }
  EXPECT_EQ(readings, "") << "readings left over";
  return reports.str();
}

TEST(WatchState, ReportsEachChangeOnceAndReadsEachDiscOnce) {
  const struct {
    const char* polls;
    const char* readings;
    const char* reports;
  } cases[] = {
      {"RRR", "T", "in - - "},                 // a disc in at the start
      {"NNRRNN", "T", "- - in - out - "},      // put in, taken out
      {"NBBBRR", "T", "- - - - in - "},        // spinning up is no event
      {"RuRR", "TT", "in out in - "},          // a unit attention: another disc
      {"Rr", "TT", "in out+in "},              // changed and ready at once
      {"RBR", "TT", "in out in "},             // a ready drive never becomes ready again
      {"RUUN", "T", "in - - out "},            // a poll that tells nothing
      {"uR", "T", "- in "},                    // a change before any disc is known
      {"RRRRRN", "EEE", "- - bad - - out "},   // unreadable once, after three tries
      {"RRRN", "EET", "- - in out "},          // readable at the third try
      {"RRRNR", "wnTT", "- - in out in "},     // not ready, gone, then read
      {"XXXXN", "", "- - bad - out "},         // the drive says it can not read it
      {"RRRrR", "EEET", "- - bad out+in - "},  // an unreadable disc swapped
      {"RRNRRR", "EEEET", "- - - - - in "},    // tries counted for each disc anew
      {"RXXXN", "T", "in - - - out "},         // a disc read, then unreadable: no failure
  };
  for (const auto& c : cases) {
    EXPECT_EQ(reportsOf(c.polls, c.readings), c.reports) << c.polls;
  }
}

}  // namespace
