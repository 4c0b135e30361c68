// The native methods through their JNI entry points, against a scripted MCI.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "FailingAllocations.h"
#include "JniCall.h"
#include "NativeFrame.h"
#include "ScriptedMci.h"
#include "TocFile.h"
#include "cd_Tocmate.h"

namespace {

const std::vector<std::string> kWorkedPositions{"00:02:00", "04:00:00", "07:30:15"};
const std::vector<std::string> kWorkedLengths{"03:58:00", "03:30:00", "03:20:00"};

TEST(NativeMethods, GiveTheWorkedExample) {
  {
    ScriptedMci mci(goodRead(kWorkedPositions, kWorkedLengths));
    EXPECT_EQ(callGetCDDBNumbers(), "11028803 3 150 18000 33765 650");
  }
  {
    ScriptedMci mci(goodRead(kWorkedPositions, kWorkedLengths));
    EXPECT_EQ(callGetTrackLengths(), "3 238 210 200");
  }
  // Both from one reading: the script holds the drive's commands once.
  ScriptedMci mci(goodRead(kWorkedPositions, kWorkedLengths));
  EXPECT_EQ(callReadBothTexts(), "11028803 3 150 18000 33765 650\n3 238 210 200");
}

TEST(NativeMethods, KeepTheIdentifiersLeadingZerosAndCountEarlyStartsAsZeroSeconds) {
  // Track 1 starts at frame 30, second 0: its digit sum is 0. Track 2's second 60 gives 6.
  const std::vector<std::string> positions{"00:00:30", "01:00:00"};
  const std::vector<std::string> lengths{"00:59:45", "01:00:00"};
  {
    ScriptedMci mci(goodRead(positions, lengths));
    EXPECT_EQ(callGetCDDBNumbers(), "06007802 2 30 4500 120");
  }
  ScriptedMci mci(goodRead(positions, lengths));
  EXPECT_EQ(callGetTrackLengths(), "2 59 60");
}

TEST(NativeMethods, GiveOneSpaceAndStillCloseWhenNoDiscCanBeRead) {
  for (auto method : {callGetCDDBNumbers, callGetTrackLengths, callReadBothTexts}) {
    {
      ScriptedMci mci({fails("open cdaudio wait", 266), fails("close cdaudio", 263)});
      testing::internal::CaptureStderr();
      EXPECT_EQ(method(), " ");
      testing::internal::GetCapturedStderr();
    }
    ScriptedMci mci({replies("open cdaudio wait", "1"),
                     replies("status cdaudio number of tracks", "0"), replies("close cdaudio")});
    EXPECT_EQ(method(), " ");
  }
}

// A drive that hangs inside the platform holds the drive; another call gives up after its
// wait, or at once when its Java thread is interrupted, with the failure text and a report
// that says which.
TEST(NativeMethods, GiveOneSpaceWhenTheirWaitForTheDriveEndsWithoutIt) {
  struct Case {
    std::chrono::milliseconds wait;
    bool interrupted;
    const char* report;
  };
  for (const Case& c :
       {Case{std::chrono::milliseconds(100), false,
             "The CD drive is busy: this call waited 0.1 seconds for it in vain\n"},
        Case{DriveLock::kDefaultWait, true, "The wait for the CD drive was interrupted\n"}}) {
    SCOPED_TRACE(c.report);
    std::promise<void> opening;
    std::promise<void> hangEnds;
    Exchange open = replies("open cdaudio wait", "1");
    open.whileSending = [&opening, hangs = hangEnds.get_future().share()] {
      opening.set_value();
      hangs.wait();
    };
    ScriptedMci mci(
        {open, replies("status cdaudio number of tracks", "0"), replies("close cdaudio")});
    std::thread hanging([] { callGetTrackLengths(); });
    opening.get_future().wait();

    testing::internal::CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    std::future<std::string> waiting = std::async(std::launch::async, [&c] {
      const auto anyText = [](const CDDrive&, std::uint32_t) { return std::string("read"); };
      JNIEnv* env = textKeepingEnvironment();
      setJavaThreadInterrupted(c.interrupted);
      return std::string(keptText(readDiscAsText(env, anyText, c.wait)));
    });
    const bool gaveUp = waiting.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    const auto waited = std::chrono::steady_clock::now() - start;
    hangEnds.set_value();
    hanging.join();
    const std::string report = testing::internal::GetCapturedStderr();

    ASSERT_TRUE(gaveUp) << "still waiting after 5 s";
    EXPECT_EQ(waiting.get(), " ");
    EXPECT_GE(waited, c.interrupted ? std::chrono::milliseconds(0) : c.wait);
    EXPECT_EQ(report, c.report);
  }
}

// What a disc file's comment line holds after "# <key> ".
std::string commentValue(const std::string& text, const std::string& key) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("# " + key + " ", 0) == 0) return line.substr(key.size() + 3);
  }
  return "";
}

