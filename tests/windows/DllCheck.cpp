// Loads Tocmate.dll as a JVM would, finds both native methods by name, calls them with a
// minimal JNI environment and prints their texts, one a line; with "--both", calls instead
// the command line's method that gives both from one reading. Exits with 0 when a disc was
// read, 1 when the texts are the failure text, 2 when the DLL or a method is missing.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "../unit/JniCall.h"

namespace {

NativeMethod find(HMODULE library, const char* name) {
  // Through a function type without parameters, the cast's usual go-between.
  auto method =
      reinterpret_cast<NativeMethod>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
  if (method == nullptr) std::fprintf(stderr, "Tocmate.dll does not export %s\n", name);
  return method;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  HMODULE library = LoadLibraryA("Tocmate.dll");
  if (library == nullptr) {
    std::fprintf(stderr, "Tocmate.dll does not load: error %lu\n", GetLastError());
    return 2;
  }
  if (argc == 2 && std::string(argv[1]) == "--both") {
    const NativeMethod readBothTexts = find(library, "Java_cd_Tocmate_readBothTexts");
    if (readBothTexts == nullptr) return 2;
    const std::string texts = callNative(readBothTexts);
    std::printf("%s\n", texts == " " ? " \n " : texts.c_str());
    return texts == " " ? 1 : 0;
  }
  const NativeMethod getCDDBNumbers = find(library, "Java_cd_Tocmate_getCDDBNumbers");
  const NativeMethod getTrackLengths = find(library, "Java_cd_Tocmate_getTrackLengths");
  if (getCDDBNumbers == nullptr || getTrackLengths == nullptr) return 2;
  const std::string numbers = callNative(getCDDBNumbers);
  const std::string lengths = callNative(getTrackLengths);
  std::printf("%s\n%s\n", numbers.c_str(), lengths.c_str());
  return numbers == " " && lengths == " " ? 1 : 0;
}
