#include "DiscSource.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "CdromDrive.h"
#include "MciErrors.h"
#include "TocFile.h"

std::string findFirstCdDrive(const char* devCdrom, const char* driveList) {
  if (::access(devCdrom, F_OK) == 0) return devCdrom;
  std::ifstream list(driveList);
  for (std::string line; std::getline(list, line);) {
    const std::string label = "drive name:";
    if (line.compare(0, label.size(), label) != 0) continue;
    std::istringstream names(line.substr(label.size()));
    std::string first;
    if (names >> first) return "/dev/" + first;
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
