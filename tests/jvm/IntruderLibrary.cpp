// Another user's library posing as the real one: loaded into a process, it leaves a file where
// TOCMATE_INTRUDER_MARK says, so that a test sees it ran.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

__attribute__((constructor)) static void markRun() {
  if (const char* mark = std::getenv("TOCMATE_INTRUDER_MARK")) {
    const int file = open(mark, O_WRONLY | O_CREAT, 0666);
    if (file >= 0) close(file);
  }
}
