// What cmake/GlibcFloor.c puts in place of newer glibc functions, linked into this program
// as into the library: file status through the old entry points, and a wait against the
// steady clock over the system clock's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include "TempFolder.h"

namespace {

// The kernel's own answer, which glibc passes on unchanged.
struct stat kernelStatus(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(syscall(SYS_newfstatat, AT_FDCWD, path.c_str(), &status, 0), 0);
  return status;
}

void expectSameFile(const struct stat& status, const struct stat& kernel) {
  EXPECT_EQ(status.st_dev, kernel.st_dev);
  EXPECT_EQ(status.st_ino, kernel.st_ino);
  EXPECT_EQ(status.st_mode, kernel.st_mode);
  EXPECT_EQ(status.st_size, kernel.st_size);
  EXPECT_EQ(status.st_mtim.tv_nsec, kernel.st_mtim.tv_nsec);
}

TEST(GlibcFloor, StatusOfPathsAndOpenFilesIsTheKernels) {
  const TempFolder folder;
  const std::string file = folder.write("disc.toc", std::string(1234, 'x'));
  struct stat status {};
  ASSERT_EQ(stat(file.c_str(), &status), 0);
  expectSameFile(status, kernelStatus(file));
  EXPECT_TRUE(S_ISREG(status.st_mode));
  EXPECT_EQ(status.st_size, 1234);

  const int descriptor = open(file.c_str(), O_RDONLY);
  ASSERT_GE(descriptor, 0);
  struct stat openStatus {};
  EXPECT_EQ(fstat(descriptor, &openStatus), 0);
  close(descriptor);
  expectSameFile(openStatus, kernelStatus(file));

  ASSERT_EQ(stat(folder.path().c_str(), &status), 0);
  EXPECT_TRUE(S_ISDIR(status.st_mode));
  errno = 0;
  EXPECT_EQ(stat((folder.path() + "/missing").c_str(), &status), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(fstat(-1, &status), -1);
  EXPECT_EQ(errno, EBADF);
}

class ClockWait : public testing::Test {
 protected:
  // Waits on the condition until `wait` from now on `clock`; the result and the time taken.
  std::pair<int, std::chrono::milliseconds> waitFor(clockid_t clock,
                                                    std::chrono::milliseconds wait) {
    timespec deadline{};
    clock_gettime(clock, &deadline);
    const long long nanoseconds = deadline.tv_nsec + wait.count() * 1000000LL;
    deadline.tv_sec += static_cast<time_t>(nanoseconds / 1000000000);
    deadline.tv_nsec = static_cast<long>(nanoseconds % 1000000000);
    const auto start = std::chrono::steady_clock::now();
    pthread_mutex_lock(&mutex);
    int result = 0;
    while (!signalled && result == 0) {
      result = pthread_cond_clockwait(&condition, &mutex, clock, &deadline);
    }
    pthread_mutex_unlock(&mutex);
    return {result, std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)};
  }

  pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
  pthread_cond_t condition = PTHREAD_COND_INITIALIZER;
  bool signalled = false;
};

TEST_F(ClockWait, EndsAtTheDeadlineOfEitherClock) {
  for (const clockid_t clock : {CLOCK_MONOTONIC, CLOCK_REALTIME}) {
    const auto [result, waited] = waitFor(clock, std::chrono::milliseconds(150));
    EXPECT_EQ(result, ETIMEDOUT);
    EXPECT_GE(waited.count(), 145);
    EXPECT_LT(waited.count(), 2000);
  }
  // A deadline already past ends the wait at once.
  const auto [result, waited] = waitFor(CLOCK_MONOTONIC, std::chrono::milliseconds(-500));
  EXPECT_EQ(result, ETIMEDOUT);
  EXPECT_LT(waited.count(), 100);
}

TEST_F(ClockWait, WakesWhenSignalled) {
  std::thread signaller([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    pthread_mutex_lock(&mutex);
    signalled = true;
    pthread_cond_signal(&condition);
    pthread_mutex_unlock(&mutex);
  });
  const auto [result, waited] = waitFor(CLOCK_MONOTONIC, std::chrono::seconds(10));
  signaller.join();
  EXPECT_EQ(result, 0);
  EXPECT_LT(waited.count(), 5000);
}

// exp and log through their oldest versions: the values of the current ones, edges included.
// (The arguments are volatile, so that the compiler can not work the results out itself.)
TEST(GlibcFloor, ExpAndLogGiveTheCurrentValues) {
  struct Case {
    double x, exp, log;
  };
  const Case cases[] = {
      {1.0, 2.718281828459045, 0.0},         {0.5, 1.6487212707001282, -0.6931471805599453},
      {-3.25, 0.03877420783172201, NAN},     {0.0, 1.0, -INFINITY},
      {1000.0, INFINITY, 6.907755278982137},
  };
  for (const Case& c : cases) {
    volatile double x = c.x;
    EXPECT_DOUBLE_EQ(exp(x), c.exp) << c.x;
    if (std::isnan(c.log)) {
      EXPECT_TRUE(std::isnan(log(x))) << c.x;
    } else {
      EXPECT_DOUBLE_EQ(log(x), c.log) << c.x;
    }
  }
}

}  // namespace
