// The drive's names from a storage device descriptor, whose offsets and texts come from a
// driver: nothing read outside the reply.
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

#include "StorageDescriptor.h"

namespace {

struct Texts {
  const char* vendor;  // null: offset 0
  const char* model;
  const char* revision;
};

// A descriptor with the texts behind it, each ended by a zero byte; `size` bytes of it
// returned, the Size field saying `declared` (0: all of it).
std::vector<std::uint8_t> descriptor(const Texts& texts, std::size_t cut, DWORD declared) {
  std::vector<std::uint8_t> reply(sizeof(STORAGE_DEVICE_DESCRIPTOR));
  const auto put = [&](const char* text, std::size_t field) {
    DWORD offset = 0;
    if (text != nullptr) {
      offset = static_cast<DWORD>(reply.size());
      reply.insert(reply.end(), text, text + std::strlen(text) + 1);
    }
    std::memcpy(reply.data() + field, &offset, sizeof offset);
  };
  put(texts.vendor, offsetof(STORAGE_DEVICE_DESCRIPTOR, VendorIdOffset));
  put(texts.model, offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductIdOffset));
  put(texts.revision, offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductRevisionOffset));
  const DWORD size = declared != 0 ? declared : static_cast<DWORD>(reply.size());
  std::memcpy(reply.data() + offsetof(STORAGE_DEVICE_DESCRIPTOR, Size), &size, sizeof size);
  if (cut != 0) reply.resize(reply.size() - cut);
  return reply;
}

TEST(StorageDescriptor, NamesOnlyWhatLiesInsideTheReply) {
  const Texts drive{"HL-DT-ST", "DVDRAM GH24NSD1 ", "LG00"};
  const std::size_t header = sizeof(STORAGE_DEVICE_DESCRIPTOR);
  struct Case {
    const char* what;
    std::vector<std::uint8_t> reply;
    const char* expected;  // "vendor|model|revision", or null for none
  } cases[] = {
      {"whole", descriptor(drive, 0, 0), "HL-DT-ST|DVDRAM GH24NSD1|LG00"},
      {"no vendor", descriptor({nullptr, "CDDVDW SH-224DB", "SB01"}, 0, 0),
       "|CDDVDW SH-224DB|SB01"},
      {"revision cut short", descriptor(drive, 3, 0), "HL-DT-ST|DVDRAM GH24NSD1|LG"},
      {"revision cut off", descriptor(drive, 5, 0), "HL-DT-ST|DVDRAM GH24NSD1|"},
      {"size declared short", descriptor(drive, 0, static_cast<DWORD>(header + 9)), "HL-DT-ST||"},
      {"no texts", descriptor({nullptr, nullptr, nullptr}, 0, 0), nullptr},
      {"header cut short", descriptor(drive, 0, 0), nullptr},
  };
  cases[6].reply.resize(offsetof(STORAGE_DEVICE_DESCRIPTOR, VendorIdOffset) + 2);
  for (const Case& c : cases) {
    const auto identity = identityOfStorageDescriptor(c.reply.data(), c.reply.size());
    const std::string got =
        identity ? identity->vendor + "|" + identity->model + "|" + identity->revision : "none";
    EXPECT_EQ(got, c.expected != nullptr ? c.expected : "none") << c.what;
  }
}

}  // namespace
