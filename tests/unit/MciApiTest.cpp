// mciSendStringA and mciGetErrorStringA of our MCI layer, with the disc TOCMATE_DRIVE names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "MciApi.h"
#include "TempFolder.h"

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

// What the error text tells of the disc source comes from outside: a path, words of a file.
// Its bytes are escaped, a NUL among them cuts nothing, and a path too long for the text
// loses its middle, not the cause.
TEST(MciApi, EscapesTheCauseInTheErrorTextAndShortensAPathNotTheCause) {
  using namespace std::string_literals;
  TempFolder folder;
  const std::string file = folder.write("disc.toc", "1 1 4500 15\x1b[2J\0x0\n"s);
  setenv("TOCMATE_DRIVE", file.c_str(), 1);
  ASSERT_EQ(send("open cdaudio wait"), 262u);
  EXPECT_EQ(errorText(262),
            "There is a problem with your media device. Make sure it is working correctly or "
            "contact the device manufacturer. (" +
                file + " line 1: '15\\x1b[2J\\x00x0' is not a number of frames)");

  std::string path = "/nonexistent/\x1b]0;title\x07\n";
  for (int i = 0; i < 20; ++i) path += "/" + std::string(150, 'p');
  setenv("TOCMATE_DRIVE", (path + "/disc.toc").c_str(), 1);
  ASSERT_EQ(send("open cdaudio wait"), 266u);
  const std::string text = errorText(266);
  const std::string start =
      "There is an undetectable problem in loading the specified device driver. "
      "(/nonexistent/\\x1b]0;title\\x07\\x0a/ppp";
  const std::string end = "ppp/disc.toc: No such file or directory)";
  EXPECT_EQ(text.size(), 1023u);
  EXPECT_EQ(text.compare(0, start.size(), start), 0) << text;
  EXPECT_EQ(text.compare(text.size() - end.size(), end.size(), end), 0) << text;
  EXPECT_NE(text.find("p...p"), std::string::npos) << text;
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
