#include <gtest/gtest.h>

#include <thread>

#include "CdAudioDevice.h"
#include "MciErrors.h"

namespace {

// The worked example's disc: starts 150, 18000 and 33765, lead-out 48766.
DiscOpening workedExample() {
  return OpenDisc{{1, 3, 48766, {150, 18000, 33765}, {0, 0, 0}}, {}, {}, {}};
}
// A disc whose first track is number 3.
DiscOpening discFromTrackThree() { return OpenDisc{{3, 4, 9000, {150, 4650}, {0, 0}}, {}, {}, {}}; }
DiscOpening noDisc() {
  return DiscFailure{FailureReason::kNoDisc, "/dev/sr0", "/dev/sr0: no disc in the drive"};
}

class CdAudio : public testing::Test {
 protected:
  // Runs a command; returns its code and leaves the reply in `reply`.
  MCIERROR run(const std::string& command) {
    return device.execute(command, reply, sizeof reply).code;
  }

  CdAudioDevice device{workedExample};
  char reply[1024] = "stale";
};

TEST_F(CdAudio, AnswersTheDriveReadWithAbsoluteStartsAndTheLastTrackOneFrameShort) {
  const std::pair<const char*, const char*> exchanges[] = {
      {"open cdaudio wait", "1"},
      {"status cdaudio number of tracks", "3"},
      {"set cdaudio time format msf", ""},
      {"status cdaudio position track 1", "00:02:00"},
      {"status cdaudio length track 1", "03:58:00"},
      {"status cdaudio position track 2", "04:00:00"},
      {"status cdaudio length track 2", "03:30:15"},
      {"status cdaudio position track 3", "07:30:15"},
      {"status cdaudio length track 3", "03:20:00"},
      {"close cdaudio", ""},
  };
  for (const auto& [command, expectedReply] : exchanges) {
    SCOPED_TRACE(command);
    EXPECT_EQ(run(command), 0u);
    EXPECT_STREQ(reply, expectedReply);
  }
}

TEST_F(CdAudio, HoldsItsAliasForTheWholeProcess) {
  EXPECT_EQ(run("close cdaudio"), kMciInvalidDeviceName);
  EXPECT_EQ(run("status cdaudio number of tracks"), kMciInvalidDeviceName);
  EXPECT_EQ(run("set cdaudio time format msf"), kMciInvalidDeviceName);
  EXPECT_EQ(run("status cdaudio position track 1"), kMciInvalidDeviceName);
  ASSERT_EQ(run("open cdaudio wait"), 0u);
  EXPECT_EQ(run("open cdaudio wait"), kMciDeviceOpen);
  EXPECT_EQ(run("close cdaudio"), 0u);
  EXPECT_EQ(run("close cdaudio"), kMciInvalidDeviceName);
  EXPECT_EQ(run("open cdaudio wait"), 0u);
}

TEST_F(CdAudio, RefusesADeviceToThreadsThatDidNotOpenIt) {
  ASSERT_EQ(run("open cdaudio wait"), 0u);
  MCIERROR otherThreadsClose = 0;
  std::thread([&] {
    char otherReply[64];
    otherThreadsClose = device.execute("close cdaudio", otherReply, sizeof otherReply).code;
  }).join();
  EXPECT_EQ(otherThreadsClose, kMciInvalidDeviceName);
  EXPECT_EQ(run("status cdaudio number of tracks"), 0u);  // still open
}

TEST_F(CdAudio, RejectsWhatItDoesNotKnow) {
  ASSERT_EQ(run("open cdaudio wait"), 0u);
  const std::pair<const char*, MCIERROR> commands[] = {
      {"", kMciUnrecognizedCommand},
      {"play cdaudio", kMciUnrecognizedCommand},
      {"status waveaudio number of tracks", kMciInvalidDeviceName},
      {"open cdaudio shareable", kMciUnrecognizedCommand},
      {"set cdaudio time format tmsf", kMciUnrecognizedCommand},
      {"status cdaudio position track", kMciUnrecognizedCommand},
      {"status cdaudio position track two", kMciUnrecognizedCommand},
      {"status cdaudio position track 2x", kMciUnrecognizedCommand},
      {"status cdaudio position track 2 3", kMciUnrecognizedCommand},
      {"status cdaudio length track +2", kMciUnrecognizedCommand},
      {"set cdaudio time format msfx", kMciUnrecognizedCommand},
      {"status cdaudio volume track 2", kMciUnrecognizedCommand},
      {"status cdaudio position track 0", kMciOutOfRange},
      {"status cdaudio length track 4", kMciOutOfRange},
      {"status cdaudio length track -1", kMciOutOfRange},
      {"status cdaudio length track 99999999999999999999", kMciUnrecognizedCommand},
      {"status cdaudio a b c d e f g h i", kMciUnrecognizedCommand},
      // "wait" as the second word is the device's name, and counts.
      {"play wait cdaudio a b c d e f", kMciUnrecognizedCommand},
  };
  for (const auto& [command, code] : commands) {
    SCOPED_TRACE(command);
    EXPECT_EQ(run(command), code);
    EXPECT_STREQ(reply, "");
  }
}

TEST_F(CdAudio, TakesWordsInAnyCaseAndWaitAnywhere) {
  EXPECT_EQ(run("OPEN CDAudio"), 0u);
  EXPECT_EQ(run("  status  cdaudio wait Position TRACK 2 "), 0u);
  EXPECT_STREQ(reply, "04:00:00");
  EXPECT_EQ(run("set cdaudio time format msf wait"), 0u);
  EXPECT_EQ(run("status cdaudio length track 2 wait"), 0u);
  EXPECT_STREQ(reply, "03:30:15");
  EXPECT_EQ(run("status cdaudio position track  3"), 0u);
  EXPECT_STREQ(reply, "07:30:15");
}

TEST_F(CdAudio, CutsARepliesToItsBuffer) {
  ASSERT_EQ(run("open cdaudio wait"), 0u);
  char small[3] = {'x', 'x', 'x'};
  EXPECT_EQ(device.execute("status cdaudio position track 3", small, sizeof small).code, 0u);
  EXPECT_STREQ(small, "07");
  EXPECT_EQ(device.execute("status cdaudio position track 3", nullptr, 0).code, 0u);
}

TEST(CdAudioDisc, NumbersTracksAsTheDiscDoes) {
  CdAudioDevice device(discFromTrackThree);
  char reply[64];
  ASSERT_EQ(device.execute("open cdaudio", reply, sizeof reply).code, 0u);
  EXPECT_EQ(device.execute("status cdaudio number of tracks", reply, sizeof reply).code, 0u);
  EXPECT_STREQ(reply, "2");
  EXPECT_EQ(device.execute("status cdaudio position track 1", reply, sizeof reply).code,
            kMciOutOfRange);
  EXPECT_EQ(device.execute("status cdaudio length track 4", reply, sizeof reply).code, 0u);
  EXPECT_STREQ(reply, "00:57:74");  // 9000 - 4650 - 1 frames
}

TEST(CdAudioDisc, FailsTheOpenWithTheSourcesCodeAndDetail) {
  CdAudioDevice device(noDisc);
  char reply[64];
  const CdAudioDevice::Outcome outcome = device.execute("open cdaudio wait", reply, sizeof reply);
  EXPECT_EQ(outcome.code, kMciDeviceNotReady);
  EXPECT_EQ(outcome.detail, "/dev/sr0: no disc in the drive");
  EXPECT_EQ(device.execute("close cdaudio", reply, sizeof reply).code, kMciInvalidDeviceName);
}

}  // namespace
