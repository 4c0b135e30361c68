// Usage: flip_locks LOCK...
// Exchanges each LOCK with LOCK.spare (a regular file and a FIFO) over and over, as fast as
// it can, keeping the lock's folder two hours old, until standard input closes: a loader that
// checks a lock and then opens it by name meets a FIFO sooner or later. The first LOCK turns
// the fastest: sixteen times for each turn of another.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Lock {
  std::string path;
  std::string spare;
  std::string folder;
};

void flip(const Lock& lock, const timespec (&times)[2]) {
  // Failures are expected: the loader under test may have removed the lock or its folder.
  renameat2(AT_FDCWD, lock.spare.c_str(), AT_FDCWD, lock.path.c_str(), RENAME_EXCHANGE);
  utimensat(AT_FDCWD, lock.folder.c_str(), times, 0);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<Lock> locks;
  for (int i = 1; i < argc; ++i) {
    const std::string path = argv[i];
    locks.push_back({path, path + ".spare", path.substr(0, path.rfind('/'))});
  }
  if (locks.empty()) {
    std::fputs("usage: flip_locks LOCK...\n", stderr);
    return 2;
  }
  std::thread([] {
    char byte;
    while (read(0, &byte, 1) > 0) {
    }
    _exit(0);
  }).detach();
  timespec times[2];
  clock_gettime(CLOCK_REALTIME, &times[0]);
  times[0].tv_sec -= 2 * 3600;
  times[1] = times[0];
  std::puts("flipping");
  std::fflush(stdout);
  // The first lock's folder need not look old: it is reached through links.
  for (std::size_t turn = 0;; ++turn) {
    renameat2(AT_FDCWD, locks[0].spare.c_str(), AT_FDCWD, locks[0].path.c_str(), RENAME_EXCHANGE);
    if (locks.size() > 1 && turn % 16 == 0) {
      flip(locks[1 + turn / 16 % (locks.size() - 1)], times);
    }
  }
}
