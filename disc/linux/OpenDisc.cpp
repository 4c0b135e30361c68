#include "OpenDisc.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

#include "CdromDrive.h"
#include "DiscReader.h"
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
