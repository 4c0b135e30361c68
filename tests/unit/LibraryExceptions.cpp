// Usage: library_exceptions LIBRARY DISC.toc
// Loads the built library as a JVM does and calls getCDDBNumbers while every allocation
// fails: the std::bad_alloc thrown inside must be caught inside, by the C++ runtime and
// unwinder linked into the library, leaving the failure text; the next call reads the disc.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "JniCall.h"

extern "C" void* __libc_malloc(std::size_t size);

namespace {

bool allocationsFail = false;

// The "# query" line of a sample disc: the text getCDDBNumbers gives for it.
std::string expectedNumbers(const char* disc) {
  std::string expected;
  if (std::FILE* file = std::fopen(disc, "r")) {
    char line[512];
    while (expected.empty() && std::fgets(line, sizeof line, file) != nullptr) {
      if (std::strncmp(line, "# query ", 8) == 0)
        expected.assign(line + 8, std::strcspn(line + 8, "\n"));
    }
    std::fclose(file);
  }
  return expected;
}

}  // namespace

// The library takes malloc from the process, so this program's serves it.
extern "C" void* malloc(std::size_t size) {
  return allocationsFail ? nullptr : __libc_malloc(size);
}

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  auto method =
      library == nullptr
          ? nullptr
          : reinterpret_cast<NativeMethod>(dlsym(library, "Java_cd_Tocmate_getCDDBNumbers"));
  if (method == nullptr) {
    std::fprintf(stderr, "no getCDDBNumbers in %s: %s\n", argv[1], dlerror());
    return 2;
  }
  const std::string expected = expectedNumbers(argv[2]);
  // A first failure (no such disc) has the thread's share of the library's thread-local
  // storage made, which glibc makes on first use and which no failure may then need.
  setenv("TOCMATE_DRIVE", "/nonexistent/disc.toc", 1);
  callNative(method);
  setenv("TOCMATE_DRIVE", argv[2], 1);
  allocationsFail = true;
  const char* withoutMemory = callNative(method);
  allocationsFail = false;
  const std::string failed = withoutMemory;
  const std::string read = callNative(method);
  std::printf("without memory: [%s]\nthen: [%s]\n", failed.c_str(), read.c_str());
  return failed == " " && !expected.empty() && read == expected ? 0 : 1;
}
