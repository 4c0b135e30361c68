#include "OpenDisc.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "CdromDrive.h"
#include "DiscReader.h"
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

DiscOpening openDisc(const std::string& path) {
  const std::string drive = path.empty() ? findFirstCdDrive() : path;
  if (drive.empty()) {
    return DiscFailure{FailureReason::kNoDrive, "",
                       "no CD drive: there is no /dev/cdrom and the kernel lists none"};
  }
  if (std::optional<DiscOpening> opened = openCdromDrive(drive)) return std::move(*opened);
  DiscReading reading = readTocFile(drive);
  if (auto* failure = std::get_if<DiscFailure>(&reading)) return std::move(*failure);
  return OpenDisc{std::move(std::get<TableOfContents>(reading)), FileDescriptor()};
}

DiscReading readDisc(const std::string& drive) {
  DiscOpening opening = openDisc(drive);
  if (auto* failure = std::get_if<DiscFailure>(&opening)) return std::move(*failure);
  return std::move(std::get<OpenDisc>(opening).toc);
}
