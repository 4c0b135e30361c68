// Native calls on many threads at once, through our MCI layer: the "cdaudio" alias is one
// per process, yet every call must get the disc's texts.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "JniCall.h"

namespace {

TEST(Concurrency, EveryCallOnEveryThreadGetsTheDiscsTexts) {
  setenv("TOCMATE_DRIVE", TOCMATE_TEST_DISCS "/worked-example.toc", 1);
  constexpr int kThreads = 8;
  constexpr int kCallsPerThread = 200;
  std::atomic<int> wrongTexts{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&wrongTexts] {
      for (int i = 0; i < kCallsPerThread; ++i) {
        if (callGetCDDBNumbers() != "11028803 3 150 18000 33765 650") ++wrongTexts;
        if (callGetTrackLengths() != "3 238 210 200") ++wrongTexts;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrongTexts.load(), 0) << "of " << kThreads * kCallsPerThread * 2 << " calls";
}

}  // namespace
