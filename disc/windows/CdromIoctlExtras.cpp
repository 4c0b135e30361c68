#include "CdromIoctlExtras.h"

#include <winioctl.h>
// After windows.h and winioctl.h, which it builds on.
#include <ntddcdrm.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace {

constexpr std::size_t kMcnLength = 13;

// The catalog number of the class driver's request, its reply zeroed first: a driver that
// answers without writing leaves no valid bit set.
std::optional<std::string> mediaCatalogNumberOf(HANDLE drive) {
  CDROM_SUB_Q_DATA_FORMAT request{IOCTL_CDROM_MEDIA_CATALOG, 0};
  SUB_Q_CHANNEL_DATA data;
  ZeroMemory(&data, sizeof data);
  DWORD returned = 0;
  if (!DeviceIoControl(drive, IOCTL_CDROM_READ_Q_CHANNEL, &request, sizeof request, &data,
                       sizeof data, &returned, nullptr) ||
      returned < offsetof(SUB_Q_MEDIA_CATALOG_NUMBER, MediaCatalog) + kMcnLength ||
      !data.MediaCatalog.Mcval) {
    return std::nullopt;
  }
  std::string number(reinterpret_cast<const char*>(data.MediaCatalog.MediaCatalog), kMcnLength);
  if (!validMediaCatalogNumber(number)) return std::nullopt;
  return number;
}

std::optional<CdText> cdTextOf(HANDLE drive, const TableOfContents& toc) {
  CDROM_READ_TOC_EX request{};
  request.Format = CDROM_READ_TOC_EX_FORMAT_CDTEXT;
  std::vector<std::uint8_t> reply(kMaxCdTextReply);
  DWORD returned = 0;
  if (!DeviceIoControl(drive, IOCTL_CDROM_READ_TOC_EX, &request, sizeof request, reply.data(),
                       static_cast<DWORD>(reply.size()), &returned, nullptr)) {
    return std::nullopt;
  }
  std::optional<CdText> cdText =
      parseCdText(reply.data(), std::min<std::size_t>(returned, reply.size()));
  if (!cdText) return std::nullopt;
  keepTracksOf(*cdText, toc);
  if (cdText->blocks.empty()) return std::nullopt;
  return cdText;
}

}  // namespace

DiscExtras readExtrasThroughCdromIoctls(HANDLE drive, const TableOfContents& toc, unsigned wanted) {
  DiscExtras extras;
  if ((wanted & kExtraMcn) != 0) extras.mediaCatalogNumber = mediaCatalogNumberOf(drive);
  // The class driver's ISRC request answers what the drive says, and a drive may say the last
  // ISRC it saw; without a sector's Q sub-channel to confirm it by, no answer is trusted.
  extras.isrcs.resize(toc.trackCount());
  if ((wanted & kExtraCdText) != 0) extras.cdText = cdTextOf(drive, toc);
  return extras;
}
