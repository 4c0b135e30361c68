// The machine's CD drives: the kernel's list of them, named by the attributes the kernel
// read from each drive at its start (sysfs), or where those are missing by an INQUIRY.
#include "CdDriveList.h"

#include <fcntl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "DiscReader.h"
#include "FileDescriptor.h"
#include "SgioTransport.h"

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// The first line of a small file, without its line end and the spaces that pad it.
std::optional<std::string> firstLine(const std::string& path) {
  const File file(std::fopen(path.c_str(), "re"), std::fclose);
  if (!file) return std::nullopt;
  char line[256];
  if (std::fgets(line, sizeof line, file.get()) == nullptr) return std::string();
  std::string text(line);
  const auto end = text.find_last_not_of(" \t\n");
  return end == std::string::npos ? "" : text.substr(0, end + 1);
}

// The kernel's names of its CD drives ("sr0"), from the drive list's "drive name:" line.
std::vector<std::string> driveNames(const char* driveList) {
  std::vector<std::string> names;
  const File list(std::fopen(driveList, "re"), std::fclose);
  if (!list) return names;
  static constexpr char kLabel[] = "drive name:";
  char line[1024];
  while (std::fgets(line, sizeof line, list.get()) != nullptr) {
    if (std::strncmp(line, kLabel, sizeof kLabel - 1) != 0) continue;
    for (char* name = std::strtok(line + sizeof kLabel - 1, " \t\n"); name != nullptr;
         name = std::strtok(nullptr, " \t\n")) {
      // A name is a file name in /dev: nothing that leads elsewhere.
      if (std::strchr(name, '/') == nullptr && std::strcmp(name, "..") != 0) names.push_back(name);
    }
    break;
  }
  // The kernel lists the latest drive first.
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  return names;
}

}  // namespace

std::vector<CdDriveInfo> listCdDrives(const char* driveList, const std::string& sysBlock,
                                      const std::string& dev) {
  std::vector<CdDriveInfo> drives;
  for (const std::string& name : driveNames(driveList)) {
    CdDriveInfo drive{dev + "/" + name, "", "", ""};
    const std::string attributes = sysBlock + "/" + name + "/device/";
    const auto vendor = firstLine(attributes + "vendor");
    const auto model = firstLine(attributes + "model");
    const auto revision = firstLine(attributes + "rev");
    if (vendor && model && revision) {
      drive.vendor = *vendor;
      drive.model = *model;
      drive.revision = *revision;
    } else {
      // Without blocking: an INQUIRY needs no disc, and the drive is not spun up.
      const FileDescriptor node(
          ::open(drive.name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
      SgioTransport transport(node.get());
      if (const auto identity = node ? inquire(transport) : std::nullopt) {
        drive.vendor = identity->vendor;
        drive.model = identity->model;
        drive.revision = identity->revision;
      }
    }
    drives.push_back(std::move(drive));
  }
  return drives;
}

std::vector<CdDriveInfo> listCdDrives() {
  return listCdDrives("/proc/sys/dev/cdrom/info", "/sys/block", "/dev");
}
