// The machine's CD drives on Windows: the drive letters of type CD-ROM, each with the names
// its driver or the drive itself gives. Neither question touches the disc.
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <array>

#include "DiscReader.h"
#include "DriveLetters.h"
#include "PassThroughTransport.h"
#include "StorageDescriptor.h"

namespace {

// Room for the descriptor and its texts.
constexpr std::size_t kDescriptorReplySize = 1024;

// What the storage driver knows of the drive, asked on a handle without access rights.
std::optional<DriveIdentity> queriedIdentity(const std::string& letter) {
  const Handle handle = openDriveDevice(letter, 0);
  if (handle == nullptr) return std::nullopt;
  STORAGE_PROPERTY_QUERY query{};
  query.PropertyId = StorageDeviceProperty;
  query.QueryType = PropertyStandardQuery;
  std::array<std::uint8_t, kDescriptorReplySize> reply{};
  DWORD returned = 0;
  if (!DeviceIoControl(handle.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                       reply.data(), static_cast<DWORD>(reply.size()), &returned, nullptr)) {
    return std::nullopt;
  }
  return identityOfStorageDescriptor(reply.data(), std::min<std::size_t>(returned, reply.size()));
}

// What the drive answers to INQUIRY, which needs no disc.
std::optional<DriveIdentity> inquiredIdentity(const std::string& letter) {
  const Handle handle = openDriveForCommands(letter);
  if (handle == nullptr) return std::nullopt;
  PassThroughTransport transport(handle.get());
  return inquire(transport);
}

}  // namespace

std::vector<CdDriveInfo> listCdDrives() {
  std::vector<CdDriveInfo> drives;
  for (const std::string& letter : cdDriveLetters()) {
    CdDriveInfo drive{letter, "", "", ""};
    std::optional<DriveIdentity> identity = queriedIdentity(letter);
    if (!identity) identity = inquiredIdentity(letter);
    if (identity) {
      drive.vendor = std::move(identity->vendor);
      drive.model = std::move(identity->model);
      drive.revision = std::move(identity->revision);
    }
    drives.push_back(std::move(drive));
  }
  return drives;
}
