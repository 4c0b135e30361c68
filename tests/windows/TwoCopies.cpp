// Two copies of Tocmate.dll in one process, as when two class loaders each load their own,
// and threads calling through both at once. winmm's "cdaudio" alias belongs to the process,
// not to a copy: every call must still get the disc's texts. Prints how many calls did not;
// exits with 0 when none, 1 when some, 2 when a copy does not load or the two are one.
// Usage: two_copies FIRST.dll SECOND.dll THREADS CALLS-PER-THREAD NUMBERS LENGTHS
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "../unit/JniCall.h"

namespace {

struct Copy {
  HMODULE module = nullptr;
  NativeMethod getCDDBNumbers = nullptr;
  NativeMethod getTrackLengths = nullptr;
};

NativeMethod find(HMODULE module, const char* name) {
  return reinterpret_cast<NativeMethod>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

bool load(const char* path, Copy& copy) {
  copy.module = LoadLibraryA(path);
  if (copy.module == nullptr) {
    std::fprintf(stderr, "%s does not load: error %lu\n", path, GetLastError());
    return false;
  }
  copy.getCDDBNumbers = find(copy.module, "Java_cd_Tocmate_getCDDBNumbers");
  copy.getTrackLengths = find(copy.module, "Java_cd_Tocmate_getTrackLengths");
  return copy.getCDDBNumbers != nullptr && copy.getTrackLengths != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: two_copies FIRST.dll SECOND.dll THREADS CALLS NUMBERS LENGTHS\n");
    return 2;
  }
  Copy copies[2];
  if (!load(argv[1], copies[0]) || !load(argv[2], copies[1])) return 2;
  if (copies[0].module == copies[1].module) {
    std::fprintf(stderr, "%s and %s are one module\n", argv[1], argv[2]);
    return 2;
  }
  const int threadCount = std::atoi(argv[3]);
  const int callsPerThread = std::atoi(argv[4]);
  const std::string numbers = argv[5];
  const std::string lengths = argv[6];

  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < threadCount; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < callsPerThread; i += 2) {
        const Copy& copy = copies[(t + i / 2) % 2];
        if (callNative(copy.getCDDBNumbers) != numbers) ++wrong;
        if (callNative(copy.getTrackLengths) != lengths) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::printf("%d of %d calls through two copies wrong\n", wrong.load(),
              threadCount * callsPerThread);
  return wrong == 0 ? 0 : 1;
}
