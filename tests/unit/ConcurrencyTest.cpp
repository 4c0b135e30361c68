// Native calls on many threads at once, through our MCI layer: the "cdaudio" alias is one
// per process, yet every call must get the disc's texts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "JniCall.h"

namespace {

constexpr char kWorkedExample[] = TOCMATE_TEST_DISCS "/worked-example.toc";

TEST(Concurrency, EveryCallOnEveryThreadGetsTheDiscsTexts) {
  setenv("TOCMATE_DRIVE", kWorkedExample, 1);
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

// Standard error as a pipe that nobody reads yet, already full; the old one comes back
// when the object goes.
class FullPipeAsStandardError {
 public:
  FullPipeAsStandardError() {
    if (pipe(ends) != 0) return;
    fcntl(ends[1], F_SETFL, O_NONBLOCK);
    for (char byte = 'f'; write(ends[1], &byte, 1) == 1;) ++filler;
    fcntl(ends[1], F_SETFL, 0);
    saved = dup(2);
    dup2(ends[1], 2);
  }
  ~FullPipeAsStandardError() {
    dup2(saved, 2);
    close(saved);
    close(ends[1]);
    close(ends[0]);
  }
  bool made() const { return saved >= 0 && filler > 0; }

  // Reads everything written to the pipe, until `writer` ends, and returns what came after
  // the filler.
  std::string drainUntilTheEndOf(std::thread& writer) {
    std::string drained;
    std::thread reader([this, &drained] {
      char block[4096];
      for (ssize_t got; (got = read(ends[0], block, sizeof block)) > 0;) drained.append(block, got);
    });
    writer.join();
    dup2(saved, 2);
    close(ends[1]);
    ends[1] = -1;
    reader.join();
    return drained.substr(std::min(filler, drained.size()));
  }

 private:
  int ends[2] = {-1, -1};
  int saved = -1;
  std::size_t filler = 0;
};

// Whether the thread is blocked in a write to standard error, by what the kernel shows of
// the system call it is in.
bool waitUntilWritingToStandardError(pid_t thread) {
  const std::string syscallFile = "/proc/self/task/" + std::to_string(thread) + "/syscall";
  const std::string writing = std::to_string(SYS_write) + " 0x2 ";
  for (int i = 0; i < 1000; ++i) {
    std::ifstream file(syscallFile);
    std::string line;
    if (std::getline(file, line) && line.compare(0, writing.size(), writing) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// A failed call whose report can not be written yet holds neither the drive nor other
// calls; once the pipe is read, its report arrives whole.
TEST(Concurrency, AStandardErrorNobodyReadsBlocksOnlyTheThreadThatWritesToIt) {
  const std::string missing = "/nonexistent/tocmate/disc.toc";
  setenv("TOCMATE_DRIVE", missing.c_str(), 1);
  FullPipeAsStandardError standardError;
  ASSERT_TRUE(standardError.made());

  std::atomic<pid_t> reporter{0};
  std::string failedText;
  std::thread failing([&reporter, &failedText] {
    reporter = static_cast<pid_t>(syscall(SYS_gettid));
    failedText = callGetCDDBNumbers();
  });
  while (reporter == 0) std::this_thread::yield();
  const bool blocked = waitUntilWritingToStandardError(reporter);

  setenv("TOCMATE_DRIVE", kWorkedExample, 1);
  std::future<std::string> reading = std::async(std::launch::async, callGetTrackLengths);
  const bool read = reading.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  const std::string report = standardError.drainUntilTheEndOf(failing);

  ASSERT_TRUE(blocked) << "the failing call never wrote its report";
  EXPECT_TRUE(read) << "a call waited for another's report to be written";
  EXPECT_EQ(reading.get(), "3 238 210 200");
  EXPECT_EQ(failedText, " ");
  EXPECT_EQ(report,
            "SendString command: 'open cdaudio wait' returned:\n"
            "  'There is an undetectable problem in loading the specified device driver. (" +
                missing +
                ": No such file or directory)'\n"
                "Can not open device cdaudio\n"
                "SendString command: 'close cdaudio' returned:\n"
                "  'The specified device is not open or is not recognized by MCI.'\n");
}

}  // namespace
