#include "StorageDescriptor.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// The descriptor's DWORD at `field`, little-endian as Windows writes it; 0 (no text) where
// the reply stops before it.
DWORD fieldAt(const std::uint8_t* reply, std::size_t size, std::size_t field) {
  if (field + sizeof(DWORD) > size) return 0;
  DWORD value;
  std::memcpy(&value, reply + field, sizeof value);
  return value;
}

std::string textAt(const std::uint8_t* reply, std::size_t size, std::size_t offsetField) {
  const DWORD offset = fieldAt(reply, size, offsetField);
  // Offset 0 is the descriptor's own start: the driver's way of saying "none".
  if (offset == 0 || offset >= size) return "";
  const auto* start = reply + offset;
  const auto* end = std::find(start, reply + size, '\0');
  while (start < end && *start == ' ') ++start;
  while (end > start && end[-1] == ' ') --end;
  return std::string(start, end);
}

}  // namespace

std::optional<DriveIdentity> identityOfStorageDescriptor(const std::uint8_t* reply,
                                                         std::size_t size) {
  // The descriptor says how much of it there is; the driver may have written less.
  size =
      std::min<std::size_t>(size, fieldAt(reply, size, offsetof(STORAGE_DEVICE_DESCRIPTOR, Size)));
  DriveIdentity identity{
      textAt(reply, size, offsetof(STORAGE_DEVICE_DESCRIPTOR, VendorIdOffset)),
      textAt(reply, size, offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductIdOffset)),
      textAt(reply, size, offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductRevisionOffset))};
  if (identity.vendor.empty() && identity.model.empty() && identity.revision.empty()) {
    return std::nullopt;
  }
  return identity;
}
