// mciSendStringA and mciGetErrorStringA of our MCI layer, with the disc TOCMATE_DRIVE names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "MciApi.h"

namespace {

std::string errorText(MCIERROR code) {
  char text[1024];
  return mciGetErrorStringA(code, text, sizeof text) ? text : "(no text)";
}

MCIERROR send(const char* command, char* reply = nullptr, unsigned replyLength = 0) {
  return mciSendStringA(command, reply, replyLength, nullptr);
}

TEST(MciApi, ReadsTheDiscTheEnvironmentNames) {
  setenv("TOCMATE_DRIVE", TOCMATE_TEST_DISCS "/single-track.toc", 1);
  char reply[1024];
  ASSERT_EQ(send("open cdaudio wait", reply, sizeof reply), 0u);
  EXPECT_EQ(send("status cdaudio length track 1", reply, sizeof reply), 0u);
  EXPECT_STREQ(reply, "03:06:58");
  EXPECT_EQ(send("close cdaudio"), 0u);
}

TEST(MciApi, TellsWhichFileCouldNotBeReadInTheErrorText) {
  setenv("TOCMATE_DRIVE", "/nonexistent.toc", 1);
  ASSERT_EQ(send("open cdaudio wait"), 266u);
  EXPECT_EQ(errorText(266),
            "There is an undetectable problem in loading the specified device driver. "
            "(/nonexistent.toc: No such file or directory)");
  // A later failure of another kind carries only the platform's text.
  ASSERT_EQ(send("close cdaudio"), 263u);
  EXPECT_EQ(errorText(263), "The specified device is not open or is not recognized by MCI.");
  EXPECT_EQ(errorText(266),
            "There is an undetectable problem in loading the specified device driver.");
}

TEST(MciApi, CutsErrorTextsToTheirBufferAndKnowsOnlyItsCodes) {
  char text[8];
  EXPECT_TRUE(mciGetErrorStringA(276, text, sizeof text));
  EXPECT_STREQ(text, "The dev");
  EXPECT_FALSE(mciGetErrorStringA(12345, text, sizeof text));
  EXPECT_STREQ(text, "");
  EXPECT_EQ(send(nullptr), 261u);
}

}  // namespace