std::string msf(std::uint32_t frames) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", frames / 4500, frames / 75 % 60, frames % 75);
  return text;
}

// Each sample disc, answered as the MCI device answers for it, gives its published texts;
// the 99-track disc's identification text is over 700 characters.
TEST(NativeMethods, GiveEverySampleDiscsTexts) {
  for (const char* name :
       {"worked-example", "single-track", "22-tracks", "hidden-first-track", "99-tracks"}) {
    SCOPED_TRACE(name);
    std::ifstream file(std::string(TOCMATE_TEST_DISCS) + "/" + name + ".toc");
    const std::string text((std::istreambuf_iterator<char>(file)), {});
    const DiscReading reading = parseTocText(text, name);
    ASSERT_TRUE(std::holds_alternative<TableOfContents>(reading));
    const auto& toc = std::get<TableOfContents>(reading);
    std::vector<std::string> positions, lengths;
    for (unsigned track = toc.firstTrack; track <= toc.lastTrack; ++track) {
      positions.push_back(msf(toc.startOf(track)));
      lengths.push_back(msf(toc.lengthOf(track)));
    }
    {
      ScriptedMci mci(goodRead(positions, lengths));
      EXPECT_EQ(callGetCDDBNumbers(), commentValue(text, "query"));
    }
    {
      ScriptedMci mci(goodRead(positions, lengths));
      EXPECT_EQ(callGetTrackLengths(), commentValue(text, "lengths"));
    }
    ScriptedMci mci(goodRead(positions, lengths));
    EXPECT_EQ(callReadBothTexts(),
              commentValue(text, "query") + "\n" + commentValue(text, "lengths"));
  }
}

// Every allocation of a call, made to fail in turn: the call gives the failure text and
// leaves the device closed. Stops once a call runs without reaching the failing allocation.
TEST(NativeMethods, GiveOneSpaceWhenAnyAllocationFails) {
  std::vector<std::string> positions, lengths;
  for (int track = 0; track < 40; ++track) {
    positions.push_back(msf(150 + track * 4500));
    lengths.push_back(msf(4499));
  }
  for (NativeMethod method : {Java_cd_Tocmate_getCDDBNumbers, Java_cd_Tocmate_getTrackLengths,
                              Java_cd_Tocmate_getBothTexts}) {
    long failures = 0;
    for (long index = 0;; ++index) {
      ScriptedMci mci(goodRead(positions, lengths), ScriptedMci::Order::InAnyOrder);
      testing::internal::CaptureStderr();
      const char* text;
      bool failed;
      {
        FailingAllocations failing(index);
        text = callNative(method);
        failed = failing.failed();
      }
      testing::internal::GetCapturedStderr();
      if (!failed) {
        EXPECT_STRNE(text, " ");
        break;
      }
      ++failures;
      EXPECT_STREQ(text, " ") << "allocation " << index;
      EXPECT_EQ(mci.opens(), mci.closes()) << "allocation " << index;
      if (mci.opens() > 0) {
        EXPECT_TRUE(mci.closedLast()) << "allocation " << index;
      }
    }
    EXPECT_GT(failures, 40);  // the drive, every track, and the growing text
  }
}

}  // namespace
