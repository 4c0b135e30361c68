#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "DiscExtras.h"

// The drive's names from the STORAGE_DEVICE_DESCRIPTOR that IOCTL_STORAGE_QUERY_PROPERTY
// returned, `size` bytes of it: each text where its offset points inside the reply, up to
// its end mark or the reply's end, spaces trimmed. Empty when the reply names nothing.
std::optional<DriveIdentity> identityOfStorageDescriptor(const std::uint8_t* reply,
                                                         std::size_t size);
