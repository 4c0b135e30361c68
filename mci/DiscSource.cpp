#include "DiscSource.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "CdromDrive.h"
#include "MciErrors.h"
#include "TocFile.h"

std::string findFirstCdDrive(const char* devCdrom, const char* driveList) {
  if (::access(devCdrom, F_OK) == 0) return devCdrom;
  // stdio rather than iostreams, whose locale machinery would raise the C library the
  // library needs (see cmake/GlibcFloor.cmake).
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> list(std::fopen(driveList, "re"),
                                                             std::fclose);
  if (!list) return "";
  static constexpr char kLabel[] = "drive name:";
  // The first name follows the label closely; the rest of a long line does not matter.
  char line[256];
  while (std::fgets(line, sizeof line, list.get()) != nullptr) {
    if (std::strncmp(line, kLabel, sizeof kLabel - 1) != 0) continue;
    const char* names = line + sizeof kLabel - 1;
    names += std::strspn(names, " \t");
    const std::size_t length = std::strcspn(names, " \t\n");
    if (length > 0) return "/dev/" + std::string(names, length);
  }
  return "";
}

DiscOpening openConfiguredDisc() {
  const char* configured = std::getenv("TOCMATE_DRIVE");
  const std::string path =
      configured != nullptr && *configured != '\0' ? configured : findFirstCdDrive();
  if (path.empty()) {
    return DiscError{kMciCannotLoadDriver,
                     "no CD drive: there is no /dev/cdrom and the kernel lists none; "
                     "TOCMATE_DRIVE can name a drive or a table-of-contents file"};
  }
  if (std::optional<DiscOpening> drive = openCdromDrive(path)) return std::move(*drive);
  DiscReading reading = readTocFile(path);
  if (auto* error = std::get_if<DiscError>(&reading)) return std::move(*error);
  return OpenDisc{std::move(std::get<TableOfContents>(reading)), FileDescriptor()};
}
