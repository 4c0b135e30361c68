// The machine's CD drives: sysfs's list of them, else the kernel's drive list, named by the
// attributes the kernel read from each drive at its start (sysfs), or where those are
// missing by an INQUIRY.
#include "CdDriveList.h"

#include <dirent.h>
#include <fcntl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <string_view>
#include <tuple>

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

// A drive's name as the kernel gives it: letters and digits, nothing that leads elsewhere in
// /dev.
bool isDriveName(const std::string& name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
  });
}

// sr2 before sr10: the letters, then the number that ends the name by its value.
bool comesBefore(const std::string& a, const std::string& b) {
  const auto split = [](const std::string& name) {
    const std::size_t letters = name.find_last_not_of("0123456789") + 1;
    const std::size_t number = name.find_first_not_of('0', letters);
    const std::string_view value =
        number == std::string::npos ? std::string_view() : std::string_view(name).substr(number);
    return std::tuple(std::string_view(name).substr(0, letters), value.size(), value);
  };
  const auto first = split(a), second = split(b);
  return first != second ? first < second : a < b;
}

// The SCSI CD drives sysfs shows: "sr" and a number.
std::vector<std::string> sysfsDriveNames(const std::string& sysClassBlock) {
  std::vector<std::string> names;
  const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(sysClassBlock.c_str()), ::closedir);
  if (!folder) return names;
  while (const dirent* entry = ::readdir(folder.get())) {
    const std::string name = entry->d_name;
    if (name.size() > 2 && name.compare(0, 2, "sr") == 0 &&
        name.find_first_not_of("0123456789", 2) == std::string::npos) {
      names.push_back(name);
    }
  }
  return names;
}

// The names on the drive list's "drive name:" line. The kernel cuts the list short where it
// grows too long, as likely as not in the middle of a name: only a name that a space or the
// line's end follows is whole.
std::vector<std::string> listedDriveNames(const char* driveList) {
  std::vector<std::string> names;
  const File list(std::fopen(driveList, "re"), std::fclose);
  if (!list) return names;
  std::string text;
  char chunk[1024];
  for (std::size_t size; (size = std::fread(chunk, 1, sizeof chunk, list.get())) > 0;) {
    text.append(chunk, size);
  }
  static constexpr std::string_view kLabel = "\ndrive name:";
  text.insert(0, 1, '\n');
  std::size_t at = text.find(kLabel);
  if (at == std::string::npos) return names;
  static constexpr char kSpaces[] = " \t";
  for (at += kLabel.size(); at < text.size() && text[at] != '\n';) {
    const std::size_t start = text.find_first_not_of(kSpaces, at);
    if (start == std::string::npos) break;
    at = text.find_first_of(" \t\n", start);
    if (at == std::string::npos) break;
    const std::string name = text.substr(start, at - start);
    if (isDriveName(name)) names.push_back(name);
  }
  return names;
}

}  // namespace

std::vector<std::string> cdDriveNames(const std::string& sysClassBlock, const char* driveList) {
  std::vector<std::string> names = sysfsDriveNames(sysClassBlock);
  if (names.empty()) names = listedDriveNames(driveList);
  std::sort(names.begin(), names.end(), comesBefore);
  return names;
}

std::vector<CdDriveInfo> listCdDrives(const std::string& sysClassBlock, const char* driveList,
                                      const std::string& dev) {
  std::vector<CdDriveInfo> drives;
  for (const std::string& name : cdDriveNames(sysClassBlock, driveList)) {
    CdDriveInfo drive{dev + "/" + name, "", "", ""};
    const std::string attributes = sysClassBlock + "/" + name + "/device/";
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
  return listCdDrives(kSysClassBlock, kCdromDriveList, "/dev");
}
