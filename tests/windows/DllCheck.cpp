// Loads Tocmate.dll as a JVM would, finds the native methods by name and calls them with a
// minimal JNI environment.
//   dll_check                 prints Tocmate's two texts, one a line
//   dll_check --both          the same through the command line's method, which gives
//                             both from one reading
//   dll_check --disc [DRIVE]  prints what Disc's native method gives for the drive (none:
//                             the first CD drive): the table as a table-of-contents file
//                             holds it, then "data tracks:" and their numbers; or the
//                             exception it throws as "REASON|drive|message"
// Exits with 0 when a disc was read, 1 when not, 2 when the DLL or a method is missing.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "../unit/JniCall.h"

namespace {

template <typename Method>
Method find(HMODULE library, const char* name) {
  // Through a function type without parameters, the cast's usual go-between.
  auto method =
      reinterpret_cast<Method>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
  if (method == nullptr) std::fprintf(stderr, "Tocmate.dll does not export %s\n", name);
  return method;
}

int printTexts(HMODULE library) {
  const auto getCDDBNumbers = find<NativeMethod>(library, "Java_cd_Tocmate_getCDDBNumbers");
  const auto getTrackLengths = find<NativeMethod>(library, "Java_cd_Tocmate_getTrackLengths");
  if (getCDDBNumbers == nullptr || getTrackLengths == nullptr) return 2;
  const std::string numbers = callNative(getCDDBNumbers);
  const std::string lengths = callNative(getTrackLengths);
  std::printf("%s\n%s\n", numbers.c_str(), lengths.c_str());
  return numbers == " " && lengths == " " ? 1 : 0;
}

int printBothTexts(HMODULE library) {
  const auto readBothTexts = find<NativeMethod>(library, "Java_cd_CommandLine_readBothTexts");
  if (readBothTexts == nullptr) return 2;
  const std::string texts = callNative(readBothTexts);
  std::printf("%s\n", texts == " " ? " \n " : texts.c_str());
  return texts == " " ? 1 : 0;
}

int printDiscTable(HMODULE library, const char* drive) {
  const auto readTable = find<DiscTableMethod>(library, "Java_cd_Disc_readTableOfContents");
  if (readTable == nullptr) return 2;
  const DiscTableCall call = callDiscTable(readTable, drive);
  if (call.jniMisused) std::fprintf(stderr, "the method misused the JNI environment\n");
  if (call.table == nullptr) {
    std::printf("%s|%s|%s\n", *call.reason != '\0' ? call.reason : call.exception, call.drive,
                call.message);
    return 1;
  }
  // First, last, lead-out, the starts, then a control nibble for each track.
  const int trackCount = call.table[1] - call.table[0] + 1;
  if (call.tableSize != 3 + 2 * trackCount) {
    std::fprintf(stderr, "a table of %d numbers for %d tracks\n", call.tableSize, trackCount);
    return 2;
  }
  for (int i = 0; i < 3 + trackCount; ++i) {
    std::printf(i == 0 ? "%d" : " %d", static_cast<int>(call.table[i]));
  }
  std::printf("\ndata tracks:");
  for (int i = 0; i < trackCount; ++i) {
    if ((call.table[3 + trackCount + i] & 0x4) != 0)
      std::printf(" %d", static_cast<int>(call.table[0]) + i);
  }
  std::printf("\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  HMODULE library = LoadLibraryA("Tocmate.dll");
  if (library == nullptr) {
    std::fprintf(stderr, "Tocmate.dll does not load: error %lu\n", GetLastError());
    return 2;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--disc") == 0) {
    return printDiscTable(library, argc >= 3 ? argv[2] : "");
  }
  if (argc == 2 && std::strcmp(argv[1], "--both") == 0) return printBothTexts(library);
  return printTexts(library);
}
